#pragma once

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include "platform/FileDescriptor.h"
#include "tests/support/CliRunner.h"

inline bool IsMountPoint(const std::string& dir) {
    struct stat self {
    }, parent{};
    return stat(dir.c_str(), &self) == 0 && stat((dir + "/..").c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

// An archive mounted with `vorpex-cli mount ARGS... ARCHIVE DIR` while the object lives.
struct CMounted {
    std::string m_strDir;
    CCliRun m_Run;
    CMounted(const std::string& archive, const std::string& dir, std::vector<std::string> args = {},
             const CCliSetup& setup = {})
        : m_strDir(dir) {
        args.insert(args.begin(), "mount");
        args.insert(args.end(), {archive, dir});
        m_Run = RunCli(args, setup);
    }
    ~CMounted() {
        if (IsMountPoint(m_strDir) && RunCli({"unmount", m_strDir}).m_nStatus != 0)
            umount2(m_strDir.c_str(), MNT_DETACH);
    }
    bool Ready() const { return m_Run.m_nStatus <= 1 && IsMountPoint(m_strDir); }
};

// Why the mount cannot be tried here (no /dev/fuse, or mounting fails), or empty.
inline const std::string& FuseUnavailable() {
    static const std::string reason = [] {
        if (access("/dev/fuse", R_OK | W_OK) != 0)
            return std::string("/dev/fuse is not available");
        CTempDir dir;
        mkdir((dir / "m").c_str(), 0755);
        const CMounted mount(VORPEX_SAMPLE_PATH, dir / "m");
        const auto& err = mount.m_Run.m_ErrLines;
        return mount.Ready() ? std::string() : "mounting fails here: " + (err.empty() ? "" : err[0]);
    }();
    return reason;
}
#define SKIP_WITHOUT_FUSE()                                                                                  \
    if (!FuseUnavailable().empty())                                                                          \
    GTEST_SKIP() << FuseUnavailable()

// Reads all of `path` into `bytes`; returns 0 or the errno of the call that failed.
inline int ReadAll(const std::string& path, std::string& bytes) {
    bytes.clear();
    const CFileDescriptor fd(open(path.c_str(), O_RDONLY));
    char buf[65536];
    ssize_t got = fd.IsOpen() ? 0 : -1;
    while (fd.IsOpen() && (got = read(fd.Get(), buf, sizeof buf)) > 0)
        bytes.append(buf, size_t(got));
    return got < 0 ? errno : 0; // taken before the descriptor is closed
}
