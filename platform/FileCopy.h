#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The one loop that moves bytes from a file to another descriptor (an extracted file, an archive being
// packed, standard output). Big copies go through the kernel: copy_file_range between files, sendfile where
// the destination is a pipe or another descriptor copy_file_range refuses, and a user-space buffer where
// the kernel refuses both; small ones go through the buffer, which is faster for them. Data moves in pieces
// of at most kPiece bytes; the cancel check runs before each piece and the progress callback after each.
// One copier serves one thread; it keeps its buffer between copies.
class CFileCopy {
public:
    static constexpr size_t kPiece = 1 << 20;
    // Copies of at least this many bytes go through the kernel (measured with bench/core/copy_bench.sh).
    static constexpr uint64_t kKernelFrom = 1 << 20;

    enum class EMethod { Auto, Buffer, Kernel };
    enum class EOutcome {
        Done,
        Cancelled,
        ReadFailed,  // reading the source failed (m_nError)
        InputEnded,  // the source ended before `size` bytes were read
        WriteFailed, // writing the destination failed (m_nError)
    };
    struct CResult {
        EOutcome m_eOutcome = EOutcome::Done;
        int m_nError = 0;      // errno of a failure
        uint64_t m_nMoved = 0; // bytes written to the destination
        bool Ok() const { return m_eOutcome == EOutcome::Done; }
    };

    CFileCopy();
    ~CFileCopy();

    void SetMethod(EMethod method) { m_eMethod = method; }
    // Asked before every piece: true stops the copy (Cancelled).
    void SetCancelCheck(std::function<bool()> cancelled) { m_fnCancelled = std::move(cancelled); }
    // Told the bytes of every piece written.
    void SetProgress(std::function<void(uint64_t)> moved) { m_fnMoved = std::move(moved); }

    // Copies `size` bytes of `in` from `offset` to `out` at its file position (which moves on with them).
    CResult Copy(int in, uint64_t offset, int out, uint64_t size);

private:
    enum class EKernel { Finished, Refused, Failed };
    EKernel CopyInKernel(int in, uint64_t& offset, int out, uint64_t& left, CResult& result);
    bool Cancelled() const { return m_fnCancelled && m_fnCancelled(); }

    EMethod m_eMethod = EMethod::Auto;
    std::function<bool()> m_fnCancelled;
    std::function<void(uint64_t)> m_fnMoved;
    std::unique_ptr<char[]> m_pBuffer; // allocated on first use
};
