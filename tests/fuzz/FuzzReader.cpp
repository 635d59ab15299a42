// libFuzzer target: the catalogue reader alone, on bytes held in memory, with the invariants that keep a
// hostile archive cheap and the tree sound: no record read twice, nesting stops at ten levels, every
// folder and file reachable from the top, one message at most, names that survive decoding.
#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/fuzz/FuzzInput.h"

namespace vorpex {

namespace {

size_t checkFolder(const PackFile& pack, const PackFolder& folder, unsigned depth) {
    require(folder.depth() == depth && depth <= PackFile::kMaxDepth, "folder depth out of step or too deep");
    for (uint32_t index : folder.files())
        require(index < pack.entries().size() && pack.entry(index).folder() == &folder,
                "a folder lists a file that is not its own");
    size_t folders = 1;
    for (uint32_t row = 0; row < folder.children().size(); ++row) {
        const PackFolder* child = folder.children()[row];
        require(child->parent() == &folder && child->row() == row, "a sub-folder's parent or row is wrong");
        folders += checkFolder(pack, *child, depth + 1);
    }
    return folders;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const NameCodec codec;
    RecordingSink sink;
    PackFile pack(archiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    require(pack.isOpen() && pack.fileSize() == size, "the catalogue is not open or has the wrong size");
    const ReadReport& report = pack.report();
    require(pack.folderCount() + pack.entries().size() + report.m_unknownRecords <=
                size / ArchiveRecord::kSize,
            "more records than the file holds: some record was read twice");
    size_t folders = 0, files = pack.top().files().size();
    for (const PackFolder* top : pack.top().children()) {
        require(!top->parent(), "a top-level folder has a parent");
        folders += checkFolder(pack, *top, 1);
    }
    for (const PackEntry& entry : pack.entries()) {
        files += entry.folder() != nullptr;
        std::string raw;
        require(codec.encode(codec.decode(entry.name()), raw) && raw == entry.name(),
                "a name does not survive decoding and encoding");
    }
    require(folders == pack.folderCount() && files == pack.entries().size(), "folders or files unreachable");
    require((pack.root() == nullptr) == pack.top().children().empty(),
            "the root is not the first top folder");
    const auto texts = sink.texts();
    require(texts == std::vector<std::string>(report.m_unknownRecords ? 1 : 0, kUnknownFileType),
            "unexpected messages from the reader");
    return 0;
}

} // namespace vorpex
