#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <vector>

#include "tests/support/CliRunner.h"

// True when `dir` is the root of a mount (its device differs from its parent's).
inline bool IsMountPoint(const std::string& dir) {
    struct stat self {
    }, parent{};
    return stat(dir.c_str(), &self) == 0 && stat((dir + "/..").c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

// An archive mounted with `vorpex-cli mount` for the lifetime of the object, unmounted again at the end.
class CMounted {
public:
    CMounted(const std::string& archive, const std::string& dir, std::vector<std::string> options = {})
        : m_strDir(dir) {
        std::vector<std::string> args{"mount"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(archive);
        args.push_back(dir);
        m_Run = RunCli(args);
    }
    ~CMounted() {
        if (IsMountPoint(m_strDir) && RunCli({"unmount", m_strDir}).m_nStatus != 0)
            umount2(m_strDir.c_str(), MNT_DETACH);
    }
    bool Ready() const { return m_Run.m_nStatus <= 1 && IsMountPoint(m_strDir); }

    std::string m_strDir;
    CCliRun m_Run;
};

// Why mount tests cannot run here, or empty when they can: /dev/fuse must exist and a mount must work.
inline const std::string& FuseUnavailable() {
    static const std::string reason = [] {
        if (access("/dev/fuse", R_OK | W_OK) != 0)
            return std::string("/dev/fuse is not available");
        CTempDir dir;
        mkdir((dir / "m").c_str(), 0755);
        const CMounted mount(VORPEX_SAMPLE_PATH, dir / "m");
        if (mount.Ready())
            return std::string();
        return "mounting fails here: " +
               (mount.m_Run.m_ErrLines.empty() ? std::string("no message") : mount.m_Run.m_ErrLines[0]);
    }();
    return reason;
}

#define SKIP_WITHOUT_FUSE()                                                                                  \
    do {                                                                                                     \
        if (!FuseUnavailable().empty())                                                                      \
            GTEST_SKIP() << FuseUnavailable();                                                               \
    } while (0)

// The names in folder `dir`, without "." and "..".
inline std::vector<std::string> FolderNames(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

// Reads all of `path`; returns 0 or the errno of the failing call.
inline int ReadAll(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return errno;
    char buf[65536];
    ssize_t got;
    while ((got = read(fd, buf, sizeof buf)) > 0)
        bytes.append(buf, size_t(got));
    const int error = got < 0 ? errno : 0;
    close(fd);
    return error;
}
