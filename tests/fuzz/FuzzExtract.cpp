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

namespace vorpex {

namespace {

namespace fs = std::filesystem;
const std::string kSentinel = "sentinel: must never change\n", kReadOnly = "read-only: must never change\n";
std::string g_base, g_outside, g_dest; // base/outside holds the sentinel; base/dest is made afresh

bool isFile(const std::string& path, const std::string& bytes, mode_t mode) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && st.st_mode == (S_IFREG | mode) && readFileBytes(path) == bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("VORPEX_FUZZ_TMP");
    tmp = tmp && *tmp ? tmp : std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorpex-fuzz-XXXXXX";
    require(mkdtemp(pattern.data()) != nullptr, "mkdtemp " + pattern);
    g_base = pattern, g_outside = g_base + "/outside", g_dest = g_base + "/dest";
    umask(022);
    require(mkdir(g_outside.c_str(), 0755) == 0, "mkdir outside");
    writeFileBytes(g_outside + "/SENTINEL", kSentinel);
    std::atexit([] { fs::remove_all(g_base); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const NameCodec codec;
    const std::string d = g_dest + "/", sentinel = g_outside + "/SENTINEL";
    fs::remove_all(g_dest); // links are removed, never followed
    require(mkdir(g_dest.c_str(), 0755) == 0 && symlink(g_outside.c_str(), (d + "LINK").c_str()) == 0 &&
                symlink(sentinel.c_str(), (d + "FILELINK").c_str()) == 0 &&
                symlink("../outside", (d + "RELLINK").c_str()) == 0 &&
                link(sentinel.c_str(), (d + "HARD").c_str()) == 0 && mkfifo((d + "FIFO").c_str(), 0644) == 0,
            "cannot lay out the destination");
    writeFileBytes(d + "RO", kReadOnly);
    chmod((d + "RO").c_str(), 0444);

    RecordingSink sink;
    PackFile pack(archiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    const FileDescriptor dirfd(FolderWalk::openDestination(g_dest));
    require(dirfd.isOpen(), "cannot open the destination");
    FolderWalk walk(pack, sink, codec);
    Selection all;
    all.m_wholeArchive = true;
    const ExtractResult result = walk.extract(dirfd.get(), all);

    require(result.m_filesWritten <= pack.entries().size() && result.m_foldersMade <= pack.folderCount(),
            "more files or folders made than the archive holds");
    static const std::set<std::string> known = {
        kUnknownFileType,  kCouldNotMakeDirectory, kCouldNotChangeToDirectory, kSkippedUnsafeName,
        kCouldNotReadFile, kCouldNotCreateFile,    kCouldNotWriteFile};
    for (const Message& m : sink.messages())
        require(known.count(m.m_text), "unexpected message: " + m.full());
    // Outside: the sentinel alone, unchanged (HARD may be replaced, never joined by another link).
    struct stat st {};
    require(isFile(sentinel, kSentinel, 0644) && lstat(sentinel.c_str(), &st) == 0 && st.st_nlink <= 2,
            "the sentinel outside the destination changed");
    for (const std::string& dir : {g_base, g_outside})
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            require(e.path() == g_dest || e.path() == g_outside || e.path() == sentinel,
                    "written outside the destination: " + e.path().string());
    require(isFile(d + "RO", kReadOnly, 0444), "the read-only file changed"); // it may only be refused
    std::set<std::string> names; // an archive may name its own files like a temporary
    for (const PackEntry& entry : pack.entries())
        names.insert(codec.decode(entry.name()));
    for (auto it = fs::recursive_directory_iterator(g_dest); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename(), rel = it->path().string().substr(d.size());
        const bool file = it->symlink_status().type() == fs::file_type::regular;
        require(!file || names.count(name) || name.rfind(".vorpex-", 0) != 0 || name.size() < 13 ||
                    name.compare(name.size() - 5, 5, ".part") != 0,
                "temporary left behind: " + rel);
        require(it.depth() < static_cast<int>(PackFile::kMaxDepth) + 1,
                "deeper than the nesting limit: " + rel);
        require(!file || rel == "HARD" || fs::hard_link_count(it->path()) == 1,
                "a written file shares its inode: " + rel);
    }
    return 0;
}

} // namespace vorpex
