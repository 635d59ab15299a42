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

// The file one entry's data goes into until it stands under the entry's name.
struct CEntryWriter::PendingFile {
    CFileDescriptor out;
    bool unnamed = false; // O_TMPFILE; else it has the temporary name below from the start
    std::string temp;     // its temporary name in the target folder, when it has one
    struct stat made {};  // which file it is, known before its descriptor goes
};

// A file not written still counts as dealt with, so that progress reaches its totals.
CEntryWriter::EResult CEntryWriter::skipEntry(const CPackEntry& entry, const char* text) {
    if (text)
        ReportName(text, entry.GetName());
    ++m_Progress.m_nFilesDone;
    m_Progress.m_nBytesDone += entry.GetSize();
    Tick();
    return EResult::Failed;
}

CEntryWriter::EResult CEntryWriter::WriteEntry(int dirfd, const CPackEntry& entry) {
    if (IsCancelled()) {
        m_bCancelled = true;
        return EResult::Cancelled;
    }
    const std::string_view raw = entry.GetName();
    std::string name = m_Codec.Decode(raw);
    if (IsUnsafeName(raw) || IsUnsafeName(name))
        return skipEntry(entry, kSkippedUnsafeName);
    if (uint64_t(entry.GetOffset()) + entry.GetSize() > m_Pack.GetFileSize())
        return skipEntry(entry, kCouldNotReadFile);
    std::string converted;
    const bool bConverted = m_fnConvert && m_fnConvert(entry, name, converted);
    if (bConverted && IsUnsafeName(name))
        return skipEntry(entry, kSkippedUnsafeName);

    // What stands at the target decides whether it may be replaced: never the archive itself, never a
    // folder, never a file the user made read-only, never a file this extraction wrote (two entries whose
    // names decode alike, or the same name asked for twice). A link is replaced by the rename, not followed.
    EnterFolder(dirfd);
    struct stat st {};
    const bool exists = fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (m_Pack.IsArchive(st.st_dev, st.st_ino) || S_ISDIR(st.st_mode) ||
                   (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) ||
                   (st.st_dev == m_nDirDev && m_Written.contains(st.st_ino))))
        return skipEntry(entry, kCouldNotCreateFile);
    if (exists && !MayReplace(entry)) {
        if (m_bCancelled)
            return EResult::Cancelled;
        return skipEntry(entry, nullptr);
    }
    return writeFile(dirfd, entry, name, exists, bConverted ? &converted : nullptr);
}

// The data goes into a file without a name in the target folder (O_TMPFILE), linked in only when complete:
// a crash, a kill or a power cut leaves nothing under the entry's name but a complete file. A new file is
// linked under its name; a replacement under a temporary name renamed over the old file. Where the file
// system has no unnamed files, a named temporary takes their place.
CEntryWriter::EResult CEntryWriter::writeFile(int dirfd, const CPackEntry& entry, const std::string& name,
                                              bool exists, const std::string* data) {
    PendingFile file;
    if (!openOutput(dirfd, file))
        return skipEntry(entry, kCouldNotCreateFile);
    const uint64_t bytesBefore = m_Progress.m_nBytesDone;
    m_nFileEnd = bytesBefore + entry.GetSize();
    CFileCopy::CResult copied;
    if (!data)
        copied = m_Copy.Copy(m_Pack.GetFd(), entry.GetOffset(), file.out.Get(), entry.GetSize());
    else if (!WriteAll(file.out.Get(), data->data(), data->size()))
        copied.m_eOutcome = CFileCopy::EOutcome::WriteFailed;
    else
        m_Progress.m_nBytesDone = m_nFileEnd; // counted as the entry's size, as the totals are
    const bool cancelled = copied.m_eOutcome == CFileCopy::EOutcome::Cancelled;
    const char* failure = nullptr;
    if (copied.m_eOutcome == CFileCopy::EOutcome::ReadFailed ||
        copied.m_eOutcome == CFileCopy::EOutcome::InputEnded)
        failure = kCouldNotReadFile;
    else if (copied.m_eOutcome == CFileCopy::EOutcome::WriteFailed)
        failure = kCouldNotWriteFile;
    const char* placing = placeFile(dirfd, name, exists, !failure && !cancelled, file);
    if (!failure)
        failure = placing;
    if (failure || cancelled) {
        removeUnfinished(dirfd, name, file.unnamed && !exists, file);
        if (cancelled) {
            m_bCancelled = true;
            return EResult::Cancelled;
        }
        m_Progress.m_nBytesDone = bytesBefore; // the whole entry is counted as dealt with below
        return skipEntry(entry, failure);
    }
    if (file.made.st_dev == m_nDirDev)
        m_Written.insert(file.made.st_ino);
    m_LastWritten = {uint64_t(file.made.st_dev), uint64_t(file.made.st_ino)};
    ++m_Progress.m_nFilesDone;
    Tick();
    return EResult::Written;
}

// Opens the file for the data: unnamed where the file system has such files, else under a fresh temporary
// name. False when neither can be made.
bool CEntryWriter::openOutput(int dirfd, PendingFile& file) {
    if (m_bUnnamed) {
        file.out.Reset(openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (!file.out.IsOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
        m_bUnnamed = file.out.IsOpen();
    }
    file.unnamed = file.out.IsOpen();
    auto openTemporary = [&](const char* as) {
        file.out.Reset(openat(dirfd, as, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        return file.out.IsOpen();
    };
    return file.unnamed || MakeTemporary(file.temp, openTemporary);
}

// Closes the file and, when `complete`, gives it the entry's name: an unnamed file is linked in (under a
// temporary name when it replaces one), a temporary renamed over the target. Returns what failed, or null.
const char* CEntryWriter::placeFile(int dirfd, const std::string& name, bool exists, bool complete,
                                    PendingFile& file) {
    const char* failure = nullptr;
    // An unnamed file that is not linked vanishes with its descriptor.
    auto link = [&](const char* as) { return linkUnnamed(file.out.Get(), dirfd, as); };
    if (complete && file.unnamed && !(exists ? MakeTemporary(file.temp, link) : link(name.c_str())))
        failure = kCouldNotCreateFile;
    // Which file this writer made, known before its descriptor goes, so that only it is removed again.
    fstat(file.out.Get(), &file.made);
    if (!file.out.Close() && !failure && complete)
        failure = kCouldNotWriteFile;
    const bool linkedAsNew = file.unnamed && !exists;
    if (!failure && complete && !linkedAsNew && renameat(dirfd, file.temp.c_str(), dirfd, name.c_str()) != 0)
        failure = kCouldNotCreateFile;
    return failure;
}

// The temporary's name is this writer's own; under the entry's name, only the file this writer linked is
// removed, even should another have taken the name meanwhile.
void CEntryWriter::removeUnfinished(int dirfd, const std::string& name, bool linkedAsNew,
                                    const PendingFile& file) {
    struct stat now {};
    if (!file.temp.empty())
        unlinkat(dirfd, file.temp.c_str(), 0);
    else if (linkedAsNew && fstatat(dirfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
             now.st_dev == file.made.st_dev && now.st_ino == file.made.st_ino)
        unlinkat(dirfd, name.c_str(), 0);
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
