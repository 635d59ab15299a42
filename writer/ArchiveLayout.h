#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "catalogue/PackFile.h"
#include "writer/ArchiveNode.h"

namespace vorpex {

struct LayoutOptions {
    // Files of at least this many bytes start on a multiple of it, zeros before them (0: none), so that the
    // kernel copies them out at full speed.
    uint64_t m_alignment = 0;
    // Folder levels allowed, the top-level list's folders being the first; the reader goes no deeper.
    unsigned m_maxDepth = PackFile::kMaxDepth;
    // Data kept in place (ArchiveNode::keepAt) moves, when the lists need the room, by whole multiples of
    // this (the file system's block), so that it keeps its place within its blocks.
    uint64_t m_keepBlock = 4096;
};

// What the format cannot hold, found before anything is written.
struct LayoutProblem {
    enum class Kind {
        NameTooLong,    // more than a record's 32 bytes
        TooDeep,        // a folder past maxDepth levels (what lies below it is not looked at)
        TooManyEntries, // the lists alone reach past 4 GiB (node is null)
        DataPast4GiB,   // the first file whose data would end past 4 GiB
    };
    Kind m_kind;
    const ArchiveNode* m_node = nullptr;
    std::vector<std::string_view> m_path; // names from the top-level list down, the culprit's last
};

// Where everything of a tree goes, worked out in memory before anything is written: the top-level list at
// position 0, then every folder's list, each where the walk meets the folder (depth first, in list order),
// then the data of every file in the same order. Files with a place to keep (ArchiveNode::keepAt) come
// first in the data, at that place (moved by whole blocks when the lists grew into it), in their old order;
// the others follow. Sets every node's offset; the tree must outlive the layout.
class ArchiveLayout {
public:
    explicit ArchiveLayout(ArchiveNode& root, const LayoutOptions& options = {});

    bool fits() const { return m_problems.empty(); }
    const std::vector<LayoutProblem>& problems() const { return m_problems; }
    const ArchiveNode& root() const { return m_root; }
    uint64_t size() const { return m_size; }
    // Every file, in the order of its data (offsets only grow).
    const std::vector<const ArchiveNode*>& files() const { return m_files; }

private:
    void checkNames(const ArchiveNode& folder, unsigned depth, std::vector<std::string_view>& path);
    void layOutLists(ArchiveNode& folder, uint64_t& pos);
    void collectFiles(ArchiveNode& folder, std::vector<ArchiveNode*>& kept, std::vector<ArchiveNode*>& moved);
    void layOutData(uint64_t pos);

    ArchiveNode& m_root;
    LayoutOptions m_options;
    std::vector<LayoutProblem> m_problems;
    std::vector<const ArchiveNode*> m_files;
    uint64_t m_size = 0;
};

} // namespace vorpex
