// `vorpex-cli add`: files and folders from disk put into an archive.
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "cli/ConsoleSink.h"
#include "cli/DiskFolder.h"
#include "cli/EditSession.h"
#include "cli/commands/Commands.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli add [-C DIR] [--to FOLDER] [-k] [-n] [-v] [--encoding NAME] ARCHIVE PATH...\n\n"
    "Puts each PATH (relative to DIR, default the working directory) into ARCHIVE under FOLDER (a\n"
    "path as list prints it, default the top level), its relative path kept, a folder with\n"
    "everything below it; missing folders are made and a missing ARCHIVE is created. A file already\n"
    "there is replaced, in its place; new items go to the end of their folder's list. Absolute paths,\n"
    "paths with .., names too long or not encodable, folders nested deeper than 10 levels, data past\n"
    "4 GiB and a file meeting a folder of its name refuse the whole change: the archive stays as it\n"
    "was. The archive is saved crash-safely.\n\n"
    "  -C, --directory DIR  read the PATHs from DIR\n"
    "      --to FOLDER      put them under FOLDER in the archive\n"
    "  -k, --keep-old-files keep files already in the archive, and say so\n"
    "  -n, --dry-run        print what would change, change nothing\n"
    "  -v, --verbose        print each change\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

class Adder {
public:
    Adder(const CommandLine& line, EditSession& session, int base, const struct stat& archive)
        : m_line(line), m_session(session), m_base(base), m_archive(archive) {}

    // Adds `path` (below the base folder) into the archive folder reached by `folderPath`.
    void add(const std::vector<std::string>& folderPath, const std::string& path) {
        std::vector<std::string> names;
        for (size_t start = 0; start <= path.size();) {
            const size_t slash = std::min(path.find('/', start), path.size());
            const std::string name = path.substr(start, slash - start);
            if (name == "..") {
                m_session.refuse(kPathNotRelative + path);
                return;
            }
            if (!name.empty() && name != ".")
                names.push_back(name);
            start = slash + 1;
        }
        if (!path.empty() && path[0] == '/') {
            m_session.refuse(kPathNotRelative + path);
            return;
        }
        ArchiveNode* folder = &m_session.edit().root();
        m_where.clear();
        for (const std::string& raw : folderPath)
            if (!(folder = step(*folder, raw, raw)))
                return;
        std::string disk;
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            disk = joinPath(disk, names[i]);
            std::string raw;
            if (!m_session.encode(names[i], false, raw, disk) || !(folder = step(*folder, raw, disk)))
                return;
        }
        struct stat st {};
        if (names.empty()) { // the whole base folder
            addFolderContents(*folder, "");
            return;
        }
        const std::string relative = joinPath(disk, names.back());
        if (::fstatat(m_base, relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            m_session.refuse(kCouldNotRead + relative + ": " + std::strerror(errno));
            return;
        }
        addEntry(*folder, {names.back(), st}, relative);
    }

private:
    // The sub-folder of `folder` named `raw`, made when missing; null after refusing a file of that name.
    ArchiveNode* step(ArchiveNode& folder, const std::string& raw, const std::string& where) {
        const bool existed = ArchiveEdit::child(folder, raw) != nullptr;
        ArchiveNode* sub = m_session.edit().makeFolder(folder, raw);
        if (!sub) {
            m_session.refuse(kFileFolderClash + where);
            return nullptr;
        }
        m_where.push_back(raw);
        if (!existed)
            m_session.change(kChangeAdd, m_session.shown(m_where, true));
        return sub;
    }

    void addEntry(ArchiveNode& folder, const DiskEntry& entry, const std::string& relative) {
        if (entry.m_st.st_dev == m_archive.st_dev && entry.m_st.st_ino == m_archive.st_ino)
            return; // the archive itself, inside a folder added
        std::string raw;
        if (!S_ISDIR(entry.m_st.st_mode) && !S_ISREG(entry.m_st.st_mode)) {
            m_session.refuse(kNotFileOrFolder + relative);
            return;
        }
        if (!m_session.encode(entry.m_name, false, raw, relative))
            return;
        if (S_ISDIR(entry.m_st.st_mode)) {
            if (ArchiveNode* sub = step(folder, raw, relative)) {
                addFolderContents(*sub, relative);
                m_where.pop_back();
            }
            return;
        }
        const ArchiveNode* old = ArchiveEdit::child(folder, raw);
        if (old && old->m_folder) {
            m_session.refuse(kFileFolderClash + relative);
            return;
        }
        if (old && m_line.m_existing == CommandLine::Existing::Keep) {
            ConsoleSink().note(kKeptInArchive + shownFile(raw));
            return;
        }
        if (!canRead(m_base, relative)) {
            m_session.refuse(kCouldNotRead + relative + ": " + std::strerror(errno));
            return;
        }
        const bool replaced = old != nullptr;
        m_session.edit().putFile(folder, raw, uint64_t(entry.m_st.st_size), DataSource::file(relative));
        m_session.change(replaced ? kChangeReplace : kChangeAdd, shownFile(raw));
    }

    std::string shownFile(const std::string& raw) {
        m_where.push_back(raw);
        std::string shown = m_session.shown(m_where, false);
        m_where.pop_back();
        return shown;
    }

    void addFolderContents(ArchiveNode& folder, const std::string& relative) {
        std::vector<DiskEntry> entries;
        if (!readDiskFolder(m_base, relative, entries)) {
            m_session.refuse(kCouldNotReadFolder + (relative.empty() ? "." : relative) + ": " +
                             std::strerror(errno));
            return;
        }
        // `folder` stays valid: only its own list grows, and each entry is looked up afresh.
        for (const DiskEntry& entry : entries)
            addEntry(folder, entry, joinPath(relative, entry.m_name));
    }

    const CommandLine& m_line;
    EditSession& m_session;
    int m_base;
    struct stat m_archive;
    std::vector<std::string> m_where; // the raw path of the archive folder in hand
};

int run(const CommandLine& line) {
    if (line.m_operands.size() < 2)
        return usageError("add", "add takes an ARCHIVE and at least one PATH");
    ConsoleSink sink;
    const std::string dir = line.m_directory.value_or(".");
    FileDescriptor base(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.isOpen()) {
        sink.print(kCouldNotOpenFolder + dir + ": " + std::strerror(errno));
        return ExitStatus::kFailed;
    }
    EditSession session(line, sink);
    if (!session.open(line.m_operands[0], true))
        return session.openStatus();
    session.edit().setSourceFolder(base.get());
    // --to names archive folders as list prints them.
    std::vector<std::string> to;
    if (line.m_toFolder) {
        std::string text = *line.m_toFolder;
        while (!text.empty() && text.back() == '/')
            text.pop_back();
        for (size_t start = 0; !text.empty() && start <= text.size();) {
            const size_t slash = std::min(text.find('/', start), text.size());
            std::string raw;
            if (!session.encode(text.substr(start, slash - start), true, raw, *line.m_toFolder))
                return session.finish();
            to.push_back(raw);
            start = slash + 1;
        }
    }
    struct stat archive {};
    ::stat(line.m_operands[0].c_str(), &archive);
    Adder adder(line, session, base.get(), archive);
    for (size_t i = 1; i < line.m_operands.size(); ++i)
        adder.add(to, line.m_operands[i]);
    return session.finish();
}

} // namespace

const Command kAddCommand = {
    "add",
    "put files and folders into an archive",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Directory, OptionId::To, OptionId::KeepOld,
               OptionId::DryRun, OptionId::Verbose}),
    kHelp,
    HelpTail::CommonAndStatus,
    false,
    run,
};

} // namespace vorpex
