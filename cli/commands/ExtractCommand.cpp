// `vorpex-cli extract`: folders and files of an archive, or all of it, recreated inside a folder or written
// to standard output.
#include <fnmatch.h>
#include <set>
#include <unistd.h>
#include <unordered_set>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "catalogue/PathWalk.h"
#include "catalogue/Selection.h"
#include "cli/ArchiveInput.h"
#include "cli/ConsoleSink.h"
#include "cli/Convert.h"
#include "cli/Interrupts.h"
#include "cli/ItemFinder.h"
#include "cli/ProgressLine.h"
#include "cli/StdoutWriter.h"
#include "cli/commands/Commands.h"
#include "extract/FolderWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace {

const char* const kHelp =
    "Usage: vorpex-cli extract [OPTION...] ARCHIVE [ITEM...]\n\n"
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
    "      --convert             write pictures of old games (PCX, TGA, LBM/IFF) as PNG and\n"
    "                            Creative Voice sounds (VOC) as WAV, under their names with\n"
    "                            the new extension (TITLE.PCX as TITLE.png); every other file,\n"
    "                            and one that cannot be decoded (named, with why), is\n"
    "                            extracted as it is\n"
    "  -e, --encoding NAME       code page of the archive's names (default WINDOWS-1252)\n"
    "  -q, --quiet               no progress line (it shows only on a terminal, for long\n"
    "                            extractions)\n"
    "  -v, --verbose             name each file kept by --keep-old-files\n\n";

// What one extraction works on: the archive and how its names read, and where messages go.
struct Extraction {
    const CommandLine& line;
    const CPackFile& pack;
    const CNameCodec& codec;
    const CNameEscaper& escaper;
    CConsoleSink& sink;
    int patternFlags; // for fnmatch
};

// The ITEMs (operands after ARCHIVE), each found by its path or matched as a pattern; an item named twice
// is taken once. Each that finds nothing is reported.
CSelection selectItems(const Extraction& x) {
    CSelection selection;
    if (x.line.operands.size() == 1) {
        selection.m_bWholeArchive = true;
        return selection;
    }
    const CItemFinder finder(x.pack, x.escaper);
    std::set<const void*> taken;
    auto take = [&](const CItemFinder::CFound& found) {
        if (found.m_pFolder && taken.insert(found.m_pFolder).second)
            selection.m_Folders.push_back(found.m_pFolder);
        if (found.m_pEntry && taken.insert(found.m_pEntry).second)
            selection.m_Files.push_back(found.m_pEntry);
    };
    for (size_t i = 1; i < x.line.operands.size(); ++i) {
        const std::string& item = x.line.operands[i];
        bool matched = false;
        if (CItemFinder::IsPattern(item)) {
            finder.Match(item, x.patternFlags, [&](const CItemFinder::CFound& found) {
                matched = true;
                take(found);
            });
        } else if (const CItemFinder::CFound found = finder.Find(item)) {
            matched = true;
            take(found);
        }
        if (!matched)
            x.sink.Print(kNotInArchive + item);
    }
    return selection;
}

// What --exclude matches, found once by path, to be left out by identity (a folder or an entry).
std::unordered_set<const void*> findExcluded(const Extraction& x) {
    std::unordered_set<const void*> excluded;
    if (x.line.excludes.empty())
        return excluded;
    CPathWalk(x.pack, x.escaper)
        .Walk([&](std::string_view path, const CPackFolder&, const CPackFolder* folder,
                  const CPackEntry* entry) {
            for (const std::string& pattern : x.line.excludes)
                if (CItemFinder::Matches(pattern, path, folder != nullptr, x.patternFlags, true)) {
                    excluded.insert(folder ? static_cast<const void*>(folder) : entry);
                    break;
                }
        });
    return excluded;
}

using SkipTest = std::function<bool(const CPackFolder*, const CPackEntry*)>;

void writeToStdout(const Extraction& x, const CSelection& selection, const SkipTest& skip) {
    CStdoutWriter writer(x.pack, x.sink, x.escaper, STDOUT_FILENO);
    writer.SetCancelFlag(&interruptFlag());
    if (skip)
        writer.SetFilter(skip);
    writer.Write(selection);
}

