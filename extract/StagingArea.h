#pragma once

#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"

struct CSelection;
class CNameCodec;
class CPackEntry;

// A private folder of this run, where entries are extracted so that another program can open them or a
// file manager can take them from a drag. Its base is $XDG_RUNTIME_DIR, else the user's cache folder, and
// only a real folder (no link) of this user that no one else may write to: in a folder others may write,
// they could put a link in place of ours. The run's folder is made there with mkdtemp (mode 0700) and
// removed with everything in it when the object goes, which is at the program's end.
// Every staging gets a fresh numbered sub-folder, a slot, so that two stagings of the same name never meet
// and a file still open in another program is never replaced under it.
// Everything below the base is reached through directory descriptors that never follow a link; the paths
// handed out are absolute and normalised (no `//`, `.` or `..`), for the programs that take the files.
// One thread at a time.
class CStagingArea {
public:
    CStagingArea();
    ~CStagingArea();
    CStagingArea(const CStagingArea&) = delete;
    CStagingArea& operator=(const CStagingArea&) = delete;

    // False when no private folder could be made; Path() is then empty and Refusal() says why.
    bool IsValid() const { return m_Folder.IsOpen(); }
    const std::string& Path() const { return m_strPath; }
    const CMessage& Refusal() const { return m_Refusal; }

    // A fresh empty sub-folder, open; its descriptor is not open when none could be made.
    struct CSlot {
        CFileDescriptor m_Fd;
        std::string m_strName; // inside the private folder
        std::string m_strPath;
    };
    CSlot NewSlot();
    // Removes `slot` with everything in it (after a cancelled staging).
    void DropSlot(CSlot& slot);

    // What extracting `selection` into `slot` made directly inside it, in the selection's order (folders,
    // then files); for the whole archive, what the slot holds, sorted by name. A file names its entry.
    struct CMade {
        std::string m_strPath;
        const CPackEntry* m_pEntry = nullptr; // null for a folder and for the whole archive's items
    };
    static std::vector<CMade> MadePaths(const CSlot& slot, const CSelection& selection,
                                        const CNameCodec& codec);

private:
    // Takes `base` when it is fit to hold the private folder, or adds to m_Refusal why not.
    bool TryBase(const std::string& base);

    CFileDescriptor m_Base;   // the folder the private folder is in
    CFileDescriptor m_Folder; // the private folder
    std::string m_strName;    // of the private folder, inside m_Base
    std::string m_strPath;
    CMessage m_Refusal;
    unsigned m_nSlots = 0;
};
