// Reading a catalogue of 1,000,000 entries in 1,000 folders against reading the same file the way cat
// does, and listing one folder of a large archive against the same folder of a small one.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "bench/core/BenchArchives.h"
#include "catalogue/GrowingArray.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"

using namespace vorpex;

namespace {

const std::string& archivePath(int folders, int files) {
    static std::map<std::pair<int, int>, std::string> paths;
    static TempDir dir;
    auto& path = paths[{folders, files}];
    if (path.empty()) {
        path = dir / ("A" + std::to_string(folders) + "x" + std::to_string(files) + ".DIR");
        writeFileBytes(path, manyTinyFiles(folders, files));
    }
    return path;
}

void bmCatRead(benchmark::State& state) {
    const std::string& path = archivePath(1000, 1000);
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
BENCHMARK(bmCatRead)->Unit(benchmark::kMillisecond);

void bmReadCatalogue(benchmark::State& state) {
    const std::string& path = archivePath(1000, 1000);
    NullSink sink;
    for (auto _ : state) {
        PackFile pack(path, sink);
        benchmark::DoNotOptimize(pack.entries().size());
    }
}
BENCHMARK(bmReadCatalogue)->Unit(benchmark::kMillisecond);

// Lists the last folder: its names and sizes, as a view would show them.
void listFolder(benchmark::State& state, int folders) {
    NullSink sink;
    PackFile pack(archivePath(folders, 1000), sink);
    const PackFolder& folder = *pack.root()->children().back();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (uint32_t index : folder.files()) {
            const PackEntry& e = pack.entry(index);
            sum += e.name().size() + e.size();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["archive_entries"] = static_cast<double>(pack.entries().size());
}
void bmListFolderOfSmallArchive(benchmark::State& state) {
    listFolder(state, 2);
}
void bmListFolderOfLargeArchive(benchmark::State& state) {
    listFolder(state, 1000);
}
BENCHMARK(bmListFolderOfSmallArchive)->Unit(benchmark::kMicrosecond);
BENCHMARK(bmListFolderOfLargeArchive)->Unit(benchmark::kMicrosecond);

// Filling the entries of a catalogue of 4M records as the reader does, in the growing array with huge
// pages and without, and in a vector reserved for them (what the reader once did).
constexpr size_t kFillEntries = size_t(4) << 20;

template <class Container> void fillEntries(benchmark::State& state) {
    for (auto _ : state) {
        Container entries;
        if constexpr (requires { entries.reserve(kFillEntries); })
            entries.reserve(kFillEntries);
        for (size_t i = 0; i < kFillEntries; ++i)
            entries.emplace_back(nullptr, "NAME.TXT", static_cast<uint32_t>(i), static_cast<uint32_t>(i));
        benchmark::DoNotOptimize(entries.data());
    }
}
void bmFillHugePages(benchmark::State& state) {
    fillEntries<GrowingArray<PackEntry, true>>(state);
}
void bmFillSmallPages(benchmark::State& state) {
    fillEntries<GrowingArray<PackEntry, false>>(state);
}
void bmFillReservedVector(benchmark::State& state) {
    fillEntries<std::vector<PackEntry>>(state);
}
BENCHMARK(bmFillHugePages)->Unit(benchmark::kMillisecond);
BENCHMARK(bmFillSmallPages)->Unit(benchmark::kMillisecond);
BENCHMARK(bmFillReservedVector)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
