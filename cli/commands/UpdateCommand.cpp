// `vorpex-cli update`: an archive made to match a folder extracted from it.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <unistd.h>
#include <vector>

#include "catalogue/NameCodec.h"
#include "cli/ConsoleSink.h"
#include "cli/DiskFolder.h"
#include "cli/EditSession.h"
#include "cli/commands/Commands.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli update [--delete] [-n] [-v] [--encoding NAME] ARCHIVE FOLDER\n\n"
    "Makes ARCHIVE match FOLDER, read as extract -C FOLDER writes it (names decoded from the code\n"
    "page): files whose bytes differ are replaced in place, new files and folders are added at the\n"
    "end of their lists, and with --delete items with no counterpart in FOLDER are removed. Nothing\n"
    "to change leaves the archive untouched. Any refusal (a name not encodable or too long, a file\n"
    "meeting a folder of its name, a file that cannot be read) leaves the archive as it was.\n\n"
    "      --delete         remove items that FOLDER does not hold\n"
    "  -n, --dry-run        print what would change, change nothing\n"
    "  -v, --verbose        print each change\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

// True when the file at `path` below `base` holds the `size` bytes at `offset` of `archive`. Compares in
// pieces through two buffers made once, so memory stays flat whatever the sizes.
bool sameBytes(int base, const std::string& path, int archive, uint64_t offset, uint64_t size, bool& failed) {
    static constexpr size_t kPiece = 1 << 20;
    static const std::unique_ptr<char[]> a(new char[kPiece]), b(new char[kPiece]);
    FileDescriptor file(::openat(base, path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.isOpen()) {
        failed = true;
        return false;
    }
    for (uint64_t done = 0; done < size;) {
        const size_t piece = size_t(std::min<uint64_t>(kPiece, size - done));
        const ssize_t got = preadAll(file.get(), a.get(), piece, off_t(done));
        if (got != ssize_t(piece)) {
            failed = got < 0;
            return false;
        }
        if (preadAll(archive, b.get(), piece, off_t(offset + done)) != ssize_t(piece))
            return false; // the archive's data is cut: the file replaces it
        if (std::memcmp(a.get(), b.get(), piece) != 0)
            return false;
        done += piece;
    }
    return true;
}

class Updater {
public:
    Updater(const CommandLine& line, EditSession& session, int base, const struct stat& archive)
        : m_line(line), m_session(session), m_base(base), m_archive(archive) {}

    void match(ArchiveNode& folder, const std::string& relative) {
        const size_t before = folder.m_children.size(); // what follows is added by this update
        std::vector<DiskEntry> entries;
        if (!readDiskFolder(m_base, relative, entries)) {
            m_session.refuse(kCouldNotReadFolder + (relative.empty() ? "." : relative) + ": " +
                             std::strerror(errno));
            return;
        }
        // Items by the name extract gives them on disk; unsafe names are never extracted.
        std::map<std::string, size_t> byName;
        for (size_t i = 0; i < folder.m_children.size(); ++i) {
            const std::string_view raw = ArchiveEdit::nameOf(folder.m_children[i]);
            const std::string name = m_session.codec().decode(raw);
            if (!isUnsafeName(raw) && !isUnsafeName(name))
                byName.emplace(name, i);
        }
        std::set<size_t> matched;
        std::vector<std::pair<const DiskEntry*, size_t>> folders; // entered after this list is done
        for (const DiskEntry& entry : entries) {
            if (entry.m_st.st_dev == m_archive.st_dev && entry.m_st.st_ino == m_archive.st_ino)
                continue; // the archive itself, inside the folder
            const std::string path = joinPath(relative, entry.m_name);
            const bool isFolder = S_ISDIR(entry.m_st.st_mode);
            if (!isFolder && !S_ISREG(entry.m_st.st_mode)) {
                m_session.refuse(kNotFileOrFolder + path);
                continue;
            }
            const auto found = byName.find(entry.m_name);
            if (found == byName.end()) {
                add(folder, entry, path, folders);
                continue;
            }
            matched.insert(found->second);
            ArchiveNode& item = folder.m_children[found->second];
            if (item.m_folder != isFolder) {
                m_session.refuse(kFileFolderClash + path);
            } else if (isFolder) {
                folders.emplace_back(&entry, found->second);
            } else {
                bool failed = false;
                if (uint64_t(entry.m_st.st_size) == item.m_size &&
                    sameBytes(m_base, path, item.m_source.fd(), item.m_source.offset(), item.m_size, failed))
                    continue;
                if (failed) {
                    m_session.refuse(kCouldNotRead + path + ": " + std::strerror(errno));
                    continue;
                }
                m_session.change(kChangeReplace, shownPath(item));
                m_session.edit().replace(item, uint64_t(entry.m_st.st_size), DataSource::file(path));
            }
        }
        if (m_line.m_deleteMissing) {
            std::set<const ArchiveNode*> gone;
            for (size_t i = 0; i < folder.m_children.size(); ++i)
                if (!matched.count(i) && i < before) {
                    gone.insert(&folder.m_children[i]);
                    m_session.change(kChangeRemove, shownPath(folder.m_children[i]));
                }
            m_removed.insert(gone.begin(), gone.end());
        }
        for (const auto& [entry, index] : folders) {
            ArchiveNode& sub = folder.m_children[index];
            m_where.emplace_back(ArchiveEdit::nameOf(sub));
            match(sub, joinPath(relative, entry->m_name));
            m_where.pop_back();
        }
    }

    void start(ArchiveNode& root) {
        match(root, "");
        m_session.edit().remove(m_removed);
    }

private:
    void add(ArchiveNode& folder, const DiskEntry& entry, const std::string& path,
             std::vector<std::pair<const DiskEntry*, size_t>>& folders) {
        std::string raw;
        if (!m_session.encode(entry.m_name, false, raw, path))
            return;
        if (S_ISDIR(entry.m_st.st_mode)) {
            ArchiveNode* sub = m_session.edit().makeFolder(folder, raw);
            if (!sub) {
                m_session.refuse(kFileFolderClash + path);
                return;
            }
            m_session.change(kChangeAdd, shownPath(*sub));
            folders.emplace_back(&entry, size_t(sub - folder.m_children.data()));
            return;
        }
        if (!canRead(m_base, path)) {
            m_session.refuse(kCouldNotRead + path + ": " + std::strerror(errno));
            return;
        }
        ArchiveNode* file =
            m_session.edit().putFile(folder, raw, uint64_t(entry.m_st.st_size), DataSource::file(path));
        if (file)
            m_session.change(kChangeAdd, shownPath(*file));
        else
            m_session.refuse(kFileFolderClash + path);
    }

    std::string shownPath(const ArchiveNode& item) {
        m_where.emplace_back(ArchiveEdit::nameOf(item));
        std::string shown = m_session.shown(m_where, item.m_folder);
        m_where.pop_back();
        return shown;
    }

    const CommandLine& m_line;
    EditSession& m_session;
    int m_base;
    struct stat m_archive;
    std::vector<std::string> m_where; // the raw path of the archive folder in hand
    std::set<const ArchiveNode*> m_removed;
};

int run(const CommandLine& line) {
    if (line.m_operands.size() != 2)
        return usageError("update", "update takes an ARCHIVE and a FOLDER");
    ConsoleSink sink;
    FileDescriptor base(::open(line.m_operands[1].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.isOpen()) {
        sink.print(kCouldNotOpenFolder + line.m_operands[1] + ": " + std::strerror(errno));
        return ExitStatus::kFailed;
    }
    EditSession session(line, sink);
    if (!session.open(line.m_operands[0], true))
        return session.openStatus();
    session.edit().setSourceFolder(base.get());
    struct stat archive {};
    ::stat(line.m_operands[0].c_str(), &archive);
    Updater updater(line, session, base.get(), archive);
    updater.start(session.edit().root());
    return session.finish();
}

} // namespace

const Command kUpdateCommand = {
    "update",
    "make an archive match a folder extracted from it",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Delete, OptionId::DryRun, OptionId::Verbose}),
    kHelp,
    HelpTail::CommonAndStatus,
    false,
    run,
};

} // namespace vorpex
