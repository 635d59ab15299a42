// libFuzzer target: the catalogue reader alone, on bytes held in memory, with the invariants that keep a
// hostile archive cheap and the tree sound: no record read twice, nesting stops at ten levels, every
// folder and file reachable from the top, one message at most, names that survive decoding.
#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

size_t CheckFolder(const CPackFile& pack, const CPackFolder& folder, unsigned depth) {
    Require(folder.GetDepth() == depth && depth <= CPackFile::kMaxDepth,
            "folder depth out of step or too deep");
    for (uint32_t index : folder.GetFiles())
        Require(index < pack.GetEntries().size() && pack.Entry(index).GetFolder() == &folder,
                "a folder lists a file that is not its own");
    size_t folders = 1;
    for (uint32_t row = 0; row < folder.GetChildren().size(); ++row) {
        const CPackFolder* child = folder.GetChildren()[row];
        Require(child->GetParent() == &folder && child->GetRow() == row,
                "a sub-folder's parent or row is wrong");
        folders += CheckFolder(pack, *child, depth + 1);
    }
    return folders;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CNameCodec codec;
    CRecordingSink sink;
    CPackFile pack(ArchiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    Require(pack.IsOpen() && pack.GetFileSize() == size, "the catalogue is not open or has the wrong size");
    const CReadReport& report = pack.GetReport();
    Require(pack.GetFolderCount() + pack.GetEntries().size() + report.m_nUnknownRecords <=
                size / CArchiveRecord::kSize,
            "more records than the file holds: some record was read twice");
    size_t folders = 0, files = pack.GetTop().GetFiles().size();
    for (const CPackFolder* top : pack.GetTop().GetChildren()) {
        Require(!top->GetParent(), "a top-level folder has a parent");
        folders += CheckFolder(pack, *top, 1);
    }
    for (const CPackEntry& entry : pack.GetEntries()) {
        files += entry.GetFolder() != nullptr;
        std::string raw;
        Require(codec.Encode(codec.Decode(entry.GetName()), raw) && raw == entry.GetName(),
                "a name does not survive decoding and encoding");
    }
    Require(folders == pack.GetFolderCount() && files == pack.GetEntries().size(),
            "folders or files unreachable");
    Require((pack.GetRoot() == nullptr) == pack.GetTop().GetChildren().empty(),
            "the root is not the first top folder");
    const auto texts = sink.Texts();
    Require(texts == std::vector<std::string>(report.m_nUnknownRecords ? 1 : 0, kUnknownFileType),
            "unexpected messages from the reader");
    return 0;
}
