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

namespace vorpex {

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
    const CommandLine& m_line;
    const PackFile& m_pack;
    const NameCodec& m_codec;
    const NameEscaper& m_escaper;
    ConsoleSink& m_sink;
    int m_patternFlags; // for fnmatch
};

// The ITEMs (operands after ARCHIVE), each found by its path or matched as a pattern; an item named twice
// is taken once. Each that finds nothing is reported.
Selection selectItems(const Extraction& x) {
    Selection selection;
    if (x.m_line.m_operands.size() == 1) {
        selection.m_wholeArchive = true;
        return selection;
    }
    const ItemFinder finder(x.m_pack, x.m_escaper);
    std::set<const void*> taken;
    auto take = [&](const ItemFinder::Found& found) {
        if (found.m_folder && taken.insert(found.m_folder).second)
            selection.m_folders.push_back(found.m_folder);
        if (found.m_entry && taken.insert(found.m_entry).second)
            selection.m_files.push_back(found.m_entry);
    };
    for (size_t i = 1; i < x.m_line.m_operands.size(); ++i) {
        const std::string& item = x.m_line.m_operands[i];
        bool matched = false;
        if (ItemFinder::isPattern(item)) {
            finder.match(item, x.m_patternFlags, [&](const ItemFinder::Found& found) {
                matched = true;
                take(found);
            });
        } else if (const ItemFinder::Found found = finder.find(item)) {
            matched = true;
            take(found);
        }
        if (!matched)
            x.m_sink.print(kNotInArchive + item);
    }
    return selection;
}

// What --exclude matches, found once by path, to be left out by identity (a folder or an entry).
std::unordered_set<const void*> findExcluded(const Extraction& x) {
    std::unordered_set<const void*> excluded;
    if (x.m_line.m_excludes.empty())
        return excluded;
    PathWalk(x.m_pack, x.m_escaper)
        .walk(
            [&](std::string_view path, const PackFolder&, const PackFolder* folder, const PackEntry* entry) {
                for (const std::string& pattern : x.m_line.m_excludes)
                    if (ItemFinder::matches(pattern, path, folder != nullptr, x.m_patternFlags, true)) {
                        excluded.insert(folder ? static_cast<const void*>(folder) : entry);
                        break;
                    }
            });
    return excluded;
}

using SkipTest = std::function<bool(const PackFolder*, const PackEntry*)>;

void writeToStdout(const Extraction& x, const Selection& selection, const SkipTest& skip) {
    StdoutWriter writer(x.m_pack, x.m_sink, x.m_escaper, STDOUT_FILENO);
    writer.setCancelFlag(&interruptFlag());
    if (skip)
        writer.setFilter(skip);
    writer.write(selection);
}

void extractToDisk(const Extraction& x, int dirfd, Selection& selection, const SkipTest& skip,
                   ProgressLine& progress) {
    FolderWalk walk(x.m_pack, x.m_sink, x.m_codec, FolderWalk::kTreeMakeDir);
    walk.setCancelFlag(&interruptFlag());
    walk.setProgressCallback([&progress](const Progress& p) { progress.update(p); });
    if (skip)
        walk.setFilter(skip);
    if (x.m_line.m_existing == CommandLine::Existing::Overwrite)
        walk.setExisting(FolderWalk::Existing::Overwrite);
    if (x.m_line.m_existing == CommandLine::Existing::Keep)
        walk.setExisting(FolderWalk::Existing::KeepOld, [&x](const std::string& name) {
            std::string kept = kKeptExistingFile;
            NameEscaper::appendDecoded(kept, name);
            if (x.m_line.m_verbose)
                x.m_sink.note(kept);
        });
    if (x.m_line.m_convert)
        walk.writer().setConverter(mediaConverter(x.m_pack, x.m_sink));
    progress.start();
    selection.m_underPaths = x.m_line.m_fullPaths;
    walk.extract(dirfd, selection);
}

// Selects, leaves out what is excluded and extracts, to DIR (open at `dirfd`) or to standard output.
void extract(const Extraction& x, int dirfd, ProgressLine& progress) {
    Selection selection = selectItems(x);
    const std::unordered_set<const void*> excluded = findExcluded(x);
    SkipTest skip;
    if (!excluded.empty())
        skip = [&excluded](const PackFolder* folder, const PackEntry* entry) {
            return excluded.count(folder ? static_cast<const void*>(folder) : entry) != 0;
        };
    if (x.m_line.m_toStdout)
        writeToStdout(x, selection, skip);
    else
        extractToDisk(x, dirfd, selection, skip, progress);
}

int run(const CommandLine& line) {
    if (line.m_operands.empty())
        return usageError("extract", "extract takes an ARCHIVE");
    if (line.m_toStdout &&
        (line.m_directory || line.m_fullPaths || line.m_existing != CommandLine::Existing::Default))
        return usageError("extract",
                          "--to-stdout makes nothing on disk: it takes no -C, -p, -k or --overwrite");
    if (line.m_toStdout && line.m_convert)
        return usageError("extract", "--convert names the files it makes: it takes no --to-stdout");
    catchInterrupts();
    ProgressLine progress(!line.m_quiet && !line.m_toStdout && ::isatty(STDERR_FILENO), STDERR_FILENO);
    ConsoleSink sink;
    sink.setProgressLine(&progress);
    const auto pack = openArchive(line.m_operands[0], sink);
    if (!pack)
        return ExitStatus::kFailed;
    // An empty DIR (an unset variable in a script) is a directory that cannot be entered.
    const std::string dir = line.m_directory.value_or(".");
    const FileDescriptor dirfd = line.m_toStdout ? FileDescriptor() : FolderWalk::openDestination(dir);
    if (!line.m_toStdout && !dirfd.isOpen()) {
        sink.print(FolderWalk::kChangeDir + dir);
        return ExitStatus::kFailed;
    }
    const NameCodec codec(line.m_encoding);
    const NameEscaper escaper(codec);
    extract({line, *pack, codec, escaper, sink, line.m_slashLiteral ? FNM_PATHNAME : 0}, dirfd.get(),
            progress);
    progress.clear();
    sink.setProgressLine(nullptr);
    if (interrupted()) {
        sink.print(kInterruptedText);
        return interruptedStatus();
    }
    for (const std::string& problem : ArchiveChecker::readProblems(pack->report()))
        sink.print(problem);
    return sink.count() ? ExitStatus::kReported : ExitStatus::kDone;
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

} // namespace vorpex
