// Preloaded into the command line by the fault tests: reads at or past VORPEX_FAIL_READ_FROM fail with
// EIO, as on a failing disk, and one that crosses it comes back short. The core reads archives by pread.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

extern "C" ssize_t pread(int fd, void* buf, size_t count, off_t off) {
    static const auto real =
        reinterpret_cast<ssize_t (*)(int, void*, size_t, off_t)>(dlsym(RTLD_NEXT, "pread"));
    const char* from = std::getenv("VORPEX_FAIL_READ_FROM");
    const off_t limit = from ? std::strtoll(from, nullptr, 10) : INT64_MAX;
    if (off >= limit)
        return errno = EIO, -1;
    return real(fd, buf, off + off_t(count) > limit ? size_t(limit - off) : count, off);
}
