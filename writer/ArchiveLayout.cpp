#include "writer/ArchiveLayout.h"

#include <algorithm>

#include "catalogue/ArchiveRecord.h"

namespace vorpex {

namespace {

uint64_t roundUp(uint64_t pos, uint64_t block) {
    return block ? (pos + block - 1) / block * block : pos;
}

// The names from the top-level list down to `target`, for a problem's path.
bool findPath(const ArchiveNode& folder, const ArchiveNode* target, std::vector<std::string_view>& path) {
    for (const ArchiveNode& child : folder.m_children) {
        path.push_back(child.m_name);
        if (&child == target || (child.m_folder && findPath(child, target, path)))
            return true;
        path.pop_back();
    }
    return false;
}

} // namespace

ArchiveLayout::ArchiveLayout(ArchiveNode& root, const LayoutOptions& options)
    : m_root(root), m_options(options) {
    std::vector<std::string_view> path;
    checkNames(root, 0, path);
    uint64_t pos = 0;
    layOutLists(root, pos);
    m_size = pos;
    if (pos >= ArchiveRecord::kAddressable)
        m_problems.push_back({LayoutProblem::Kind::TooManyEntries, nullptr, {}});
    else
        layOutData(pos);
}

void ArchiveLayout::checkNames(const ArchiveNode& folder, unsigned depth,
                               std::vector<std::string_view>& path) {
    for (const ArchiveNode& child : folder.m_children) {
        path.push_back(child.m_name);
        if (child.m_name.size() > ArchiveRecord::kNameSize)
            m_problems.push_back({LayoutProblem::Kind::NameTooLong, &child, path});
        if (child.m_folder && depth + 1 > m_options.m_maxDepth)
            m_problems.push_back({LayoutProblem::Kind::TooDeep, &child, path});
        else if (child.m_folder)
            checkNames(child, depth + 1, path);
        path.pop_back();
    }
}

void ArchiveLayout::layOutLists(ArchiveNode& folder, uint64_t& pos) {
    folder.m_offset = pos;
    pos += ArchiveRecord::kSize * (folder.m_children.size() + 1);
    for (ArchiveNode& child : folder.m_children)
        if (child.m_folder)
            layOutLists(child, pos);
}

void ArchiveLayout::collectFiles(ArchiveNode& folder, std::vector<ArchiveNode*>& kept,
                                 std::vector<ArchiveNode*>& moved) {
    for (ArchiveNode& child : folder.m_children) {
        if (child.m_folder)
            collectFiles(child, kept, moved);
        else
            (child.m_keepAt == ArchiveNode::kAnywhere ? moved : kept).push_back(&child);
    }
}

void ArchiveLayout::layOutData(uint64_t pos) {
    std::vector<ArchiveNode*> kept, moved;
    collectFiles(m_root, kept, moved);
    std::stable_sort(kept.begin(), kept.end(),
                     [](const ArchiveNode* a, const ArchiveNode* b) { return a->m_keepAt < b->m_keepAt; });
    const uint64_t shift = kept.empty() || kept.front()->m_keepAt >= pos
                               ? 0
                               : roundUp(pos - kept.front()->m_keepAt, m_options.m_keepBlock);
    std::vector<ArchiveNode*> order;
    order.reserve(kept.size() + moved.size());
    for (ArchiveNode* file : kept) {
        // Data that another kept file's already covers (a hostile old archive) is written anew.
        if (file->m_keepAt + shift < pos) {
            moved.push_back(file);
            continue;
        }
        file->m_offset = file->m_keepAt + shift;
        pos = file->m_offset + file->m_size;
        order.push_back(file);
    }
    for (ArchiveNode* file : moved) {
        if (m_options.m_alignment && file->m_size >= m_options.m_alignment)
            pos = roundUp(pos, m_options.m_alignment);
        file->m_offset = pos;
        pos += file->m_size;
        order.push_back(file);
    }
    for (const ArchiveNode* file : order) {
        if (file->m_offset >= ArchiveRecord::kAddressable ||
            file->m_offset + file->m_size > ArchiveRecord::kAddressable) {
            std::vector<std::string_view> path;
            findPath(m_root, file, path);
            m_problems.push_back({LayoutProblem::Kind::DataPast4GiB, file, std::move(path)});
            return; // every file after it lies past as well
        }
    }
    m_files.assign(order.begin(), order.end());
    m_size = std::max(m_size, pos);
}

} // namespace vorpex
