#include "cli/CliApp.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fnmatch.h>
#include <getopt.h>
#include <new>
#include <set>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include "VorpexVersion.h"
#include "catalogue/ArchiveChecker.h"
#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "catalogue/PathWalk.h"
#include "cli/ArchiveLister.h"
#include "cli/ArchivePacker.h"
#include "cli/ConsoleSink.h"
#include "cli/ItemFinder.h"
#include "cli/MountCommand.h"
#include "cli/OutputBuffer.h"
#include "cli/ProgressLine.h"
#include "cli/StdoutWriter.h"
#include "extract/FolderWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace {

// Set by SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE during extract and pack, which then stop cleanly: the
// file in hand is abandoned and no temporary stays behind. g_nSignal keeps which signal came, for the
// status the shell expects.
std::atomic<bool> g_bInterrupted{false};
std::atomic<int> g_nSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
    g_nSignal.store(signal);
    g_bInterrupted.store(true);
}

void CatchInterrupts() {
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        ::sigaction(signal, &sa, nullptr);
}

// A reader that went away (SIGPIPE) ends the program with 141, as a shell reports a pipeline's writer
// killed by it; any other stop is 130.
int InterruptedStatus() {
    return g_nSignal.load() == SIGPIPE ? CCliApp::kBrokenPipe : CCliApp::kInterrupted;
}

// An archive given as "-": standard input itself when it is a file, else its bytes copied into memory (a
// memfd), up to the 4 GiB an archive's offsets reach. -1 after reporting why not.
int ReadStandardInput(CConsoleSink& sink) {
    if (WasClosedAtStart(STDIN_FILENO)) {
        // Not the empty archive /dev/null would make of it.
        sink.Print(kCouldNotReadStdin + std::string(std::strerror(EBADF)));
        return -1;
    }
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    const int fd = ::memfd_create("vorpex-stdin", MFD_CLOEXEC);
    if (fd < 0) {
        sink.Print(kCouldNotReadStdin + std::string(std::strerror(errno)));
        return -1;
    }
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.get(), 1 << 20);
        if (n < 0 && errno == EINTR && !g_bInterrupted.load())
            continue;
        const char* failure = n < 0 ? std::strerror(errno) : nullptr;
        if (!failure && n > 0 && (total += uint64_t(n)) > CArchiveRecord::kAddressable)
            failure = kStdinPast4GiB;
        if (!failure && n > 0 && !WriteAll(fd, buffer.get(), size_t(n)))
            failure = std::strerror(errno);
        if (failure) {
            sink.Print(kCouldNotReadStdin + std::string(failure));
            ::close(fd);
            return -1;
        }
        if (n == 0)
            return fd;
    }
}

void Out(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

// True, after saying so, when standard output was closed at start-up: what a command prints there would be
// lost, so it does nothing and fails.
bool OutputClosed() {
    if (!WasClosedAtStart(STDOUT_FILENO))
        return false;
    std::fprintf(stderr, "vorpex-cli: %s%s\n", kCouldNotWriteStdout, std::strerror(EBADF));
    return true;
}

const char* const kUsage =
    "Usage:\n"
    "  vorpex-cli list    [--long | --null | --json] [--encoding NAME] ARCHIVE\n"
    "  vorpex-cli extract [-C DIR] [-p] [-k | --overwrite] [-O] [--exclude PATTERN]...\n"
    "                     [--no-wildcards-match-slash] [--encoding NAME] [--quiet] [--verbose]\n"
    "                     ARCHIVE [ITEM...]\n"
    "  vorpex-cli check   [--encoding NAME] ARCHIVE\n"
    "  vorpex-cli pack    [--skip-unfit] [--verbose] [--encoding NAME] FOLDER ARCHIVE\n"
    "  vorpex-cli mount   [--encoding NAME] [-f] ARCHIVE DIR\n"
    "  vorpex-cli unmount DIR\n"
    "  vorpex-cli --help | --version\n"
    "  vorpex-cli help [COMMAND] | COMMAND --help\n";

const char* const kCommon =
    "Paths inside an archive join names with '/'; a folder's path ends with '/'. Names are decoded from the\n"
    "archive's code page (--encoding, default WINDOWS-1252; any name iconv knows) to UTF-8; in a name, '/',\n"
    "'\\' and control characters are shown as \\xHH, so every printed line is unambiguous. ARCHIVE '-' is\n"
    "read from standard input (at most 4 GiB). Short options bundle (-le CP437); '--' ends the options.\n"
    "Messages go to standard error, each after \"vorpex-cli: \".\n";

const char* const kStatus =
    "Exit status:\n"
    "  0  everything asked for was done and nothing was reported\n"
    "  1  something was reported: a problem the reader recorded, an ITEM not in the\n"
    "     archive, a message of the extraction, a skipped file or a refusal of pack\n"
    "  2  usage error, an archive that cannot be opened (\"Error opening file.\"), a DIR\n"
    "     that cannot be entered (\"Could not change to directory \"), or output to a standard\n"
    "     output that was closed; for pack, a FOLDER that cannot be opened or an ARCHIVE that\n"
    "     cannot be created\n"
    "  130  interrupted (extract and pack stop cleanly)\n"
    "  141  the reader of the output went away (SIGPIPE); extract and pack stop as cleanly\n";

} // namespace

