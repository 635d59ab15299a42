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

CFolderWalk::CFolderWalk(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec,
                         const char* makeDirMessage)
    : m_Pack(pack), m_Writer(pack, sink, codec), m_pszMakeDir(makeDirMessage) {}

CFileDescriptor CFolderWalk::OpenDestination(const std::string& path) {
    if (path.empty())
        return {};
    // O_PATH: folders serve only as anchors for the *at calls, so one the user may write into and search
    // but not list (mode -wx) is a destination as it is for cp and tar.
    return CFileDescriptor(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

void CFolderWalk::AddToTotals(const CPackFolder& folder) {
    const CFolderTotals below = m_Pack.CountBelow(folder);
    m_Writer.AddToTotals(below.m_nFiles, below.m_nBytes);
}

void CFolderWalk::AddToTotals(const CPackEntry& entry) {
    m_Writer.AddToTotals(1, entry.GetSize());
}

CExtractResult CFolderWalk::Extract(int dirfd, const CSelection& selection) {
    if (selection.m_bUnderPaths && !selection.m_bWholeArchive) {
        ExtractUnderPaths(dirfd, selection);
        return Result();
    }
    if (selection.m_bWholeArchive)
        AddToTotals(m_Pack.GetTop());
    for (const CPackFolder* folder : selection.m_Folders)
        AddToTotals(*folder);
    for (const CPackEntry* entry : selection.m_Files)
        AddToTotals(*entry);

    if (selection.m_bWholeArchive)
        ExtractContents(dirfd, m_Pack.GetTop());
    for (const CPackFolder* folder : selection.m_Folders) {
        if (m_Writer.IsCancelled())
            break;
        ExtractFolder(dirfd, *folder);
    }
    for (const CPackEntry* entry : selection.m_Files) {
        if (m_Writer.IsCancelled())
            break;
        WriteEntry(dirfd, *entry);
    }
    return Result();
}

void CFolderWalk::ExtractUnderPaths(int dirfd, const CSelection& selection) {
    const std::unordered_set<const CPackFolder*> chosen(selection.m_Folders.begin(),
                                                        selection.m_Folders.end());
    auto covered = [&](const CPackFolder* folder) {
        for (; folder; folder = folder->GetParent())
            if (chosen.count(folder))
                return true;
        return false;
    };
    std::vector<const CPackFolder*> folders;
    for (const CPackFolder* folder : selection.m_Folders)
        if (!covered(folder->GetParent())) {
            folders.push_back(folder);
            AddToTotals(*folder);
        }
    // The files of one folder are written together, in the order their folders first come: the writer
    // tells what it wrote itself from what stood there before only within the folder in hand.
    std::unordered_map<const CPackFolder*, size_t> rank;
    std::vector<const CPackEntry*> files;
    for (const CPackEntry* entry : selection.m_Files)
        if (!covered(entry->GetFolder())) {
            rank.emplace(entry->GetFolder(), rank.size());
            files.push_back(entry);
            AddToTotals(*entry);
        }
    std::stable_sort(files.begin(), files.end(), [&](const CPackEntry* a, const CPackEntry* b) {
        return rank.at(a->GetFolder()) < rank.at(b->GetFolder());
    });

    // A folder's path is entered once for the items that lie in it; when it cannot be, that is said once and
    // its items are passed over.
    const CPackFolder* entered = nullptr;
    CFileDescriptor sub;
    auto enter = [&](const CPackFolder* parent, const CPackFolder* folder, const CPackEntry* entry) {
        if (m_Writer.IsCancelled())
            return false;
        if (!sub.IsOpen() || parent != entered) {
            entered = parent;
            sub = EnterPath(dirfd, parent);
        }
        if (!sub.IsOpen()) {
            const CFolderTotals below =
                folder ? m_Pack.CountBelow(*folder) : CFolderTotals{0, 1, entry->GetSize()};
            m_Writer.Skipped(below.m_nFiles, below.m_nBytes);
        }
        return sub.IsOpen();
    };
    for (const CPackFolder* folder : folders)
        if (enter(folder->GetParent(), folder, nullptr))
            ExtractFolder(sub.Get(), *folder);
    for (const CPackEntry* entry : files)
        if (enter(entry->GetFolder(), nullptr, entry))
            WriteEntry(sub.Get(), *entry);
}

void CFolderWalk::ExtractFolder(int dirfd, const CPackFolder& folder) {
    if (m_Writer.IsCancelled())
        return;
    // Whatever is not made below here still counts as dealt with, so progress reaches its totals.
    auto skip = [&](const char* text) {
        if (text)
            m_Writer.ReportName(text, folder.GetName());
        const CFolderTotals below = m_Pack.CountBelow(folder);
        m_Writer.Skipped(below.m_nFiles, below.m_nBytes);
    };
    if (m_fnSkip && m_fnSkip(&folder, nullptr))
        return skip(nullptr);
    const std::string_view raw = folder.GetName();
    const std::string name = m_Writer.Codec().Decode(raw);
    if (IsUnsafeName(raw) || IsUnsafeName(name))
        return skip(kSkippedUnsafeName);
    // By default an existing folder, file or link of that name is not entered: nothing of this folder is
    // written. Merging enters an existing folder, never a link (O_NOFOLLOW).
    const bool made = mkdirat(dirfd, name.c_str(), 0777) == 0;
    if (!made && (m_eExisting == EExisting::Default || errno != EEXIST))
        return skip(m_pszMakeDir);
    m_nFoldersMade += made;
    // O_NOFOLLOW: should the new folder have been swapped for a link meanwhile, it is not entered.
    const CFileDescriptor sub(openat(dirfd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (sub.Get() < 0)
        return skip(made ? kChangeDir : m_pszMakeDir);
    if (m_eExisting != EExisting::Default && !Remember(sub.Get(), made))
        return skip(m_pszMakeDir);
    ExtractContents(sub.Get(), folder);
}

bool CFolderWalk::Remember(int fd, bool made) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    const std::pair<uint64_t, uint64_t> id(st.st_dev, st.st_ino);
    return made ? m_Made.insert(id).second : m_Made.count(id) == 0;
}

CFileDescriptor CFolderWalk::EnterPath(int dirfd, const CPackFolder* folder) {
    if (!folder)
        return CFileDescriptor(fcntl(dirfd, F_DUPFD_CLOEXEC, 0));
    const CFileDescriptor parent = EnterPath(dirfd, folder->GetParent());
    if (!parent.IsOpen())
        return {};
    const std::string_view raw = folder->GetName();
    const std::string name = m_Writer.Codec().Decode(raw);
    if (IsUnsafeName(raw) || IsUnsafeName(name)) {
        m_Writer.ReportName(kSkippedUnsafeName, raw);
        return {};
    }
    m_nFoldersMade += mkdirat(parent.Get(), name.c_str(), 0777) == 0;
    CFileDescriptor sub(openat(parent.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!sub.IsOpen())
        m_Writer.ReportName(m_pszMakeDir, raw);
    return sub;
}

void CFolderWalk::ExtractContents(int dirfd, const CPackFolder& folder) {
    ExtractFolderFiles(dirfd, folder);
    for (const CPackFolder* child : folder.GetChildren()) {
        if (m_Writer.IsCancelled())
            return;
        ExtractFolder(dirfd, *child);
    }
}

void CFolderWalk::ExtractFolderFiles(int dirfd, const CPackFolder& folder) {
    for (uint32_t index : folder.GetFiles()) {
        if (m_Writer.IsCancelled())
            return;
        WriteEntry(dirfd, m_Pack.Entry(index));
    }
}

bool CFolderWalk::WriteEntry(int dirfd, const CPackEntry& entry) {
    if (m_fnSkip && m_fnSkip(nullptr, &entry)) {
        m_Writer.Skipped(1, entry.GetSize());
        return false;
    }
    if (m_eExisting == EExisting::KeepOld) {
        // Whatever stood there before stays, a link included; what this walk wrote itself and unsafe names
        // go on to the writer, which refuses them.
        const std::string name = m_Writer.Codec().Decode(entry.GetName());
        struct stat st {};
        if (!IsUnsafeName(entry.GetName()) && !IsUnsafeName(name) &&
            fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !m_Made.count({uint64_t(st.st_dev), uint64_t(st.st_ino)})) {
            m_Writer.Skipped(1, entry.GetSize());
            if (m_fnKept)
                m_fnKept(name);
            return false;
        }
    }
    if (m_Writer.WriteEntry(dirfd, entry) != CEntryWriter::EResult::Written)
        return false;
    if (m_eExisting == EExisting::KeepOld)
        m_Made.insert(m_Writer.LastWritten());
    ++m_nFilesWritten;
    m_nBytesWritten += entry.GetSize();
    return true;
}

CExtractResult CFolderWalk::Result() const {
    CExtractResult result;
    result.m_nFilesWritten = m_nFilesWritten;
    result.m_nBytesWritten = m_nBytesWritten;
    result.m_nFoldersMade = m_nFoldersMade;
    result.m_nMessages = m_Writer.GetMessageCount();
    result.m_bCancelled = m_Writer.IsCancelled();
    return result;
}
