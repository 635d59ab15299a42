#include <gtest/gtest.h>

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
    for (const CPackEntry& e : pack.GetEntries())
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
    const CPackFolder* sub = a.Pack().GetRoot()->GetChildren()[0];
    EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, a.Pack().Entry(sub->GetFiles()[0])),
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

TEST_F(CWriterFixture, CancelAbandonsTheFileInHand) {
    const std::string data(3 * CEntryWriter::kChunk + 10, 'c');
    COpened a(BuildArchive({Folder("D", {File("HUGE", data)})}));
    for (auto [method, replacing] : {std::pair{CEntryWriter::ECopy::Buffer, true},
                                     {CEntryWriter::ECopy::Kernel, true},
                                     {CEntryWriter::ECopy::Buffer, false}}) {
        std::remove((m_Dest / "HUGE").c_str());
        if (replacing)
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
        // The old file stays as it was; a new one is removed with the temporary.
        if (replacing) {
            EXPECT_EQ(ReadFileBytes(m_Dest / "HUGE"), "old");
        }
        EXPECT_EQ(m_Dest.Tree(), replacing ? std::vector<std::string>{"HUGE"} : std::vector<std::string>{});
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
        for (const CPackEntry& e : a.Pack().GetEntries())
            EXPECT_EQ(writer.WriteEntry(dest.m_nFd, e), CEntryWriter::EResult::Written);
        EXPECT_EQ(ReadFileBytes(dest / "BIG"), data);
        EXPECT_EQ(ReadFileBytes(dest / "SMALL"), data.substr(7, 5000));
    }
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

} // namespace
