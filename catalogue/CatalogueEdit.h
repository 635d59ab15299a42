#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/PackFile.h"
#include "platform/FileDescriptor.h"

namespace vorpex {

// One item of a folder's list, by identity: a sub-folder or a file (its entry index).
struct ListItem {
    static constexpr uint32_t kNoEntry = UINT32_MAX;

    PackFolder* m_parent = nullptr; // whose list holds it: the catalogue's top for a top-level item
    PackFolder* m_folder = nullptr; // a folder item
    uint32_t m_entry = kNoEntry;    // a file item

    bool isFolder() const { return m_folder != nullptr; }
    bool isValid() const { return m_folder || m_entry != kNoEntry; }
};

// Changes an open catalogue in memory, an edit at a time, with undo and redo of every edit. The views go
// on reading the catalogue as before: a changed folder gets lists of its own, entries added go to the
// catalogue's own store (their bytes copied into a file of added data, so that what the user added is what
// is saved, whatever becomes of the file on disk), and removed items only leave their folder's list, so
// that undo can put them back. Each change costs the size of the one list it touches. Nothing reaches the
// archive: saving writes the catalogue as it stands (see CatalogueSave). Checks of names and limits are the
// caller's, through the helpers below, before the change. GUI thread only, with no job reading the catalogue.
class CatalogueEdit {
public:
    static constexpr size_t kMaxName = PackEntry::kMaxName;
    static constexpr uint64_t kMaxArchive = uint64_t(1) << 32;
    static constexpr uint64_t kRecord = 44;

    // `pack` must outlive the edit and be left to it: the edit sets the catalogue's added data. `dataFolder`
    // is where the file of added data is made (unnamed), when the first file is added.
    CatalogueEdit(PackFile& pack, std::string dataFolder);
    ~CatalogueEdit();
    CatalogueEdit(const CatalogueEdit&) = delete;
    CatalogueEdit& operator=(const CatalogueEdit&) = delete;

    PackFile& pack() { return m_pack; }
    PackFolder& top() { return m_pack.m_top; }

    // Every change belongs to an edit, which undo takes back whole. `label` names it ("Rename").
    void begin(std::string label);
    // Ends the edit; one that changed nothing is dropped.
    void commit();
    // Takes back the changes of the edit begun and drops it.
    void abandon();

    PackFolder* makeFolder(PackFolder& parent, std::string_view name);
    // A file of `size` bytes at `offset` of the added data, at the end of `parent`'s list; its entry index.
    uint32_t addFile(PackFolder& parent, std::string_view name, uint64_t offset, uint32_t size);
    // The file `item` takes new data, in its place and under its name; its new entry index.
    uint32_t replaceFile(const ListItem& item, uint64_t offset, uint32_t size);
    // Takes `items` out of their lists (a folder with all below it); items of one list go in one step.
    void remove(const std::vector<ListItem>& items);
    void rename(const ListItem& item, std::string_view name);

    // Copies `size` bytes of `fd` from its start to the end of the added data; false with `error` set when
    // the file of added data cannot be made or written, the source ends early (EIO), or the added data
    // would pass 4 GiB (EFBIG).
    bool addData(int fd, uint64_t size, uint64_t& offset, int& error);

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_history.size(); }
    const std::string& undoLabel() const;
    const std::string& redoLabel() const;
    void undo();
    void redo();
    // True when the catalogue differs from the archive as last saved (or read).
    bool isModified() const { return m_done != m_savedAt; }
    // What stands now is what the archive holds.
    void markSaved() { m_savedAt = m_done; }

