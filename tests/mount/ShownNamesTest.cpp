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

namespace vorpex {

using namespace std::string_literals;

namespace {

struct Walk {
    const PackFile& m_pack;
    const std::string& m_archive;
    const NameCodec& m_codec;
    const NameEscaper& m_escaper;
    std::string m_mount;              // empty where nothing is mounted
    std::set<std::string> m_fixed;    // as `check` reports them
    std::vector<std::string> m_shown; // every path below the mount, as ListTree gives it

    // `listed`: the folder's path as `list` prints it; `dir`: as the mount shows it ("" or ending in '/').
    void folder(const PackFolder& folder, const std::string& listed, const std::string& dir) {
        const ShownNames names(m_pack, folder, m_codec, m_escaper);
        for (uint32_t i = 0; i < names.count(); ++i) {
            const std::string shown = names.name(i);
            EXPECT_FALSE(shown.empty() || shown == "." || shown == ".." ||
                         shown.find('/') != std::string::npos)
                << listed << shown;
            const bool isFile = i < folder.files().size();
            const PackFolder* child = isFile ? nullptr : folder.children()[i - folder.files().size()];
            const PackEntry* entry = isFile ? &m_pack.entry(folder.files()[i]) : nullptr;
            const std::string path =
                listed + m_escaper.escape(isFile ? entry->name() : child->name()) + (isFile ? "" : "/");
            if (names.fix(i) & ShownNames::kUnsafe)
                m_fixed.insert(kUnsafeName + ": "s + path);
            if (names.fix(i) & ShownNames::kDuplicate)
                m_fixed.insert(kDuplicateName + ": "s + path);
            m_shown.push_back(dir + shown + (child ? "/" : ""));
            if (child) {
                this->folder(*child, path, std::string(m_shown.back())); // a copy: m_shown grows below
            } else if (!m_mount.empty()) {
                std::string bytes;
                const int error = readAll(m_mount + "/" + dir + shown, bytes);
                const uint64_t offset = entry->offset(), size = entry->size();
                if (size && offset + size > m_archive.size())
                    EXPECT_EQ(error, EIO) << path;
                else
                    EXPECT_TRUE(!error &&
                                bytes == m_archive.substr(std::min<uint64_t>(offset, m_archive.size()), size))
                        << path;
            }
        }
    }
};

TEST(ShownNames, AgreeWithCheckAndTheMountOnEveryHostileArchive) {
    const bool fuse = fuseUnavailable().empty();
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.m_name);
        TempDir dir;
        writeFileBytes(dir / "H.DIR", c.m_archive);
        mkdir((dir / "m").c_str(), 0755);
        NullSink sink;
        const PackFile pack(dir / "H.DIR", sink);
        const NameCodec codec(c.m_encoding);
        const NameEscaper escaper(codec);
        std::unique_ptr<Mounted> mount;
        if (fuse) {
            mount = std::make_unique<Mounted>(dir / "H.DIR", dir / "m",
                                              std::vector<std::string>{"-e", c.m_encoding});
            EXPECT_EQ(mount->m_run.m_status, !pack.isOpen() ? 2 : pack.report().isClean() ? 0 : 1);
            EXPECT_EQ(mount->ready(), pack.isOpen());
        }
        Walk walk{pack, c.m_archive, codec, escaper, mount && mount->ready() ? dir / "m" : "", {}, {}};
        walk.folder(pack.top(), "", "");
        // Unique paths mean unique names in each folder; the mount shows exactly these.
        std::sort(walk.m_shown.begin(), walk.m_shown.end());
        EXPECT_EQ(std::adjacent_find(walk.m_shown.begin(), walk.m_shown.end()), walk.m_shown.end());
        if (!walk.m_mount.empty()) {
            EXPECT_EQ(listTree(walk.m_mount), walk.m_shown);
        }
        std::set<std::string> reported;
        const std::string empty = kEmptyName, alike = kDecodedAlike, unsafe = kUnsafeName + ": "s,
                          twice = kDuplicateName + ": "s;
        for (std::string line : runCli({"check", "-e", c.m_encoding, dir / "H.DIR"}).m_outLines) {
            if (line.size() > empty.size() && line.ends_with(empty))
                line.resize(line.size() - empty.size());
            // Names that only clash once decoded are renamed on the mount like any other clash.
            if (line.starts_with(alike))
                line = twice + line.substr(alike.size());
            if (line.starts_with(unsafe) || line.starts_with(twice))
                reported.insert(line);
        }
        EXPECT_EQ(walk.m_fixed, reported);
    }
    if (!fuse)
        std::printf("Not mounted: %s\n", fuseUnavailable().c_str());
}

} // namespace

} // namespace vorpex
