// Writes the archive mount_bench.sh browses: FOLDERS folders of FILES tiny files each under one top-level
// folder. Usage: bench_make_many FOLDERS FILES OUTPUT
#include <cstdio>
#include <string>

#include "bench/core/BenchArchives.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_make_many FOLDERS FILES OUTPUT\n");
        return 2;
    }
    writeFileBytes(argv[3], manyTinyFiles(std::stoi(argv[1]), std::stoi(argv[2])));
    return 0;
}