CCliApp::CCliApp(int argc, char** argv) : m_Args(argv + 1, argv + argc) {}

const char* CCliApp::Version() {
    return VORPEX_VERSION;
}

void CCliApp::PrintHelp(const std::string& command) {
    if (command == "list") {
        Out("Usage: vorpex-cli list [--long | --null | --json] [--encoding NAME] ARCHIVE\n\n"
            "Prints one line per folder and file, in the order extraction makes them: the top-level files,\n"
            "then each top-level folder; for a folder, its line, its files in archive order, then each\n"
            "sub-folder the same way.\n\n"
            "  -l, --long           put each file's size in bytes and data offset before its path\n"
            "  -0, --null           end each path with NUL instead of a newline; names unescaped\n"
            "      --json           one JSON object per line: \"path\" (as printed above), \"name\"\n"
            "                       (unescaped), \"type\" (\"file\" or \"folder\"), \"size\", \"offset\"\n"
            "                       (null for a folder), \"folder\" (true or false) and \"problems\"\n"
            "                       (data beyond the end, unsafe name, duplicate name)\n"
            "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n");
        Out(kCommon);
    } else if (command == "extract") {
        Out("Usage: vorpex-cli extract [OPTION...] ARCHIVE [ITEM...]\n\n"
            "Recreates each ITEM (a path as `list` prints it, a folder's trailing '/' optional) inside DIR\n"
            "under its own name: a folder with everything below it, a file by itself. Without ITEM, the\n"
            "whole archive. Where several items share a path, the first in `list` order is taken. An ITEM\n"
            "holding '*', '?' or '[...]' is a pattern: it takes every folder and file whose path matches it\n"
            "('*' also spans '/'). DIR must exist; it is never created. Nothing is ever written outside "
            "DIR,\n"
            "no link inside it is followed, the archive itself is never replaced, and an existing file is\n"
            "replaced only by a complete copy. By default an existing folder is left alone (\"Could not\n"
            "make directory \" + name).\n\n"
            "  -C, --directory DIR       extract into DIR (default: the current directory)\n"
            "  -p, --full-paths          recreate each ITEM's folders too: DATA/README.TXT goes to\n"
            "                            DIR/DATA/README.TXT\n"
            "  -k, --keep-old-files      merge into existing folders and keep every existing file as it\n"
            "                            is, silently (with --verbose, each is named)\n"
            "      --overwrite           merge into existing folders and replace existing files\n"
            "  -O, --to-stdout           write the data of the selected files to standard output, one\n"
            "                            after the other; nothing is made on disk\n"
            "      --exclude PATTERN     leave out what matches PATTERN (its path, or its last name),\n"
            "                            with everything below it; may be given many times\n"
            "      --no-wildcards-match-slash\n"
            "                            '*' and '?' in patterns do not match '/'\n"
            "  -e, --encoding NAME       code page of the archive's names (default WINDOWS-1252)\n"
            "  -q, --quiet               no progress line (it shows only on a terminal, for long\n"
            "                            extractions)\n"
            "  -v, --verbose             name each file kept by --keep-old-files\n\n");
        Out(kCommon);
    } else if (command == "check") {
        Out("Usage: vorpex-cli check [--encoding NAME] ARCHIVE\n\n"
            "Prints the numbers of folders and files and the total bytes, then every problem found: records\n"
            "of unknown type, lists cut by the end of the file, the nesting limit or a cycle, file data\n"
            "lying beyond the end of the archive, unsafe names and names that occur twice in one folder.\n\n"
            "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n");
        Out(kCommon);
    } else if (command == "pack") {
        Out("Usage: vorpex-cli pack [--skip-unfit] [--verbose] [--encoding NAME] FOLDER ARCHIVE\n\n"
            "Builds an archive holding one top-level folder named after FOLDER, with its files and\n"
            "sub-folders. In every list the files come first, then the folders, each sorted by name (byte\n"
            "order), so the output is reproducible. Names are encoded to the code page. Symbolic links and\n"
            "special files are skipped with a message. Refuses, writing nothing, names longer than 32 bytes\n"
            "once encoded or not encodable and folders nested deeper than 10 levels (FOLDER counts as one),\n"
            "naming the first 20, and data that would lie past 4 GiB. The archive is written to a temporary\n"
            "file and renamed into place when complete; only a regular file you may write to is replaced,\n"
            "and it keeps its permissions.\n\n"
            "      --skip-unfit     leave out the names the archive cannot hold, name each, pack the rest\n"
            "  -v, --verbose        name every refused name, not only the first 20\n"
            "  -e, --encoding NAME  code page of the names (default WINDOWS-1252)\n\n");
    } else {
        Out(std::string("vorpex-cli ") + Version() +
            ": list, extract, check and pack archives of the game-data format Vorpex opens.\n\n");
        Out(kUsage);
        Out("\nCommands:\n"
            "  list     print every folder and file of an archive\n"
            "  extract  extract folders and files, or the whole archive\n"
            "  check    count an archive's contents and find its problems\n"
            "  pack     build an archive from a folder\n"
            "  mount    show an archive as a read-only folder (FUSE)\n"
            "  unmount  end what mount began\n\n");
        Out(kCommon);
        Out("\n");
        Out(kStatus);
        return;
    }
    Out("\n");
    Out(kStatus);
}

