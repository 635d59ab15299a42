// Preloaded into the command line by the fault tests. With VORPEX_FAIL_READ_FROM, reads at or past that
// offset fail with EIO, as on a failing disk, and one that crosses it comes back short (the core reads
// archives by pread, copy_file_range and sendfile). With VORPEX_SIGNAL=N, reads of files of 1 MiB or more and
// copies between files move at most 1 MiB each, and the process sends itself signal N before the third such
// piece: in mid-file.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorpex {

namespace {

template <typename F> F* nextSymbol(const char* name) {
    return reinterpret_cast<F*>(dlsym(RTLD_NEXT, name));
}

// How much of `count` may move from `fd` in one piece; signals in mid-file.
size_t piece(int fd, size_t count) {
    static const char* signal = std::getenv("VORPEX_SIGNAL");
    static int pieces = 0;
    struct stat st {};
    if (!signal || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < (1 << 20))
        return count;
    if (++pieces == 3)
        kill(getpid(), std::atoi(signal));
    return count < (1 << 20) ? count : (1 << 20);
}

// How much of `count` may be read at `off`: -1 past the failing point.
ssize_t readable(size_t count, off_t off) {
    const char* from = std::getenv("VORPEX_FAIL_READ_FROM");
    const off_t limit = from ? std::strtoll(from, nullptr, 10) : INT64_MAX;
    if (off >= limit)
        return errno = EIO, -1;
    return off + off_t(count) > limit ? ssize_t(limit - off) : ssize_t(count);
}

} // namespace

extern "C" ssize_t pread(int fd, void* buf, size_t count, off_t off) {
    static const auto real = nextSymbol<ssize_t(int, void*, size_t, off_t)>("pread");
    const ssize_t allowed = readable(piece(fd, count), off);
    return allowed < 0 ? -1 : real(fd, buf, size_t(allowed), off);
}

extern "C" ssize_t read(int fd, void* buf, size_t count) {
    static const auto real = nextSymbol<ssize_t(int, void*, size_t)>("read");
    return real(fd, buf, piece(fd, count));
}

extern "C" ssize_t copy_file_range(int in, loff_t* inOff, int out, loff_t* outOff, size_t count,
                                   unsigned flags) {
    static const auto real =
        nextSymbol<ssize_t(int, loff_t*, int, loff_t*, size_t, unsigned)>("copy_file_range");
    const ssize_t allowed = readable(piece(in, count), inOff ? *inOff : 0);
    return allowed < 0 ? -1 : real(in, inOff, out, outOff, size_t(allowed), flags);
}

extern "C" ssize_t sendfile(int out, int in, off_t* off, size_t count) {
    static const auto real = nextSymbol<ssize_t(int, int, off_t*, size_t)>("sendfile");
    const ssize_t allowed = readable(piece(in, count), off ? *off : 0);
    return allowed < 0 ? -1 : real(out, in, off, size_t(allowed));
}

} // namespace vorpex
