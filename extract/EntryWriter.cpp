#include "extract/EntryWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "platform/UnnamedFile.h"

CEntryWriter::CEntryWriter(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec)
    : m_Pack(pack), m_Sink(sink), m_Codec(codec), m_nPid(getpid()),
      // An unnamed file is linked in through /proc, or else with AT_EMPTY_PATH, which needs a privilege
      // only root is sure to have.
      m_bUnnamed(access("/proc/self/fd", X_OK) == 0 || geteuid() == 0) {
    m_Copy.SetCancelCheck([this] { return IsCancelled(); });
    m_Copy.SetProgress([this](uint64_t moved) {
        // The last piece is told with the finished file.
        m_Progress.m_nBytesDone += moved;
        if (m_Progress.m_nBytesDone < m_nFileEnd)
            Tick();
    });
}

CEntryWriter::~CEntryWriter() = default;

void CEntryWriter::AddToTotals(uint64_t files, uint64_t bytes) {
    m_Progress.m_nFilesTotal += files;
    m_Progress.m_nBytesTotal += bytes;
}

void CEntryWriter::Skipped(uint64_t files, uint64_t bytes) {
    m_Progress.m_nFilesDone += files;
    m_Progress.m_nBytesDone += bytes;
    if (files)
        Tick();
}

void CEntryWriter::ReportName(const char* text, std::string_view rawName) {
    ++m_nMessages;
    m_Sink.Report({text, m_Codec.Decode(rawName), {}, true});
}

void CEntryWriter::Tick() {
    if (m_fnProgress)
        m_fnProgress(m_Progress);
}

