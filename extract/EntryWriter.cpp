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

namespace vorpex {

EntryWriter::EntryWriter(const PackFile& pack, MessageSink& sink, const NameCodec& codec)
    : m_pack(pack), m_sink(sink), m_codec(codec), m_pid(getpid()),
      // An unnamed file is linked in through /proc, or else with AT_EMPTY_PATH, which needs a privilege
      // only root is sure to have.
      m_unnamed(access("/proc/self/fd", X_OK) == 0 || geteuid() == 0) {
    m_copy.setCancelCheck([this] { return isCancelled(); });
    m_copy.setProgress([this](uint64_t moved) {
        // The last piece is told with the finished file.
        m_progress.m_bytesDone += moved;
        if (m_progress.m_bytesDone < m_fileEnd)
            tick();
    });
}

EntryWriter::~EntryWriter() = default;

void EntryWriter::addToTotals(uint64_t files, uint64_t bytes) {
    m_progress.m_filesTotal += files;
    m_progress.m_bytesTotal += bytes;
}

void EntryWriter::skipped(uint64_t files, uint64_t bytes) {
    m_progress.m_filesDone += files;
    m_progress.m_bytesDone += bytes;
    if (files)
        tick();
}

void EntryWriter::reportName(const char* text, std::string_view rawName) {
    ++m_messageCount;
    m_sink.report({text, m_codec.decode(rawName), {}, true});
}

void EntryWriter::tick() {
    if (m_onProgress)
        m_onProgress(m_progress);
}

// The file one entry's data goes into until it stands under the entry's name.
struct EntryWriter::PendingFile {
    FileDescriptor m_out;
    bool m_unnamed = false; // O_TMPFILE; else it has the temporary name below from the start
    std::string m_temp;     // its temporary name in the target folder, when it has one
    struct stat m_made {};  // which file it is, known before its descriptor goes
};

// A file not written still counts as dealt with, so that progress reaches its totals.
EntryWriter::Result EntryWriter::skipEntry(const PackEntry& entry, const char* text) {
    if (text)
        reportName(text, entry.name());
    ++m_progress.m_filesDone;
    m_progress.m_bytesDone += entry.size();
    tick();
    return Result::Failed;
}

EntryWriter::Result EntryWriter::writeEntry(int dirfd, const PackEntry& entry) {
    if (isCancelled()) {
        m_cancelled = true;
        return Result::Cancelled;
    }
    const std::string_view raw = entry.name();
    std::string name = m_codec.decode(raw);
    if (isUnsafeName(raw) || isUnsafeName(name))
        return skipEntry(entry, kSkippedUnsafeName);
    if (const PackFile::DataPlace place = m_pack.dataOf(entry); place.m_offset + entry.size() > place.m_end)
        return skipEntry(entry, kCouldNotReadFile);
    std::string converted;
    const bool bConverted = m_onConvert && m_onConvert(entry, name, converted);
    if (bConverted && isUnsafeName(name))
        return skipEntry(entry, kSkippedUnsafeName);

    // What stands at the target decides whether it may be replaced: never the archive itself, never a
    // folder, never a file the user made read-only, never a file this extraction wrote (two entries whose
    // names decode alike, or the same name asked for twice). A link is replaced by the rename, not followed.
    enterFolder(dirfd);
    struct stat st {};
    const bool exists = fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && (m_pack.isArchive(st.st_dev, st.st_ino) || S_ISDIR(st.st_mode) ||
                   (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) ||
                   (st.st_dev == m_dirDev && m_written.contains(st.st_ino))))
        return skipEntry(entry, kCouldNotCreateFile);
    if (exists && !mayReplace(entry)) {
        if (m_cancelled)
            return Result::Cancelled;
        return skipEntry(entry, nullptr);
    }
    return writeFile(dirfd, entry, name, exists, bConverted ? &converted : nullptr);
}

