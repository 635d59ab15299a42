#include "cli/CliApp.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <set>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/ArchiveChecker.h"
#include "cli/ArchiveLister.h"
#include "cli/ArchivePacker.h"
#include "cli/ConsoleSink.h"
#include "cli/ItemFinder.h"
#include "cli/NameEscaper.h"
#include "cli/OutputBuffer.h"
#include "cli/ProgressLine.h"
#include "extract/FolderWalk.h"

#ifndef VORPEX_VERSION
#define VORPEX_VERSION "0.3"
#endif

namespace {

// Set by SIGINT and SIGTERM during extract and pack, which then stop cleanly: the file in hand is abandoned
// and no temporary stays behind.
std::atomic<bool> g_bInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_bInterrupted.store(true);
}

void CatchInterrupts() {
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

void Out(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

const char* const kUsage = "Usage:\n"
                           "  vorpex-cli list    [--long] [--encoding NAME] ARCHIVE\n"
                           "  vorpex-cli extract [-C DIR] [--encoding NAME] [--quiet] ARCHIVE [ITEM...]\n"
                           "  vorpex-cli check   [--encoding NAME] ARCHIVE\n"
                           "  vorpex-cli pack    [--encoding NAME] FOLDER ARCHIVE\n"
                           "  vorpex-cli --help | --version\n"
                           "  vorpex-cli help [COMMAND] | COMMAND --help\n";

const char* const kCommon =
    "Paths inside an archive join names with '/'; a folder's path ends with '/'. Names are decoded from the\n"
    "archive's code page (--encoding, default WINDOWS-1252; any name iconv knows) to UTF-8; in a name, '/',\n"
    "'\\' and control characters are shown as \\xHH, so every printed line is unambiguous.\n";

const char* const kStatus =
    "Exit status:\n"
    "  0  everything asked for was done and nothing was reported\n"
    "  1  something was reported: a problem the reader recorded, an ITEM not in the\n"
    "     archive, a message of the extraction, a skipped file or a refusal of pack\n"
    "  2  usage error, an archive that cannot be opened (\"Error opening file.\"), or a\n"
    "     DIR that cannot be entered (\"Could not change to directory \"); for pack, a FOLDER\n"
    "     that cannot be opened or an ARCHIVE that cannot be created\n"
    "  130  interrupted (extract and pack stop cleanly)\n";

} // namespace

CCliApp::CCliApp(int argc, char** argv) : m_Args(argv + 1, argv + argc) {}

const char* CCliApp::Version() {
    return VORPEX_VERSION;
}

void CCliApp::PrintHelp(const std::string& command) {
    if (command == "list") {
        Out("Usage: vorpex-cli list [--long] [--encoding NAME] ARCHIVE\n\n"
            "Prints one line per folder and file, in the order extraction makes them: the top-level files,\n"
            "then each top-level folder; for a folder, its line, its files in archive order, then each\n"
            "sub-folder the same way.\n\n"
            "  -l, --long           put each file's size in bytes and data offset before its path\n"
            "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n");
        Out(kCommon);
    } else if (command == "extract") {
        Out("Usage: vorpex-cli extract [-C DIR] [--encoding NAME] [--quiet] ARCHIVE [ITEM...]\n\n"
            "Recreates each ITEM (a path as `list` prints it, a folder's trailing '/' optional) inside DIR\n"
            "under its own name: a folder with everything below it, a file by itself. Without ITEM, the "
            "whole\n"
            "archive. Where several items share a path, the first in `list` order is taken. DIR must exist;\n"
            "it is never created. Nothing is ever written outside DIR, no link inside it is followed, and "
            "an\n"
            "existing file is replaced only by a complete copy; an existing folder is left alone (\"Could "
            "not\n"
            "make directory \" + name). Messages go to standard error, one per line.\n\n"
            "  -C, --directory DIR  extract into DIR (default: the current directory)\n"
            "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n"
            "  -q, --quiet          no progress line (it shows only on a terminal, for long "
            "extractions)\n\n");
        Out(kCommon);
    } else if (command == "check") {
        Out("Usage: vorpex-cli check [--encoding NAME] ARCHIVE\n\n"
            "Prints the numbers of folders and files and the total bytes, then every problem found: records\n"
            "of unknown type, lists cut by the end of the file, the nesting limit or a cycle, file data "
            "lying\n"
            "beyond the end of the archive, unsafe names and names that occur twice in one folder.\n\n"
            "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n");
        Out(kCommon);
    } else if (command == "pack") {
        Out("Usage: vorpex-cli pack [--encoding NAME] FOLDER ARCHIVE\n\n"
            "Builds an archive holding one top-level folder named after FOLDER, with its files and "
            "sub-folders.\n"
            "In every list the files come first, then the folders, each sorted by name (byte order), so the\n"
            "output is reproducible. Names are encoded to the code page. Symbolic links and special files "
            "are\n"
            "skipped with a message. Refuses, writing nothing, names longer than 32 bytes once encoded or "
            "not\n"
            "encodable, folders nested deeper than 10 levels (FOLDER counts as one) and data that would lie\n"
            "past 4 GiB. The archive is written to a temporary file and renamed into place when complete.\n\n"
            "  -e, --encoding NAME  code page of the names (default WINDOWS-1252)\n\n");
    } else {
        Out(std::string("vorpex-cli ") + Version() +
            ": list, extract, check and pack archives of the game-data format Vorpex opens.\n\n");
        Out(kUsage);
        Out("\nCommands:\n"
            "  list     print every folder and file of an archive\n"
            "  extract  extract folders and files, or the whole archive\n"
            "  check    count an archive's contents and find its problems\n"
            "  pack     build an archive from a folder\n\n");
        Out(kCommon);
        Out("\n");
        Out(kStatus);
        return;
    }
    Out("\n");
    Out(kStatus);
}

int CCliApp::UsageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "vorpex-cli: %s\nTry 'vorpex-cli %s--help'.\n", message.c_str(),
                 command.empty() ? "" : (command + " ").c_str());
    return kFailed;
}

