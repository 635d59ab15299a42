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

class CMessageSink;
class CNameCodec;
class CPackEntry;
class CPackFile;

// Files and bytes done against the totals counted before an extraction starts.
struct CProgress {
    uint64_t m_nFilesDone = 0;
    uint64_t m_nFilesTotal = 0;
    uint64_t m_nBytesDone = 0;
    uint64_t m_nBytesTotal = 0;
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
// - memory stays bounded: data moves in pieces of at most kChunk bytes (CFileCopy).
// One writer serves one extraction on one thread; the progress callback runs on that thread.
class CEntryWriter {
public:
    static constexpr size_t kChunk = CFileCopy::kPiece;

    enum class EResult { Written, Failed, Cancelled };

    // How data moves: through a user-space buffer, or in the kernel, or the kernel for entries of
    // CFileCopy::kKernelFrom bytes or more and the buffer below (the default: measured fastest here).
    using ECopy = CFileCopy::EMethod;
    void SetCopyMethod(ECopy method) { m_Copy.SetMethod(method); }
    // Named temporaries instead of unnamed files, as where the file system has none (for tests and
    // benchmarks).
    void SetUnnamedFiles(bool unnamed) { m_bUnnamed = unnamed; }

    CEntryWriter(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec);
    ~CEntryWriter();

    // What becomes of a file that stood where an entry goes before the extraction: Replace All and Skip All
    // answer every later question of this writer too; Cancel stops the extraction, as the cancel flag does.
    enum class EReplace { Replace, ReplaceAll, Skip, SkipAll, Cancel };
    // Asked, on the writer's thread and before any data moves, for each such file that may be replaced
    // (never for what is refused anyway); without a question every one is replaced. A skipped entry counts
    // as dealt with and is not reported.
    void SetReplaceQuestion(std::function<EReplace(const CPackEntry&)> ask) {
        m_fnAskReplace = std::move(ask);
    }

    // Checked between pieces; when it turns true the file in hand is abandoned and its temporary removed.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    // Called after every piece and every finished file.
    void SetProgressCallback(std::function<void(const CProgress&)> fn) { m_fnProgress = std::move(fn); }
    void AddToTotals(uint64_t files, uint64_t bytes);
    // Counts files that will not be written (a folder skipped with everything below it) as dealt with.
    void Skipped(uint64_t files, uint64_t bytes);

    // Gives an entry other bytes under another name (vorpex-cli extract --convert): called before the entry
    // is written, with its decoded name; true when it replaced `name` and filled `data`, false to write the
    // entry as it is. The result is written with every rule of this writer.
    using Converter = std::function<bool(const CPackEntry& entry, std::string& name, std::string& data)>;
    void SetConverter(Converter convert) { m_fnConvert = std::move(convert); }

    // Writes `entry` into the folder open at `dirfd` under its decoded name.
    EResult WriteEntry(int dirfd, const CPackEntry& entry);
    // The device and inode of the file the last Written WriteEntry made.
    std::pair<uint64_t, uint64_t> LastWritten() const { return m_LastWritten; }

    bool IsCancelled() const {
        return m_bCancelled || (m_pCancel && m_pCancel->load(std::memory_order_relaxed));
    }
    unsigned GetMessageCount() const { return m_nMessages; }
    const CNameCodec& Codec() const { return m_Codec; }

    // Reports text + decoded archive name through the sink and counts it.
    void ReportName(const char* text, std::string_view rawName);

private:
    struct PendingFile;

    void Tick();
    EResult skipEntry(const CPackEntry& entry, const char* text);
    // `data`, when given, is written instead of the entry's bytes.
    EResult writeFile(int dirfd, const CPackEntry& entry, const std::string& name, bool exists,
                      const std::string* data = nullptr);
    bool openOutput(int dirfd, PendingFile& file);
    const char* placeFile(int dirfd, const std::string& name, bool exists, bool complete, PendingFile& file);
    void removeUnfinished(int dirfd, const std::string& name, bool linkedAsNew, const PendingFile& file);
    // False when the file standing at `entry`'s target is to stay (Skip, or Cancel, which sets m_bCancelled).
    bool MayReplace(const CPackEntry& entry);
    bool MakeTemporary(std::string& temp, const std::function<bool(const char*)>& make);
    void EnterFolder(int dirfd);

    const CPackFile& m_Pack;
    CMessageSink& m_Sink;
    const CNameCodec& m_Codec;
    const std::atomic<bool>* m_pCancel = nullptr;
    Converter m_fnConvert;
    std::function<void(const CProgress&)> m_fnProgress;
    std::function<EReplace(const CPackEntry&)> m_fnAskReplace;
    std::optional<EReplace> m_eReplaceAll; // the answer Replace All or Skip All gave
    CProgress m_Progress;
    uint64_t m_nFileEnd = 0; // m_nBytesDone once the file in hand is written
    CFileCopy m_Copy;
    unsigned m_nMessages = 0;
    unsigned m_nTempSerial = 0;
    long m_nPid;
    bool m_bCancelled = false;
    bool m_bUnnamed; // turned off when the file system refuses O_TMPFILE
    // The folder files are being written into, and the inodes written there by this writer.
    dev_t m_nDirDev = 0;
    ino_t m_nDirIno = 0;
    std::unordered_set<ino_t> m_Written;
    std::pair<uint64_t, uint64_t> m_LastWritten; // device and inode
};
