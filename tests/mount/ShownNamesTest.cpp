// The names a mounted archive shows, on every hostile archive (with the mount itself where FUSE works):
// unique and usable in each folder, reported by `check` exactly where the mount respells, numbers or
// doubts them; the mounted tree is the catalogue's, each file its bytes or, where the archive lacks them,
// EIO.
#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <set>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "catalogue/ShownNames.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/mount/MountSupport.h"

namespace {

TEST(ShownNames, RespellsUnsafeAndNumbersTakenNames) {
    CTempDir dir;
    WriteFileBytes(dir / "A.DIR",
                   BuildArchive({Folder("D", {File("R.TXT"), File("R.TXT"), File("."), File(""), File("a/b"),
                                              File(".."), File("\xE9"), Folder("R.TXT"), Folder("..")})}));
    CNullSink sink;
    const CPackFile pack(dir / "A.DIR", sink);
    const CNameCodec codec;
    const CNameEscaper escaper(codec);
    const CShownNames names(pack, *pack.GetRoot(), codec, escaper);
    const unsigned U = CShownNames::kUnsafe, D = CShownNames::kDuplicate;
    const std::vector<std::pair<std::string, unsigned>> expected{
        {"R.TXT", 0},    {"R\\#2.TXT", D}, {"\\x2E", U},
        {"\\x00", U},    {"a\\x2Fb", U},   {"\\x2E\\x2E", U},
        {"\xC3\xA9", 0}, {"R\\#3.TXT", D}, {"\\x2E\\x2E\\#2", U | D}};
    ASSERT_EQ(names.Count(), expected.size());
    for (uint32_t i = 0; i < names.Count(); ++i) {
        EXPECT_EQ(std::make_pair(names.Name(i), names.Fix(i)), expected[i]) << i;
        EXPECT_EQ(names.Find(expected[i].first), int64_t(i));
    }
    EXPECT_EQ(names.Find("a/b"), -1);
}

struct CWalk {
    const CPackFile& m_Pack;
    const std::string& m_strArchive;
    const CNameCodec& m_Codec;
    const CNameEscaper& m_Escaper;
    bool m_bMounted;
    std::set<std::string> m_Fixed; // as `check` reports them

    // `listed`: the folder's path as `list` prints it; `dir`: the folder in the mount.
    void Folder(const CPackFolder& folder, const std::string& listed, const std::string& dir) {
        const CShownNames names(m_Pack, folder, m_Codec, m_Escaper);
        std::vector<std::string> shown, found;
        for (uint32_t i = 0; i < names.Count(); ++i) {
            shown.push_back(names.Name(i));
            EXPECT_FALSE(shown[i].empty() || shown[i] == "." || shown[i] == ".." ||
                         shown[i].find('/') != std::string::npos)
                << listed << shown[i];
            const bool isFile = i < folder.GetFiles().size();
            const CPackFolder* child = isFile ? nullptr : folder.GetChildren()[i - folder.GetFiles().size()];
            const CPackEntry* entry = isFile ? &m_Pack.Entry(folder.GetFiles()[i]) : nullptr;
            const std::string path =
                listed + m_Escaper.Escape(isFile ? entry->GetName() : child->GetName()) + (isFile ? "" : "/");
            if (names.Fix(i) & CShownNames::kUnsafe)
                m_Fixed.insert("Unsafe name: " + path);
            if (names.Fix(i) & CShownNames::kDuplicate)
                m_Fixed.insert("Duplicate name in one folder: " + path);
            if (child) {
                Folder(*child, path, dir + "/" + shown[i]);
            } else if (m_bMounted) {
                std::string bytes;
                const int error = ReadAll(dir + "/" + shown[i], bytes);
                const uint64_t offset = entry->GetOffset(), size = entry->GetSize();
                if (size && offset + size > m_strArchive.size())
                    EXPECT_EQ(error, EIO) << path;
                else
                    EXPECT_TRUE(!error && bytes == m_strArchive.substr(
                                                       std::min<uint64_t>(offset, m_strArchive.size()), size))
                        << path;
            }
        }
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end()), shown.end()) << listed;
        if (DIR* d = m_bMounted ? opendir(dir.c_str()) : nullptr) {
            while (const dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    found.push_back(e->d_name);
            closedir(d);
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, shown) << listed;
        }
    }
};

TEST(ShownNames, AgreeWithCheckAndTheMountOnEveryHostileArchive) {
    const bool fuse = FuseUnavailable().empty();
    for (const CHostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.m_strName);
        CTempDir dir;
        WriteFileBytes(dir / "H.DIR", c.m_strArchive);
        mkdir((dir / "m").c_str(), 0755);
        const std::string encoding = c.m_strEncoding.empty() ? CNameCodec::kDefault : c.m_strEncoding;
        CNullSink sink;
        const CPackFile pack(dir / "H.DIR", sink);
        const CNameCodec codec(encoding);
        const CNameEscaper escaper(codec);
        std::unique_ptr<CMounted> mount;
        if (fuse) {
            mount = std::make_unique<CMounted>(dir / "H.DIR", dir / "m",
                                               std::vector<std::string>{"-e", encoding});
            EXPECT_EQ(mount->m_Run.m_nStatus, !pack.IsOpen() ? 2 : pack.GetReport().IsClean() ? 0 : 1);
            EXPECT_EQ(mount->Ready(), pack.IsOpen());
        }
        CWalk walk{pack, c.m_strArchive, codec, escaper, mount && mount->Ready(), {}};
        walk.Folder(pack.GetTop(), "", dir / "m");
        std::set<std::string> reported;
        for (std::string line : RunCli({"check", "-e", encoding, dir / "H.DIR"}).m_OutLines) {
            if (line.size() > 13 && line.compare(line.size() - 13, 13, " (empty name)") == 0)
                line.resize(line.size() - 13);
            // Names that only clash once decoded are renamed on the mount like any other clash.
            const std::string alike = CArchiveChecker::kDecodedAlike;
            if (line.rfind(alike, 0) == 0)
                line = "Duplicate name in one folder: " + line.substr(alike.size());
            if (line.rfind("Unsafe name: ", 0) == 0 || line.rfind("Duplicate name in one folder: ", 0) == 0)
                reported.insert(line);
        }
        EXPECT_EQ(walk.m_Fixed, reported);
    }
    if (!fuse)
        std::printf("Not mounted: %s\n", FuseUnavailable().c_str());
}

} // namespace