bool CCliApp::Parse(const std::string& command, size_t first, COptions& options) {
    options.m_strEncoding = CNameCodec::kDefault;
    bool operandsOnly = false;
    for (size_t i = first; i < m_Args.size(); ++i) {
        const std::string& arg = m_Args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            options.m_Operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        // An option's value: "--name VALUE", "--name=VALUE", "-C VALUE" or "-CVALUE".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
            hasValue = true;
        }
        const bool takesValue = name == "--encoding" || name == "-e" ||
                                (command == "extract" && (name == "-C" || name == "--directory"));
        if (takesValue && !hasValue) {
            if (i + 1 == m_Args.size()) {
                UsageError(command, "option " + name + " needs a value");
                return false;
            }
            value = m_Args[++i];
            hasValue = true;
        }
        if (hasValue && !takesValue) {
            UsageError(command, "unknown option '" + arg + "'");
            return false;
        }
        if (name == "--help" || name == "-h")
            options.m_bHelp = true;
        else if (name == "--encoding" || name == "-e")
            options.m_strEncoding = value;
        else if (name == "-C" || name == "--directory")
            options.m_strDir = value;
        else if (command == "list" && (name == "--long" || name == "-l"))
            options.m_bLong = true;
        else if (command == "extract" && (name == "--quiet" || name == "-q"))
            options.m_bQuiet = true;
        else {
            UsageError(command, "unknown option '" + arg + "'");
            return false;
        }
    }
    return true;
}