    // The item of `parent`'s list named `name` (raw bytes), folders first; none when there is none.
    ListItem find(PackFolder& parent, std::string_view name) const;
    // The item that stands for `folder` in its parent's list.
    ListItem itemOf(PackFolder& folder);
    ListItem itemOf(PackFolder& parent, uint32_t entry) const { return {&parent, nullptr, entry}; }
    // The folder whose list holds `folder`: the catalogue's top for a top-level folder.
    PackFolder& parentOf(const PackFolder& folder);
    // True while `folder` is still in the tree (no edit removed it or a folder above it).
    bool isAttached(const PackFolder& folder) const;
    // How deep `folder`'s contents lie: 1 for the top's, 2 for a top-level folder's.
    uint32_t depthBelow(const PackFolder& folder) const;
    // The archive's size as it would be written now, lists included.
    uint64_t archiveSize() const { return m_totals.m_listBytes + m_totals.m_dataBytes; }
    // The folders and files the archive holds now.
    uint64_t folderCount() const { return m_totals.m_folders; }
    uint64_t fileCount() const { return m_totals.m_files; }
    // Folders made by an edit, entries added or replaced, items renamed: the views mark them.
    bool isNew(const PackFolder& folder) const { return m_newFolders.count(&folder) > 0; }
    // True for an entry added or replaced by an edit: its bytes are in the added data.
    bool isAdded(const PackEntry& entry) const { return m_pack.dataOf(entry).m_fd != m_pack.fd(); }
    // The index of `entry` in `parent`'s list of files.
    uint32_t indexOf(const PackFolder& parent, const PackEntry& entry) const;
    bool isRenamed(const PackFolder& folder) const { return isRenamed(&folder, folder.m_name); }
    bool isRenamed(const PackEntry& entry) const { return isRenamed(&entry, entry.m_name); }

    // False for a raw name no record may bear: empty, ".", "..", holding a NUL, '/' or '\', or longer than
    // a record's field.
    static bool isValidName(std::string_view name);

private:
    static constexpr uint32_t kDetached = UINT32_MAX;

    struct Lists {
        std::vector<const PackFolder*> m_children;
        std::vector<uint32_t> m_files;
    };
    // One change of one list: items put in or taken out (at `m_positions`, ascending, as they stand in the
    // longer list), or one item renamed (the one folder or entry).
    struct Step {
        enum class Kind { InsertFolders, InsertFiles, EraseFolders, EraseFiles, Rename };
        Step(Kind kind, PackFolder* parent) : m_kind(kind), m_parent(parent) {}
        Kind m_kind;
        PackFolder* m_parent;
        std::vector<uint32_t> m_positions;
        std::vector<PackFolder*> m_folders;
        std::vector<uint32_t> m_entries;
        std::array<char, kMaxName> m_before{}, m_after{};
    };
    struct Edit {
        std::string m_label;
        std::vector<Step> m_steps;
    };

    Lists& listsOf(PackFolder& folder);
    void apply(const Step& step, bool forward);
    void repoint(PackFolder& folder, Lists& lists);
    void renumber(PackFolder& parent, uint32_t from);
    void record(Step step);
    char* nameField(const ListItem& item);
    bool isRenamed(const void* item, const char* field) const;
    static uint32_t positionIn(std::span<const uint32_t> files, uint32_t entry);
    // What a folder and all below it add to the archive's size.
    struct Totals {
        uint64_t m_listBytes = 0;
        uint64_t m_dataBytes = 0;
        uint64_t m_folders = 0;
        uint64_t m_files = 0;
    };
    void countBelow(const PackFolder& folder, Totals& totals) const;
    void account(const Step& step, bool forward);

    PackFile& m_pack;
    std::string m_dataFolder;
    FileDescriptor m_data; // the added data
    std::unordered_map<const PackFolder*, Lists> m_lists;
    std::unordered_map<const void*, std::array<char, kMaxName>> m_originalNames;
    std::unordered_set<const PackFolder*> m_newFolders;
    std::vector<Edit> m_history;
    size_t m_done = 0;    // edits of m_history in effect
    size_t m_savedAt = 0; // m_done when last saved; SIZE_MAX when that state cannot come back
    bool m_open = false;  // an edit is begun
    Totals m_totals;      // of the archive as it would be written now
};

} // namespace vorpex
