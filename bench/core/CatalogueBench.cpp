// Reading a catalogue of 1,000,000 entries in 1,000 folders against reading the same file the way cat
// does, and listing one folder of a large archive against the same folder of a small one.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "bench/core/BenchArchives.h"
#include "catalogue/GrowingArray.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"

namespace {

const std::string& ArchivePath(int folders, int files) {
    static std::map<std::pair<int, int>, std::string> paths;
    static CTempDir dir;
    auto& path = paths[{folders, files}];
    if (path.empty()) {
        path = dir / ("A" + std::to_string(folders) + "x" + std::to_string(files) + ".DIR");
        WriteFileBytes(path, ManyTinyFiles(folders, files));
    }
    return path;
}

void BM_CatRead(benchmark::State& state) {
    const std::string& path = ArchivePath(1000, 1000);
    std::vector<char> buffer(128 * 1024);
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_RDONLY);
        ssize_t n;
        size_t total = 0;
        while ((n = read(fd, buffer.data(), buffer.size())) > 0)
            total += static_cast<size_t>(n);
        close(fd);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_CatRead)->Unit(benchmark::kMillisecond);

void BM_ReadCatalogue(benchmark::State& state) {
    const std::string& path = ArchivePath(1000, 1000);
    CNullSink sink;
    for (auto _ : state) {
        CPackFile pack(path, sink);
        benchmark::DoNotOptimize(pack.GetEntries().size());
    }
}
BENCHMARK(BM_ReadCatalogue)->Unit(benchmark::kMillisecond);

// Lists the last folder: its names and sizes, as a view would show them.
void ListFolder(benchmark::State& state, int folders) {
    CNullSink sink;
    CPackFile pack(ArchivePath(folders, 1000), sink);
    const CPackFolder& folder = *pack.GetRoot()->GetChildren().back();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (uint32_t index : folder.GetFiles()) {
            const CPackEntry& e = pack.Entry(index);
            sum += e.GetName().size() + e.GetSize();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["archive_entries"] = static_cast<double>(pack.GetEntries().size());
}
void BM_ListFolderOfSmallArchive(benchmark::State& state) {
    ListFolder(state, 2);
}
void BM_ListFolderOfLargeArchive(benchmark::State& state) {
    ListFolder(state, 1000);
}
BENCHMARK(BM_ListFolderOfSmallArchive)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListFolderOfLargeArchive)->Unit(benchmark::kMicrosecond);

// Filling the entries of a catalogue of 4M records as the reader does, in the growing array with huge
// pages and without, and in a vector reserved for them (what the reader once did).
constexpr size_t kFillEntries = size_t(4) << 20;

template <class Container> void FillEntries(benchmark::State& state) {
    for (auto _ : state) {
        Container entries;
        if constexpr (requires { entries.reserve(kFillEntries); })
            entries.reserve(kFillEntries);
        for (size_t i = 0; i < kFillEntries; ++i)
            entries.emplace_back(nullptr, "NAME.TXT", static_cast<uint32_t>(i), static_cast<uint32_t>(i));
        benchmark::DoNotOptimize(entries.data());
    }
}
void BM_FillHugePages(benchmark::State& state) {
    FillEntries<CGrowingArray<CPackEntry, true>>(state);
}
void BM_FillSmallPages(benchmark::State& state) {
    FillEntries<CGrowingArray<CPackEntry, false>>(state);
}
void BM_FillReservedVector(benchmark::State& state) {
    FillEntries<std::vector<CPackEntry>>(state);
}
BENCHMARK(BM_FillHugePages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillSmallPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReservedVector)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
