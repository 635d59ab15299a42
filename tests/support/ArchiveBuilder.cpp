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

namespace vorpex {

Node folderNode(std::string name, std::vector<Node> children) {
    Node n;
    n.m_name = std::move(name);
    n.m_folder = true;
    n.m_children = std::move(children);
    return n;
}

Node fileNode(std::string name, std::string data) {
    Node n;
    n.m_name = std::move(name);
    n.m_data = std::move(data);
    return n;
}

namespace {

// Names are cut to their field, so that a test may describe a name that fills it and runs on.
ArchiveNode toWriterNode(const Node& n) {
    std::string name = n.m_name.substr(0, ArchiveRecord::kNameSize);
    if (!n.m_folder)
        return ArchiveNode::file(std::move(name), n.m_data.size(), DataSource::bytes(n.m_data));
    ArchiveNode folder = ArchiveNode::folder(std::move(name));
    folder.m_children.reserve(n.m_children.size());
    for (const Node& child : n.m_children)
        folder.m_children.push_back(toWriterNode(child));
    return folder;
}

} // namespace

std::string buildArchive(const std::vector<Node>& top) {
    ArchiveNode root = toWriterNode(folderNode({}, {}));
    for (const Node& n : top)
        root.m_children.push_back(toWriterNode(n));
    // Hostile test archives nest deeper than the reader goes.
    const ArchiveLayout layout(root, {.m_maxDepth = UINT_MAX});
    std::string out;
    if (!layout.fits() || !ArchiveWriter().write(layout, out).ok()) {
        std::fprintf(stderr, "BuildArchive: the description does not fit the format\n");
        std::abort();
    }
    return out;
}

RawArchive& RawArchive::record(uint64_t pos, std::string_view name, uint8_t type, uint32_t size,
                               uint32_t offset) {
    return bytes(pos, ArchiveRecord::make(name, type, size, offset).bytes());
}

RawArchive& RawArchive::folder(uint64_t pos, std::string_view name, uint32_t offset) {
    return record(pos, name, ArchiveRecord::kFolder, 0, offset);
}

RawArchive& RawArchive::file(uint64_t pos, std::string_view name, uint32_t size, uint32_t offset) {
    return record(pos, name, ArchiveRecord::kFile, size, offset);
}

RawArchive& RawArchive::end(uint64_t pos) {
    return record(pos, {}, ArchiveRecord::kEnd, 0, 0);
}

RawArchive& RawArchive::bytes(uint64_t pos, std::string_view bytes) {
    if (m_bytes.size() < pos + bytes.size())
        m_bytes.resize(pos + bytes.size());
    m_bytes.replace(pos, bytes.size(), bytes);
    return *this;
}

RawArchive& RawArchive::size(uint64_t size) {
    m_bytes.resize(size);
    return *this;
}

void writeFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorpex-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only; give the owner back the right to remove them.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> listTree(const std::string& root) {
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

std::vector<std::string> snapshot(const std::string& root) {
    std::vector<std::string> paths = listTree(root);
    for (std::string& p : paths)
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(root + "/" + p)))
            p += "=" + readFileBytes(root + "/" + p);
    std::sort(paths.begin(), paths.end()); // "=" may sort a file after a longer name
    return paths;
}

} // namespace vorpex
