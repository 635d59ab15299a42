// Preloaded into the command line by the fault tests: reads from the position in VORPEX_FAIL_READ_FROM on
// fail with EIO, as on a failing disk, and a read that crosses it comes back short. Only pread is
// touched; that is how the core reads the archive.
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

template <typename Fn, typename Off>
ssize_t FailingPread(const char* name, int fd, void* buf, size_t count, Off off) {
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    static const char* const from = std::getenv("VORPEX_FAIL_READ_FROM");
    if (from) {
        const Off limit = static_cast<Off>(std::strtoll(from, nullptr, 10));
        if (off >= limit) {
            errno = EIO;
            return -1;
        }
        if (static_cast<Off>(count) > limit - off)
            count = static_cast<size_t>(limit - off);
    }
    return real(fd, buf, count, off);
}

} // namespace

extern "C" ssize_t pread(int fd, void* buf, size_t count, off_t off) {
    return FailingPread<ssize_t (*)(int, void*, size_t, off_t)>("pread", fd, buf, count, off);
}

extern "C" ssize_t pread64(int fd, void* buf, size_t count, off64_t off) {
    return FailingPread<ssize_t (*)(int, void*, size_t, off64_t)>("pread64", fd, buf, count, off);
}
