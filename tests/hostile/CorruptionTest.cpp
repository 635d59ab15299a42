// Random corruption: valid archives with about 1% of their bytes flipped, 1,000 times each, read and
// extracted whole. Nothing may crash, hang, grow without bound, leave a temporary or touch anything
// outside the destination.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sys/resource.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileUtil.h"

namespace {

constexpr int kRuns = 1000;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::string GeneratedTree() {
    std::mt19937 rng(7);
    std::vector<CNode> top;
    for (int a = 0; a < 4; ++a) {
        std::vector<CNode> level;
        for (int b = 0; b < 5; ++b) {
            std::vector<CNode> leaves;
            for (int c = 0; c < 4; ++c)
                leaves.push_back(
                    File("F" + std::to_string(c) + ".BIN", std::string(rng() % 3000, char('a' + c))));
            level.push_back(Folder("S" + std::to_string(b), std::move(leaves)));
            level.push_back(File("T" + std::to_string(b) + ".TXT", "text " + std::to_string(b)));
        }
        top.push_back(Folder("TOP" + std::to_string(a), std::move(level)));
    }
    return BuildArchive(top);
}

std::string TenLevels() {
    CNode deep = File("BOTTOM", "bottom");
    for (int level = 10; level >= 1; --level)
        deep = Folder("L" + std::to_string(level),
                      {File("F" + std::to_string(level), "at " + std::to_string(level)), deep});
    return BuildArchive({deep});
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct CCorruptionCase {
    const char* m_pszName;
    std::string (*m_fnArchive)();
};

void PrintTo(const CCorruptionCase& c, std::ostream* os) {
    *os << c.m_pszName;
}

class CCorruption : public ::testing::TestWithParam<CCorruptionCase> {};

TEST_P(CCorruption, FlippingOnePercentOfTheBytesIsHarmless) {
    const std::string valid = GetParam().m_fnArchive();
    ASSERT_GE(valid.size(), CArchiveRecord::kSize);
    CHostileArea area;
    const std::string path = area.m_strArchiveDir + "/CORRUPT.DIR";
    const CNameCodec codec;
    const long rssBefore = PeakRssKiB();
    double slowest = 0;
    for (int run = 0; run < kRuns; ++run) {
        // Each run has its own seed, so that a failure names the one input to replay.
        std::mt19937_64 rng(0x5eed0000u + run);
        std::string bytes = valid;
        const size_t flips = std::max<size_t>(1, bytes.size() / 100);
        for (size_t i = 0; i < flips; ++i)
            bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
        WriteFileBytes(path, bytes);
        std::filesystem::remove_all(area.m_strDest);
        ASSERT_EQ(mkdir(area.m_strDest.c_str(), 0755), 0);

        const auto start = std::chrono::steady_clock::now();
        CNullSink sink;
        CPackFile pack(path, sink);
        ASSERT_TRUE(pack.m_bOpen) << "run " << run;
        const uint64_t records =
            pack.GetFolderCount() + pack.m_Entries.size() + pack.m_Report.m_nUnknownRecords;
        ASSERT_LE(records, bytes.size() / CArchiveRecord::kSize)
            << "run " << run << ": a record was read twice";
        const int dirfd = CFolderWalk::OpenDestination(area.m_strDest);
        ASSERT_GE(dirfd, 0);
        CFolderWalk walk(pack, sink, codec);
        CSelection all;
        all.m_bWholeArchive = true;
        const CExtractResult result = walk.Extract(dirfd, all);
        close(dirfd);
        slowest = std::max(slowest,
                           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

        ASSERT_LE(result.m_nFilesWritten, pack.m_Entries.size()) << "run " << run;
        ASSERT_LE(result.m_nFoldersMade, pack.GetFolderCount()) << "run " << run;
        for (const std::string& p : ListTree(area.m_strDest)) {
            ASSERT_EQ(p.find(".vorpex-"), std::string::npos) << "run " << run << ": temporary left: " << p;
            ASSERT_LE(std::count(p.begin(), p.end(), '/'), static_cast<long>(CPackFile::kMaxDepth))
                << "run " << run;
        }
        ASSERT_EQ(area.OutsideDamage({"CORRUPT.DIR"}), "") << "run " << run;
        ASSERT_EQ(ReadFileBytes(path), bytes) << "run " << run << ": the archive changed";
    }
    // A generous bound that only a hang or quadratic blow-up would break.
    EXPECT_LT(slowest, 5.0) << "the slowest run took " << slowest << " s";
    RecordProperty("slowest_run_ms", static_cast<int>(slowest * 1000));
    if (!kSanitized) {
        // The sanitizers keep freed memory in quarantine, so the bound only holds without them.
        EXPECT_LT(PeakRssKiB() - rssBefore, 64 * 1024)
            << "peak memory grew by " << (PeakRssKiB() - rssBefore) << " KiB";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, CCorruption,
    ::testing::Values(CCorruptionCase{"Example",
                                      [] {
                                          return BuildArchive(
                                              {Folder("DATA", {File("README.TXT", "hello"),
                                                               Folder("MAPS", {File("M1.MAP", "abc")})})});
                                      }},
                      CCorruptionCase{"Sample", [] { return ReadFileBytes(VORPEX_SAMPLE_PATH); }},
                      CCorruptionCase{"GeneratedTree", GeneratedTree},
                      CCorruptionCase{"TenLevels", TenLevels}),
    [](const ::testing::TestParamInfo<CCorruptionCase>& info) { return std::string(info.param.m_pszName); });

} // namespace
