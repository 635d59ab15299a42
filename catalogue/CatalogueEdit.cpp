#include "catalogue/CatalogueEdit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "platform/FileCopy.h"

namespace vorpex {

namespace {

std::array<char, CatalogueEdit::kMaxName> fieldOf(std::string_view name) {
    std::array<char, CatalogueEdit::kMaxName> field{};
    std::memcpy(field.data(), name.data(), std::min(name.size(), field.size()));
    return field;
}

// Puts `items` into `list` so that they stand at `positions` (ascending) of the longer list.
template <class T>
void insertAt(std::vector<T>& list, const std::vector<uint32_t>& positions, const std::vector<T>& items) {
    if (positions.size() == 1) {
        list.insert(list.begin() + positions[0], items[0]);
        return;
    }
    std::vector<T> merged;
    merged.reserve(list.size() + items.size());
    size_t from = 0, next = 0;
    for (size_t at = 0; at < list.size() + items.size(); ++at)
        merged.push_back(next < positions.size() && positions[next] == at ? items[next++] : list[from++]);
    list.swap(merged);
}

// Takes the items at `positions` (ascending) out of `list`.
template <class T> void eraseAt(std::vector<T>& list, const std::vector<uint32_t>& positions) {
    if (positions.size() == 1) {
        list.erase(list.begin() + positions[0]);
        return;
    }
    size_t kept = 0, next = 0;
    for (size_t at = 0; at < list.size(); ++at) {
        if (next < positions.size() && positions[next] == at)
            ++next;
        else
            list[kept++] = list[at];
    }
    list.resize(kept);
}

} // namespace

CatalogueEdit::CatalogueEdit(PackFile& pack, std::string dataFolder)
    : m_pack(pack), m_dataFolder(std::move(dataFolder)) {
    countBelow(top(), m_totals);
    // The top is no folder: it has no record of its own, only its list's end.
    m_totals.m_listBytes -= kRecord;
    --m_totals.m_folders;
}

CatalogueEdit::~CatalogueEdit() {
    m_pack.m_addedFd = -1;
}

bool CatalogueEdit::isValidName(std::string_view name) {
    return name.size() <= kMaxName && !isUnsafeName(name);
}

void CatalogueEdit::countBelow(const PackFolder& folder, Totals& totals) const {
    totals.m_listBytes += 2 * kRecord; // the folder's record and its list's end
    ++totals.m_folders;
    for (uint32_t index : folder.files()) {
        totals.m_listBytes += kRecord;
        totals.m_dataBytes += m_pack.entry(index).size();
        ++totals.m_files;
    }
    for (const PackFolder* child : folder.children())
        countBelow(*child, totals);
}

void CatalogueEdit::account(const Step& step, bool forward) {
    Totals change;
    if (step.m_kind == Step::Kind::InsertFolders || step.m_kind == Step::Kind::EraseFolders)
        for (const PackFolder* folder : step.m_folders)
            countBelow(*folder, change);
    else if (step.m_kind != Step::Kind::Rename)
        for (uint32_t entry : step.m_entries) {
            change.m_listBytes += kRecord;
            change.m_dataBytes += m_pack.entry(entry).size();
            ++change.m_files;
        }
    const bool grows =
        forward == (step.m_kind == Step::Kind::InsertFolders || step.m_kind == Step::Kind::InsertFiles);
    const auto add = [grows](uint64_t& total, uint64_t part) { total = grows ? total + part : total - part; };
    add(m_totals.m_listBytes, change.m_listBytes);
    add(m_totals.m_dataBytes, change.m_dataBytes);
    add(m_totals.m_folders, change.m_folders);
    add(m_totals.m_files, change.m_files);
}

CatalogueEdit::Lists& CatalogueEdit::listsOf(PackFolder& folder) {
    auto [it, fresh] = m_lists.try_emplace(&folder);
    if (fresh) {
        it->second.m_children.assign(folder.children().begin(), folder.children().end());
        it->second.m_files.assign(folder.files().begin(), folder.files().end());
    }
    return it->second;
}

void CatalogueEdit::repoint(PackFolder& folder, Lists& lists) {
    folder.m_children = lists.m_children.data();
    folder.m_childCount = uint32_t(lists.m_children.size());
    folder.m_files = lists.m_files.data();
    folder.m_fileCount = uint32_t(lists.m_files.size());
}

void CatalogueEdit::renumber(PackFolder& parent, uint32_t from) {
    for (uint32_t row = from; row < parent.m_childCount; ++row)
        const_cast<PackFolder*>(parent.m_children[row])->m_row = row;
}

void CatalogueEdit::apply(const Step& step, bool forward) {
    m_pack.m_edited = true;
    if (step.m_kind == Step::Kind::Rename) {
        const ListItem item{step.m_parent, step.m_folders.empty() ? nullptr : step.m_folders[0],
                            step.m_entries.empty() ? ListItem::kNoEntry : step.m_entries[0]};
        std::memcpy(nameField(item), (forward ? step.m_after : step.m_before).data(), kMaxName);
        return;
    }
    PackFolder& parent = *step.m_parent;
    Lists& lists = listsOf(parent);
    const bool insert =
        forward == (step.m_kind == Step::Kind::InsertFolders || step.m_kind == Step::Kind::InsertFiles);
    const bool folders = step.m_kind == Step::Kind::InsertFolders || step.m_kind == Step::Kind::EraseFolders;
    if (!insert)
        account(step, forward);
    if (folders) {
        if (insert) {
            std::vector<const PackFolder*> items(step.m_folders.begin(), step.m_folders.end());
            insertAt(lists.m_children, step.m_positions, items);
        } else {
            eraseAt(lists.m_children, step.m_positions);
            for (PackFolder* folder : step.m_folders)
                folder->m_row = kDetached;
        }
    } else if (insert) {
        insertAt(lists.m_files, step.m_positions, step.m_entries);
    } else {
        eraseAt(lists.m_files, step.m_positions);
    }
    repoint(parent, lists);
    if (folders)
        renumber(parent, step.m_positions.front());
    if (insert)
        account(step, forward);
    if (&parent == &top())
        m_pack.m_root = parent.m_childCount ? const_cast<PackFolder*>(parent.m_children[0]) : nullptr;
}

void CatalogueEdit::record(Step step) {
    apply(step, true);
    if (m_open)
        m_history.back().m_steps.push_back(std::move(step));
}

void CatalogueEdit::begin(std::string label) {
    if (m_open)
        commit();
    // What was undone cannot be redone after a new edit.
    m_history.resize(m_done);
    if (m_savedAt > m_done)
        m_savedAt = SIZE_MAX;
    m_history.push_back({std::move(label), {}});
    m_open = true;
}

void CatalogueEdit::commit() {
    if (!m_open)
        return;
    m_open = false;
    if (m_history.back().m_steps.empty())
        m_history.pop_back();
    else
        m_done = m_history.size();
}

void CatalogueEdit::abandon() {
    if (!m_open)
        return;
    const std::vector<Step>& steps = m_history.back().m_steps;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        apply(*step, false);
    m_history.pop_back();
    m_open = false;
}

const std::string& CatalogueEdit::undoLabel() const {
    static const std::string none;
    return canUndo() ? m_history[m_done - 1].m_label : none;
}

const std::string& CatalogueEdit::redoLabel() const {
    static const std::string none;
    return canRedo() ? m_history[m_done].m_label : none;
}

void CatalogueEdit::undo() {
    if (!canUndo())
        return;
    const std::vector<Step>& steps = m_history[--m_done].m_steps;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        apply(*step, false);
}

void CatalogueEdit::redo() {
    if (!canRedo())
        return;
    for (const Step& step : m_history[m_done++].m_steps)
        apply(step, true);
}

PackFolder* CatalogueEdit::makeFolder(PackFolder& parent, std::string_view name) {
    PackFolder& folder = m_pack.m_folderStore.emplace_back(name, &parent == &top() ? nullptr : &parent);
    m_newFolders.insert(&folder);
    Step step{Step::Kind::InsertFolders, &parent};
    step.m_positions = {parent.m_childCount};
    step.m_folders = {&folder};
    record(std::move(step));
    return &folder;
}

uint32_t CatalogueEdit::addFile(PackFolder& parent, std::string_view name, uint64_t offset, uint32_t size) {
    const uint32_t index = uint32_t(m_pack.m_entries.size() + m_pack.m_added.size());
    m_pack.m_added.emplace_back(&parent == &top() ? nullptr : &parent, name, size, uint32_t(offset));
    Step step{Step::Kind::InsertFiles, &parent};
    step.m_positions = {parent.m_fileCount};
    step.m_entries = {index};
    record(std::move(step));
    return index;
}

uint32_t CatalogueEdit::positionIn(std::span<const uint32_t> files, uint32_t entry) {
    return uint32_t(std::find(files.begin(), files.end(), entry) - files.begin());
}

uint32_t CatalogueEdit::replaceFile(const ListItem& item, uint64_t offset, uint32_t size) {
    PackFolder& parent = *item.m_parent;
    const PackEntry& old = m_pack.entry(item.m_entry);
    const uint32_t index = uint32_t(m_pack.m_entries.size() + m_pack.m_added.size());
    PackEntry& made = m_pack.m_added.emplace_back(old);
    made.m_offset = uint32_t(offset);
    made.m_size = size;
    const uint32_t position = positionIn(parent.files(), item.m_entry);
    Step erase{Step::Kind::EraseFiles, &parent};
    erase.m_positions = {position};
    erase.m_entries = {item.m_entry};
    record(std::move(erase));
    Step insert{Step::Kind::InsertFiles, &parent};
    insert.m_positions = {position};
    insert.m_entries = {index};
    record(std::move(insert));
    return index;
}

void CatalogueEdit::remove(const std::vector<ListItem>& items) {
    // Per list, its folders and its files to take out.
    std::map<PackFolder*, std::pair<std::map<uint32_t, PackFolder*>, std::vector<uint32_t>>> lists;
    for (const ListItem& item : items) {
        auto& list = lists[item.m_parent];
        if (item.m_folder)
            list.first.emplace(item.m_folder->m_row, item.m_folder);
        else
            list.second.push_back(item.m_entry);
    }
    for (auto& [parent, list] : lists) {
        if (!list.first.empty()) {
            Step step{Step::Kind::EraseFolders, parent};
            for (auto [position, folder] : list.first) {
                step.m_positions.push_back(position);
                step.m_folders.push_back(folder);
            }
            record(std::move(step));
        }
        if (list.second.empty())
            continue;
        // One pass over the list finds them all: a few by comparison, many through a set.
        std::sort(list.second.begin(), list.second.end());
        list.second.erase(std::unique(list.second.begin(), list.second.end()), list.second.end());
        const std::vector<uint32_t>& wanted = list.second;
        const std::unordered_set<uint32_t> many =
            wanted.size() > 16 ? std::unordered_set<uint32_t>(wanted.begin(), wanted.end())
                               : std::unordered_set<uint32_t>();
        Step step{Step::Kind::EraseFiles, parent};
        const std::span<const uint32_t> files = parent->files();
        for (uint32_t at = 0; at < files.size(); ++at) {
            const bool found = many.empty()
                                   ? std::find(wanted.begin(), wanted.end(), files[at]) != wanted.end()
                                   : many.count(files[at]) > 0;
            if (found) {
                step.m_positions.push_back(at);
                step.m_entries.push_back(files[at]);
            }
        }
        if (!step.m_positions.empty())
            record(std::move(step));
    }
}

char* CatalogueEdit::nameField(const ListItem& item) {
    if (item.m_folder)
        return item.m_folder->m_name;
    return item.m_entry < m_pack.m_entries.size()
               ? m_pack.m_entries.data()[item.m_entry].m_name
               : m_pack.m_added[item.m_entry - m_pack.m_entries.size()].m_name;
}

void CatalogueEdit::rename(const ListItem& item, std::string_view name) {
    Step step{Step::Kind::Rename, item.m_parent};
    if (item.m_folder)
        step.m_folders = {item.m_folder};
    else
        step.m_entries = {item.m_entry};
    const char* field = nameField(item);
    std::memcpy(step.m_before.data(), field, kMaxName);
    step.m_after = fieldOf(name);
    const void* key = item.m_folder ? static_cast<const void*>(item.m_folder) : &m_pack.entry(item.m_entry);
    m_originalNames.try_emplace(key, step.m_before);
    record(std::move(step));
}

bool CatalogueEdit::isRenamed(const void* item, const char* field) const {
    const auto found = m_originalNames.find(item);
    return found != m_originalNames.end() && std::memcmp(found->second.data(), field, kMaxName) != 0;
}

ListItem CatalogueEdit::find(PackFolder& parent, std::string_view name) const {
    for (const PackFolder* folder : parent.children())
        if (folder->name() == name)
            return {&parent, const_cast<PackFolder*>(folder), ListItem::kNoEntry};
    for (uint32_t index : parent.files())
        if (m_pack.entry(index).name() == name)
            return {&parent, nullptr, index};
    return {};
}

uint32_t CatalogueEdit::indexOf(const PackFolder& parent, const PackEntry& entry) const {
    for (uint32_t index : parent.files())
        if (&m_pack.entry(index) == &entry)
            return index;
    return ListItem::kNoEntry;
}

ListItem CatalogueEdit::itemOf(PackFolder& folder) {
    return {&parentOf(folder), &folder, ListItem::kNoEntry};
}

PackFolder& CatalogueEdit::parentOf(const PackFolder& folder) {
    return folder.m_parent ? *folder.m_parent : top();
}

bool CatalogueEdit::isAttached(const PackFolder& folder) const {
    const PackFolder* at = &folder;
    while (at != &m_pack.m_top) {
        const PackFolder& parent = at->m_parent ? *at->m_parent : m_pack.m_top;
        if (at->m_row >= parent.m_childCount || parent.m_children[at->m_row] != at)
            return false;
        at = &parent;
    }
    return true;
}

uint32_t CatalogueEdit::depthBelow(const PackFolder& folder) const {
    return &folder == &m_pack.m_top ? 1 : folder.depth() + 1;
}

bool CatalogueEdit::addData(int fd, uint64_t size, uint64_t& offset, int& error) {
    if (!m_data.isOpen()) {
        m_data.reset(::open(m_dataFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (!m_data.isOpen()) {
            error = errno;
            return false;
        }
        m_pack.m_addedFd = m_data.get();
    }
    offset = m_pack.m_addedEnd;
    // An added entry keeps its place in the added data in a record's 32-bit offset.
    if (offset + size > UINT32_MAX) {
        error = EFBIG;
        return false;
    }
    if (::lseek(m_data.get(), off_t(offset), SEEK_SET) < 0) {
        error = errno;
        return false;
    }
    FileCopy copy;
    const FileCopy::Result copied = copy.copy(fd, 0, m_data.get(), size);
    if (!copied.ok()) {
        error = copied.m_error ? copied.m_error : EIO;
        return false;
    }
    m_pack.m_addedEnd = offset + size;
    return true;
}

} // namespace vorpex