int CCliApp::UsageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "vorpex-cli: %s\nvorpex-cli: Try 'vorpex-cli %s--help'.\n", message.c_str(),
                 command.empty() ? "" : (command + " ").c_str());
    return kFailed;
}

bool CCliApp::Parse(const std::string& command, COptions& options) {
    enum { kJson = 256, kOverwrite, kExclude, kSlash, kSkipUnfit };
    // Which command takes which option; every one takes --help and --encoding.
    struct COption {
        option m_Long;
        const char* m_pszCommands;
    };
    static const COption kOptions[] = {
        {{"help", no_argument, nullptr, 'h'}, "list extract check pack"},
        {{"encoding", required_argument, nullptr, 'e'}, "list extract check pack"},
        {{"long", no_argument, nullptr, 'l'}, "list"},
        {{"null", no_argument, nullptr, '0'}, "list"},
        {{"json", no_argument, nullptr, kJson}, "list"},
        {{"directory", required_argument, nullptr, 'C'}, "extract"},
        {{"quiet", no_argument, nullptr, 'q'}, "extract"},
        {{"full-paths", no_argument, nullptr, 'p'}, "extract"},
        {{"keep-old-files", no_argument, nullptr, 'k'}, "extract"},
        {{"overwrite", no_argument, nullptr, kOverwrite}, "extract"},
        {{"to-stdout", no_argument, nullptr, 'O'}, "extract"},
        {{"exclude", required_argument, nullptr, kExclude}, "extract"},
        {{"no-wildcards-match-slash", no_argument, nullptr, kSlash}, "extract"},
        {{"verbose", no_argument, nullptr, 'v'}, "extract pack"},
        {{"skip-unfit", no_argument, nullptr, kSkipUnfit}, "pack"},
    };
    std::vector<option> longs;
    std::string shorts = ":"; // a missing value is told apart from an unknown option
    for (const COption& o : kOptions) {
        if (!std::strstr(o.m_pszCommands, command.c_str()))
            continue;
        longs.push_back(o.m_Long);
        if (o.m_Long.val < 256) {
            shorts += static_cast<char>(o.m_Long.val);
            if (o.m_Long.has_arg == required_argument)
                shorts += ':';
        }
    }
    longs.push_back({});

    std::vector<char*> argv;
    for (std::string& arg : m_Args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(m_Args.size());
    options.m_strEncoding = CNameCodec::kDefault;
    opterr = 0;
    optind = 0; // from the start, on the command's own arguments (argv[0] is the command)
    for (;;) {
        const int c = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), nullptr);
        if (c == -1)
            break;
        // getopt_long reorders argv (options first), so the argument just read is looked up there.
        const std::string arg = optind >= 1 && optind <= argc ? argv[static_cast<size_t>(optind - 1)] : "";
        const bool isLong = arg.rfind("--", 0) == 0;
        const std::string name = isLong ? arg.substr(0, arg.find('=')) : "-" + std::string(1, char(optopt));
        switch (c) {
        case 'h':
            options.m_bHelp = true;
            break;
        case 'e':
            if (!*optarg) {
                UsageError(command, "option --encoding needs a code page name");
                return false;
            }
            options.m_strEncoding = optarg;
            break;
        case 'l':
            options.m_bLong = true;
            break;
        case '0':
            options.m_bNull = true;
            break;
        case kJson:
            options.m_bJson = true;
            break;
        case 'C':
            options.m_strDir = optarg;
            break;
        case 'q':
            options.m_bQuiet = true;
            break;
        case 'p':
            options.m_bFullPaths = true;
            break;
        case 'k':
            options.m_eExisting = EExisting::Keep;
            break;
        case kOverwrite:
            options.m_eExisting = EExisting::Overwrite;
            break;
        case 'O':
            options.m_bToStdout = true;
            break;
        case kExclude:
            options.m_Excludes.push_back(optarg);
            break;
        case kSlash:
            options.m_bSlashLiteral = true;
            break;
        case 'v':
            options.m_bVerbose = true;
            break;
        case kSkipUnfit:
            options.m_bSkipUnfit = true;
            break;
        case ':':
            UsageError(command, "option '" + name + "' needs a value");
            return false;
        default:
            // A known long option given a value it does not take keeps its code in optopt.
            UsageError(command, isLong && optopt ? "option '" + name + "' takes no value"
                                                 : command + " takes no option '" + name + "'");
            return false;
        }
    }
    for (int i = optind; i < argc; ++i)
        options.m_Operands.push_back(argv[static_cast<size_t>(i)]);
    if (options.m_bNull + options.m_bJson + options.m_bLong > 1) {
        UsageError(command, "--long, --null and --json go one at a time");
        return false;
    }
    return true;
}

