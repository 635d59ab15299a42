#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace vorpex {

// The one loop that moves bytes from a file to another descriptor (an extracted file, an archive being
// packed, standard output). Big copies go through the kernel: copy_file_range between files, sendfile where
// the destination is a pipe or another descriptor copy_file_range refuses, and a user-space buffer where
// the kernel refuses both; small ones go through the buffer, which is faster for them. Data moves in pieces
// of at most kPiece bytes; the cancel check runs before each piece and the progress callback after each.
// One copier serves one thread; it keeps its buffer between copies.
class FileCopy {
public:
    static constexpr size_t kPiece = 1 << 20;
    // Copies of at least this many bytes go through the kernel (measured with bench/core/copy_bench.sh).
    static constexpr uint64_t kKernelFrom = 1 << 20;

    enum class Method { Auto, Buffer, Kernel };
    enum class Outcome {
        Done,
        Cancelled,
        ReadFailed,  // reading the source failed (m_error)
        InputEnded,  // the source ended before `size` bytes were read
        WriteFailed, // writing the destination failed (m_error)
    };
    struct Result {
        Outcome m_outcome = Outcome::Done;
        int m_error = 0;      // errno of a failure
        uint64_t m_moved = 0; // bytes written to the destination
        bool ok() const { return m_outcome == Outcome::Done; }
    };

    FileCopy();
    ~FileCopy();

    void setMethod(Method method) { m_method = method; }
    // Asked before every piece: true stops the copy (Cancelled).
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Told the bytes of every piece written.
    void setProgress(std::function<void(uint64_t)> moved) { m_moved = std::move(moved); }

    // Copies `size` bytes of `in` from `offset` to `out` at its file position (which moves on with them).
    Result copy(int in, uint64_t offset, int out, uint64_t size);

private:
    enum class Kernel { Finished, Refused, Failed };
    Kernel copyInKernel(int in, uint64_t& offset, int out, uint64_t& left, Result& result);
    bool cancelled() const { return m_cancelled && m_cancelled(); }

    Method m_method = Method::Auto;
    std::function<bool()> m_cancelled;
    std::function<void(uint64_t)> m_moved;
    std::unique_ptr<char[]> m_buffer; // allocated on first use
};

} // namespace vorpex
