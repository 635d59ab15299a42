#include "tests/support/ArchiveBuilder.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/ArchiveRecord.h"
#include "writer/ArchiveWriter.h"

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

namespace {

// Names are cut to their field, so that a test may describe a name that fills it and runs on.
ArchiveNode ToWriterNode(const CNode& n) {
    std::string name = n.m_strName.substr(0, CArchiveRecord::kNameSize);
    if (!n.m_bFolder)
        return ArchiveNode::file(std::move(name), n.m_strData.size(), DataSource::bytes(n.m_strData));
    ArchiveNode folder = ArchiveNode::folder(std::move(name));
    folder.children.reserve(n.m_Children.size());
    for (const CNode& child : n.m_Children)
        folder.children.push_back(ToWriterNode(child));
    return folder;
}

} // namespace

std::string BuildArchive(const std::vector<CNode>& top) {
    ArchiveNode root = ToWriterNode(Folder({}, {}));
    for (const CNode& n : top)
        root.children.push_back(ToWriterNode(n));
    // Hostile test archives nest deeper than the reader goes.
    const ArchiveLayout layout(root, {.maxDepth = UINT_MAX});
    std::string out;
    if (!layout.fits() || !ArchiveWriter().write(layout, out).ok()) {
        std::fprintf(stderr, "BuildArchive: the description does not fit the format\n");
        std::abort();
    }
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
