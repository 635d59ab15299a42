#pragma once

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include "platform/FileDescriptor.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

inline bool isMountPoint(const std::string& dir) {
    struct stat self {
    }, parent{};
    return stat(dir.c_str(), &self) == 0 && stat((dir + "/..").c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

// An archive mounted with `vorpex-cli mount ARGS... ARCHIVE DIR` while the object lives.
struct Mounted {
    std::string m_dir;
    CliRun m_run;
    Mounted(const std::string& archive, const std::string& dir, std::vector<std::string> args = {},
            const CliSetup& setup = {})
        : m_dir(dir) {
        args.insert(args.begin(), "mount");
        args.insert(args.end(), {archive, dir});
        m_run = runCli(args, setup);
    }
    ~Mounted() {
        if (isMountPoint(m_dir) && runCli({"unmount", m_dir}).m_status != 0)
            umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool ready() const { return m_run.m_status <= 1 && isMountPoint(m_dir); }
};

// Why the mount cannot be tried here (no /dev/fuse, or mounting fails), or empty.
inline const std::string& fuseUnavailable() {
    static const std::string reason = [] {
        if (access("/dev/fuse", R_OK | W_OK) != 0)
            return std::string("/dev/fuse is not available");
        TempDir dir;
        mkdir((dir / "m").c_str(), 0755);
        const Mounted mount(VORPEX_SAMPLE_PATH, dir / "m");
        const auto& err = mount.m_run.m_errLines;
        return mount.ready() ? std::string() : "mounting fails here: " + (err.empty() ? "" : err[0]);
    }();
    return reason;
}
#define SKIP_WITHOUT_FUSE()                                                                                  \
    if (!fuseUnavailable().empty())                                                                          \
    GTEST_SKIP() << fuseUnavailable()

// Reads all of `path` into `bytes`; returns 0 or the errno of the call that failed.
inline int readAll(const std::string& path, std::string& bytes) {
    bytes.clear();
    const FileDescriptor fd(open(path.c_str(), O_RDONLY));
    char buf[65536];
    ssize_t got = fd.isOpen() ? 0 : -1;
    while (fd.isOpen() && (got = read(fd.get(), buf, sizeof buf)) > 0)
        bytes.append(buf, size_t(got));
    return got < 0 ? errno : 0; // taken before the descriptor is closed
}

} // namespace vorpex
