#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_set>
#include <utility>

#include "platform/FileCopy.h"

namespace vorpex {

class MessageSink;
class NameCodec;
class PackEntry;
class PackFile;

// Files and bytes done against the totals counted before an extraction starts.
struct Progress {
    uint64_t m_filesDone = 0;
    uint64_t m_filesTotal = 0;
    uint64_t m_bytesDone = 0;
    uint64_t m_bytesTotal = 0;
};

// Copies entries out of an open archive into files on disk, safely:
// - a file is written without a name in the target folder (O_TMPFILE) and linked in only when complete, so
//   that no crash or kill leaves a part of a file under its name; one that replaces another is linked under
//   a temporary name and renamed over the target, so an existing file is replaced by a complete copy or not
//   at all, and a link at the target is replaced, never written through. Where the file system refuses
//   unnamed files, a named temporary is written and renamed into place;
// - a file this extraction wrote is never replaced by a later entry of the same name (names that decode
//   alike): that entry is skipped with a message;
// - names that are empty, ".", "..", or hold '/' or '\' are never used;
// - the archive itself is never replaced;
// - memory stays bounded: data moves in pieces of at most kChunk bytes (FileCopy).
// One writer serves one extraction on one thread; the progress callback runs on that thread.
class EntryWriter {
public:
    static constexpr size_t kChunk = FileCopy::kPiece;

    enum class Result { Written, Failed, Cancelled };

    // How data moves: through a user-space buffer, or in the kernel, or the kernel for entries of
    // FileCopy::kKernelFrom bytes or more and the buffer below (the default: measured fastest here).
    using ECopy = FileCopy::Method;
    void setCopyMethod(ECopy method) { m_copy.setMethod(method); }
    // Named temporaries instead of unnamed files, as where the file system has none (for tests and
    // benchmarks).
    void setUnnamedFiles(bool unnamed) { m_unnamed = unnamed; }

    EntryWriter(const PackFile& pack, MessageSink& sink, const NameCodec& codec);
    ~EntryWriter();

    // What becomes of a file that stood where an entry goes before the extraction: Replace All and Skip All
    // answer every later question of this writer too; Cancel stops the extraction, as the cancel flag does.
    enum class Replace { Replace, ReplaceAll, Skip, SkipAll, Cancel };
    // Asked, on the writer's thread and before any data moves, for each such file that may be replaced
    // (never for what is refused anyway); without a question every one is replaced. A skipped entry counts
    // as dealt with and is not reported.
    void setReplaceQuestion(std::function<Replace(const PackEntry&)> ask) { m_askReplace = std::move(ask); }

    // Checked between pieces; when it turns true the file in hand is abandoned and its temporary removed.
    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Called after every piece and every finished file.
    void setProgressCallback(std::function<void(const Progress&)> fn) { m_onProgress = std::move(fn); }
    void addToTotals(uint64_t files, uint64_t bytes);
    // Counts files that will not be written (a folder skipped with everything below it) as dealt with.
    void skipped(uint64_t files, uint64_t bytes);

    // Gives an entry other bytes under another name (vorpex-cli extract --convert): called before the entry
    // is written, with its decoded name; true when it replaced `name` and filled `data`, false to write the
    // entry as it is. The result is written with every rule of this writer.
    using Converter = std::function<bool(const PackEntry& entry, std::string& name, std::string& data)>;
    void setConverter(Converter convert) { m_onConvert = std::move(convert); }

    // Writes `entry` into the folder open at `dirfd` under its decoded name.
    Result writeEntry(int dirfd, const PackEntry& entry);
    // The device and inode of the file the last Written WriteEntry made.
    std::pair<uint64_t, uint64_t> lastWritten() const { return m_lastWritten; }

    bool isCancelled() const {
        return m_cancelled || (m_cancel && m_cancel->load(std::memory_order_relaxed));
    }
    unsigned messageCount() const { return m_messageCount; }
    const NameCodec& codec() const { return m_codec; }

    // Reports text + decoded archive name through the sink and counts it.
    void reportName(const char* text, std::string_view rawName);

private:
    struct PendingFile;

    void tick();
    Result skipEntry(const PackEntry& entry, const char* text);
    // `data`, when given, is written instead of the entry's bytes.
    Result writeFile(int dirfd, const PackEntry& entry, const std::string& name, bool exists,
                     const std::string* data = nullptr);
    bool openOutput(int dirfd, PendingFile& file);
    const char* placeFile(int dirfd, const std::string& name, bool exists, bool complete, PendingFile& file);
    void removeUnfinished(int dirfd, const std::string& name, bool linkedAsNew, const PendingFile& file);
    // False when the file standing at `entry`'s target is to stay (Skip, or Cancel, which sets
    // m_cancelled).
    bool mayReplace(const PackEntry& entry);
    bool makeTemporary(std::string& temp, const std::function<bool(const char*)>& make);
    void enterFolder(int dirfd);

    const PackFile& m_pack;
    MessageSink& m_sink;
    const NameCodec& m_codec;
    const std::atomic<bool>* m_cancel = nullptr;
    Converter m_onConvert;
    std::function<void(const Progress&)> m_onProgress;
    std::function<Replace(const PackEntry&)> m_askReplace;
    std::optional<Replace> m_replaceAll; // the answer Replace All or Skip All gave
    Progress m_progress;
    uint64_t m_fileEnd = 0; // m_bytesDone once the file in hand is written
    FileCopy m_copy;
    unsigned m_messageCount = 0;
    unsigned m_tempSerial = 0;
    long m_pid;
    bool m_cancelled = false;
    bool m_unnamed; // turned off when the file system refuses O_TMPFILE
    // The folder files are being written into, and the inodes written there by this writer.
    dev_t m_dirDev = 0;
    ino_t m_dirIno = 0;
    std::unordered_set<ino_t> m_written;
    std::pair<uint64_t, uint64_t> m_lastWritten; // device and inode
};

} // namespace vorpex
