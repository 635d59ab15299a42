#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/EntryWriter.h"
#include "catalogue/NameCodec.h"
#include "tests/core/CoreTestUtil.h"

namespace {

struct CWriterFixture : ::testing::Test {
    CNameCodec m_Codec;
    CDestination m_Dest;
};

const CPackEntry& EntryNamed(const CPackFile& pack, std::string_view name) {
    for (const CPackEntry& e : pack.m_Entries)
        if (e.GetName() == name)
            return e;
    throw std::runtime_error("no such entry");
}

TEST_F(CWriterFixture, ExtractFileFindsTheFirstEntryIgnoringLetterCase) {
    COpened a(BuildArchive({Folder("D", {File("Readme.TXT", "first"),
                                         Folder("S", {File("README.TXT", "second")}), File("EMPTY", "")})}));
    EXPECT_TRUE(a.Pack().ExtractFile("readme.txt", m_Dest.m_nFd, a.m_Sink, m_Codec));
    EXPECT_EQ(ReadFileBytes(m_Dest / "Readme.TXT"), "first");
    EXPECT_TRUE(a.Pack().ExtractFile("empty", m_Dest.m_nFd, a.m_Sink, m_Codec));
    EXPECT_EQ(ReadFileBytes(m_Dest / "EMPTY"), "");
    EXPECT_FALSE(a.Pack().ExtractFile("MISSING.TXT", m_Dest.m_nFd, a.m_Sink, m_Codec));
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not find file MISSING.TXT."});
    EXPECT_EQ(m_Dest.Tree(), (std::vector<std::string>{"EMPTY", "Readme.TXT"}));
}

TEST_F(CWriterFixture, WritesTheEntryItselfAndNamesItInUtf8) {
    COpened a(BuildArchive({Folder(
        "D", {File("SAME", "one"), Folder("S", {File("SAME", "two")}), File("CAF\xC9.TXT", "caf")})}));
    CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
    const CPackFolder* sub = a.Pack().GetRoot()->m_Children[0];
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, a.Pack().Entry(sub->m_Files[0])),
              CEntryWriter::EResult::Written);
    EXPECT_EQ(ReadFileBytes(m_Dest / "SAME"), "two");
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "CAF\xC9.TXT")),
              CEntryWriter::EResult::Written);
    EXPECT_EQ(ReadFileBytes(m_Dest / "CAF\xC3\x89.TXT"), "caf");
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

TEST_F(CWriterFixture, AnExistingFileIsReplacedOnlyByACompleteCopy) {
    // The second entry's data runs past the end of the archive.
    CRawArchive raw;
    raw.Folder(0, "D", 88)
        .End(44)
        .File(88, "GOOD", 4, 220)
        .File(132, "CUT", 100, 224)
        .End(176)
        .Bytes(220, "good!!");
    COpened a(raw.Str());
    WriteFileBytes(m_Dest / "GOOD", "old contents of good");
    WriteFileBytes(m_Dest / "CUT", "old contents of cut");
    CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "GOOD")), CEntryWriter::EResult::Written);
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "CUT")), CEntryWriter::EResult::Failed);
    EXPECT_EQ(ReadFileBytes(m_Dest / "GOOD"), "good");
    EXPECT_EQ(ReadFileBytes(m_Dest / "CUT"), "old contents of cut");
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not read file CUT"});
    EXPECT_EQ(m_Dest.Tree(), (std::vector<std::string>{"CUT", "GOOD"})); // no temporary left
}

TEST_F(CWriterFixture, LinksAtTheTargetAreReplacedNeverWrittenThrough) {
    COpened a(BuildArchive({Folder("D", {File("SOFT", "new soft"), File("HARD", "new hard")})}));
    CTempDir outside;
    WriteFileBytes(outside / "victim", "precious");
    ASSERT_EQ(symlink((outside / "victim").c_str(), (m_Dest / "SOFT").c_str()), 0);
    ASSERT_EQ(link((outside / "victim").c_str(), (m_Dest / "HARD").c_str()), 0);
    CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "SOFT")), CEntryWriter::EResult::Written);
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "HARD")), CEntryWriter::EResult::Written);
    EXPECT_EQ(ReadFileBytes(outside / "victim"), "precious");
    struct stat st {};
    ASSERT_EQ(lstat((m_Dest / "SOFT").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFileBytes(m_Dest / "SOFT"), "new soft");
    EXPECT_EQ(ReadFileBytes(m_Dest / "HARD"), "new hard");
}

