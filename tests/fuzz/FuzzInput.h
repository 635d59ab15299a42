#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

// What both fuzz targets share: a failed invariant aborts, as the fuzzer expects of a finding.
inline void Require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz target: %s\n", what.c_str());
        std::abort();
    }
}

// The input as a file held in memory, read by position like an archive on disk. The reader owns the fd.
inline int ArchiveInMemory(const uint8_t* data, size_t size) {
    const int fd = memfd_create("archive", MFD_CLOEXEC);
    Require(fd >= 0, "memfd_create failed");
    for (ssize_t n = 0; size > 0; data += n, size -= static_cast<size_t>(n))
        Require((n = write(fd, data, size)) > 0, "cannot write the memfd");
    return fd;
}
