// Runs a fuzz target outside the fuzzer over every hostile archive of the suite, every file of the
// folders named on the command line (the fuzzers' findings) and, as the random-corruption test, valid
// archives with about 1% of their bytes flipped, 1,000 times each. A fault aborts as it would in the
// fuzzer; so does a corrupted input that takes seconds, or memory that keeps growing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sys/resource.h>

#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv); // as in libFuzzer
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kSanitized = true; // freed memory stays in quarantine: no bound on the peak
#else
constexpr bool kSanitized = false;
#endif

double run(const std::string& what, const std::string& bytes) {
    std::printf("%s (%zu bytes)\n", what.c_str(), bytes.size());
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t inputs = 0;
    for (const HostileCase& c : hostileCases())
        inputs += run("hostile " + c.m_name, c.m_archive) >= 0;
    for (int i = 1; i < argc; ++i)
        for (const auto& e : std::filesystem::directory_iterator(argv[i]))
            if (e.is_regular_file() && e.path().extension() != ".md")
                inputs += run(e.path().filename().string(), readFileBytes(e.path().string())) >= 0;

    Node deep = fileNode("BOTTOM", "bottom");
    for (int level = 10; level >= 1; --level)
        deep = folderNode("L" + std::to_string(level), {fileNode("F" + std::to_string(level), "at"), deep});
    std::vector<Node> wide;
    for (int i = 0; i < 20; ++i)
        wide.push_back(folderNode("S" + std::to_string(i),
                                  {fileNode("F.BIN", std::string(i * 150, 'f')), fileNode("T")}));
    const long peakBefore = peakKiB();
    double slowest = 0;
    int archive = 0;
    for (const std::string& valid : {readFileBytes(VORPEX_SAMPLE_PATH), buildArchive({deep}),
                                     buildArchive({folderNode("TOP", wide), fileNode("X")})})
        for (int run = 0; run < 1000; ++run, ++inputs) {
            std::mt19937_64 rng(0x5eed0000u + run); // each run its own seed, to replay it alone
            std::string bytes = valid;
            for (size_t i = 0; i < std::max<size_t>(1, bytes.size() / 100); ++i)
                bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
            slowest = std::max(
                slowest,
                ::run("corrupted archive " + std::to_string(archive) + " run " + std::to_string(run), bytes));
            archive += run == 999;
        }
    const long grown = peakKiB() - peakBefore;
    std::printf("%zu passed; slowest corrupted input %.0f ms; peak memory grew by %ld KiB\n", inputs,
                slowest * 1000, grown);
    if (slowest > 5.0 || (!kSanitized && grown > 64 * 1024)) {
        std::printf("FAILED: a hang, a quadratic blow-up or memory that keeps growing\n");
        return 1;
    }
    return 0;
}