int CCliApp::Run() {
    if (m_Args.empty())
        return UsageError("", "no command given");
    const std::string& command = m_Args[0];
    if ((command == "--help" || command == "-h" || command == "--version" || command == "-V" ||
         command == "help") &&
        OutputClosed())
        return kFailed;
    if (command == "--help" || command == "-h") {
        PrintHelp("");
        return kDone;
    }
    if (command == "--version" || command == "-V") {
        Out(std::string("vorpex-cli ") + Version() + "\n");
        return kDone;
    }
    if (command == "mount" || command == "unmount" ||
        (command == "help" && m_Args.size() == 2 && (m_Args[1] == "mount" || m_Args[1] == "unmount")))
        return MountCommand(m_Args);
    if (command == "help") {
        if (m_Args.size() > 2)
            return UsageError("", "help takes at most one command");
        const std::string topic = m_Args.size() == 2 ? m_Args[1] : "";
        if (!topic.empty() && topic != "list" && topic != "extract" && topic != "check" && topic != "pack")
            return UsageError("", "unknown command '" + topic + "'");
        PrintHelp(topic);
        return kDone;
    }
    if (command != "list" && command != "extract" && command != "check" && command != "pack")
        return UsageError("", "unknown command '" + command + "'");

    COptions options;
    if (!Parse(command, options))
        return kFailed;
    if ((options.m_bHelp || command == "list" || command == "check" || options.m_bToStdout) && OutputClosed())
        return kFailed;
    if (options.m_bHelp) {
        PrintHelp(command);
        return kDone;
    }
    if (!CNameCodec(options.m_strEncoding).IsValid())
        return UsageError(command, "unknown encoding '" + options.m_strEncoding + "'");
    if (command == "list")
        return List(options);
    if (command == "extract")
        return Extract(options);
    if (command == "check")
        return Check(options);
    return Pack(options);
}

