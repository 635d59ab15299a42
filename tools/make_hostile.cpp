// Writes the hostile example shipped as examples/HOSTILE.DIR, record by record: what `vorpex-cli check`
// reports and what extraction refuses. At the top, a file named a\b, a folder D, a record of unknown type
// and an empty file; in D, a folder named .., a name twice, a file whose data lies past the end of the
// archive and another record of unknown type. Usage: make_hostile OUTPUT
#include <cstdio>

#include "tests/support/ArchiveBuilder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hostile OUTPUT\n");
        return 2;
    }
    CRawArchive raw;
    raw.File(0, "a\\b", 4, 528)
        .Folder(44, "D", 220)
        .Record(88, "ODD", 7, 0, 0)
        .File(132, "OK.TXT", 0, 0)
        .End(176);
    raw.Folder(220, "..", 484)
        .File(264, "twice", 4, 532)
        .File(308, "twice", 4, 536)
        .File(352, "past", 4, 100000)
        .Record(396, "ODDER", 9, 0, 0)
        .End(440);
    raw.End(484).Bytes(528, "abcd1234wxyz");
    WriteFileBytes(argv[1], raw.Str());
    return 0;
}
