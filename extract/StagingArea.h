#pragma once

#include <string>
#include <vector>

struct CSelection;
class CNameCodec;

// A private folder of this run, where entries are extracted so that another program can open them or a
// file manager can take them from a drag: mode 0700, made under $XDG_RUNTIME_DIR (else the user's cache
// folder, else the temporary folder), and removed with everything in it when the object goes, which is at
// the program's end. Every staging gets a fresh numbered sub-folder, so that two stagings of the same name
// never meet and a file still open in another program is never replaced under it.
// Removal goes through directory descriptors and never follows a link. One thread at a time.
class CStagingArea {
public:
    CStagingArea();
    ~CStagingArea();
    CStagingArea(const CStagingArea&) = delete;
    CStagingArea& operator=(const CStagingArea&) = delete;

    // False when no private folder could be made; Path() is then empty.
    bool IsValid() const { return !m_strPath.empty(); }
    const std::string& Path() const { return m_strPath; }

    // Makes a fresh empty sub-folder and opens it; the caller closes the descriptor. -1 on failure.
    int NewSlot(std::string& slotPath);

    // The paths made directly inside `slotPath` by extracting `selection` there, in the selection's order
    // (folders, then files); for the whole archive, what the folder holds, sorted by name.
    static std::vector<std::string> MadePaths(const std::string& slotPath, const CSelection& selection,
                                              const CNameCodec& codec);

    // Removes `path` with everything below it, links removed and never followed. False when something
    // stayed.
    static bool RemoveTree(const std::string& path);

private:
    std::string m_strPath;
    unsigned m_nSlots = 0;
};
