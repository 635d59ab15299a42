#include "tests/support/ArchiveBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/ArchiveRecord.h"

CNode Folder(std::string name, std::vector<CNode> children) {
    CNode n;
    n.m_strName = std::move(name);
    n.m_bFolder = true;
    n.m_Children = std::move(children);
    return n;
}

CNode File(std::string name, std::string data) {
    CNode n;
    n.m_strName = std::move(name);
    n.m_strData = std::move(data);
    return n;
}

std::string BuildArchive(const std::vector<CNode>& top) {
    // The lists come first, each folder's list where the walk meets the folder, then the data of every file
    // in the same order; so the records' space is counted before anything is laid out.
    constexpr size_t kRecord = CArchiveRecord::kSize;
    size_t records = 0, nextList = 0;
    auto count = [&](auto& self, const std::vector<CNode>& nodes) -> void {
        records += nodes.size() + 1;
        for (const CNode& n : nodes)
            if (n.m_bFolder)
                self(self, n.m_Children);
    };
    count(count, top);
    std::string out(records * kRecord, '\0');
    auto list = [&](auto& self, const std::vector<CNode>& nodes) -> void {
        size_t pos = nextList;
        nextList += (nodes.size() + 1) * kRecord;
        for (const CNode& n : nodes) {
            const uint32_t size = n.m_bFolder ? 0 : uint32_t(n.m_strData.size());
            const uint32_t offset = uint32_t(n.m_bFolder ? nextList : out.size());
            out.replace(pos, kRecord,
                        CArchiveRecord::Make(n.m_strName,
                                             n.m_bFolder ? CArchiveRecord::kFolder : CArchiveRecord::kFile,
                                             size, offset)
                            .Bytes());
            pos += kRecord;
            if (n.m_bFolder)
                self(self, n.m_Children);
            else
                out += n.m_strData;
        }
        out.replace(pos, kRecord, CArchiveRecord::Make({}, CArchiveRecord::kEnd, 0, 0).Bytes());
    };
    list(list, top);
    return out;
}

CRawArchive& CRawArchive::Record(uint64_t pos, std::string_view name, uint8_t type, uint32_t size,
                                 uint32_t offset) {
    return Bytes(pos, CArchiveRecord::Make(name, type, size, offset).Bytes());
}

CRawArchive& CRawArchive::Folder(uint64_t pos, std::string_view name, uint32_t offset) {
    return Record(pos, name, CArchiveRecord::kFolder, 0, offset);
}

CRawArchive& CRawArchive::File(uint64_t pos, std::string_view name, uint32_t size, uint32_t offset) {
    return Record(pos, name, CArchiveRecord::kFile, size, offset);
}

CRawArchive& CRawArchive::End(uint64_t pos) {
    return Record(pos, {}, CArchiveRecord::kEnd, 0, 0);
}

CRawArchive& CRawArchive::Bytes(uint64_t pos, std::string_view bytes) {
    if (m_strBytes.size() < pos + bytes.size())
        m_strBytes.resize(pos + bytes.size());
    m_strBytes.replace(pos, bytes.size(), bytes);
    return *this;
}

CRawArchive& CRawArchive::Size(uint64_t size) {
    m_strBytes.resize(size);
    return *this;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CTempDir::CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorpex-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    m_strPath = pattern;
}

CTempDir::~CTempDir() {
    std::error_code ec;
    // Tests make folders read-only; give the owner back the right to remove them.
    for (auto it = std::filesystem::recursive_directory_iterator(m_strPath, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_strPath, ec);
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        // Lexically: relative() would resolve a link to its target and list the target instead of the link.
        std::string rel = it->path().lexically_relative(root).string();
        if (it->is_directory(ec) && !it->is_symlink(ec))
            rel += '/';
        paths.push_back(rel);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> Snapshot(const std::string& root) {
    std::vector<std::string> paths = ListTree(root);
    for (std::string& p : paths)
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(root + "/" + p)))
            p += "=" + ReadFileBytes(root + "/" + p);
    std::sort(paths.begin(), paths.end()); // "=" may sort a file after a longer name
    return paths;
}
