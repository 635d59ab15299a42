#include "platform/UnnamedFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vorpex {

bool linkUnnamed(int fd, int dirfd, const char* name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), dirfd, name, AT_SYMLINK_FOLLOW) == 0)
        return true;
    return errno == ENOENT && ::linkat(fd, "", dirfd, name, AT_EMPTY_PATH) == 0;
}

bool makeFreshName(std::string& name, const std::function<std::string()>& next,
                   const std::function<bool(const char*)>& make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = next();
        if (make(name.c_str()))
            return true;
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return false;
}

} // namespace vorpex
