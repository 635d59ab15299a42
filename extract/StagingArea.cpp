#include "extract/StagingArea.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFolder.h"
#include "extract/FolderWalk.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string cacheBase() {
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

bool removeAt(int dirfd, const char* name);

// A stream listing the folder `folder` holds, which then owns its descriptor; null when there is none.
DIR* listOf(FileDescriptor folder) {
    DIR* dir = fdopendir(folder.get());
    if (dir)
        folder.release();
    return dir;
}

// Empties `folder`; false when something stayed.
bool removeContents(FileDescriptor folder) {
    const int dirfd = folder.get();
    DIR* dir = listOf(std::move(folder));
    if (!dir)
        return false;
    bool ok = true;
    while (const dirent* item = readdir(dir)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
            ok = removeAt(dirfd, item->d_name) && ok;
    }
    closedir(dir);
    return ok;
}

// Removes `name` in the folder open at `dirfd` with everything below it; a link is removed, never followed.
bool removeAt(int dirfd, const char* name) {
    if (unlinkat(dirfd, name, 0) == 0)
        return true;
    FileDescriptor sub(openat(dirfd, name, kDirFlags));
    if (!sub.isOpen())
        return errno == ENOENT;
    const bool ok = removeContents(std::move(sub));
    return unlinkat(dirfd, name, AT_REMOVEDIR) == 0 && ok;
}

} // namespace

StagingArea::StagingArea() {
    m_refusal.m_text = kNoPrivateFolder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && tryBase(runtime))
        return;
    const std::string cache = cacheBase();
    if (!cache.empty() && tryBase(cache))
        return;
    if (m_refusal.m_name.empty())
        m_refusal.m_name = kNoBaseFolder;
}

bool StagingArea::tryBase(const std::string& base) {
    const auto refuse = [this, &base](const char* why) {
        m_refusal.m_name += (m_refusal.m_name.empty() ? "" : "; ") + base + why;
        return false;
    };
    const auto failed = [&refuse] { return refuse((std::string(": ") + std::strerror(errno)).c_str()); };
    struct stat st;
    if (lstat(base.c_str(), &st) != 0)
        return failed();
    if (S_ISLNK(st.st_mode))
        return refuse(kBaseIsLink);
    // Links above the base are the system's (/var/run); the path handed out names the folder without them.
    char* real = realpath(base.c_str(), nullptr);
    if (!real)
        return failed();
    const std::string path(real);
    std::free(real);
    // What is checked is the folder opened, not the name, which may change meanwhile. An anchor only, so
    // that a base that may be searched but not listed serves as well.
    FileDescriptor fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isOpen() && errno == ENOTDIR)
        return refuse(kBaseNotFolder);
    if (!fd.isOpen() || fstat(fd.get(), &st) != 0)
        return failed();
    if (st.st_uid != geteuid())
        return refuse(kBaseNotOwned);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(kBaseShared);
    std::string folder = (path == "/" ? "" : path) + "/vorpex-XXXXXX";
    if (!mkdtemp(folder.data())) // mode 0700
        return failed();
    const std::string name = folder.substr(folder.rfind('/') + 1);
    FileDescriptor made(openat(fd.get(), name.c_str(), kDirFlags));
    if (!made.isOpen())
        return failed();
    m_base = std::move(fd);
    m_folder = std::move(made);
    m_name = name;
    m_path = folder;
    m_refusal.m_name.clear();
    return true;
}

StagingArea::~StagingArea() {
    if (!isValid())
        return;
    removeContents(std::move(m_folder));
    unlinkat(m_base.get(), m_name.c_str(), AT_REMOVEDIR);
}

StagingArea::Slot StagingArea::newSlot() {
    Slot slot;
    if (!isValid())
        return slot;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = std::to_string(++m_slotCount);
        if (mkdirat(m_folder.get(), name.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return slot;
        }
        slot.m_fd.reset(openat(m_folder.get(), name.c_str(), kDirFlags));
        if (slot.m_fd.isOpen()) {
            slot.m_name = name;
            slot.m_path = m_path + "/" + name;
        }
        return slot;
    }
    return slot;
}

void StagingArea::dropSlot(Slot& slot) {
    slot.m_fd.reset();
    if (isValid() && !slot.m_name.empty())
        removeAt(m_folder.get(), slot.m_name.c_str());
}

std::vector<StagingArea::Made> StagingArea::madePaths(const Slot& slot, const Selection& selection,
                                                      const NameCodec& codec) {
    std::vector<Made> made;
    if (selection.m_wholeArchive) {
        if (DIR* dir =
                listOf(FileDescriptor(openat(slot.m_fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)))) {
            while (const dirent* item = readdir(dir)) {
                const std::string name = item->d_name;
                if (name != "." && name != "..")
                    made.push_back({slot.m_path + "/" + name});
            }
            closedir(dir);
        }
        std::sort(made.begin(), made.end(), [](const Made& a, const Made& b) { return a.m_path < b.m_path; });
        return made;
    }
    std::unordered_set<std::string> seen; // two items of one name are made once
    auto add = [&](std::string_view raw, const PackEntry* entry) {
        const std::string name = codec.decode(raw);
        if (isUnsafeName(raw) || isUnsafeName(name))
            return;
        struct stat st;
        if (fstatat(slot.m_fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && seen.insert(name).second)
            made.push_back({slot.m_path + "/" + name, entry});
    };
    for (const PackFolder* folder : selection.m_folders)
        add(folder->name(), nullptr);
    for (const PackEntry* entry : selection.m_files)
        add(entry->name(), entry);
    return made;
}

} // namespace vorpex
