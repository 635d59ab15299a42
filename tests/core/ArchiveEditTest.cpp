#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveEdit.h"

namespace {

using Open = ArchiveEdit::OpenStatus;
using Save = ArchiveEdit::SaveStatus;

CArchiveRecord RecordAt(const std::string& bytes, uint64_t pos) {
    return CArchiveRecord::Parse(reinterpret_cast<const unsigned char*>(bytes.data() + pos));
}

// A list as "name:type" lines, the whole name field with NULs as '.', read from `pos`.
std::vector<std::string> ListAt(const std::string& bytes, uint64_t pos) {
    std::vector<std::string> list;
    for (;; pos += CArchiveRecord::kSize) {
        const CArchiveRecord r = RecordAt(bytes, pos);
        if (r.m_nType == CArchiveRecord::kEnd)
            return list;
        std::string field(r.m_name, CArchiveRecord::kNameSize);
        for (char& c : field)
            c = c ? c : '.';
        list.push_back(field.substr(0, field.find_last_not_of('.') + 1) + ":" + std::to_string(r.m_nType));
    }
}

std::string DataOf(const std::string& bytes, const CArchiveRecord& r) {
    return bytes.substr(r.m_nOffset, r.m_nSize);
}

bool ReadsClean(const std::string& path, uint64_t* files = nullptr) {
    CRecordingSink sink;
    const CPackFile pack(path, sink);
    if (files)
        *files = pack.GetEntryCount();
    return pack.IsOpen() && pack.GetReport().IsClean();
}

class ArchiveEditTest : public ::testing::Test {
protected:
    std::string Saved(const std::function<void(ArchiveEdit&)>& change, Save expected = Save::Saved) {
        ArchiveEdit edit;
        EXPECT_EQ(edit.open(m_path), Open::Opened);
        change(edit);
        EXPECT_EQ(edit.save(), expected);
        return ReadFileBytes(m_path);
    }
    CTempDir m_dir;
    const std::string m_path = m_dir / "A.DIR";
};

// Folders and files interleaved in a list, and a name field with bytes after its NUL: a rename keeps every
// other record's whole name field, its place in its list and its data, where it lay.
TEST_F(ArchiveEditTest, RenameKeepsEveryOtherRecordAndTheDataInPlace) {
    std::string tail = std::string("TAIL") + '\0' + "junk";
    const std::string old = CRawArchive()
                                .File(0, "A.TXT", 20000, 4096)
                                .Folder(44, "SUB", 176)
                                .File(88, tail, 3, 24096)
                                .End(132)
                                .File(176, "IN.TXT", 2, 24099)
                                .End(220)
                                .Bytes(4096, std::string(20000, 'h'))
                                .Bytes(24096, "abcde")
                                .Str();
    WriteFileBytes(m_path, old);
    const std::string now =
        Saved([](ArchiveEdit& edit) { edit.rename(*edit.child(edit.root(), "A.TXT"), "B.TXT"); });
    EXPECT_EQ(ListAt(now, 0), (std::vector<std::string>{"B.TXT:0", "SUB:1", "TAIL.junk:0"}));
    EXPECT_EQ(RecordAt(now, 0).m_nOffset, 4096u);
    EXPECT_EQ(RecordAt(now, 88).m_nOffset, 24096u);
    EXPECT_EQ(DataOf(now, RecordAt(now, 0)), std::string(20000, 'h'));
    EXPECT_EQ(DataOf(now, RecordAt(now, 88)), "abc");
    EXPECT_EQ(ListAt(now, RecordAt(now, 44).m_nOffset), (std::vector<std::string>{"IN.TXT:0"}));
    EXPECT_EQ(DataOf(now, RecordAt(now, RecordAt(now, 44).m_nOffset)), "de");
    EXPECT_TRUE(ReadsClean(m_path));
}

// New items go to the end of their lists; the lists then reach into the kept data, which moves by whole
// blocks and so keeps its place within them; a replaced file gets new data after the kept, the rest keep
// their bytes.
TEST_F(ArchiveEditTest, AddedItemsEndTheirListsAndKeptDataMovesByWholeBlocks) {
    std::vector<CNode> files;
    for (int i = 0; i < 20; ++i)
        files.push_back(File("F" + std::to_string(i), std::string(100 + i, char('a' + i))));
    WriteFileBytes(m_path, BuildArchive({Folder("D", files)}));
    const std::string old = ReadFileBytes(m_path);
    struct stat st {};
    ::stat(m_path.c_str(), &st);
    const uint64_t block = uint64_t(st.st_blksize);
    const std::string fresh(5000, 'z');
    const std::string now = Saved([&](ArchiveEdit& edit) {
        ArchiveNode& d = *edit.child(edit.root(), "D");
        for (int i = 0; i < 100; ++i)
            edit.putFile(d, "N" + std::to_string(i), 1, DataSource::bytes("n"));
        edit.putFile(d, "F3", fresh.size(), DataSource::bytes(fresh));
        edit.makeFolder(edit.root(), "E");
    });
    const std::vector<std::string> top = ListAt(now, 0), d = ListAt(now, RecordAt(now, 0).m_nOffset);
    EXPECT_EQ(top, (std::vector<std::string>{"D:1", "E:1"}));
    ASSERT_EQ(d.size(), 120u);
    EXPECT_EQ(d[3], "F3:0");
    EXPECT_EQ(d[119], "N99:0");
    const uint64_t dList = RecordAt(now, 0).m_nOffset, oldList = RecordAt(old, 0).m_nOffset;
    for (int i = 0; i < 20; ++i) {
        const CArchiveRecord was = RecordAt(old, oldList + 44 * i), is = RecordAt(now, dList + 44 * i);
        EXPECT_EQ(DataOf(now, is), i == 3 ? fresh : DataOf(old, was));
        if (i != 3) {
            EXPECT_EQ(is.m_nOffset % block, was.m_nOffset % block);
            EXPECT_GE(is.m_nOffset, 44u * 125);
        }
    }
    uint64_t count = 0;
    EXPECT_TRUE(ReadsClean(m_path, &count));
    EXPECT_EQ(count, 120u);
}

// Whatever keeps the tree from being written is found before anything is: the archive stays byte for byte.
TEST_F(ArchiveEditTest, RefusalsLeaveTheArchiveAsItWas) {
    const std::string old = BuildArchive({Folder("D", {File("A", "aaa")})});
    WriteFileBytes(m_path, old);
    Saved([](ArchiveEdit& edit) { edit.rename(edit.root().children[0], std::string(33, 'x')); },
          Save::Refused);
    EXPECT_EQ(ReadFileBytes(m_path), old);
    ArchiveEdit deep;
    ASSERT_EQ(deep.open(m_path), Open::Opened);
    ArchiveNode* folder = &deep.root();
    for (int i = 0; i < 11; ++i)
        folder = deep.makeFolder(*folder, "L");
    EXPECT_EQ(deep.save(), Save::Refused);
    ASSERT_EQ(deep.problems().size(), 1u);
    EXPECT_EQ(deep.problems()[0].kind, ArchiveEdit::Problem::Kind::TooDeep);
    EXPECT_EQ(ReadFileBytes(m_path), old);
    // A file clashing with a folder of its name is not taken.
    EXPECT_EQ(deep.putFile(deep.root(), "D", 1, DataSource::bytes("x")), nullptr);

    // Data past the end of the file cannot be kept; taken out, the rest is saved.
    const std::string cut =
        CRawArchive().File(0, "OK", 2, 132).File(44, "PAST", 9, 134).End(88).Bytes(132, "ok").Str();
    WriteFileBytes(m_path, cut);
    Saved([](ArchiveEdit& edit) { edit.rename(edit.root().children[0], "OK2"); }, Save::Refused);
    EXPECT_EQ(ReadFileBytes(m_path), cut);
    const std::string now = Saved([](ArchiveEdit& edit) { edit.remove({&edit.root().children[1]}); });
    EXPECT_EQ(ListAt(now, 0), (std::vector<std::string>{"OK:0"}));
    EXPECT_EQ(DataOf(now, RecordAt(now, 0)), "ok");
}

// What the reader would skip, cut or read twice is not changed at all.
TEST_F(ArchiveEditTest, DamagedArchivesAreNotOpenedForChange) {
    const std::vector<std::string> damaged = {
        CRawArchive().Record(0, "X", 7, 0, 0).End(44).Str(), // unknown record
        CRawArchive().Folder(0, "LOOP", 0).End(44).Str(),    // a cycle
        CRawArchive().File(0, "A", 0, 0).Str(),              // no end record
        CRawArchive().Folder(0, "A", 88).Folder(44, "B", 88).End(88).Str() +
            std::string(44, '\xff'), // shared list
    };
    for (const std::string& bytes : damaged) {
        WriteFileBytes(m_path, bytes);
        ArchiveEdit edit;
        EXPECT_EQ(edit.open(m_path), Open::Damaged);
    }
    ArchiveEdit missing;
    EXPECT_EQ(missing.open(m_dir / "none"), Open::Missing);
    EXPECT_EQ(missing.open(m_dir.Path()), Open::NotRegular);
}

// Another program's write since the archive was read, a read-only mode and a link at the path.
TEST_F(ArchiveEditTest, SaveRespectsTheFileOnDisk) {
    const std::string old = BuildArchive({File("A", "aaa")});
    WriteFileBytes(m_path, old);
    ArchiveEdit edit;
    ASSERT_EQ(edit.open(m_path), Open::Opened);
    edit.rename(edit.root().children[0], "B");
    WriteFileBytes(m_path, old + "x");
    EXPECT_EQ(edit.save(), Save::Changed);
    EXPECT_EQ(ReadFileBytes(m_path), old + "x");

    WriteFileBytes(m_path, old);
    ::chmod(m_path.c_str(), 0444);
    Saved([](ArchiveEdit& e) { e.rename(e.root().children[0], "B"); }, Save::ReadOnly);
    ::chmod(m_path.c_str(), 0640);

    const std::string link = m_dir / "LINK.DIR";
    ASSERT_EQ(::symlink("A.DIR", link.c_str()), 0);
    ArchiveEdit viaLink;
    ASSERT_EQ(viaLink.open(link), Open::Opened);
    viaLink.rename(viaLink.root().children[0], "C");
    EXPECT_EQ(viaLink.save(), Save::Saved);
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ListAt(ReadFileBytes(m_path), 0), (std::vector<std::string>{"C:0"}));
}

// Dead space up to a quarter of the archive stays; past it, the archive is laid out tightly.
TEST_F(ArchiveEditTest, DeadSpacePastAQuarterIsReclaimed) {
    WriteFileBytes(m_path,
                   BuildArchive({File("A", std::string(2000, 'a')), File("B", std::string(4000, 'b'))}));
    std::string now = Saved([](ArchiveEdit& edit) { edit.remove({&edit.root().children[0]}); });
    EXPECT_EQ(now.size(), 88u + 4000);
    EXPECT_EQ(DataOf(now, RecordAt(now, 0)), std::string(4000, 'b'));

    WriteFileBytes(m_path,
                   BuildArchive({File("A", std::string(500, 'a')), File("B", std::string(4000, 'b'))}));
    const uint64_t before = ReadFileBytes(m_path).size();
    now = Saved([](ArchiveEdit& edit) { edit.remove({&edit.root().children[0]}); });
    EXPECT_EQ(now.size(), before);
}

} // namespace
