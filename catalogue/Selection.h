#pragma once

#include <vector>

namespace vorpex {

class PackEntry;
class PackFolder;

// What the user picked: folders (each with everything below it) and single files, extracted in that
// order: every folder in the order given, then every file. The whole archive is the catalogue's top
// pseudo-folder (PackFile::top()), whose contents go straight into the destination.
// Folders and files go straight into the destination too, unless `m_underPaths`: then each goes below the
// folders that hold it in the archive (made, or entered where they exist), so that items of the same name
// from different folders never meet, and an item that lies below a chosen folder comes with that folder
// alone.
struct Selection {
    std::vector<const PackFolder*> m_folders;
    std::vector<const PackEntry*> m_files;
    bool m_wholeArchive = false;
    bool m_underPaths = false;
};

} // namespace vorpex
