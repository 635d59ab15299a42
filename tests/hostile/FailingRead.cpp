// Preloaded into the command line by the fault tests. With VORPEX_FAIL_READ_FROM, reads at or past that
// offset fail with EIO, as on a failing disk, and one that crosses it comes back short (the core reads
// archives by pread). With VORPEX_SLOW_IO_MS, every read of a file of 1 MiB or more, and every copy between
// files, moves at most 1 MiB and takes that long first: a signal then finds the program in mid-file.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename F> F* Real(const char* name) {
    return reinterpret_cast<F*>(dlsym(RTLD_NEXT, name));
}

// Waits before a piece of a large file and returns how much of `count` may move.
size_t Slowed(int fd, size_t count) {
    static const char* ms = std::getenv("VORPEX_SLOW_IO_MS");
    struct stat st {};
    if (!ms || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < (1 << 20))
        return count;
    usleep(static_cast<useconds_t>(std::atoi(ms)) * 1000);
    return count < (1 << 20) ? count : (1 << 20);
}

} // namespace

extern "C" ssize_t pread(int fd, void* buf, size_t count, off_t off) {
    static const auto real = Real<ssize_t(int, void*, size_t, off_t)>("pread");
    const char* from = std::getenv("VORPEX_FAIL_READ_FROM");
    const off_t limit = from ? std::strtoll(from, nullptr, 10) : INT64_MAX;
    if (off >= limit)
        return errno = EIO, -1;
    count = Slowed(fd, count);
    return real(fd, buf, off + off_t(count) > limit ? size_t(limit - off) : count, off);
}

extern "C" ssize_t read(int fd, void* buf, size_t count) {
    static const auto real = Real<ssize_t(int, void*, size_t)>("read");
    return real(fd, buf, Slowed(fd, count));
}

extern "C" ssize_t copy_file_range(int in, loff_t* inOff, int out, loff_t* outOff, size_t count,
                                   unsigned flags) {
    static const auto real = Real<ssize_t(int, loff_t*, int, loff_t*, size_t, unsigned)>("copy_file_range");
    return real(in, inOff, out, outOff, Slowed(in, count), flags);
}
