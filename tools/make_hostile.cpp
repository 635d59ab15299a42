// Writes the hostile example shipped as examples/HOSTILE.DIR, record by record: what `vorpex-cli check`
// reports and what extraction refuses. At the top, a file named a\b, a folder D, a record of unknown type
// and an empty file; in D, a folder named .., a name twice, a file whose data lies past the end of the
// archive and another record of unknown type. Usage: make_hostile OUTPUT
#include <cstdio>

#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile OUTPUT\n");
        return 2;
    }
    RawArchive raw;
    raw.file(0, "a\\b", 4, 528)
        .folder(44, "D", 220)
        .record(88, "ODD", 7, 0, 0)
        .file(132, "OK.TXT", 0, 0)
        .end(176);
    raw.folder(220, "..", 484)
        .file(264, "twice", 4, 532)
        .file(308, "twice", 4, 536)
        .file(352, "past", 4, 100000)
        .record(396, "ODDER", 9, 0, 0)
        .end(440);
    raw.end(484).bytes(528, "abcd1234wxyz");
    writeFileBytes(argv[1], raw.str());
    return 0;
}
