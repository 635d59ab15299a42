#include "extract/FolderWalk.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/FileDescriptor.h"

namespace vorpex {

FolderWalk::FolderWalk(const PackFile& pack, MessageSink& sink, const NameCodec& codec,
                       const char* makeDirMessage)
    : m_pack(pack), m_writer(pack, sink, codec), m_makeDir(makeDirMessage) {}

FileDescriptor FolderWalk::openDestination(const std::string& path) {
    if (path.empty())
        return {};
    // O_PATH: folders serve only as anchors for the *at calls, so one the user may write into and search
    // but not list (mode -wx) is a destination as it is for cp and tar.
    return FileDescriptor(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

void FolderWalk::addToTotals(const PackFolder& folder) {
    const FolderTotals below = m_pack.countBelow(folder);
    m_writer.addToTotals(below.m_fileCount, below.m_byteCount);
}

void FolderWalk::addToTotals(const PackEntry& entry) {
    m_writer.addToTotals(1, entry.size());
}

ExtractResult FolderWalk::extract(int dirfd, const Selection& selection) {
    if (selection.m_underPaths && !selection.m_wholeArchive) {
        extractUnderPaths(dirfd, selection);
        return result();
    }
    if (selection.m_wholeArchive)
        addToTotals(m_pack.top());
    for (const PackFolder* folder : selection.m_folders)
        addToTotals(*folder);
    for (const PackEntry* entry : selection.m_files)
        addToTotals(*entry);

    if (selection.m_wholeArchive)
        extractContents(dirfd, m_pack.top());
    for (const PackFolder* folder : selection.m_folders) {
        if (m_writer.isCancelled())
            break;
        extractFolder(dirfd, *folder);
    }
    for (const PackEntry* entry : selection.m_files) {
        if (m_writer.isCancelled())
            break;
        writeEntry(dirfd, *entry);
    }
    return result();
}

void FolderWalk::extractUnderPaths(int dirfd, const Selection& selection) {
    const std::unordered_set<const PackFolder*> chosen(selection.m_folders.begin(),
                                                       selection.m_folders.end());
    auto covered = [&](const PackFolder* folder) {
        for (; folder; folder = folder->parent())
            if (chosen.count(folder))
                return true;
        return false;
    };
    std::vector<const PackFolder*> folders;
    for (const PackFolder* folder : selection.m_folders)
        if (!covered(folder->parent())) {
            folders.push_back(folder);
            addToTotals(*folder);
        }
    // The files of one folder are written together, in the order their folders first come: the writer
    // tells what it wrote itself from what stood there before only within the folder in hand.
    std::unordered_map<const PackFolder*, size_t> rank;
    std::vector<const PackEntry*> files;
    for (const PackEntry* entry : selection.m_files)
        if (!covered(entry->folder())) {
            rank.emplace(entry->folder(), rank.size());
            files.push_back(entry);
            addToTotals(*entry);
        }
    std::stable_sort(files.begin(), files.end(), [&](const PackEntry* a, const PackEntry* b) {
        return rank.at(a->folder()) < rank.at(b->folder());
    });

    // A folder's path is entered once for the items that lie in it; when it cannot be, that is said once and
    // its items are passed over.
    const PackFolder* entered = nullptr;
    FileDescriptor sub;
    auto enter = [&](const PackFolder* parent, const PackFolder* folder, const PackEntry* entry) {
        if (m_writer.isCancelled())
            return false;
        if (!sub.isOpen() || parent != entered) {
            entered = parent;
            sub = enterPath(dirfd, parent);
        }
        if (!sub.isOpen()) {
            const FolderTotals below =
                folder ? m_pack.countBelow(*folder) : FolderTotals{0, 1, entry->size()};
            m_writer.skipped(below.m_fileCount, below.m_byteCount);
        }
        return sub.isOpen();
    };
    for (const PackFolder* folder : folders)
        if (enter(folder->parent(), folder, nullptr))
            extractFolder(sub.get(), *folder);
    for (const PackEntry* entry : files)
        if (enter(entry->folder(), nullptr, entry))
            writeEntry(sub.get(), *entry);
}

void FolderWalk::extractFolder(int dirfd, const PackFolder& folder) {
    if (m_writer.isCancelled())
        return;
    // Whatever is not made below here still counts as dealt with, so progress reaches its totals.
    auto skip = [&](const char* text) {
        if (text)
            m_writer.reportName(text, folder.name());
        const FolderTotals below = m_pack.countBelow(folder);
        m_writer.skipped(below.m_fileCount, below.m_byteCount);
    };
    if (m_skip && m_skip(&folder, nullptr))
        return skip(nullptr);
    const std::string_view raw = folder.name();
    const std::string name = m_writer.codec().decode(raw);
    if (isUnsafeName(raw) || isUnsafeName(name))
        return skip(kSkippedUnsafeName);
    // By default an existing folder, file or link of that name is not entered: nothing of this folder is
    // written. Merging enters an existing folder, never a link (O_NOFOLLOW).
    const bool made = mkdirat(dirfd, name.c_str(), 0777) == 0;
    if (!made && (m_existing == Existing::Default || errno != EEXIST))
        return skip(m_makeDir);
    m_foldersMade += made;
    // O_NOFOLLOW: should the new folder have been swapped for a link meanwhile, it is not entered.
    const FileDescriptor sub(openat(dirfd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (sub.get() < 0)
        return skip(made ? kChangeDir : m_makeDir);
    if (m_existing != Existing::Default && !remember(sub.get(), made))
        return skip(m_makeDir);
    extractContents(sub.get(), folder);
}

bool FolderWalk::remember(int fd, bool made) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    const std::pair<uint64_t, uint64_t> id(st.st_dev, st.st_ino);
    return made ? m_made.insert(id).second : m_made.count(id) == 0;
}

FileDescriptor FolderWalk::enterPath(int dirfd, const PackFolder* folder) {
    if (!folder)
        return FileDescriptor(fcntl(dirfd, F_DUPFD_CLOEXEC, 0));
    const FileDescriptor parent = enterPath(dirfd, folder->parent());
    if (!parent.isOpen())
        return {};
    const std::string_view raw = folder->name();
    const std::string name = m_writer.codec().decode(raw);
    if (isUnsafeName(raw) || isUnsafeName(name)) {
        m_writer.reportName(kSkippedUnsafeName, raw);
        return {};
    }
    m_foldersMade += mkdirat(parent.get(), name.c_str(), 0777) == 0;
    FileDescriptor sub(openat(parent.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!sub.isOpen())
        m_writer.reportName(m_makeDir, raw);
    return sub;
}

void FolderWalk::extractContents(int dirfd, const PackFolder& folder) {
    extractFolderFiles(dirfd, folder);
    for (const PackFolder* child : folder.children()) {
        if (m_writer.isCancelled())
            return;
        extractFolder(dirfd, *child);
    }
}

void FolderWalk::extractFolderFiles(int dirfd, const PackFolder& folder) {
    for (uint32_t index : folder.files()) {
        if (m_writer.isCancelled())
            return;
        writeEntry(dirfd, m_pack.entry(index));
    }
}

bool FolderWalk::writeEntry(int dirfd, const PackEntry& entry) {
    if (m_skip && m_skip(nullptr, &entry)) {
        m_writer.skipped(1, entry.size());
        return false;
    }
    if (m_existing == Existing::KeepOld) {
        // Whatever stood there before stays, a link included; what this walk wrote itself and unsafe names
        // go on to the writer, which refuses them.
        const std::string name = m_writer.codec().decode(entry.name());
        struct stat st {};
        if (!isUnsafeName(entry.name()) && !isUnsafeName(name) &&
            fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !m_made.count({uint64_t(st.st_dev), uint64_t(st.st_ino)})) {
            m_writer.skipped(1, entry.size());
            if (m_kept)
                m_kept(name);
            return false;
        }
    }
    if (m_writer.writeEntry(dirfd, entry) != EntryWriter::Result::Written)
        return false;
    if (m_existing == Existing::KeepOld)
        m_made.insert(m_writer.lastWritten());
    ++m_filesWritten;
    m_bytesWritten += entry.size();
    return true;
}

ExtractResult FolderWalk::result() const {
    ExtractResult result;
    result.m_filesWritten = m_filesWritten;
    result.m_bytesWritten = m_bytesWritten;
    result.m_foldersMade = m_foldersMade;
    result.m_messageCount = m_writer.messageCount();
    result.m_cancelled = m_writer.isCancelled();
    return result;
}

} // namespace vorpex
