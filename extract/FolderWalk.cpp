#include "extract/FolderWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

namespace {

// Closes a descriptor when the scope ends.
class CDirHandle {
public:
    explicit CDirHandle(int fd) : m_nFd(fd) {}
    ~CDirHandle() {
        if (m_nFd >= 0)
            close(m_nFd);
    }
    CDirHandle(const CDirHandle&) = delete;
    CDirHandle& operator=(const CDirHandle&) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

void CountBelow(const CPackFile& pack, const CPackFolder& folder, uint64_t& files, uint64_t& bytes) {
    files += folder.GetFiles().size();
    for (uint32_t index : folder.GetFiles())
        bytes += pack.Entry(index).GetSize();
    for (const CPackFolder* child : folder.GetChildren())
        CountBelow(pack, *child, files, bytes);
}

} // namespace

CFolderWalk::CFolderWalk(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec,
                         const char* makeDirMessage)
    : m_Pack(pack), m_Writer(pack, sink, codec), m_pszMakeDir(makeDirMessage) {}

int CFolderWalk::OpenDestination(const std::string& path) {
    if (path.empty())
        return -1;
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void CFolderWalk::AddToTotals(const CPackFolder& folder) {
    uint64_t files = 0, bytes = 0;
    CountBelow(m_Pack, folder, files, bytes);
    m_Writer.AddToTotals(files, bytes);
}

void CFolderWalk::AddToTotals(const CPackEntry& entry) {
    m_Writer.AddToTotals(1, entry.GetSize());
}

CExtractResult CFolderWalk::Extract(int dirfd, const CSelection& selection) {
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

void CFolderWalk::ExtractFolder(int dirfd, const CPackFolder& folder) {
    if (m_Writer.IsCancelled())
        return;
    // Whatever is not made below here still counts as dealt with, so progress reaches its totals.
    auto skip = [&](const char* text) {
        m_Writer.ReportName(text, folder.GetName());
        uint64_t files = 0, bytes = 0;
        CountBelow(m_Pack, folder, files, bytes);
        m_Writer.Skipped(files, bytes);
    };
    const std::string_view raw = folder.GetName();
    const std::string name = m_Writer.Codec().Decode(raw);
    if (IsUnsafeName(raw) || IsUnsafeName(name))
        return skip(kUnsafeName);
    // An existing folder, file or link of that name is not entered: nothing of this folder is written.
    if (mkdirat(dirfd, name.c_str(), 0777) != 0)
        return skip(m_pszMakeDir);
    ++m_nFoldersMade;
    // O_NOFOLLOW: should the new folder have been swapped for a link meanwhile, it is not entered.
    CDirHandle sub(openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (sub.Get() < 0)
        return skip(kChangeDir);
    ExtractContents(sub.Get(), folder);
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
    if (m_Writer.WriteEntry(dirfd, entry) != CEntryWriter::EResult::Written)
        return false;
    ++m_nFilesWritten;
    return true;
}

CExtractResult CFolderWalk::Result() const {
    CExtractResult result;
    result.m_nFilesWritten = m_nFilesWritten;
    result.m_nFoldersMade = m_nFoldersMade;
    result.m_nMessages = m_Writer.GetMessageCount();
    result.m_bCancelled = m_Writer.IsCancelled();
    return result;
}
