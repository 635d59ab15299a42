#pragma once

#include <functional>
#include <string>

namespace vorpex {

// Gives the unnamed file (O_TMPFILE) open at `fd` the name `name` in the folder `dirfd`: through
// /proc/self/fd, which needs no privilege, or with AT_EMPTY_PATH where /proc is not mounted (that needs
// CAP_DAC_READ_SEARCH). Fails with EEXIST when the name is taken.
bool linkUnnamed(int fd, int dirfd, const char* name);

// Tries the names `next` gives until `make` succeeds, or fails for another reason than the name being taken
// (at most 100). `name` holds the name made, or nothing.
bool makeFreshName(std::string& name, const std::function<std::string()>& next,
                   const std::function<bool(const char*)>& make);

} // namespace vorpex
