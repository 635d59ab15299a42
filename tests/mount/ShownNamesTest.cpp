// The names a mounted archive shows: respelled where a name cannot be used on disk, numbered where it is
// taken, and reported by `check` exactly where the mount changes or doubts them.
#include <gtest/gtest.h>

#include <set>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/NameEscaper.h"
#include "cli/ShownNames.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/mount/MountSupport.h"

namespace {

TEST(ShownNames, RespellsUnsafeAndNumbersTakenNames) {
    CTempDir dir;
    WriteFileBytes(
        dir / "A.DIR",
        BuildArchive({Folder("D", {File("README.TXT", "1"), File("README.TXT", "2"), File("."), File(""),
                                   File("a/b"), File("a\\b"), File("x"), File(".."), File("\xE9t\xE9"),
                                   Folder("README.TXT"), Folder("x"), Folder("..")})}));
    CNullSink sink;
    const CPackFile pack(dir / "A.DIR", sink);
    ASSERT_TRUE(pack.m_bOpen);
    const CNameCodec codec;
    const CNameEscaper escaper(codec);
    const CShownNames names(pack, *pack.GetRoot(), codec, escaper);
    const unsigned U = CShownNames::kUnsafe, D = CShownNames::kDuplicate;
    const std::vector<std::pair<std::string, unsigned>> expected{
        {"README.TXT", 0},        {"README\\#2.TXT", D}, {"\\x2E", U}, {"\\x00", U},
        {"a\\x2Fb", U},           {"a\\x5Cb", U},        {"x", 0},     {"\\x2E\\x2E", U},
        {"\xC3\xA9t\xC3\xA9", 0}, {"README\\#3.TXT", D}, {"x\\#2", D}, {"\\x2E\\x2E\\#2", U | D}};
    ASSERT_EQ(names.Count(), expected.size());
    for (uint32_t i = 0; i < names.Count(); ++i) {
        EXPECT_EQ(names.Name(i), expected[i].first) << i;
        EXPECT_EQ(names.Fix(i), expected[i].second) << i;
        EXPECT_EQ(names.Find(expected[i].first), int64_t(i));
    }
    EXPECT_EQ(names.Find("README"), -1);
    EXPECT_EQ(names.Find("a/b"), -1);
}

// Walks `folder`, adding to `reported` each item's list path as `check` prints it when the item is unsafe or
// a duplicate, and checking that the folder's shown names can all be made on disk side by side.
void Walk(const CPackFile& pack, const CPackFolder& folder, const std::string& path, const CNameCodec& codec,
          const CNameEscaper& escaper, std::set<std::string>& reported) {
    const CShownNames names(pack, folder, codec, escaper);
    std::set<std::string> seen;
    for (uint32_t i = 0; i < names.Count(); ++i) {
        const std::string name = names.Name(i);
        EXPECT_TRUE(seen.insert(name).second) << "twice in " << path << ": " << name;
        EXPECT_FALSE(name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            << path << name;
        const bool isFile = i < folder.m_Files.size();
        const CPackFolder* child = isFile ? nullptr : folder.m_Children[i - folder.m_Files.size()];
        const std::string listed =
            path + escaper.Escape(isFile ? pack.Entry(folder.m_Files[i]).GetName() : child->GetName()) +
            (isFile ? "" : "/");
        if (names.Fix(i) & CShownNames::kUnsafe)
            reported.insert("Unsafe name: " + listed);
        if (names.Fix(i) & CShownNames::kDuplicate)
            reported.insert("Duplicate name in one folder: " + listed);
        if (child)
            Walk(pack, *child, listed, codec, escaper, reported);
    }
}

TEST(ShownNames, AgreeWithCheckOnEveryHostileArchive) {
    for (const CHostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.m_strName);
        CTempDir dir;
        WriteFileBytes(dir / "H.DIR", c.m_strArchive);
        CNullSink sink;
        const CPackFile pack(dir / "H.DIR", sink);
        const std::string encoding = c.m_strEncoding.empty() ? CNameCodec::kDefault : c.m_strEncoding;
        const CNameCodec codec(encoding);
        const CNameEscaper escaper(codec);
        std::set<std::string> fixed, reported;
        Walk(pack, pack.GetTop(), "", codec, escaper, fixed);
        for (std::string line : RunCli({"check", "--encoding", encoding, dir / "H.DIR"}).m_OutLines) {
            if (line.size() > 13 && line.compare(line.size() - 13, 13, " (empty name)") == 0)
                line.resize(line.size() - 13);
            if (line.rfind("Unsafe name: ", 0) == 0 || line.rfind("Duplicate name in one folder: ", 0) == 0)
                reported.insert(line);
        }
        EXPECT_EQ(fixed, reported);
    }
}

} // namespace
