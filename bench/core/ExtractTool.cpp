// Extracts a whole archive into an existing folder with a chosen copy method, for extract_bench.sh.
// Usage: bench_extract ARCHIVE DEST [auto|buffer|kernel|named]   (named: named temporaries, not O_TMPFILE)
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    CRecordingSink sink;
    CPackFile pack(argv[1], sink);
    CNameCodec codec;
    CFolderWalk walk(pack, sink, codec);
    if (argc > 3 && std::strcmp(argv[3], "buffer") == 0)
        walk.Writer().SetCopyMethod(CEntryWriter::ECopy::Buffer);
    if (argc > 3 && std::strcmp(argv[3], "kernel") == 0)
        walk.Writer().SetCopyMethod(CEntryWriter::ECopy::Kernel);
    if (argc > 3 && std::strcmp(argv[3], "named") == 0)
        walk.Writer().SetUnnamedFiles(false);
    const CFileDescriptor dest = CFolderWalk::OpenDestination(argv[2]);
    CSelection all;
    all.m_bWholeArchive = true;
    const CExtractResult result = walk.Extract(dest.Get(), all);
    for (const std::string& text : sink.Texts())
        std::fprintf(stderr, "%s\n", text.c_str());
    return result.m_nMessages ? 1 : 0;
}