// The data goes into a file without a name in the target folder (O_TMPFILE), linked in only when complete:
// a crash, a kill or a power cut leaves nothing under the entry's name but a complete file. A new file is
// linked under its name; a replacement under a temporary name renamed over the old file. Where the file
// system has no unnamed files, a named temporary takes their place.
EntryWriter::Result EntryWriter::writeFile(int dirfd, const PackEntry& entry, const std::string& name,
                                           bool exists, const std::string* data) {
    PendingFile file;
    if (!openOutput(dirfd, file))
        return skipEntry(entry, kCouldNotCreateFile);
    const uint64_t bytesBefore = m_progress.m_bytesDone;
    m_fileEnd = bytesBefore + entry.size();
    FileCopy::Result copied;
    if (!data)
        copied = m_copy.copy(m_pack.dataOf(entry).m_fd, m_pack.dataOf(entry).m_offset, file.m_out.get(),
                             entry.size());
    else if (!writeAll(file.m_out.get(), data->data(), data->size()))
        copied.m_outcome = FileCopy::Outcome::WriteFailed;
    else
        m_progress.m_bytesDone = m_fileEnd; // counted as the entry's size, as the totals are
    const bool cancelled = copied.m_outcome == FileCopy::Outcome::Cancelled;
    const char* failure = nullptr;
    if (copied.m_outcome == FileCopy::Outcome::ReadFailed ||
        copied.m_outcome == FileCopy::Outcome::InputEnded)
        failure = kCouldNotReadFile;
    else if (copied.m_outcome == FileCopy::Outcome::WriteFailed)
        failure = kCouldNotWriteFile;
    const char* placing = placeFile(dirfd, name, exists, !failure && !cancelled, file);
    if (!failure)
        failure = placing;
    if (failure || cancelled) {
        removeUnfinished(dirfd, name, file.m_unnamed && !exists, file);
        if (cancelled) {
            m_cancelled = true;
            return Result::Cancelled;
        }
        m_progress.m_bytesDone = bytesBefore; // the whole entry is counted as dealt with below
        return skipEntry(entry, failure);
    }
    if (file.m_made.st_dev == m_dirDev)
        m_written.insert(file.m_made.st_ino);
    m_lastWritten = {uint64_t(file.m_made.st_dev), uint64_t(file.m_made.st_ino)};
    ++m_progress.m_filesDone;
    tick();
    return Result::Written;
}

// Opens the file for the data: unnamed where the file system has such files, else under a fresh temporary
// name. False when neither can be made.
bool EntryWriter::openOutput(int dirfd, PendingFile& file) {
    if (m_unnamed) {
        file.m_out.reset(openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (!file.m_out.isOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
        m_unnamed = file.m_out.isOpen();
    }
    file.m_unnamed = file.m_out.isOpen();
    auto openTemporary = [&](const char* as) {
        file.m_out.reset(openat(dirfd, as, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        return file.m_out.isOpen();
    };
    return file.m_unnamed || makeTemporary(file.m_temp, openTemporary);
}

// Closes the file and, when `complete`, gives it the entry's name: an unnamed file is linked in (under a
// temporary name when it replaces one), a temporary renamed over the target. Returns what failed, or null.
const char* EntryWriter::placeFile(int dirfd, const std::string& name, bool exists, bool complete,
                                   PendingFile& file) {
    const char* failure = nullptr;
    // An unnamed file that is not linked vanishes with its descriptor.
    auto link = [&](const char* as) { return linkUnnamed(file.m_out.get(), dirfd, as); };
    if (complete && file.m_unnamed && !(exists ? makeTemporary(file.m_temp, link) : link(name.c_str())))
        failure = kCouldNotCreateFile;
    // Which file this writer made, known before its descriptor goes, so that only it is removed again.
    fstat(file.m_out.get(), &file.m_made);
    if (!file.m_out.close() && !failure && complete)
        failure = kCouldNotWriteFile;
    const bool linkedAsNew = file.m_unnamed && !exists;
    if (!failure && complete && !linkedAsNew &&
        renameat(dirfd, file.m_temp.c_str(), dirfd, name.c_str()) != 0)
        failure = kCouldNotCreateFile;
    return failure;
}

// The temporary's name is this writer's own; under the entry's name, only the file this writer linked is
// removed, even should another have taken the name meanwhile.
void EntryWriter::removeUnfinished(int dirfd, const std::string& name, bool linkedAsNew,
                                   const PendingFile& file) {
    struct stat now {};
    if (!file.m_temp.empty())
        unlinkat(dirfd, file.m_temp.c_str(), 0);
    else if (linkedAsNew && fstatat(dirfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
             now.st_dev == file.m_made.st_dev && now.st_ino == file.m_made.st_ino)
        unlinkat(dirfd, name.c_str(), 0);
}

bool EntryWriter::mayReplace(const PackEntry& entry) {
    if (!m_askReplace)
        return true;
    Replace answer = m_replaceAll ? *m_replaceAll : m_askReplace(entry);
    if (answer == Replace::ReplaceAll || answer == Replace::SkipAll)
        m_replaceAll = answer;
    if (answer == Replace::Cancel)
        m_cancelled = true;
    return answer == Replace::Replace || answer == Replace::ReplaceAll;
}

// Fresh temporary names in the target folder, until `make` succeeds.
bool EntryWriter::makeTemporary(std::string& temp, const std::function<bool(const char*)>& make) {
    return makeFreshName(
        temp,
        [this] {
            return ".vorpex-" + std::to_string(m_pid) + "-" + std::to_string(m_tempSerial++) + ".part";
        },
        make);
}

// Files are written one folder after another (a folder's files together), so the files this extraction
// wrote that a later entry could meet are those of the folder in hand: memory stays in proportion to the
// largest folder.
void EntryWriter::enterFolder(int dirfd) {
    struct stat dir {};
    fstat(dirfd, &dir);
    if (dir.st_dev != m_dirDev || dir.st_ino != m_dirIno || m_written.empty()) {
        m_dirDev = dir.st_dev;
        m_dirIno = dir.st_ino;
        m_written.clear();
    }
}

} // namespace vorpex
