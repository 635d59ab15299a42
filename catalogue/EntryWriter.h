#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
// - a file that replaces another is written to a temporary file in the target folder and renamed over the
//   target only when complete, so an existing file is replaced by a complete copy or not at all, and a link
//   at the target is replaced, never written through; a new file is made under its own name with O_EXCL
//   and removed again if the copy fails or is cancelled;
// - names that are empty, ".", "..", or hold '/' or '\' are never used;
// - the archive itself is never replaced;
// - memory stays bounded: data moves in pieces of at most kChunk bytes.
// One writer serves one extraction on one thread; the progress callback runs on that thread.
class CEntryWriter {
public:
    static constexpr size_t kChunk = 1 << 20;

    enum class EResult { Written, Failed, Cancelled };

    // How data moves: through a user-space buffer, or in the kernel (copy_file_range), or the kernel for
    // entries up to kSmallEntry bytes and the buffer above (the default: measured fastest here).
    enum class ECopy { Auto, Buffer, Kernel };
    static constexpr uint64_t kSmallEntry = 256 * 1024;
    void SetCopyMethod(ECopy method) { m_eCopy = method; }

    CEntryWriter(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec);
    ~CEntryWriter();

    // Checked between pieces; when it turns true the file in hand is abandoned and its temporary removed.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    // Called after every piece and every finished file.
    void SetProgressCallback(std::function<void(const CProgress&)> fn) { m_fnProgress = std::move(fn); }
    void AddToTotals(uint64_t files, uint64_t bytes);
    // Counts files that will not be written (a folder skipped with everything below it) as dealt with.
    void Skipped(uint64_t files, uint64_t bytes);

    // Writes `entry` into the folder open at `dirfd` under its decoded name.
    EResult WriteEntry(int dirfd, const CPackEntry& entry);

    bool IsCancelled() const {
        return m_bCancelled || (m_pCancel && m_pCancel->load(std::memory_order_relaxed));
    }
    const CProgress& Progress() const { return m_Progress; }
    unsigned GetMessageCount() const { return m_nMessages; }
    const CNameCodec& Codec() const { return m_Codec; }

    // Reports text + decoded archive name through the sink and counts it.
    void ReportName(const char* text, std::string_view rawName);
    void ReportPath(const char* text, const std::string& path);

private:
    bool CopyData(int out, const CPackEntry& entry, const char*& failure, bool& cancelled);
    bool CopyKernel(int out, uint64_t& offset, uint64_t& remaining, const char*& failure, bool& cancelled);
    void Tick();

    const CPackFile& m_Pack;
    CMessageSink& m_Sink;
    const CNameCodec& m_Codec;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::function<void(const CProgress&)> m_fnProgress;
    CProgress m_Progress;
    std::unique_ptr<char[]> m_pBuffer; // allocated on first use
    unsigned m_nMessages = 0;
    unsigned m_nTempSerial = 0;
    long m_nPid;
    bool m_bCancelled = false;
    ECopy m_eCopy = ECopy::Auto;
};
