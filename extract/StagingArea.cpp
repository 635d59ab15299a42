#include "extract/StagingArea.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFolder.h"
#include "extract/FolderWalk.h"

namespace {

// An existing folder that only this user may write to, as a base for the private folder.
bool UsableBase(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(path.c_str(), W_OK | X_OK) == 0;
}

std::string CacheBase() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string base = cache && *cache == '/' ? cache : std::string();
    if (base.empty()) {
        const char* home = std::getenv("HOME");
        if (!home || *home != '/')
            return {};
        base = std::string(home) + "/.cache";
        mkdir(base.c_str(), 0700); // a fresh account may not have it yet
    }
    return base;
}

// Empties the folder open at `dirfd` (which this call closes); false when something stayed.
bool RemoveContents(int dirfd) {
    DIR* dir = fdopendir(dirfd);
    if (!dir) {
        close(dirfd);
        return false;
    }
    bool ok = true;
    while (const dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        if (unlinkat(dirfd, name.c_str(), 0) == 0)
            continue;
        const int sub = openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) {
            ok = false;
            continue;
        }
        ok = RemoveContents(sub) && ok;
        if (unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) != 0)
            ok = false;
    }
    closedir(dir);
    return ok;
}

} // namespace

CStagingArea::CStagingArea() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* tmp = std::getenv("TMPDIR");
    for (const std::string& base : {std::string(runtime && *runtime == '/' ? runtime : ""), CacheBase(),
                                    std::string(tmp && *tmp == '/' ? tmp : "/tmp")}) {
        if (!UsableBase(base))
            continue;
        std::string templ = base + "/vorpex-XXXXXX";
        if (mkdtemp(templ.data())) { // mode 0700
            m_strPath = templ;
            return;
        }
    }
}

CStagingArea::~CStagingArea() {
    if (IsValid())
        RemoveTree(m_strPath);
}

int CStagingArea::NewSlot(std::string& slotPath) {
    if (!IsValid())
        return -1;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = m_strPath + "/" + std::to_string(++m_nSlots);
        if (mkdir(path.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            slotPath = path;
        return fd;
    }
    return -1;
}

std::vector<std::string> CStagingArea::MadePaths(const std::string& slotPath, const CSelection& selection,
                                                 const CNameCodec& codec) {
    std::vector<std::string> paths;
    std::unordered_set<std::string> seen; // two items of one name are made once
    auto add = [&](std::string_view raw) {
        const std::string name = codec.Decode(raw);
        if (IsUnsafeName(raw) || IsUnsafeName(name))
            return;
        const std::string path = slotPath + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && seen.insert(path).second)
            paths.push_back(path);
    };
    if (selection.m_bWholeArchive) {
        if (DIR* dir = opendir(slotPath.c_str())) {
            while (const dirent* item = readdir(dir)) {
                const std::string name = item->d_name;
                if (name != "." && name != "..")
                    paths.push_back(slotPath + "/" + name);
            }
            closedir(dir);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    for (const CPackFolder* folder : selection.m_Folders)
        add(folder->GetName());
    for (const CPackEntry* entry : selection.m_Files)
        add(entry->GetName());
    return paths;
}

bool CStagingArea::RemoveTree(const std::string& path) {
    if (unlink(path.c_str()) == 0)
        return true;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    const bool ok = RemoveContents(fd);
    return rmdir(path.c_str()) == 0 && ok;
}
