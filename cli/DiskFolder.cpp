#include "cli/DiskFolder.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorpex {

bool readDiskFolder(int base, const std::string& path, std::vector<DiskEntry>& entries) {
    entries.clear();
    const int fd =
        ::openat(base, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        DiskEntry disk{name, {}};
        if (::fstatat(fd, name.c_str(), &disk.m_st, AT_SYMLINK_NOFOLLOW) == 0)
            entries.push_back(std::move(disk));
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const DiskEntry& a, const DiskEntry& b) { return a.m_name < b.m_name; });
    errno = error;
    return error == 0;
}

bool canRead(int base, const std::string& path) {
    const int fd = ::openat(base, path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

} // namespace vorpex
