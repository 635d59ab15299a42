// The names a mounted archive shows, on every hostile archive (with the mount itself where FUSE works):
// unique and usable in each folder, reported by `check` exactly where the mount respells, numbers or
// doubts them; the mounted tree is the catalogue's, each file its bytes or, where the archive lacks them,
// EIO.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "catalogue/ShownNames.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/hostile/HostileCases.h"
#include "tests/mount/MountSupport.h"

using namespace std::string_literals;

namespace {

struct CWalk {
    const CPackFile& m_Pack;
    const std::string& m_strArchive;
    const CNameCodec& m_Codec;
    const CNameEscaper& m_Escaper;
    std::string m_strMount;           // empty where nothing is mounted
    std::set<std::string> m_Fixed;    // as `check` reports them
    std::vector<std::string> m_Shown; // every path below the mount, as ListTree gives it

    // `listed`: the folder's path as `list` prints it; `dir`: as the mount shows it ("" or ending in '/').
    void Folder(const CPackFolder& folder, const std::string& listed, const std::string& dir) {
        const CShownNames names(m_Pack, folder, m_Codec, m_Escaper);
        for (uint32_t i = 0; i < names.Count(); ++i) {
            const std::string shown = names.Name(i);
            EXPECT_FALSE(shown.empty() || shown == "." || shown == ".." ||
                         shown.find('/') != std::string::npos)
                << listed << shown;
            const bool isFile = i < folder.GetFiles().size();
            const CPackFolder* child = isFile ? nullptr : folder.GetChildren()[i - folder.GetFiles().size()];
            const CPackEntry* entry = isFile ? &m_Pack.Entry(folder.GetFiles()[i]) : nullptr;
            const std::string path =
                listed + m_Escaper.Escape(isFile ? entry->GetName() : child->GetName()) + (isFile ? "" : "/");
            if (names.Fix(i) & CShownNames::kUnsafe)
                m_Fixed.insert(kUnsafeName + ": "s + path);
            if (names.Fix(i) & CShownNames::kDuplicate)
                m_Fixed.insert(kDuplicateName + ": "s + path);
            m_Shown.push_back(dir + shown + (child ? "/" : ""));
            if (child) {
                Folder(*child, path, std::string(m_Shown.back())); // a copy: m_Shown grows below
            } else if (!m_strMount.empty()) {
                std::string bytes;
                const int error = ReadAll(m_strMount + "/" + dir + shown, bytes);
                const uint64_t offset = entry->GetOffset(), size = entry->GetSize();
                if (size && offset + size > m_strArchive.size())
                    EXPECT_EQ(error, EIO) << path;
                else
                    EXPECT_TRUE(!error && bytes == m_strArchive.substr(
                                                       std::min<uint64_t>(offset, m_strArchive.size()), size))
                        << path;
            }
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
        CNullSink sink;
        const CPackFile pack(dir / "H.DIR", sink);
        const CNameCodec codec(c.m_strEncoding);
        const CNameEscaper escaper(codec);
        std::unique_ptr<CMounted> mount;
        if (fuse) {
            mount = std::make_unique<CMounted>(dir / "H.DIR", dir / "m",
                                               std::vector<std::string>{"-e", c.m_strEncoding});
            EXPECT_EQ(mount->m_Run.m_nStatus, !pack.IsOpen() ? 2 : pack.GetReport().IsClean() ? 0 : 1);
            EXPECT_EQ(mount->Ready(), pack.IsOpen());
        }
        CWalk walk{pack, c.m_strArchive, codec, escaper, mount && mount->Ready() ? dir / "m" : "", {}, {}};
        walk.Folder(pack.GetTop(), "", "");
        // Unique paths mean unique names in each folder; the mount shows exactly these.
        std::sort(walk.m_Shown.begin(), walk.m_Shown.end());
        EXPECT_EQ(std::adjacent_find(walk.m_Shown.begin(), walk.m_Shown.end()), walk.m_Shown.end());
        if (!walk.m_strMount.empty()) {
            EXPECT_EQ(ListTree(walk.m_strMount), walk.m_Shown);
        }
        std::set<std::string> reported;
        const std::string empty = kEmptyName, alike = kDecodedAlike, unsafe = kUnsafeName + ": "s,
                          twice = kDuplicateName + ": "s;
        for (std::string line : RunCli({"check", "-e", c.m_strEncoding, dir / "H.DIR"}).m_OutLines) {
            if (line.size() > empty.size() && line.ends_with(empty))
                line.resize(line.size() - empty.size());
            // Names that only clash once decoded are renamed on the mount like any other clash.
            if (line.starts_with(alike))
                line = twice + line.substr(alike.size());
            if (line.starts_with(unsafe) || line.starts_with(twice))
                reported.insert(line);
        }
        EXPECT_EQ(walk.m_Fixed, reported);
    }
    if (!fuse)
        std::printf("Not mounted: %s\n", FuseUnavailable().c_str());
}

} // namespace
