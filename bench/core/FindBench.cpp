// Sorting a folder of 100,000 files against listing it unsorted, and one keystroke of the find bar on
// an archive of 1,000,000 entries against scanning its names once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "bench/core/BenchArchives.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameFinder.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"

namespace {

// One folder of `count` files whose names and sizes come in random order.
const CPackFile& ShuffledFolder(int count) {
    static CTempDir dir;
    static std::unique_ptr<CPackFile> pack;
    static CNullSink sink;
    if (!pack) {
        std::mt19937 rng(7);
        std::vector<int> numbers(count);
        for (int i = 0; i < count; ++i)
            numbers[i] = i;
        std::shuffle(numbers.begin(), numbers.end(), rng);
        std::vector<CNode> files;
        files.reserve(count);
        for (int n : numbers)
            files.push_back(
                File((n % 2 ? "Track" : "TRACK") + std::to_string(n) + ".WAV", std::string(rng() % 8, 'x')));
        const std::string path = dir / "SHUFFLED.DIR";
        WriteFileBytes(path, BuildArchive({Folder("BIG", std::move(files))}));
        pack = std::make_unique<CPackFile>(path, sink);
    }
    return *pack;
}

std::vector<CSortRow> Rows(const CPackFile& pack) {
    std::vector<CSortRow> rows;
    const CPackFolder& folder = *pack.GetRoot();
    rows.reserve(folder.GetFiles().size());
    for (uint32_t index : folder.GetFiles()) {
        const CPackEntry& entry = pack.Entry(index);
        rows.push_back({entry.GetName(), {}, entry.GetSize(), false});
    }
    return rows;
}

// The peer: what a list does to show every row once, each name decoded.
void BM_ListUnsorted100k(benchmark::State& state) {
    const CPackFile& pack = ShuffledFolder(100000);
    const CNameCodec codec;
    for (auto _ : state) {
        size_t total = 0;
        for (const CSortRow& row : Rows(pack))
            total += codec.Decode(row.m_Raw).size() + row.m_nSize;
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ListUnsorted100k)->Unit(benchmark::kMillisecond);

void BM_SortByName100k(benchmark::State& state) {
    const CPackFile& pack = ShuffledFolder(100000);
    const CNameCodec codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(SortRows(Rows(pack), ESortBy::Name, false, codec).data());
}
BENCHMARK(BM_SortByName100k)->Unit(benchmark::kMillisecond);

void BM_SortBySize100k(benchmark::State& state) {
    const CPackFile& pack = ShuffledFolder(100000);
    const CNameCodec codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(SortRows(Rows(pack), ESortBy::Size, true, codec).data());
}
BENCHMARK(BM_SortBySize100k)->Unit(benchmark::kMillisecond);

const CPackFile& Million() {
    static CTempDir dir;
    static std::unique_ptr<CPackFile> pack;
    static CNullSink sink;
    if (!pack) {
        const std::string path = dir / "MILLION.DIR";
        WriteFileBytes(path, ManyTinyFiles(1000, 1000));
        pack = std::make_unique<CPackFile>(path, sink);
    }
    return *pack;
}

// The finder is built once, when the find bar opens.
void BM_FindIndex1M(benchmark::State& state) {
    const CNameCodec codec;
    const CPackFile& pack = Million();
    for (auto _ : state) {
        const CNameFinder finder(pack, codec);
        benchmark::DoNotOptimize(finder.Count());
    }
}
BENCHMARK(BM_FindIndex1M)->Unit(benchmark::kMillisecond);

// The peer of a keystroke: every raw name of the catalogue looked at once (its length taken).
void BM_ScanNames1M(benchmark::State& state) {
    const CPackFile& pack = Million();
    for (auto _ : state) {
        size_t total = 0;
        for (const CPackEntry& entry : pack.GetEntries())
            total += entry.GetName().size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ScanNames1M)->Unit(benchmark::kMillisecond);

void FindKeystroke(benchmark::State& state, const char* pattern) {
    const CNameCodec codec;
    static const CNameFinder finder(Million(), codec);
    std::vector<CFindHit> hits;
    for (auto _ : state) {
        finder.Find(pattern, hits);
        benchmark::DoNotOptimize(hits.data());
    }
    state.counters["hits"] = static_cast<double>(hits.size());
}
BENCHMARK_CAPTURE(FindKeystroke, part_1000_hits, "file123")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindKeystroke, part_every_file, "file")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindKeystroke, part_no_hit, "zzz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindKeystroke, wildcards_100000_hits, "file*7.d?t")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindKeystroke, every_name, "*")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
