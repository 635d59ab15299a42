#include "catalogue/EntryWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"

namespace {

constexpr const char* kCouldNotRead = "Could not read file ";
constexpr const char* kCouldNotCreate = "Could not create file ";
constexpr const char* kCouldNotWrite = "Could not write file ";
constexpr const char* kUnsafeName = "Skipped unsafe name ";

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CEntryWriter::CEntryWriter(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec)
    : m_Pack(pack), m_Sink(sink), m_Codec(codec), m_nPid(getpid()) {}

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

void CEntryWriter::ReportPath(const char* text, const std::string& path) {
    ++m_nMessages;
    m_Sink.Report({text, path, {}, false});
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
        return skip(kUnsafeName);
    if (uint64_t(entry.GetOffset()) + entry.GetSize() > m_Pack.GetFileSize())
        return skip(kCouldNotRead);

    // What stands at the target decides whether it may be replaced: never the archive itself, never a
    // folder, never a file the user made read-only. A link is replaced by the rename, not followed.
    struct stat st {};
    const bool exists = fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (m_Pack.IsArchive(st.st_dev, st.st_ino) || S_ISDIR(st.st_mode) ||
                   (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)))
        return skip(kCouldNotCreate);

    // A new file is made under its own name (O_EXCL: nothing is there to lose, and it is removed again
    // should the copy fail); one that replaces another goes to a temporary renamed over it when complete.
    int out = -1;
    std::string temp;
    if (!exists) {
        out = openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST)
            return skip(kCouldNotCreate);
    }
    const bool direct = out >= 0;
    for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
        temp = ".vorpex-" + std::to_string(m_nPid) + "-" + std::to_string(m_nTempSerial++) + ".part";
        out = openat(dirfd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST)
            break;
    }
    if (out < 0)
        return skip(kCouldNotCreate);

    const uint64_t bytesBefore = m_Progress.m_nBytesDone;
    bool cancelled = false;
    const char* failure = nullptr;
    if (!CopyData(out, entry, failure, cancelled) && !failure && !cancelled)
        failure = kCouldNotWrite;
    // Which file this writer made, known before its descriptor goes, so that only it is removed again.
    struct stat made {};
    if (failure || cancelled)
        fstat(out, &made);
    if (close(out) != 0 && !failure && !cancelled) {
        failure = kCouldNotWrite;
        fstatat(dirfd, name.c_str(), &made, AT_SYMLINK_NOFOLLOW);
    }
    if (!direct && !failure && !cancelled && renameat(dirfd, temp.c_str(), dirfd, name.c_str()) != 0)
        failure = kCouldNotCreate;
    if (failure || cancelled) {
        // The temporary's name is this writer's own; under the entry's name, only the file this writer made
        // is removed, even should another have taken the name meanwhile.
        struct stat now {};
        if (!direct)
            unlinkat(dirfd, temp.c_str(), 0);
        else if (fstatat(dirfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == made.st_dev &&
                 now.st_ino == made.st_ino)
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
    ++m_Progress.m_nFilesDone;
    Tick();
    return EResult::Written;
}

// Copies in the kernel while it can; false with neither `failure` nor `cancelled` set when the rest is
// to go through the buffer (a file system or kernel without support, or an error whose side is unclear).
bool CEntryWriter::CopyKernel(int out, uint64_t& offset, uint64_t& remaining, const char*& failure,
                              bool& cancelled) {
    while (remaining > 0) {
        if (IsCancelled()) {
            cancelled = true;
            return false;
        }
        loff_t in = static_cast<loff_t>(offset);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
        const ssize_t n = copy_file_range(m_Pack.GetFd(), &in, out, nullptr, want, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)
                failure = kCouldNotWrite;
            return false;
        }
        if (n == 0) {
            failure = kCouldNotRead;
            return false;
        }
        offset += static_cast<uint64_t>(n);
        remaining -= static_cast<uint64_t>(n);
        m_Progress.m_nBytesDone += static_cast<uint64_t>(n);
        if (remaining > 0)
            Tick();
    }
    return true;
}

bool CEntryWriter::CopyData(int out, const CPackEntry& entry, const char*& failure, bool& cancelled) {
    uint64_t offset = entry.GetOffset();
    uint64_t remaining = entry.GetSize();
    if (remaining == 0)
        return true;
    const bool kernel = m_eCopy == ECopy::Kernel || (m_eCopy == ECopy::Auto && remaining <= kSmallEntry);
    if (kernel && CopyKernel(out, offset, remaining, failure, cancelled))
        return true;
    if (failure || cancelled)
        return false;
    if (!m_pBuffer)
        m_pBuffer = std::make_unique_for_overwrite<char[]>(kChunk); // pread fills what is used
    while (remaining > 0) {
        if (IsCancelled()) {
            cancelled = true;
            return false;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
        ssize_t got = pread(m_Pack.GetFd(), m_pBuffer.get(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // The archive ended (or failed) before the entry's end.
            failure = kCouldNotRead;
            return false;
        }
        if (!WriteAll(out, m_pBuffer.get(), static_cast<size_t>(got))) {
            failure = kCouldNotWrite;
            return false;
        }
        offset += static_cast<uint64_t>(got);
        remaining -= static_cast<uint64_t>(got);
        m_Progress.m_nBytesDone += static_cast<uint64_t>(got);
        if (remaining > 0)
            Tick();
    }
    return true;
}
