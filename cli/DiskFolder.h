#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

namespace vorpex {

// The entries of a folder on disk, sorted by name, each with what lstat says of it (links not followed).
struct DiskEntry {
    std::string m_name;
    struct stat m_st;
};

// Reads the folder at `path` below `base` (a descriptor, or AT_FDCWD); false with errno set when it cannot
// be opened or read.
bool readDiskFolder(int base, const std::string& path, std::vector<DiskEntry>& entries);
// True when the file at `path` below `base` can be opened for reading; errno says why not.
bool canRead(int base, const std::string& path);
// "a" + "/" + "b", or "b" below "".
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace vorpex
