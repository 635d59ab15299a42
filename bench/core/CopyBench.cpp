// Copying one file of a given size into a new unnamed file, as extraction does, through the user-space
// buffer against the kernel's copy: where the two cross is FileCopy::kKernelFrom. The source is in the page
// cache; the destination lies on the file system of the folder given in VORPEX_COPY_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

namespace {

constexpr int64_t kMost = 16 << 20;

const std::string& folder() {
    static const std::string folder =
        std::getenv("VORPEX_COPY_BENCH_DIR") ? std::getenv("VORPEX_COPY_BENCH_DIR") : "/tmp";
    return folder;
}

void bmCopy(benchmark::State& state, FileCopy::Method method) {
    static TempDir dir;
    static const std::string source = [] {
        std::string bytes(kMost, '\0');
        for (size_t i = 0; i < bytes.size(); i += 512)
            bytes[i] = static_cast<char>(i / 512);
        writeFileBytes(dir / "source", bytes);
        return dir / "source";
    }();
    const FileDescriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    const uint64_t size = static_cast<uint64_t>(state.range(0));
    FileCopy copy;
    copy.setMethod(method);
    for (auto _ : state) {
        FileDescriptor out(open(folder().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (!copy.copy(in.get(), 0, out.get(), size).ok())
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK_CAPTURE(bmCopy, Buffer, FileCopy::Method::Buffer)->RangeMultiplier(4)->Range(4 << 10, kMost);
BENCHMARK_CAPTURE(bmCopy, Kernel, FileCopy::Method::Kernel)->RangeMultiplier(4)->Range(4 << 10, kMost);

} // namespace

BENCHMARK_MAIN();
