#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveEdit.h"

namespace vorpex {

namespace {

using Open = ArchiveEdit::OpenStatus;
using Save = ArchiveEdit::SaveStatus;

ArchiveRecord recordAt(const std::string& bytes, uint64_t pos) {
    return ArchiveRecord::parse(reinterpret_cast<const unsigned char*>(bytes.data() + pos));
}

// A list as "name:type" lines, the whole name field with NULs as '.', read from `pos`.
std::vector<std::string> listAt(const std::string& bytes, uint64_t pos) {
    std::vector<std::string> list;
    for (;; pos += ArchiveRecord::kSize) {
        const ArchiveRecord r = recordAt(bytes, pos);
        if (r.m_type == ArchiveRecord::kEnd)
            return list;
        std::string field(r.m_name, ArchiveRecord::kNameSize);
        for (char& c : field)
            c = c ? c : '.';
        list.push_back(field.substr(0, field.find_last_not_of('.') + 1) + ":" + std::to_string(r.m_type));
    }
}

std::string dataOf(const std::string& bytes, const ArchiveRecord& r) {
    return bytes.substr(r.m_offset, r.m_size);
}

bool readsClean(const std::string& path, uint64_t* files = nullptr) {
    RecordingSink sink;
    const PackFile pack(path, sink);
    if (files)
        *files = pack.entryCount();
    return pack.isOpen() && pack.report().isClean();
}

class ArchiveEditTest : public ::testing::Test {
protected:
    std::string saved(const std::function<void(ArchiveEdit&)>& change, Save expected = Save::Saved) {
        ArchiveEdit edit;
        EXPECT_EQ(edit.open(m_path), Open::Opened);
        change(edit);
        EXPECT_EQ(edit.save(), expected);
        return readFileBytes(m_path);
    }
    TempDir m_dir;
    const std::string m_path = m_dir / "A.DIR";
};

// Folders and files interleaved in a list, and a name field with bytes after its NUL: a rename keeps every
// other record's whole name field, its place in its list and its data, where it lay.
TEST_F(ArchiveEditTest, RenameKeepsEveryOtherRecordAndTheDataInPlace) {
    std::string tail = std::string("TAIL") + '\0' + "junk";
    const std::string old = RawArchive()
                                .file(0, "A.TXT", 20000, 4096)
                                .folder(44, "SUB", 176)
                                .file(88, tail, 3, 24096)
                                .end(132)
                                .file(176, "IN.TXT", 2, 24099)
                                .end(220)
                                .bytes(4096, std::string(20000, 'h'))
                                .bytes(24096, "abcde")
                                .str();
    writeFileBytes(m_path, old);
    const std::string now =
        saved([](ArchiveEdit& edit) { edit.rename(*edit.child(edit.root(), "A.TXT"), "B.TXT"); });
    EXPECT_EQ(listAt(now, 0), (std::vector<std::string>{"B.TXT:0", "SUB:1", "TAIL.junk:0"}));
    EXPECT_EQ(recordAt(now, 0).m_offset, 4096u);
    EXPECT_EQ(recordAt(now, 88).m_offset, 24096u);
    EXPECT_EQ(dataOf(now, recordAt(now, 0)), std::string(20000, 'h'));
    EXPECT_EQ(dataOf(now, recordAt(now, 88)), "abc");
    EXPECT_EQ(listAt(now, recordAt(now, 44).m_offset), (std::vector<std::string>{"IN.TXT:0"}));
    EXPECT_EQ(dataOf(now, recordAt(now, recordAt(now, 44).m_offset)), "de");
    EXPECT_TRUE(readsClean(m_path));
}

// New items go to the end of their lists; the lists then reach into the kept data, which moves by whole
// blocks and so keeps its place within them; a replaced file gets new data after the kept, the rest keep
// their bytes.
TEST_F(ArchiveEditTest, AddedItemsEndTheirListsAndKeptDataMovesByWholeBlocks) {
    std::vector<Node> files;
    for (int i = 0; i < 20; ++i)
        files.push_back(fileNode("F" + std::to_string(i), std::string(100 + i, char('a' + i))));
    writeFileBytes(m_path, buildArchive({folderNode("D", files)}));
    const std::string old = readFileBytes(m_path);
    struct stat st {};
    ::stat(m_path.c_str(), &st);
    const uint64_t block = uint64_t(st.st_blksize);
    const std::string fresh(5000, 'z');
    const std::string now = saved([&](ArchiveEdit& edit) {
        ArchiveNode& d = *edit.child(edit.root(), "D");
        for (int i = 0; i < 100; ++i)
            edit.putFile(d, "N" + std::to_string(i), 1, DataSource::bytes("n"));
        edit.putFile(d, "F3", fresh.size(), DataSource::bytes(fresh));
        edit.makeFolder(edit.root(), "E");
    });
    const std::vector<std::string> top = listAt(now, 0), d = listAt(now, recordAt(now, 0).m_offset);
    EXPECT_EQ(top, (std::vector<std::string>{"D:1", "E:1"}));
    ASSERT_EQ(d.size(), 120u);
    EXPECT_EQ(d[3], "F3:0");
    EXPECT_EQ(d[119], "N99:0");
    const uint64_t dList = recordAt(now, 0).m_offset, oldList = recordAt(old, 0).m_offset;
    for (int i = 0; i < 20; ++i) {
        const ArchiveRecord was = recordAt(old, oldList + 44 * i), is = recordAt(now, dList + 44 * i);
        EXPECT_EQ(dataOf(now, is), i == 3 ? fresh : dataOf(old, was));
        if (i != 3) {
            EXPECT_EQ(is.m_offset % block, was.m_offset % block);
            EXPECT_GE(is.m_offset, 44u * 125);
        }
    }
    uint64_t count = 0;
    EXPECT_TRUE(readsClean(m_path, &count));
    EXPECT_EQ(count, 120u);
}

// Whatever keeps the tree from being written is found before anything is: the archive stays byte for byte.
TEST_F(ArchiveEditTest, RefusalsLeaveTheArchiveAsItWas) {
    const std::string old = buildArchive({folderNode("D", {fileNode("A", "aaa")})});
    writeFileBytes(m_path, old);
    saved([](ArchiveEdit& edit) { edit.rename(edit.root().m_children[0], std::string(33, 'x')); },
          Save::Refused);
    EXPECT_EQ(readFileBytes(m_path), old);
    ArchiveEdit deep;
    ASSERT_EQ(deep.open(m_path), Open::Opened);
    ArchiveNode* folder = &deep.root();
    for (int i = 0; i < 11; ++i)
        folder = deep.makeFolder(*folder, "L");
    EXPECT_EQ(deep.save(), Save::Refused);
    ASSERT_EQ(deep.problems().size(), 1u);
    EXPECT_EQ(deep.problems()[0].m_kind, ArchiveEdit::Problem::Kind::TooDeep);
    EXPECT_EQ(readFileBytes(m_path), old);
    // A file clashing with a folder of its name is not taken.
    EXPECT_EQ(deep.putFile(deep.root(), "D", 1, DataSource::bytes("x")), nullptr);

    // Data past the end of the file cannot be kept; taken out, the rest is saved.
    const std::string cut =
        RawArchive().file(0, "OK", 2, 132).file(44, "PAST", 9, 134).end(88).bytes(132, "ok").str();
    writeFileBytes(m_path, cut);
    saved([](ArchiveEdit& edit) { edit.rename(edit.root().m_children[0], "OK2"); }, Save::Refused);
    EXPECT_EQ(readFileBytes(m_path), cut);
    const std::string now = saved([](ArchiveEdit& edit) { edit.remove({&edit.root().m_children[1]}); });
    EXPECT_EQ(listAt(now, 0), (std::vector<std::string>{"OK:0"}));
    EXPECT_EQ(dataOf(now, recordAt(now, 0)), "ok");
}

// What the reader would skip, cut or read twice is not changed at all.
TEST_F(ArchiveEditTest, DamagedArchivesAreNotOpenedForChange) {
    const std::vector<std::string> damaged = {
        RawArchive().record(0, "X", 7, 0, 0).end(44).str(), // unknown record
        RawArchive().folder(0, "LOOP", 0).end(44).str(),    // a cycle
        RawArchive().file(0, "A", 0, 0).str(),              // no end record
        RawArchive().folder(0, "A", 88).folder(44, "B", 88).end(88).str() +
            std::string(44, '\xff'), // shared list
    };
    for (const std::string& bytes : damaged) {
        writeFileBytes(m_path, bytes);
        ArchiveEdit edit;
        EXPECT_EQ(edit.open(m_path), Open::Damaged);
    }
    ArchiveEdit missing;
    EXPECT_EQ(missing.open(m_dir / "none"), Open::Missing);
    EXPECT_EQ(missing.open(m_dir.path()), Open::NotRegular);
}

// Another program's write since the archive was read, a read-only mode and a link at the path.
TEST_F(ArchiveEditTest, SaveRespectsTheFileOnDisk) {
    const std::string old = buildArchive({fileNode("A", "aaa")});
    writeFileBytes(m_path, old);
    ArchiveEdit edit;
    ASSERT_EQ(edit.open(m_path), Open::Opened);
    edit.rename(edit.root().m_children[0], "B");
    writeFileBytes(m_path, old + "x");
    EXPECT_EQ(edit.save(), Save::Changed);
    EXPECT_EQ(readFileBytes(m_path), old + "x");

    writeFileBytes(m_path, old);
    ::chmod(m_path.c_str(), 0444);
    saved([](ArchiveEdit& e) { e.rename(e.root().m_children[0], "B"); }, Save::ReadOnly);
    ::chmod(m_path.c_str(), 0640);

    const std::string link = m_dir / "LINK.DIR";
    ASSERT_EQ(::symlink("A.DIR", link.c_str()), 0);
    ArchiveEdit viaLink;
    ASSERT_EQ(viaLink.open(link), Open::Opened);
    viaLink.rename(viaLink.root().m_children[0], "C");
    EXPECT_EQ(viaLink.save(), Save::Saved);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(listAt(readFileBytes(m_path), 0), (std::vector<std::string>{"C:0"}));
}

// Dead space up to a quarter of the archive stays; past it, the archive is laid out tightly.
TEST_F(ArchiveEditTest, DeadSpacePastAQuarterIsReclaimed) {
    writeFileBytes(
        m_path, buildArchive({fileNode("A", std::string(2000, 'a')), fileNode("B", std::string(4000, 'b'))}));
    std::string now = saved([](ArchiveEdit& edit) { edit.remove({&edit.root().m_children[0]}); });
    EXPECT_EQ(now.size(), 88u + 4000);
    EXPECT_EQ(dataOf(now, recordAt(now, 0)), std::string(4000, 'b'));

    writeFileBytes(
        m_path, buildArchive({fileNode("A", std::string(500, 'a')), fileNode("B", std::string(4000, 'b'))}));
    const uint64_t before = readFileBytes(m_path).size();
    now = saved([](ArchiveEdit& edit) { edit.remove({&edit.root().m_children[0]}); });
    EXPECT_EQ(now.size(), before);
}

} // namespace

} // namespace vorpex
