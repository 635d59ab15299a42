// Every hostile archive mounted: the tree is the catalogue's, under the names CShownNames gives, each file
// reads as its bytes or, where the archive lacks them, as an I/O error; the mount never crashes or hangs.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/NameEscaper.h"
#include "cli/ShownNames.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/mount/MountSupport.h"

namespace {

void ExpectFolder(const CPackFile& pack, const std::string& archive, const CPackFolder& folder,
                  const std::string& dir, const CNameCodec& codec, const CNameEscaper& escaper) {
    const CShownNames names(pack, folder, codec, escaper);
    std::vector<std::string> expected;
    for (uint32_t i = 0; i < names.Count(); ++i)
        expected.push_back(names.Name(i));
    std::vector<std::string> found = FolderNames(dir);
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found, expected) << dir;
    for (uint32_t i = 0; i < names.Count(); ++i) {
        const std::string path = dir + "/" + names.Name(i);
        if (i >= folder.m_Files.size()) {
            ExpectFolder(pack, archive, *folder.m_Children[i - folder.m_Files.size()], path, codec, escaper);
            continue;
        }
        const CPackEntry& entry = pack.Entry(folder.m_Files[i]);
        std::string bytes;
        const int error = ReadAll(path, bytes);
        if (entry.GetSize() && uint64_t(entry.GetOffset()) + entry.GetSize() > archive.size()) {
            EXPECT_EQ(error, EIO) << path;
        } else {
            EXPECT_EQ(error, 0) << path;
            EXPECT_TRUE(bytes ==
                        archive.substr(std::min<size_t>(entry.GetOffset(), archive.size()), entry.GetSize()))
                << path;
        }
    }
}

TEST(HostileMount, EveryArchiveMountsAsItsCatalogue) {
    SKIP_WITHOUT_FUSE();
    for (const CHostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.m_strName);
        CTempDir dir;
        WriteFileBytes(dir / "H.DIR", c.m_strArchive);
        mkdir((dir / "m").c_str(), 0755);
        const std::string encoding = c.m_strEncoding.empty() ? CNameCodec::kDefault : c.m_strEncoding;
        CNullSink sink;
        const CPackFile pack(dir / "H.DIR", sink);
        const CMounted mount(dir / "H.DIR", dir / "m", {"--encoding", encoding});
        if (!pack.m_bOpen) {
            EXPECT_EQ(mount.m_Run.m_nStatus, 2);
            continue;
        }
        ASSERT_TRUE(mount.Ready());
        EXPECT_EQ(mount.m_Run.m_nStatus, pack.m_Report.IsClean() ? 0 : 1);
        const CNameCodec codec(encoding);
        const CNameEscaper escaper(codec);
        ExpectFolder(pack, c.m_strArchive, pack.GetTop(), dir / "m", codec, escaper);
    }
}

} // namespace
