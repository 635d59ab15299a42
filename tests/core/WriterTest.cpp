#include <gtest/gtest.h>

#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/EntryWriter.h"
#include "platform/MessageTexts.h"
#include "tests/core/CoreTestUtil.h"

namespace vorpex {

namespace {

struct WriterFixture : ::testing::Test {
    NameCodec m_codec;
    Destination m_dest;
};

TEST_F(WriterFixture, CancelAbandonsTheFileInHand) {
    const std::string data(3 * EntryWriter::kChunk + 10, 'c');
    Opened a(buildArchive({folderNode("D", {fileNode("HUGE", data)})}));
    // Unnamed files and named temporaries, new and replacing.
    using E = EntryWriter::ECopy;
    for (auto [method, replacing, unnamed] :
         std::vector<std::tuple<E, bool, bool>>{{E::Buffer, true, true},
                                                {E::Kernel, true, true},
                                                {E::Buffer, false, true},
                                                {E::Kernel, true, false},
                                                {E::Buffer, false, false}}) {
        std::remove((m_dest / "HUGE").c_str());
        if (replacing)
            writeFileBytes(m_dest / "HUGE", "old");
        std::atomic<bool> cancel{false};
        EntryWriter writer(a.pack(), a.m_sink, m_codec);
        writer.setCopyMethod(method);
        writer.setUnnamedFiles(unnamed);
        writer.setCancelFlag(&cancel);
        writer.addToTotals(1, data.size());
        uint64_t seen = 0;
        writer.setProgressCallback([&](const Progress& p) {
            seen = p.m_bytesDone;
            cancel = true; // after the first piece
        });
        EXPECT_EQ(writer.writeEntry(m_dest.m_fd, a.pack().entries()[0]), EntryWriter::Result::Cancelled);
        EXPECT_GT(seen, 0u);
        EXPECT_LT(seen, data.size());
        // The old file stays as it was; a new one is removed with the temporary.
        EXPECT_EQ(m_dest.tree(), std::vector<std::string>(replacing, "HUGE=old"));
        EXPECT_EQ(a.m_sink.count(), 0u);
    }
}

TEST_F(WriterFixture, BothCopyMethodsWriteExactBytes) {
    std::string data(EntryWriter::kChunk * 2 + 12345, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 131 + i / 7);
    Opened a(
        buildArchive({folderNode("D", {fileNode("BIG", data), fileNode("SMALL", data.substr(7, 5000))})}));
    for (auto method : {EntryWriter::ECopy::Auto, EntryWriter::ECopy::Buffer, EntryWriter::ECopy::Kernel}) {
        Destination dest;
        EntryWriter writer(a.pack(), a.m_sink, m_codec);
        writer.setCopyMethod(method);
        for (const PackEntry& e : a.pack().entries())
            EXPECT_EQ(writer.writeEntry(dest.m_fd, e), EntryWriter::Result::Written);
        EXPECT_EQ(dest.tree(), (std::vector<std::string>{"BIG=" + data, "SMALL=" + data.substr(7, 5000)}));
    }
    EXPECT_EQ(a.m_sink.count(), 0u);
}

} // namespace

} // namespace vorpex