int CCliApp::Run() {
    if (m_Args.empty())
        return UsageError("", "no command given");
    const std::string& command = m_Args[0];
    if (command == "--help" || command == "-h") {
        PrintHelp("");
        return kDone;
    }
    if (command == "--version" || command == "-V") {
        Out(std::string("vorpex-cli ") + Version() + "\n");
        return kDone;
    }
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
    if (!Parse(command, 1, options))
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
        pack = std::make_unique<CPackFile>(path, readerSink);
    } catch (const std::bad_alloc&) {
        sink.Print("Error opening file. " + path + " (out of memory)");
        return nullptr;
    }
    if (!pack->IsOpen()) {
        sink.Print("Error opening file. " + path);
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
    const CNameEscaper escaper(codec);
    bool written;
    {
        COutputBuffer out(STDOUT_FILENO);
        CArchiveLister(*pack, escaper, out).List(options.m_bLong);
        written = out.Flush();
        if (!written)
            sink.Print(std::string("Could not write the listing: ") + std::strerror(out.Error()));
    }
    for (const std::string& line : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(line);
    return sink.Count() ? kReported : kDone;
}

int CCliApp::Extract(const COptions& options) {
    if (options.m_Operands.empty())
        return UsageError("extract", "extract takes an ARCHIVE");
    CatchInterrupts();
    CProgressLine progress(!options.m_bQuiet && ::isatty(STDERR_FILENO), STDERR_FILENO);
    CConsoleSink sink;
    sink.SetProgressLine(&progress);
    const auto pack = OpenArchive(options.m_Operands[0], sink);
    if (!pack)
        return kFailed;
    const std::string dir = options.m_strDir.empty() ? "." : options.m_strDir;
    const int dirfd = CFolderWalk::OpenDestination(dir);
    if (dirfd < 0) {
        sink.Print(CFolderWalk::kChangeDir + dir);
        return kFailed;
    }

    const CNameCodec codec(options.m_strEncoding);
    const CNameEscaper escaper(codec);
    CSelection selection;
    if (options.m_Operands.size() == 1) {
        selection.m_bWholeArchive = true;
    } else {
        const CItemFinder finder(*pack, escaper);
        std::set<const void*> taken; // an item named twice is extracted once
        for (size_t i = 1; i < options.m_Operands.size(); ++i) {
            const std::string& item = options.m_Operands[i];
            const CItemFinder::CFound found = finder.Find(item);
            if (!found) {
                sink.Print("Not in archive: " + item);
                continue;
            }
            if (found.m_pFolder && taken.insert(found.m_pFolder).second)
                selection.m_Folders.push_back(found.m_pFolder);
            if (found.m_pEntry && taken.insert(found.m_pEntry).second)
                selection.m_Files.push_back(found.m_pEntry);
        }
    }

    CFolderWalk walk(*pack, sink, codec, CFolderWalk::kTreeMakeDir);
    walk.SetCancelFlag(&g_bInterrupted);
    walk.SetProgressCallback([&progress](const CProgress& p) { progress.Update(p); });
    progress.Start();
    const CExtractResult result = walk.Extract(dirfd, selection);
    ::close(dirfd);
    progress.Clear();
    sink.SetProgressLine(nullptr);
    if (result.m_bCancelled || g_bInterrupted.load()) {
        sink.Print("Interrupted");
        return kInterrupted;
    }
    for (const std::string& line : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(line);
    return sink.Count() || result.m_nMessages ? kReported : kDone;
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
    checker.Count();
    COutputBuffer out(STDOUT_FILENO);
    out.Append("Folders: " + std::to_string(checker.m_nFolders) + "\n");
    out.Append("Files: " + std::to_string(checker.m_nFiles) + "\n");
    out.Append("Bytes: " + std::to_string(checker.m_nBytes) + "\n");
    checker.Check([&out](const std::string& line) {
        out.Append(line);
        out.Append('\n');
    });
    out.Append(checker.m_nProblems == 0
                   ? "No problems found.\n"
                   : std::to_string(checker.m_nProblems) +
                         (checker.m_nProblems == 1 ? " problem" : " problems") + " found.\n");
    if (!out.Flush()) {
        sink.Print(std::string("Could not write the report: ") + std::strerror(out.Error()));
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
    const CArchivePacker::EResult result = packer.Pack(options.m_Operands[0], options.m_Operands[1]);
    if (g_bInterrupted.load())
        return kInterrupted;
    if (result == CArchivePacker::EResult::NotOpened)
        return kFailed;
    return sink.Count() ? kReported : kDone;
}
