// Runs a fuzz target, outside the fuzzer, over every hostile archive of the suite and every file of the
// folders named on the command line (the fuzzers' findings). A fault aborts, as it would in the fuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::string& what, const std::string& bytes) {
    std::printf("%s (%zu bytes)\n", what.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    size_t inputs = 0;
    for (const CHostileCase& c : HostileCases()) {
        Run("hostile " + c.m_strName, c.m_strArchive);
        ++inputs;
    }
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file() || entry.path().extension() == ".md")
                continue;
            Run(entry.path().filename().string(), ReadFileBytes(entry.path().string()));
            ++inputs;
        }
    }
    std::printf("%zu passed, 0 failed\n", inputs);
    return 0;
}
