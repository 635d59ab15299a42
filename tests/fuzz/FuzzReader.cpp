// libFuzzer target: the catalogue reader alone, on bytes held in memory (a memfd), with the invariants
// that keep a hostile archive cheap: no record is read twice, nesting stops at ten levels, one message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_reader: %s\n", what);
    std::abort();
}

int ArchiveInMemory(const uint8_t* data, size_t size) {
    const int fd = memfd_create("archive", MFD_CLOEXEC);
    if (fd < 0)
        Fail("memfd_create failed");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            Fail("write to memfd failed");
        done += static_cast<size_t>(n);
    }
    return fd;
}

size_t CheckFolder(const CPackFile& pack, const CPackFolder& folder, unsigned depth) {
    if (folder.m_nDepth != depth || depth > CPackFile::kMaxDepth)
        Fail("folder depth out of step or past the limit");
    size_t folders = 1;
    for (uint32_t index : folder.m_Files) {
        if (index >= pack.m_Entries.size() || pack.Entry(index).GetFolder() != &folder)
            Fail("a folder lists a file that is not its own");
    }
    for (uint32_t row = 0; row < folder.m_Children.size(); ++row) {
        const CPackFolder* child = folder.m_Children[row];
        if (child->m_pParent != &folder || child->m_nRow != row)
            Fail("a sub-folder's parent or row is wrong");
        folders += CheckFolder(pack, *child, depth + 1);
    }
    return folders;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CNameCodec codec;
    CRecordingSink sink;
    CPackFile pack(ArchiveInMemory(data, size), "/fuzz/ARCHIVE.DIR", sink);
    if (!pack.m_bOpen || pack.m_nFileSize != size)
        Fail("the catalogue is not open or has the wrong size");

    // Every record yields at most one folder, entry or skipped record, and none is read twice.
    const CReadReport& report = pack.m_Report;
    const uint64_t records = pack.GetFolderCount() + pack.m_Entries.size() + report.m_nUnknownRecords;
    if (records > size / CArchiveRecord::kSize)
        Fail("more records than the file holds: some record was read twice");

    size_t folders = 0;
    size_t files = pack.GetTop().m_Files.size();
    for (const CPackFolder* top : pack.GetTop().m_Children) {
        if (top->m_pParent)
            Fail("a top-level folder has a parent");
        folders += CheckFolder(pack, *top, 1);
    }
    for (const CPackEntry& entry : pack.m_Entries) {
        if (!entry.GetFolder())
            continue;
        ++files;
        if (entry.GetPath().size() > CPackFile::kMaxDepth * (CArchiveRecord::kNameSize + 1))
            Fail("a folder path longer than ten names");
    }
    if (folders != pack.GetFolderCount() || files != pack.m_Entries.size())
        Fail("folders or files unreachable from the top");
    if ((pack.m_pRoot == nullptr) != pack.GetTop().m_Children.empty())
        Fail("the root is not the first top-level folder");

    // At most one message, and only for unknown records.
    const auto texts = sink.Texts();
    if (texts.size() != (report.m_nUnknownRecords ? 1u : 0u) ||
        (!texts.empty() && texts[0] != "Unknown file type encountered."))
        Fail("unexpected messages from the reader");

    // Names survive decoding: what is shown and made on disk encodes back to the record's bytes.
    for (const CPackEntry& entry : pack.m_Entries) {
        std::string raw;
        if (!codec.Encode(codec.Decode(entry.GetName()), raw) || raw != entry.GetName())
            Fail("a name does not survive decoding and encoding");
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}
