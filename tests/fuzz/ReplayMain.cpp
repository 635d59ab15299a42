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

double Run(const std::string& what, const std::string& bytes) {
    std::printf("%s (%zu bytes)\n", what.c_str(), bytes.size());
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t inputs = 0;
    for (const CHostileCase& c : HostileCases())
        inputs += Run("hostile " + c.m_strName, c.m_strArchive) >= 0;
    for (int i = 1; i < argc; ++i)
        for (const auto& e : std::filesystem::directory_iterator(argv[i]))
            if (e.is_regular_file() && e.path().extension() != ".md")
                inputs += Run(e.path().filename().string(), ReadFileBytes(e.path().string())) >= 0;

    CNode deep = File("BOTTOM", "bottom");
    for (int level = 10; level >= 1; --level)
        deep = Folder("L" + std::to_string(level), {File("F" + std::to_string(level), "at"), deep});
    std::vector<CNode> wide;
    for (int i = 0; i < 20; ++i)
        wide.push_back(
            Folder("S" + std::to_string(i), {File("F.BIN", std::string(i * 150, 'f')), File("T")}));
    const long peakBefore = PeakKiB();
    double slowest = 0;
    int archive = 0;
    for (const std::string& valid : {ReadFileBytes(VORPEX_SAMPLE_PATH), BuildArchive({deep}),
                                     BuildArchive({Folder("TOP", wide), File("X")})})
        for (int run = 0; run < 1000; ++run, ++inputs) {
            std::mt19937_64 rng(0x5eed0000u + run); // each run its own seed, to replay it alone
            std::string bytes = valid;
            for (size_t i = 0; i < std::max<size_t>(1, bytes.size() / 100); ++i)
                bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
            slowest = std::max(
                slowest,
                Run("corrupted archive " + std::to_string(archive) + " run " + std::to_string(run), bytes));
            archive += run == 999;
        }
    const long grown = PeakKiB() - peakBefore;
    std::printf("%zu passed; slowest corrupted input %.0f ms; peak memory grew by %ld KiB\n", inputs,
                slowest * 1000, grown);
    if (slowest > 5.0 || (!kSanitized && grown > 64 * 1024)) {
        std::printf("FAILED: a hang, a quadratic blow-up or memory that keeps growing\n");
        return 1;
    }
    return 0;
}