TEST_F(CWriterFixture, RefusesTheArchiveItselfFoldersAndReadOnlyFiles) {
    CTempDir dir;
    const std::string archivePath = dir / "SELF.DIR";
    WriteFileBytes(archivePath,
                   BuildArchive({Folder("D", {File("SELF.DIR", "x"), File("RO", "y"), File("SUB", "z")})}));
    const std::string original = ReadFileBytes(archivePath);
    CRecordingSink sink;
    CPackFile pack(archivePath, sink);
    WriteFileBytes(dir / "RO", "keep");
    ASSERT_EQ(chmod((dir / "RO").c_str(), 0444), 0);
    ASSERT_EQ(mkdir((dir / "SUB").c_str(), 0755), 0);
    const int fd = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    CEntryWriter writer(pack, sink, m_Codec);
    for (const CPackEntry& e : pack.m_Entries)
        EXPECT_EQ(writer.WriteEntry(fd, e), CEntryWriter::EResult::Failed) << e.GetName();
    close(fd);
    EXPECT_EQ(ReadFileBytes(archivePath), original);
    EXPECT_EQ(ReadFileBytes(dir / "RO"), "keep");
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"Could not create file SELF.DIR", "Could not create file RO",
                                        "Could not create file SUB"}));
    EXPECT_EQ(ListTree(dir.Path()), (std::vector<std::string>{"RO", "SELF.DIR", "SUB/"}));
}

TEST_F(CWriterFixture, UnwritableFolderAndFileSizeLimitReportAndLeaveNothing) {
    COpened a(BuildArchive({Folder("D", {File("BIG", std::string(300000, 'b'))})}));
    const CPackEntry& big = EntryNamed(a.Pack(), "BIG");
    for (auto method : {CEntryWriter::ECopy::Buffer, CEntryWriter::ECopy::Kernel}) {
        // A file-size limit makes the write fail part way: the old file stays, no temporary is left.
        a.m_Sink.Clear();
        WriteFileBytes(m_Dest / "BIG", "old");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
        writer.SetCopyMethod(method);
        const auto result = writer.WriteEntry(m_Dest.m_nFd, big);
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(result, CEntryWriter::EResult::Failed);
        EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not write file BIG"});
        EXPECT_EQ(ReadFileBytes(m_Dest / "BIG"), "old");
        EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>{"BIG"});
    }
    if (geteuid() != 0) {
        a.m_Sink.Clear();
        CDestination ro;
        ASSERT_EQ(chmod(ro.m_Dir.Path().c_str(), 0555), 0);
        CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
        EXPECT_EQ(writer.WriteEntry(ro.m_nFd, big), CEntryWriter::EResult::Failed);
        EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not create file BIG"});
    }
}

TEST_F(CWriterFixture, CancelAbandonsTheFileInHand) {
    const std::string data(3 * CEntryWriter::kChunk + 10, 'c');
    COpened a(BuildArchive({Folder("D", {File("HUGE", data)})}));
    for (auto method : {CEntryWriter::ECopy::Buffer, CEntryWriter::ECopy::Kernel}) {
        WriteFileBytes(m_Dest / "HUGE", "old");
        std::atomic<bool> cancel{false};
        CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
        writer.SetCopyMethod(method);
        writer.SetCancelFlag(&cancel);
        writer.AddToTotals(1, data.size());
        uint64_t seen = 0;
        writer.SetProgressCallback([&](const CProgress& p) {
            seen = p.m_nBytesDone;
            cancel = true; // after the first piece
        });
        EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, EntryNamed(a.Pack(), "HUGE")),
                  CEntryWriter::EResult::Cancelled);
        EXPECT_GT(seen, 0u);
        EXPECT_LT(seen, data.size());
        EXPECT_EQ(ReadFileBytes(m_Dest / "HUGE"), "old");
        EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>{"HUGE"});
        EXPECT_EQ(a.m_Sink.Count(), 0u);
    }
}

TEST_F(CWriterFixture, BothCopyMethodsWriteExactBytes) {
    std::string data(CEntryWriter::kChunk * 2 + 12345, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 131 + i / 7);
    COpened a(BuildArchive({Folder("D", {File("BIG", data), File("SMALL", data.substr(7, 5000))})}));
    for (auto method :
         {CEntryWriter::ECopy::Auto, CEntryWriter::ECopy::Buffer, CEntryWriter::ECopy::Kernel}) {
        CDestination dest;
        CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
        writer.SetCopyMethod(method);
        for (const CPackEntry& e : a.Pack().m_Entries)
            EXPECT_EQ(writer.WriteEntry(dest.m_nFd, e), CEntryWriter::EResult::Written);
        EXPECT_EQ(ReadFileBytes(dest / "BIG"), data);
        EXPECT_EQ(ReadFileBytes(dest / "SMALL"), data.substr(7, 5000));
    }
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

TEST_F(CWriterFixture, UnsafeFileNamesAreNeverUsed) {
    CRawArchive raw;
    raw.Folder(0, "D", 88).End(44);
    const char* names[] = {"..", ".", "", "a/b", "..\\x", "ok"};
    uint32_t pos = 88;
    for (const char* n : names) {
        raw.File(pos, n, 1, 1000);
        pos += 44;
    }
    raw.End(pos).Bytes(1000, "z");
    COpened a(raw.Str());
    CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
    for (const CPackEntry& e : a.Pack().m_Entries)
        writer.WriteEntry(m_Dest.m_nFd, e);
    EXPECT_EQ(a.m_Sink.Texts(), (std::vector<std::string>{"Skipped unsafe name ..", "Skipped unsafe name .",
                                                          "Skipped unsafe name ", "Skipped unsafe name a/b",
                                                          "Skipped unsafe name ..\\x"}));
    EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>{"ok"});
}

} // namespace
