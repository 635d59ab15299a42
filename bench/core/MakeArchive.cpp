// Writes the archives that extract_bench.sh and check_bench.sh time: `small` (20,000 files of 1-64 KiB),
// `big N` (N entries of 1 GiB each; `big N SKEW` starts the data SKEW bytes past a block boundary) or `many`
// (1,000,000 tiny files in 1,000 folders). Usage: bench_make_archive small|many|big [N [SKEW]] OUTPUT
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "bench/core/BenchArchives.h"
#include "catalogue/ArchiveRecord.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "small") == 0) {
        writeFileBytes(argv[2], smallFiles(20000));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "many") == 0) {
        writeFileBytes(argv[2], manyTinyFiles(1000, 1000));
        return 0;
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "big") == 0) {
        // Records first, then the data written in pieces: nothing of a gibibyte is held in memory.
        const int n = std::stoi(argv[2]);
        const uint32_t skew = argc == 5 ? uint32_t(std::stoul(argv[3])) : 0;
        const uint64_t size = uint64_t(1) << 30;
        std::string head;
        RawArchive raw;
        raw.folder(0, "BIG", 88).end(44);
        for (int i = 0; i < n; ++i)
            raw.file(88 + 44 * i, "GIB" + std::to_string(i) + ".BIN", uint32_t(size),
                     uint32_t(4096 + skew + size * uint64_t(i)));
        raw.end(88 + 44 * n).size(4096 + skew);
        const int fd = open(argv[argc - 1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string piece(1 << 20, '\0');
        if (write(fd, raw.str().data(), raw.str().size()) != ssize_t(raw.str().size()))
            return 1;
        for (uint64_t done = 0; done < size * uint64_t(n); done += piece.size()) {
            for (size_t k = 0; k < piece.size(); k += 512)
                piece[k] = static_cast<char>(done / 4096 + k);
            if (write(fd, piece.data(), piece.size()) != ssize_t(piece.size()))
                return 1;
        }
        close(fd);
        return 0;
    }
    std::fprintf(stderr, "usage: bench_make_archive small|many OUTPUT | big N [SKEW] OUTPUT\n");
    return 2;
}
