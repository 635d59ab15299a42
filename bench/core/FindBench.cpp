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

using namespace vorpex;

namespace {

// One folder of `count` files whose names and sizes come in random order.
const PackFile& shuffledFolder(int count) {
    static TempDir dir;
    static std::unique_ptr<PackFile> pack;
    static NullSink sink;
    if (!pack) {
        std::mt19937 rng(7);
        std::vector<int> numbers(count);
        for (int i = 0; i < count; ++i)
            numbers[i] = i;
        std::shuffle(numbers.begin(), numbers.end(), rng);
        std::vector<Node> files;
        files.reserve(count);
        for (int n : numbers)
            files.push_back(fileNode((n % 2 ? "Track" : "TRACK") + std::to_string(n) + ".WAV",
                                     std::string(rng() % 8, 'x')));
        const std::string path = dir / "SHUFFLED.DIR";
        writeFileBytes(path, buildArchive({folderNode("BIG", std::move(files))}));
        pack = std::make_unique<PackFile>(path, sink);
    }
    return *pack;
}

std::vector<SortRow> rows(const PackFile& pack) {
    std::vector<SortRow> rows;
    const PackFolder& folder = *pack.root();
    rows.reserve(folder.files().size());
    for (uint32_t index : folder.files()) {
        const PackEntry& entry = pack.entry(index);
        rows.push_back({entry.name(), {}, entry.size(), false});
    }
    return rows;
}

// The peer: what a list does to show every row once, each name decoded.
void bmListUnsorted100k(benchmark::State& state) {
    const PackFile& pack = shuffledFolder(100000);
    const NameCodec codec;
    for (auto _ : state) {
        size_t total = 0;
        for (const SortRow& row : rows(pack))
            total += codec.decode(row.m_raw).size() + row.m_size;
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(bmListUnsorted100k)->Unit(benchmark::kMillisecond);

void bmSortByName100k(benchmark::State& state) {
    const PackFile& pack = shuffledFolder(100000);
    const NameCodec codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(sortRows(rows(pack), SortBy::Name, false, codec).data());
}
BENCHMARK(bmSortByName100k)->Unit(benchmark::kMillisecond);

void bmSortBySize100k(benchmark::State& state) {
    const PackFile& pack = shuffledFolder(100000);
    const NameCodec codec;
    for (auto _ : state)
        benchmark::DoNotOptimize(sortRows(rows(pack), SortBy::Size, true, codec).data());
}
BENCHMARK(bmSortBySize100k)->Unit(benchmark::kMillisecond);

const PackFile& million() {
    static TempDir dir;
    static std::unique_ptr<PackFile> pack;
    static NullSink sink;
    if (!pack) {
        const std::string path = dir / "MILLION.DIR";
        writeFileBytes(path, manyTinyFiles(1000, 1000));
        pack = std::make_unique<PackFile>(path, sink);
    }
    return *pack;
}

// The finder is built once, when the find bar opens.
void bmFindIndex1M(benchmark::State& state) {
    const NameCodec codec;
    const PackFile& pack = million();
    for (auto _ : state) {
        const NameFinder finder(pack, codec);
        benchmark::DoNotOptimize(finder.count());
    }
}
BENCHMARK(bmFindIndex1M)->Unit(benchmark::kMillisecond);

// The peer of a keystroke: every raw name of the catalogue looked at once (its length taken).
void bmScanNames1M(benchmark::State& state) {
    const PackFile& pack = million();
    for (auto _ : state) {
        size_t total = 0;
        for (const PackEntry& entry : pack.entries())
            total += entry.name().size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(bmScanNames1M)->Unit(benchmark::kMillisecond);

void findKeystroke(benchmark::State& state, const char* pattern) {
    const NameCodec codec;
    static const NameFinder finder(million(), codec);
    std::vector<FindHit> hits;
    for (auto _ : state) {
        finder.find(pattern, hits);
        benchmark::DoNotOptimize(hits.data());
    }
    state.counters["hits"] = static_cast<double>(hits.size());
}
BENCHMARK_CAPTURE(findKeystroke, part_1000_hits, "file123")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(findKeystroke, part_every_file, "file")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(findKeystroke, part_no_hit, "zzz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(findKeystroke, wildcards_100000_hits, "file*7.d?t")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(findKeystroke, every_name, "*")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
