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

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

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

bool RemoveAt(int dirfd, const char* name);

// A stream listing the folder `folder` holds, which then owns its descriptor; null when there is none.
DIR* ListOf(CFileDescriptor folder) {
    DIR* dir = fdopendir(folder.Get());
    if (dir)
        folder.Release();
    return dir;
}

// Empties `folder`; false when something stayed.
bool RemoveContents(CFileDescriptor folder) {
    const int dirfd = folder.Get();
    DIR* dir = ListOf(std::move(folder));
    if (!dir)
        return false;
    bool ok = true;
    while (const dirent* item = readdir(dir)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
            ok = RemoveAt(dirfd, item->d_name) && ok;
    }
    closedir(dir);
    return ok;
}

// Removes `name` in the folder open at `dirfd` with everything below it; a link is removed, never followed.
bool RemoveAt(int dirfd, const char* name) {
    if (unlinkat(dirfd, name, 0) == 0)
        return true;
    CFileDescriptor sub(openat(dirfd, name, kDirFlags));
    if (!sub.IsOpen())
        return errno == ENOENT;
    const bool ok = RemoveContents(std::move(sub));
    return unlinkat(dirfd, name, AT_REMOVEDIR) == 0 && ok;
}

} // namespace

CStagingArea::CStagingArea() {
    m_Refusal.m_strText = kNoPrivateFolder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && TryBase(runtime))
        return;
    const std::string cache = CacheBase();
    if (!cache.empty() && TryBase(cache))
        return;
    if (m_Refusal.m_strName.empty())
        m_Refusal.m_strName = kNoBaseFolder;
}

bool CStagingArea::TryBase(const std::string& base) {
    const auto refuse = [this, &base](const char* why) {
        m_Refusal.m_strName += (m_Refusal.m_strName.empty() ? "" : "; ") + base + why;
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
    CFileDescriptor fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.IsOpen() && errno == ENOTDIR)
        return refuse(kBaseNotFolder);
    if (!fd.IsOpen() || fstat(fd.Get(), &st) != 0)
        return failed();
    if (st.st_uid != geteuid())
        return refuse(kBaseNotOwned);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(kBaseShared);
    std::string folder = (path == "/" ? "" : path) + "/vorpex-XXXXXX";
    if (!mkdtemp(folder.data())) // mode 0700
        return failed();
    const std::string name = folder.substr(folder.rfind('/') + 1);
    CFileDescriptor made(openat(fd.Get(), name.c_str(), kDirFlags));
    if (!made.IsOpen())
        return failed();
    m_Base = std::move(fd);
    m_Folder = std::move(made);
    m_strName = name;
    m_strPath = folder;
    m_Refusal.m_strName.clear();
    return true;
}

CStagingArea::~CStagingArea() {
    if (!IsValid())
        return;
    RemoveContents(std::move(m_Folder));
    unlinkat(m_Base.Get(), m_strName.c_str(), AT_REMOVEDIR);
}

CStagingArea::CSlot CStagingArea::NewSlot() {
    CSlot slot;
    if (!IsValid())
        return slot;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = std::to_string(++m_nSlots);
        if (mkdirat(m_Folder.Get(), name.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return slot;
        }
        slot.m_Fd.Reset(openat(m_Folder.Get(), name.c_str(), kDirFlags));
        if (slot.m_Fd.IsOpen()) {
            slot.m_strName = name;
            slot.m_strPath = m_strPath + "/" + name;
        }
        return slot;
    }
    return slot;
}

void CStagingArea::DropSlot(CSlot& slot) {
    slot.m_Fd.Reset();
    if (IsValid() && !slot.m_strName.empty())
        RemoveAt(m_Folder.Get(), slot.m_strName.c_str());
}

std::vector<CStagingArea::CMade> CStagingArea::MadePaths(const CSlot& slot, const CSelection& selection,
                                                         const CNameCodec& codec) {
    std::vector<CMade> made;
    if (selection.m_bWholeArchive) {
        if (DIR* dir =
                ListOf(CFileDescriptor(openat(slot.m_Fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)))) {
            while (const dirent* item = readdir(dir)) {
                const std::string name = item->d_name;
                if (name != "." && name != "..")
                    made.push_back({slot.m_strPath + "/" + name});
            }
            closedir(dir);
        }
        std::sort(made.begin(), made.end(),
                  [](const CMade& a, const CMade& b) { return a.m_strPath < b.m_strPath; });
        return made;
    }
    std::unordered_set<std::string> seen; // two items of one name are made once
    auto add = [&](std::string_view raw, const CPackEntry* entry) {
        const std::string name = codec.Decode(raw);
        if (IsUnsafeName(raw) || IsUnsafeName(name))
            return;
        struct stat st;
        if (fstatat(slot.m_Fd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && seen.insert(name).second)
            made.push_back({slot.m_strPath + "/" + name, entry});
    };
    for (const CPackFolder* folder : selection.m_Folders)
        add(folder->GetName(), nullptr);
    for (const CPackEntry* entry : selection.m_Files)
        add(entry->GetName(), entry);
    return made;
}
