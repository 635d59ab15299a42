#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

// Builds archives in memory from a short description, so that no test depends on an opaque binary.
//
//   buildArchive({folder("DATA", {file("README.TXT", "hello"), folder("MAPS", {file("M1.MAP", "abc")})})})
//
// lays the tree out with the archive writer, without alignment and with no limit on nesting: the top-level
// list at position 0, then each folder's list depth first, then the data of every file in reader order (for
// that example: the 316-byte archive of the format's description).
// For hostile layouts, RawArchive places records and bytes at explicit positions.
struct Node {
    std::string m_name; // raw bytes, at most 32 are written
    bool m_folder = false;
    std::string m_data;
    std::vector<Node> m_children;
};

Node folderNode(std::string name, std::vector<Node> children = {});
Node fileNode(std::string name, std::string data = {});

std::string buildArchive(const std::vector<Node>& top);

class RawArchive {
public:
    RawArchive& record(uint64_t pos, std::string_view name, uint8_t type, uint32_t size, uint32_t offset);
    RawArchive& folder(uint64_t pos, std::string_view name, uint32_t offset);
    RawArchive& file(uint64_t pos, std::string_view name, uint32_t size, uint32_t offset);
    RawArchive& end(uint64_t pos);
    RawArchive& bytes(uint64_t pos, std::string_view bytes);
    RawArchive& size(uint64_t size); // pads with zeros (or cuts) to exactly `size` bytes
    const std::string& str() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Writes `bytes` to `path`; aborts the test program when that fails.
void writeFileBytes(const std::string& path, std::string_view bytes);
std::string readFileBytes(const std::string& path);

// A fresh empty directory, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

// Every path below `root` ("a/", "a/b.txt": folders end in '/'), sorted; links are listed, not followed.
std::vector<std::string> listTree(const std::string& root);
// ListTree with each regular file followed by "=" and its bytes; sorted.
std::vector<std::string> snapshot(const std::string& root);

} // namespace vorpex