CEntryWriter::EResult CEntryWriter::WriteEntry(int dirfd, const CPackEntry& entry) {
    // A file not written still counts as dealt with, so that progress reaches its totals.
    auto skip = [&](const char* text) {
        if (text)
            ReportName(text, entry.GetName());
        ++m_Progress.m_nFilesDone;
        m_Progress.m_nBytesDone += entry.GetSize();
        Tick();
        return EResult::Failed;
    };
    if (IsCancelled()) {
        m_bCancelled = true;
        return EResult::Cancelled;
    }
    const std::string_view raw = entry.GetName();
    const std::string name = m_Codec.Decode(raw);
    if (IsUnsafeName(raw) || IsUnsafeName(name))
        return skip(kSkippedUnsafeName);
    if (uint64_t(entry.GetOffset()) + entry.GetSize() > m_Pack.GetFileSize())
        return skip(kCouldNotReadFile);

    // What stands at the target decides whether it may be replaced: never the archive itself, never a
    // folder, never a file the user made read-only, never a file this extraction wrote (two entries whose
    // names decode alike, or the same name asked for twice). A link is replaced by the rename, not followed.
    EnterFolder(dirfd);
    struct stat st {};
    const bool exists = fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (m_Pack.IsArchive(st.st_dev, st.st_ino) || S_ISDIR(st.st_mode) ||
                   (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) ||
                   (st.st_dev == m_nDirDev && m_Written.contains(st.st_ino))))
        return skip(kCouldNotCreateFile);
    if (exists && !MayReplace(entry)) {
        if (m_bCancelled)
            return EResult::Cancelled;
        return skip(nullptr);
    }

    // The data goes into a file without a name in the target folder (O_TMPFILE), linked in only when
    // complete: a crash, a kill or a power cut leaves nothing under the entry's name but a complete file.
    // A new file is linked under its name; a replacement under a temporary name renamed over the old file.
    // Where the file system has no unnamed files, a named temporary takes their place.
    CFileDescriptor out;
    if (m_bUnnamed) {
        out.Reset(openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (!out.IsOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return skip(kCouldNotCreateFile);
        m_bUnnamed = out.IsOpen();
    }
    const bool unnamed = out.IsOpen();
    std::string temp;
    auto openTemporary = [&](const char* as) {
        out.Reset(openat(dirfd, as, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        return out.IsOpen();
    };
    if (!unnamed && !MakeTemporary(temp, openTemporary))
        return skip(kCouldNotCreateFile);

    const uint64_t bytesBefore = m_Progress.m_nBytesDone;
    m_nFileEnd = bytesBefore + entry.GetSize();
    const CFileCopy::CResult copied =
        m_Copy.Copy(m_Pack.GetFd(), entry.GetOffset(), out.Get(), entry.GetSize());
    const bool cancelled = copied.m_eOutcome == CFileCopy::EOutcome::Cancelled;
    const char* failure = nullptr;
    if (copied.m_eOutcome == CFileCopy::EOutcome::ReadFailed ||
        copied.m_eOutcome == CFileCopy::EOutcome::InputEnded)
        failure = kCouldNotReadFile;
    else if (copied.m_eOutcome == CFileCopy::EOutcome::WriteFailed)
        failure = kCouldNotWriteFile;
    // An unnamed file that is not linked vanishes with its descriptor.
    auto link = [&](const char* as) { return linkUnnamed(out.Get(), dirfd, as); };
    if (!failure && !cancelled && unnamed && !(exists ? MakeTemporary(temp, link) : link(name.c_str())))
        failure = kCouldNotCreateFile;
    // Which file this writer made, known before its descriptor goes, so that only it is removed again.
    struct stat made {};
    fstat(out.Get(), &made);
    if (!out.Close() && !failure && !cancelled)
        failure = kCouldNotWriteFile;
    const bool linkedAsNew = unnamed && !exists;
    if (!failure && !cancelled && !linkedAsNew && renameat(dirfd, temp.c_str(), dirfd, name.c_str()) != 0)
        failure = kCouldNotCreateFile;
    if (failure || cancelled) {
        // The temporary's name is this writer's own; under the entry's name, only the file this writer
        // linked is removed, even should another have taken the name meanwhile.
        struct stat now {};
        if (!temp.empty())
            unlinkat(dirfd, temp.c_str(), 0);
        else if (linkedAsNew && fstatat(dirfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                 now.st_dev == made.st_dev && now.st_ino == made.st_ino)
            unlinkat(dirfd, name.c_str(), 0);
        if (cancelled) {
            m_bCancelled = true;
            return EResult::Cancelled;
        }
        ReportName(failure, raw);
        m_Progress.m_nBytesDone = bytesBefore + entry.GetSize();
        ++m_Progress.m_nFilesDone;
        Tick();
        return EResult::Failed;
    }
    if (made.st_dev == m_nDirDev)
        m_Written.insert(made.st_ino);
    m_LastWritten = {uint64_t(made.st_dev), uint64_t(made.st_ino)};
    ++m_Progress.m_nFilesDone;
    Tick();
    return EResult::Written;
}

bool CEntryWriter::MayReplace(const CPackEntry& entry) {
    if (!m_fnAskReplace)
        return true;
    EReplace answer = m_eReplaceAll ? *m_eReplaceAll : m_fnAskReplace(entry);
    if (answer == EReplace::ReplaceAll || answer == EReplace::SkipAll)
        m_eReplaceAll = answer;
    if (answer == EReplace::Cancel)
        m_bCancelled = true;
    return answer == EReplace::Replace || answer == EReplace::ReplaceAll;
}

// Fresh temporary names in the target folder, until `make` succeeds.
bool CEntryWriter::MakeTemporary(std::string& temp, const std::function<bool(const char*)>& make) {
    return makeFreshName(
        temp,
        [this] {
            return ".vorpex-" + std::to_string(m_nPid) + "-" + std::to_string(m_nTempSerial++) + ".part";
        },
        make);
}

// Files are written one folder after another (a folder's files together), so the files this extraction
// wrote that a later entry could meet are those of the folder in hand: memory stays in proportion to the
// largest folder.
void CEntryWriter::EnterFolder(int dirfd) {
    struct stat dir {};
    fstat(dirfd, &dir);
    if (dir.st_dev != m_nDirDev || dir.st_ino != m_nDirIno || m_Written.empty()) {
        m_nDirDev = dir.st_dev;
        m_nDirIno = dir.st_ino;
        m_Written.clear();
    }
}
