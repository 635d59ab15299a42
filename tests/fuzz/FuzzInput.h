#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace vorpex {

// What both fuzz targets share: a failed invariant aborts, as the fuzzer expects of a finding.
inline void require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz target: %s\n", what.c_str());
        std::abort();
    }
}

// The input as a file held in memory, read by position like an archive on disk.
inline FileDescriptor archiveInMemory(const uint8_t* data, size_t size) {
    FileDescriptor fd(memfd_create("archive", MFD_CLOEXEC));
    require(fd.isOpen(), "memfd_create failed");
    require(writeAll(fd.get(), data, size), "cannot write the memfd");
    return fd;
}

} // namespace vorpex