std::unique_ptr<CPackFile> CCliApp::OpenArchive(const std::string& path, CConsoleSink& sink) {
    // The reader's own messages are summed up by its report, printed after the command's output.
    CNullSink readerSink;
    std::unique_ptr<CPackFile> pack;
    try {
        if (path == "-") {
            const int fd = ReadStandardInput(sink);
            if (fd < 0)
                return nullptr;
            pack = std::make_unique<CPackFile>(CFileDescriptor(fd), path, readerSink);
        } else {
            pack = std::make_unique<CPackFile>(path, readerSink);
        }
    } catch (const std::bad_alloc&) {
        sink.Print(std::string(kErrorOpeningFile) + " " + path + " (out of memory)");
        return nullptr;
    }
    if (!pack->IsOpen()) {
        sink.Print(std::string(kErrorOpeningFile) + " " + path);
        return nullptr;
    }
    return pack;
}

int CCliApp::List(const COptions& options) {
    if (options.m_Operands.size() != 1)
        return UsageError("list", "list takes one ARCHIVE");
    CConsoleSink sink;
    const auto pack = OpenArchive(options.m_Operands[0], sink);
    if (!pack)
        return kFailed;
    const CNameCodec codec(options.m_strEncoding);
    const CNameEscaper escaper(codec), plain(codec, false);
    bool written;
    {
        COutputBuffer out(STDOUT_FILENO);
        if (options.m_bNull)
            CArchiveLister(*pack, plain, out).ListEnded('\0');
        else if (options.m_bJson)
            CArchiveLister(*pack, escaper, out).ListJson(plain);
        else
            CArchiveLister(*pack, escaper, out).List(options.m_bLong);
        written = out.Flush();
        if (!written)
            sink.Print(kCouldNotWriteListing + std::string(std::strerror(out.Error())));
    }
    for (const std::string& line : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(line);
    return sink.Count() ? kReported : kDone;
}

int CCliApp::Extract(const COptions& options) {
    if (options.m_Operands.empty())
        return UsageError("extract", "extract takes an ARCHIVE");
    if (options.m_bToStdout &&
        (options.m_strDir || options.m_bFullPaths || options.m_eExisting != EExisting::Default))
        return UsageError("extract",
                          "--to-stdout makes nothing on disk: it takes no -C, -p, -k or --overwrite");
    CatchInterrupts();
    CProgressLine progress(!options.m_bQuiet && !options.m_bToStdout && ::isatty(STDERR_FILENO),
                           STDERR_FILENO);
    CConsoleSink sink;
    sink.SetProgressLine(&progress);
    const auto pack = OpenArchive(options.m_Operands[0], sink);
    if (!pack)
        return kFailed;
    // An empty DIR (an unset variable in a script) is a directory that cannot be entered.
    const std::string dir = options.m_strDir.value_or(".");
    const CFileDescriptor dirfd = options.m_bToStdout ? CFileDescriptor() : CFolderWalk::OpenDestination(dir);
    if (!options.m_bToStdout && !dirfd.IsOpen()) {
        sink.Print(CFolderWalk::kChangeDir + dir);
        return kFailed;
    }

    const CNameCodec codec(options.m_strEncoding);
    const CNameEscaper escaper(codec);
    const CItemFinder finder(*pack, escaper);
    const int flags = options.m_bSlashLiteral ? FNM_PATHNAME : 0;
    CSelection selection;
    if (options.m_Operands.size() == 1) {
        selection.m_bWholeArchive = true;
    } else {
        std::set<const void*> taken; // an item named twice is extracted once
        auto take = [&](const CItemFinder::CFound& found) {
            if (found.m_pFolder && taken.insert(found.m_pFolder).second)
                selection.m_Folders.push_back(found.m_pFolder);
            if (found.m_pEntry && taken.insert(found.m_pEntry).second)
                selection.m_Files.push_back(found.m_pEntry);
        };
        for (size_t i = 1; i < options.m_Operands.size(); ++i) {
            const std::string& item = options.m_Operands[i];
            bool matched = false;
            if (CItemFinder::IsPattern(item)) {
                finder.Match(item, flags, [&](const CItemFinder::CFound& found) {
                    matched = true;
                    take(found);
                });
            } else if (const CItemFinder::CFound found = finder.Find(item)) {
                matched = true;
                take(found);
            }
            if (!matched)
                sink.Print(kNotInArchive + item);
        }
    }

    // What --exclude matches is found once, by path, and left out by identity.
    std::unordered_set<const void*> excluded;
    if (!options.m_Excludes.empty())
        CPathWalk(*pack, escaper)
            .Walk([&](std::string_view path, const CPackFolder&, const CPackFolder* folder,
                      const CPackEntry* entry) {
                for (const std::string& pattern : options.m_Excludes)
                    if (CItemFinder::Matches(pattern, path, folder != nullptr, flags, true)) {
                        excluded.insert(folder ? static_cast<const void*>(folder) : entry);
                        break;
                    }
            });
    auto skip = [&excluded](const CPackFolder* folder, const CPackEntry* entry) {
        return excluded.count(folder ? static_cast<const void*>(folder) : entry) != 0;
    };

    if (options.m_bToStdout) {
        CStdoutWriter writer(*pack, sink, escaper, STDOUT_FILENO);
        writer.SetCancelFlag(&g_bInterrupted);
        if (!excluded.empty())
            writer.SetFilter(skip);
        writer.Write(selection);
    } else {
        CFolderWalk walk(*pack, sink, codec, CFolderWalk::kTreeMakeDir);
        walk.SetCancelFlag(&g_bInterrupted);
        walk.SetProgressCallback([&progress](const CProgress& p) { progress.Update(p); });
        if (!excluded.empty())
            walk.SetFilter(skip);
        if (options.m_eExisting == EExisting::Overwrite)
            walk.SetExisting(CFolderWalk::EExisting::Overwrite);
        if (options.m_eExisting == EExisting::Keep)
            walk.SetExisting(CFolderWalk::EExisting::KeepOld, [&](const std::string& name) {
                std::string line = kKeptExistingFile;
                CNameEscaper::AppendDecoded(line, name);
                if (options.m_bVerbose)
                    sink.Note(line);
            });
        progress.Start();
        selection.m_bUnderPaths = options.m_bFullPaths;
        walk.Extract(dirfd.Get(), selection);
    }
    progress.Clear();
    sink.SetProgressLine(nullptr);
    if (g_bInterrupted.load()) {
        sink.Print(kInterruptedText);
        return InterruptedStatus();
    }
    for (const std::string& line : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(line);
    return sink.Count() ? kReported : kDone;
}

int CCliApp::Check(const COptions& options) {
    if (options.m_Operands.size() != 1)
        return UsageError("check", "check takes one ARCHIVE");
    CConsoleSink sink;
    const auto pack = OpenArchive(options.m_Operands[0], sink);
    if (!pack)
        return kFailed;
    const CNameCodec codec(options.m_strEncoding);
    const CNameEscaper escaper(codec);
    CArchiveChecker checker(*pack, codec, escaper);
    COutputBuffer out(STDOUT_FILENO);
    checker.Report([&out](const std::string& lines) { out.Append(lines); });
    if (!out.Flush()) {
        sink.Print(kCouldNotWriteReport + std::string(std::strerror(out.Error())));
        return kReported;
    }
    return checker.m_nProblems == 0 ? kDone : kReported;
}

int CCliApp::Pack(const COptions& options) {
    if (options.m_Operands.size() != 2)
        return UsageError("pack", "pack takes a FOLDER and an ARCHIVE");
    CatchInterrupts();
    CConsoleSink sink;
    const CNameCodec codec(options.m_strEncoding);
    CArchivePacker packer(codec, sink, &g_bInterrupted);
    packer.SetSkipUnfit(options.m_bSkipUnfit);
    packer.SetVerbose(options.m_bVerbose);
    const CArchivePacker::EResult result = packer.Pack(options.m_Operands[0], options.m_Operands[1]);
    if (g_bInterrupted.load())
        return InterruptedStatus();
    if (result == CArchivePacker::EResult::NotOpened)
        return kFailed;
    return sink.Count() ? kReported : kDone;
}
