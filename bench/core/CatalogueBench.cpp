// Reading a catalogue of 1,000,000 entries in 1,000 folders against reading the same file the way cat
// does, and listing one folder of a large archive against the same folder of a small one.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "bench/core/BenchArchives.h"
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

} // namespace

BENCHMARK_MAIN();
