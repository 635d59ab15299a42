#pragma once

#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"

namespace vorpex {

struct Selection;
class NameCodec;
class PackEntry;

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
class StagingArea {
public:
    StagingArea();
    ~StagingArea();
    StagingArea(const StagingArea&) = delete;
    StagingArea& operator=(const StagingArea&) = delete;

    // False when no private folder could be made; path() is then empty and refusal() says why.
    bool isValid() const { return m_folder.isOpen(); }
    const std::string& path() const { return m_path; }
    const Message& refusal() const { return m_refusal; }

    // A fresh empty sub-folder, open; its descriptor is not open when none could be made.
    struct Slot {
        FileDescriptor m_fd;
        std::string m_name; // inside the private folder
        std::string m_path;
    };
    Slot newSlot();
    // Removes `slot` with everything in it (after a cancelled staging).
    void dropSlot(Slot& slot);

    // What extracting `selection` into `slot` made directly inside it, in the selection's order (folders,
    // then files); for the whole archive, what the slot holds, sorted by name. A file names its entry.
    struct Made {
        std::string m_path;
        const PackEntry* m_entry = nullptr; // null for a folder and for the whole archive's items
    };
    static std::vector<Made> madePaths(const Slot& slot, const Selection& selection, const NameCodec& codec);

private:
    // Takes `base` when it is fit to hold the private folder, or adds to m_refusal why not.
    bool tryBase(const std::string& base);

    FileDescriptor m_base;   // the folder the private folder is in
    FileDescriptor m_folder; // the private folder
    std::string m_name;      // of the private folder, inside m_base
    std::string m_path;
    Message m_refusal;
    unsigned m_slotCount = 0;
};

} // namespace vorpex
