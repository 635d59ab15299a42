#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds archives in memory from a short description, so that no test depends on an opaque binary.
//
//   BuildArchive({Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1.MAP", "abc")})})})
//
// lays the tree out with the archive writer, without alignment and with no limit on nesting: the top-level
// list at position 0, then each folder's list depth first, then the data of every file in reader order (for
// that example: the 316-byte archive of the format's description).
// For hostile layouts, CRawArchive places records and bytes at explicit positions.
struct CNode {
    std::string m_strName; // raw bytes, at most 32 are written
    bool m_bFolder = false;
    std::string m_strData;
    std::vector<CNode> m_Children;
};

CNode Folder(std::string name, std::vector<CNode> children = {});
CNode File(std::string name, std::string data = {});

std::string BuildArchive(const std::vector<CNode>& top);

class CRawArchive {
public:
    CRawArchive& Record(uint64_t pos, std::string_view name, uint8_t type, uint32_t size, uint32_t offset);
    CRawArchive& Folder(uint64_t pos, std::string_view name, uint32_t offset);
    CRawArchive& File(uint64_t pos, std::string_view name, uint32_t size, uint32_t offset);
    CRawArchive& End(uint64_t pos);
    CRawArchive& Bytes(uint64_t pos, std::string_view bytes);
    CRawArchive& Size(uint64_t size); // pads with zeros (or cuts) to exactly `size` bytes
    const std::string& Str() const { return m_strBytes; }

private:
    std::string m_strBytes;
};

// Writes `bytes` to `path`; aborts the test program when that fails.
void WriteFileBytes(const std::string& path, std::string_view bytes);
std::string ReadFileBytes(const std::string& path);

// A fresh empty directory, removed with everything in it on destruction.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string operator/(std::string_view name) const { return m_strPath + "/" + std::string(name); }

private:
    std::string m_strPath;
};

// Every path below `root` ("a/", "a/b.txt": folders end in '/'), sorted; links are listed, not followed.
std::vector<std::string> ListTree(const std::string& root);
// ListTree with each regular file followed by "=" and its bytes; sorted.
std::vector<std::string> Snapshot(const std::string& root);
