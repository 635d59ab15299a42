// libFuzzer target: read an archive and extract all of it into a fresh folder that already holds what a
// hostile archive would like to abuse: links to a folder and a file outside, a hard link to a file
// outside, a FIFO and a read-only file. After every input, nothing outside the destination may have
// changed, the read-only file is intact, no temporary is left behind and the tree is no deeper than the
// nesting limit allows.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"

namespace {

constexpr const char kSentinel[] = "sentinel: must never change\n";
constexpr const char kReadOnly[] = "read-only: must never change\n";

std::string g_strBase;    // a private folder for this process
std::string g_strOutside; // base/outside: the sentinel and what the links point at
std::string g_strDest;    // base/dest: made afresh for every input

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_extract: %s\n", what.c_str());
    std::abort();
}

void Check(bool ok, const std::string& what) {
    if (!ok)
        Fail(what + " (" + std::strerror(errno) + ")");
}

std::string ReadAll(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "<cannot open>";
    std::string s;
    char buf[256];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    close(fd);
    return s;
}

void WriteNew(const std::string& path, const char* text, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    Check(fd >= 0, "cannot create " + path);
    Check(write(fd, text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text)), "write " + path);
    close(fd);
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

void RemoveTree(const std::string& path) {
    // FTW_PHYS: links are removed, never followed.
    nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

// The writer's temporaries are ".vorpex-<pid>-<serial>.part".
bool IsTemporaryName(const std::string& name) {
    static const std::string prefix = ".vorpex-", suffix = ".part";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size())
        return false;
    for (size_t i = 0; i < middle.size(); ++i)
        if (i != dash && (middle[i] < '0' || middle[i] > '9'))
            return false;
    return true;
}

struct CTreeCheck {
    std::vector<std::string> m_Problems;
    std::set<std::string> m_EntryNames; // an archive may name its own files like a temporary
    static inline CTreeCheck* s_pCurrent = nullptr;
    static inline size_t s_nBaseLen = 0;
};

int Visit(const char* path, const struct stat* st, int type, struct FTW* ftw) {
    const std::string rel(path + CTreeCheck::s_nBaseLen);
    const char* name = path + ftw->base;
    if (type == FTW_F && IsTemporaryName(name) && !CTreeCheck::s_pCurrent->m_EntryNames.count(name))
        CTreeCheck::s_pCurrent->m_Problems.push_back("temporary left behind: " + rel);
    // The destination is level 0: ten folders and a file below it at most.
    if (ftw->level > static_cast<int>(CPackFile::kMaxDepth) + 1)
        CTreeCheck::s_pCurrent->m_Problems.push_back("deeper than the nesting limit: " + rel);
    if (type == FTW_F && S_ISREG(st->st_mode) && st->st_nlink != 1 && rel != "/HARD")
        CTreeCheck::s_pCurrent->m_Problems.push_back("a written file shares its inode: " + rel);
    return 0;
}

void SetUpDestination() {
    Check(mkdir(g_strDest.c_str(), 0755) == 0, "mkdir " + g_strDest);
    Check(symlink(g_strOutside.c_str(), (g_strDest + "/LINK").c_str()) == 0, "symlink LINK");
    Check(symlink((g_strOutside + "/SENTINEL").c_str(), (g_strDest + "/FILELINK").c_str()) == 0,
          "symlink FILELINK");
    Check(symlink("../outside", (g_strDest + "/RELLINK").c_str()) == 0, "symlink RELLINK");
    Check(link((g_strOutside + "/SENTINEL").c_str(), (g_strDest + "/HARD").c_str()) == 0, "link HARD");
    Check(mkfifo((g_strDest + "/FIFO").c_str(), 0644) == 0, "mkfifo FIFO");
    WriteNew(g_strDest + "/RO", kReadOnly, 0444);
}

void CheckAfterwards(const CPackFile& pack, const CNameCodec& codec) {
    // Outside: exactly the sentinel, unchanged, with no new name beside it.
    struct stat st {};
    Check(lstat((g_strOutside + "/SENTINEL").c_str(), &st) == 0 && S_ISREG(st.st_mode), "sentinel gone");
    if (ReadAll(g_strOutside + "/SENTINEL") != kSentinel)
        Fail("the sentinel outside the destination changed");
    if (st.st_mode != (S_IFREG | 0644))
        Fail("the sentinel's mode changed");
    if (st.st_nlink > 2) // itself and HARD in the destination, unless HARD was replaced
        Fail("a new hard link to the sentinel");
    std::string names;
    for (const std::string& dir : {g_strOutside, g_strBase}) {
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != ".." && n != "SENTINEL" && n != "outside" && n != "dest")
                    names += dir + "/" + n + " ";
            }
            closedir(d);
        }
    }
    if (!names.empty())
        Fail("written outside the destination: " + names);

    // Inside: the read-only file intact (it may only be refused, never replaced).
    if (ReadAll(g_strDest + "/RO") != kReadOnly)
        Fail("the read-only file changed");
    CTreeCheck check;
    for (const CPackEntry& entry : pack.m_Entries)
        check.m_EntryNames.insert(codec.Decode(entry.GetName()));
    CTreeCheck::s_pCurrent = &check;
    CTreeCheck::s_nBaseLen = g_strDest.size();
    nftw(g_strDest.c_str(), Visit, 16, FTW_PHYS);
    if (!check.m_Problems.empty())
        Fail(check.m_Problems.front());
}

int ArchiveInMemory(const uint8_t* data, size_t size) {
    const int fd = memfd_create("archive", MFD_CLOEXEC);
    Check(fd >= 0, "memfd_create");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        Check(n > 0, "write memfd");
        done += static_cast<size_t>(n);
    }
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("VORPEX_FUZZ_TMP");
    if (!tmp || !*tmp)
        tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorpex-fuzz-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp " + pattern);
    g_strBase = pattern;
    g_strOutside = g_strBase + "/outside";
    g_strDest = g_strBase + "/dest";
    Check(mkdir(g_strOutside.c_str(), 0755) == 0, "mkdir outside");
    umask(022);
    WriteNew(g_strOutside + "/SENTINEL", kSentinel, 0644);
    std::atexit([] { RemoveTree(g_strBase); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CNameCodec codec;
    RemoveTree(g_strDest);
    SetUpDestination();

    CRecordingSink sink;
    CPackFile pack(ArchiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    const int dirfd = CFolderWalk::OpenDestination(g_strDest);
    Check(dirfd >= 0, "open destination");
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    const CExtractResult result = walk.Extract(dirfd, all);
    close(dirfd);

    if (result.m_nFilesWritten > pack.m_Entries.size() || result.m_nFoldersMade > pack.GetFolderCount())
        Fail("more files or folders made than the archive holds");
    for (const CMessage& m : sink.Messages()) {
        static const char* const known[] = {"Unknown file type encountered.", "Could not make directory ",
                                            "Could not change to directory ", "Skipped unsafe name ",
                                            "Could not read file ",           "Could not create file ",
                                            "Could not write file "};
        bool ok = false;
        for (const char* k : known)
            ok = ok || m.m_strText == k;
        if (!ok)
            Fail("unexpected message: " + m.Full());
    }
    CheckAfterwards(pack, codec);
    return 0;
}