void extractToDisk(const Extraction& x, int dirfd, CSelection& selection, const SkipTest& skip,
                   CProgressLine& progress) {
    CFolderWalk walk(x.pack, x.sink, x.codec, CFolderWalk::kTreeMakeDir);
    walk.SetCancelFlag(&interruptFlag());
    walk.SetProgressCallback([&progress](const CProgress& p) { progress.Update(p); });
    if (skip)
        walk.SetFilter(skip);
    if (x.line.existing == CommandLine::Existing::Overwrite)
        walk.SetExisting(CFolderWalk::EExisting::Overwrite);
    if (x.line.existing == CommandLine::Existing::Keep)
        walk.SetExisting(CFolderWalk::EExisting::KeepOld, [&x](const std::string& name) {
            std::string kept = kKeptExistingFile;
            CNameEscaper::AppendDecoded(kept, name);
            if (x.line.verbose)
                x.sink.Note(kept);
        });
    if (x.line.convert)
        walk.Writer().SetConverter(mediaConverter(x.pack, x.sink));
    progress.Start();
    selection.m_bUnderPaths = x.line.fullPaths;
    walk.Extract(dirfd, selection);
}

// Selects, leaves out what is excluded and extracts, to DIR (open at `dirfd`) or to standard output.
void extract(const Extraction& x, int dirfd, CProgressLine& progress) {
    CSelection selection = selectItems(x);
    const std::unordered_set<const void*> excluded = findExcluded(x);
    SkipTest skip;
    if (!excluded.empty())
        skip = [&excluded](const CPackFolder* folder, const CPackEntry* entry) {
            return excluded.count(folder ? static_cast<const void*>(folder) : entry) != 0;
        };
    if (x.line.toStdout)
        writeToStdout(x, selection, skip);
    else
        extractToDisk(x, dirfd, selection, skip, progress);
}

int run(const CommandLine& line) {
    if (line.operands.empty())
        return usageError("extract", "extract takes an ARCHIVE");
    if (line.toStdout &&
        (line.directory || line.fullPaths || line.existing != CommandLine::Existing::Default))
        return usageError("extract",
                          "--to-stdout makes nothing on disk: it takes no -C, -p, -k or --overwrite");
    if (line.toStdout && line.convert)
        return usageError("extract", "--convert names the files it makes: it takes no --to-stdout");
    catchInterrupts();
    CProgressLine progress(!line.quiet && !line.toStdout && ::isatty(STDERR_FILENO), STDERR_FILENO);
    CConsoleSink sink;
    sink.SetProgressLine(&progress);
    const auto pack = openArchive(line.operands[0], sink);
    if (!pack)
        return ExitStatus::kFailed;
    // An empty DIR (an unset variable in a script) is a directory that cannot be entered.
    const std::string dir = line.directory.value_or(".");
    const CFileDescriptor dirfd = line.toStdout ? CFileDescriptor() : CFolderWalk::OpenDestination(dir);
    if (!line.toStdout && !dirfd.IsOpen()) {
        sink.Print(CFolderWalk::kChangeDir + dir);
        return ExitStatus::kFailed;
    }
    const CNameCodec codec(line.encoding);
    const CNameEscaper escaper(codec);
    extract({line, *pack, codec, escaper, sink, line.slashLiteral ? FNM_PATHNAME : 0}, dirfd.Get(), progress);
    progress.Clear();
    sink.SetProgressLine(nullptr);
    if (interrupted()) {
        sink.Print(kInterruptedText);
        return interruptedStatus();
    }
    for (const std::string& problem : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(problem);
    return sink.Count() ? ExitStatus::kReported : ExitStatus::kDone;
}

} // namespace

const Command kExtractCommand = {
    "extract",
    "extract folders and files, or the whole archive",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Directory, OptionId::Quiet, OptionId::FullPaths,
               OptionId::KeepOld, OptionId::Overwrite, OptionId::ToStdout, OptionId::Exclude,
               OptionId::NoWildcardsMatchSlash, OptionId::Verbose, OptionId::Convert}),
    kHelp,
    HelpTail::CommonAndStatus,
    false,
    run,
};
