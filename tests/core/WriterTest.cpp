#include <gtest/gtest.h>

#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/EntryWriter.h"
#include "platform/MessageTexts.h"
#include "tests/core/CoreTestUtil.h"

namespace {

struct CWriterFixture : ::testing::Test {
    CNameCodec m_Codec;
    CDestination m_Dest;
};

TEST_F(CWriterFixture, CancelAbandonsTheFileInHand) {
    const std::string data(3 * CEntryWriter::kChunk + 10, 'c');
    COpened a(BuildArchive({Folder("D", {File("HUGE", data)})}));
    // Unnamed files and named temporaries, new and replacing.
    using E = CEntryWriter::ECopy;
    for (auto [method, replacing, unnamed] :
         std::vector<std::tuple<E, bool, bool>>{{E::Buffer, true, true},
                                                {E::Kernel, true, true},
                                                {E::Buffer, false, true},
                                                {E::Kernel, true, false},
                                                {E::Buffer, false, false}}) {
        std::remove((m_Dest / "HUGE").c_str());
        if (replacing)
            WriteFileBytes(m_Dest / "HUGE", "old");
        std::atomic<bool> cancel{false};
        CEntryWriter writer(a.Pack(), a.m_Sink, m_Codec);
        writer.SetCopyMethod(method);
        writer.SetUnnamedFiles(unnamed);
        writer.SetCancelFlag(&cancel);
        writer.AddToTotals(1, data.size());
        uint64_t seen = 0;
        writer.SetProgressCallback([&](const CProgress& p) {
            seen = p.m_nBytesDone;
            cancel = true; // after the first piece
        });
        EXPECT_EQ(writer.WriteEntry(m_Dest.m_nFd, a.Pack().GetEntries()[0]),
                  CEntryWriter::EResult::Cancelled);
        EXPECT_GT(seen, 0u);
        EXPECT_LT(seen, data.size());
        // The old file stays as it was; a new one is removed with the temporary.
        EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>(replacing, "HUGE=old"));
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
        EXPECT_EQ(dest.Tree(), (std::vector<std::string>{"BIG=" + data, "SMALL=" + data.substr(7, 5000)}));
    }
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

} // namespace
