// Extracts a whole archive into an existing folder with a chosen copy method, for extract_bench.sh.
// Usage: bench_extract ARCHIVE DEST [auto|buffer|kernel|named]   (named: named temporaries, not O_TMPFILE)
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    RecordingSink sink;
    PackFile pack(argv[1], sink);
    NameCodec codec;
    FolderWalk walk(pack, sink, codec);
    if (argc > 3 && std::strcmp(argv[3], "buffer") == 0)
        walk.writer().setCopyMethod(EntryWriter::ECopy::Buffer);
    if (argc > 3 && std::strcmp(argv[3], "kernel") == 0)
        walk.writer().setCopyMethod(EntryWriter::ECopy::Kernel);
    if (argc > 3 && std::strcmp(argv[3], "named") == 0)
        walk.writer().setUnnamedFiles(false);
    const FileDescriptor dest = FolderWalk::openDestination(argv[2]);
    Selection all;
    all.m_wholeArchive = true;
    const ExtractResult result = walk.extract(dest.get(), all);
    for (const std::string& text : sink.texts())
        std::fprintf(stderr, "%s\n", text.c_str());
    return result.m_messageCount ? 1 : 0;
}
