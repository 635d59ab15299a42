// libFuzzer target: read an archive and extract all of it into a fresh folder that already holds what a
// hostile archive would like to abuse: links to a folder and a file outside, a hard link to a file
// outside, a FIFO and a read-only file. After every input nothing outside the destination has changed,
// the read-only file is intact, no temporary is left behind and the tree is no deeper than the nesting
// limit allows.
#include <filesystem>
#include <set>
#include <sys/stat.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

namespace fs = std::filesystem;
const std::string kSentinel = "sentinel: must never change\n", kReadOnly = "read-only: must never change\n";
std::string g_strBase, g_strOutside, g_strDest; // base/outside holds the sentinel; base/dest is made afresh

bool IsFile(const std::string& path, const std::string& bytes, mode_t mode) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_mode == (S_IFREG | mode) && ReadFileBytes(path) == bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("VORPEX_FUZZ_TMP");
    tmp = tmp && *tmp ? tmp : std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorpex-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr, "mkdtemp " + pattern);
    g_strBase = pattern, g_strOutside = g_strBase + "/outside", g_strDest = g_strBase + "/dest";
    umask(022);
    Require(mkdir(g_strOutside.c_str(), 0755) == 0, "mkdir outside");
    WriteFileBytes(g_strOutside + "/SENTINEL", kSentinel);
    std::atexit([] { fs::remove_all(g_strBase); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CNameCodec codec;
    const std::string d = g_strDest + "/", sentinel = g_strOutside + "/SENTINEL";
    fs::remove_all(g_strDest); // links are removed, never followed
    Require(mkdir(g_strDest.c_str(), 0755) == 0 && symlink(g_strOutside.c_str(), (d + "LINK").c_str()) == 0 &&
                symlink(sentinel.c_str(), (d + "FILELINK").c_str()) == 0 &&
                symlink("../outside", (d + "RELLINK").c_str()) == 0 &&
                link(sentinel.c_str(), (d + "HARD").c_str()) == 0 && mkfifo((d + "FIFO").c_str(), 0644) == 0,
            "cannot lay out the destination");
    WriteFileBytes(d + "RO", kReadOnly);
    chmod((d + "RO").c_str(), 0444);

    CRecordingSink sink;
    CPackFile pack(ArchiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    const CFileDescriptor dirfd(CFolderWalk::OpenDestination(g_strDest));
    Require(dirfd.IsOpen(), "cannot open the destination");
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    const CExtractResult result = walk.Extract(dirfd.Get(), all);

    Require(result.m_nFilesWritten <= pack.GetEntries().size() &&
                result.m_nFoldersMade <= pack.GetFolderCount(),
            "more files or folders made than the archive holds");
    static const std::set<std::string> known = {
        kUnknownFileType,  kCouldNotMakeDirectory, kCouldNotChangeToDirectory, kSkippedUnsafeName,
        kCouldNotReadFile, kCouldNotCreateFile,    kCouldNotWriteFile};
    for (const CMessage& m : sink.Messages())
        Require(known.count(m.m_strText), "unexpected message: " + m.Full());
    // Outside: the sentinel alone, unchanged (HARD may be replaced, never joined by another link).
    struct stat st {};
    Require(IsFile(sentinel, kSentinel, 0644) && lstat(sentinel.c_str(), &st) == 0 && st.st_nlink <= 2,
            "the sentinel outside the destination changed");
    for (const std::string& dir : {g_strBase, g_strOutside})
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            Require(e.path() == g_strDest || e.path() == g_strOutside || e.path() == sentinel,
                    "written outside the destination: " + e.path().string());
    Require(IsFile(d + "RO", kReadOnly, 0444), "the read-only file changed"); // it may only be refused
    std::set<std::string> names; // an archive may name its own files like a temporary
    for (const CPackEntry& entry : pack.GetEntries())
        names.insert(codec.Decode(entry.GetName()));
    for (auto it = fs::recursive_directory_iterator(g_strDest); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().filename(), rel = it->path().string().substr(d.size());
        const bool file = it->symlink_status().type() == fs::file_type::regular;
        Require(!file || names.count(name) || name.rfind(".vorpex-", 0) != 0 || name.size() < 13 ||
                    name.compare(name.size() - 5, 5, ".part") != 0,
                "temporary left behind: " + rel);
        Require(it.depth() < static_cast<int>(CPackFile::kMaxDepth) + 1,
                "deeper than the nesting limit: " + rel);
        Require(!file || rel == "HARD" || fs::hard_link_count(it->path()) == 1,
                "a written file shares its inode: " + rel);
    }
    return 0;
}
