#pragma once

#include <vector>

class CPackEntry;
class CPackFolder;

// What the user picked: folders (each with everything below it) and single files, extracted in that
// order: every folder in the order given, then every file. The whole archive is the catalogue's top
// pseudo-folder (CPackFile::GetTop()), whose contents go straight into the destination.
// Folders and files go straight into the destination too, unless `m_bUnderPaths`: then each goes below the
// folders that hold it in the archive (made, or entered where they exist), so that items of the same name
// from different folders never meet, and an item that lies below a chosen folder comes with that folder
// alone.
struct CSelection {
    std::vector<const CPackFolder*> m_Folders;
    std::vector<const CPackEntry*> m_Files;
    bool m_bWholeArchive = false;
    bool m_bUnderPaths = false;
};
