#include "writer/CatalogueSave.h"

#include <cstring>

#include "catalogue/PackFile.h"

namespace vorpex {

namespace {

// The whole field when bytes follow its NUL, so that they are written back as they were.
std::string fieldOf(const char* field, size_t size) {
    const std::string_view whole(field, size);
    const size_t nul = whole.find('\0');
    if (nul == std::string_view::npos || whole.find_first_not_of('\0', nul) == std::string_view::npos)
        return std::string(whole.substr(0, nul));
    return std::string(whole);
}

// Files first, then folders, as `pack` writes its lists.
void addList(const PackFile& pack, const PackFolder& folder, ArchiveNode& node) {
    node.m_children.reserve(folder.children().size() + folder.files().size());
    for (uint32_t index : folder.files()) {
        const PackEntry& entry = pack.entry(index);
        const PackFile::DataPlace place = pack.dataOf(entry);
        ArchiveNode file = ArchiveNode::file(fieldOf(entry.m_name, sizeof entry.m_name), entry.size(),
                                             DataSource::range(place.m_fd, place.m_offset));
        if (place.m_fd == pack.fd())
            file.m_keepAt = place.m_offset;
        node.m_children.push_back(std::move(file));
    }
    for (const PackFolder* child : folder.children()) {
        node.m_children.push_back(ArchiveNode::folder(std::string(child->name())));
        addList(pack, *child, node.m_children.back());
    }
}

} // namespace

ArchiveNode treeOf(const PackFile& pack) {
    ArchiveNode root = ArchiveNode::folder({});
    addList(pack, pack.top(), root);
    return root;
}

ArchiveEdit::SaveStatus saveCatalogue(const PackFile& pack, const std::string& path,
                                      const struct stat* expected, ArchiveEdit& edit) {
    edit.adopt(path, treeOf(pack), expected, pack.fd(), pack.fileSize());
    return edit.save();
}

} // namespace vorpex
