#include "writer/ArchiveEdit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "writer/ReplacingFile.h"

namespace vorpex {

namespace {

constexpr size_t kChunkRecords = 1489; // about 64 KiB of records read at a time

uint64_t listBytes(const ArchiveNode& folder) {
    uint64_t bytes = ArchiveRecord::kSize * (folder.m_children.size() + 1);
    for (const ArchiveNode& child : folder.m_children)
        if (child.m_folder)
            bytes += listBytes(child);
    return bytes;
}

uint64_t dataBytes(const ArchiveNode& folder) {
    uint64_t bytes = 0;
    for (const ArchiveNode& child : folder.m_children)
        bytes += child.m_folder ? dataBytes(child) : child.m_size;
    return bytes;
}

void forgetPlaces(ArchiveNode& folder) {
    for (ArchiveNode& child : folder.m_children) {
        child.m_keepAt = ArchiveNode::kAnywhere;
        forgetPlaces(child);
    }
}

bool pathTo(const ArchiveNode& folder, const ArchiveNode* target, std::vector<std::string>& path) {
    for (const ArchiveNode& child : folder.m_children) {
        path.emplace_back(ArchiveEdit::nameOf(child));
        if (&child == target || (child.m_folder && pathTo(child, target, path)))
            return true;
        path.pop_back();
    }
    return false;
}

} // namespace

std::string_view ArchiveEdit::nameOf(const ArchiveNode& node) {
    const std::string_view name = node.m_name;
    return name.substr(0, name.find('\0'));
}

ArchiveNode* ArchiveEdit::child(ArchiveNode& folder, std::string_view name) {
    for (ArchiveNode& item : folder.m_children)
        if (nameOf(item) == name)
            return &item;
    return nullptr;
}

ArchiveEdit::OpenStatus ArchiveEdit::open(const std::string& path) {
    m_path = path;
    m_root = ArchiveNode::folder({});
    // No wait on a FIFO: what is not a regular file is refused after the open.
    m_fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!m_fd.isOpen()) {
        m_error = errno;
        struct stat st {};
        if (m_error == ENOENT && ::lstat(path.c_str(), &st) != 0)
            return OpenStatus::Missing;
        return OpenStatus::NotOpened;
    }
    if (::fstat(m_fd.get(), &m_stat) != 0) {
        m_error = errno;
        return OpenStatus::NotOpened;
    }
    if (!S_ISREG(m_stat.st_mode))
        return OpenStatus::NotRegular;
    m_exists = true;
    m_keptFd = m_fd.get();
    m_keptSize = uint64_t(m_stat.st_size);
    if (m_stat.st_size == 0)
        return OpenStatus::Opened;
    m_lists.clear();
    m_records = 0;
    if (!readList(0, m_root, 0))
        return m_error ? OpenStatus::NotOpened : OpenStatus::Damaged;
    // Lists that share records (a cycle, or folders whose lists overlap) make an archive whose reading
    // depends on the reader: it is not changed.
    std::sort(m_lists.begin(), m_lists.end());
    for (size_t i = 1; i < m_lists.size(); ++i)
        if (m_lists[i].first < m_lists[i - 1].second)
            return OpenStatus::Damaged;
    return OpenStatus::Opened;
}

void ArchiveEdit::adopt(const std::string& path, ArchiveNode root, const struct stat* expected, int keptFd,
                        uint64_t keptSize) {
    m_path = path;
    m_fd.reset();
    m_keptFd = keptFd;
    m_keptSize = keptSize;
    m_root = std::move(root);
    m_exists = expected != nullptr;
    const struct stat none {};
    m_stat = expected ? *expected : none;
    m_lists.clear();
    m_changed = true;
}

// Reads the list at `pos` into `folder`; false on a damaged list (or a read error, in m_error).
bool ArchiveEdit::readList(uint64_t pos, ArchiveNode& folder, unsigned depth) {
    const uint64_t size = uint64_t(m_stat.st_size);
    const uint64_t start = pos;
    std::vector<unsigned char> chunk;
    size_t at = 0, held = 0;
    for (;;) {
        // Every record is read once in a sound archive: more means lists that share records.
        if (++m_records > size / ArchiveRecord::kSize + 1)
            return false;
        if (at == held) {
            if (pos >= size || size - pos < ArchiveRecord::kSize)
                return false; // the list is cut by the end of the file
            held = size_t(std::min<uint64_t>(kChunkRecords, (size - pos) / ArchiveRecord::kSize));
            chunk.resize(held * ArchiveRecord::kSize);
            const ssize_t got = preadAll(m_fd.get(), chunk.data(), chunk.size(), off_t(pos));
            if (got != ssize_t(chunk.size())) {
                m_error = got < 0 ? errno : EIO;
                return false;
            }
            at = 0;
        }
        const ArchiveRecord record = ArchiveRecord::parse(chunk.data() + at * ArchiveRecord::kSize);
        ++at;
        pos += ArchiveRecord::kSize;
        const std::string_view field(record.m_name, ArchiveRecord::kNameSize);
        // The whole field when bytes follow its NUL, so that they are written back as they were.
        const size_t nul = field.find('\0');
        const bool tail =
            nul != std::string_view::npos && field.find_first_not_of('\0', nul) != std::string_view::npos;
        const std::string name(tail ? field : field.substr(0, nul));
        if (record.m_type == ArchiveRecord::kEnd)
            break;
        if (record.m_type == ArchiveRecord::kFile) {
            ArchiveNode file =
                ArchiveNode::file(name, record.m_size, DataSource::range(m_fd.get(), record.m_offset));
            file.m_keepAt = record.m_offset;
            folder.m_children.push_back(std::move(file));
        } else if (record.m_type == ArchiveRecord::kFolder && depth < PackFile::kMaxDepth) {
            folder.m_children.push_back(ArchiveNode::folder(name));
            if (!readList(record.m_offset, folder.m_children.back(), depth + 1))
                return false;
        } else {
            return false; // an unknown record, or the nesting limit
        }
    }
    m_lists.emplace_back(start, pos);
    return true;
}

ArchiveNode* ArchiveEdit::makeFolder(ArchiveNode& folder, std::string_view name) {
    if (ArchiveNode* found = child(folder, name))
        return found->m_folder ? found : nullptr;
    m_changed = true;
    folder.m_children.push_back(ArchiveNode::folder(std::string(name)));
    return &folder.m_children.back();
}

ArchiveNode* ArchiveEdit::putFile(ArchiveNode& folder, std::string_view name, uint64_t size,
                                  DataSource source) {
    ArchiveNode* found = child(folder, name);
    if (found && found->m_folder)
        return nullptr;
    if (found) {
        replace(*found, size, std::move(source));
        return found;
    }
    m_changed = true;
    folder.m_children.push_back(ArchiveNode::file(std::string(name), size, std::move(source)));
    return &folder.m_children.back();
}

void ArchiveEdit::replace(ArchiveNode& file, uint64_t size, DataSource source) {
    file.m_size = size;
    file.m_source = std::move(source);
    file.m_keepAt = ArchiveNode::kAnywhere;
    m_changed = true;
}

void ArchiveEdit::remove(const std::set<const ArchiveNode*>& items) {
    if (items.empty())
        return;
    std::vector<ArchiveNode*> folders = {&m_root};
    while (!folders.empty()) {
        ArchiveNode* folder = folders.back();
        folders.pop_back();
        std::erase_if(folder->m_children, [&](const ArchiveNode& item) { return items.count(&item) > 0; });
        for (ArchiveNode& item : folder->m_children)
            if (item.m_folder)
                folders.push_back(&item);
    }
    m_changed = true;
}

void ArchiveEdit::rename(ArchiveNode& item, std::string_view name) {
    item.m_name = name;
    m_changed = true;
}

LayoutOptions ArchiveEdit::layoutOptions() const {
    LayoutOptions options;
    options.m_keepBlock = m_exists && m_stat.st_blksize > 0 ? uint64_t(m_stat.st_blksize) : 4096;
    return options;
}

void ArchiveEdit::collectProblems(const ArchiveLayout& layout) {
    static constexpr Problem::Kind kKinds[] = {Problem::Kind::NameTooLong, Problem::Kind::TooDeep,
                                               Problem::Kind::TooManyEntries, Problem::Kind::DataPast4GiB};
    for (const LayoutProblem& problem : layout.problems())
        m_problems.push_back({kKinds[int(problem.m_kind)], {problem.m_path.begin(), problem.m_path.end()}});
}

// Data kept from the old archive must lie within it: a record pointing past its end has nothing to copy.
void ArchiveEdit::checkKeptData(const ArchiveNode& folder, std::vector<std::string>& path) {
    for (const ArchiveNode& item : folder.m_children) {
        path.emplace_back(nameOf(item));
        if (item.m_folder)
            checkKeptData(item, path);
        else if (item.m_source.kind() == DataSource::Kind::Range && item.m_source.fd() == m_keptFd &&
                 item.m_source.offset() + item.m_size > m_keptSize)
            m_problems.push_back({Problem::Kind::DataPastEnd, path});
        path.pop_back();
    }
}

const std::vector<ArchiveEdit::Problem>& ArchiveEdit::check() {
    m_problems.clear();
    std::vector<std::string> path;
    checkKeptData(m_root, path);
    const ArchiveLayout layout(m_root, layoutOptions());
    collectProblems(layout);
    return m_problems;
}

ArchiveEdit::SaveStatus ArchiveEdit::save() {
    m_failed = nullptr;
    if (!check().empty())
        return SaveStatus::Refused;
    // Dead space from removed and replaced data stays until it passes a quarter of the archive; then the
    // archive is laid out tightly.
    LayoutOptions options = layoutOptions();
    const uint64_t used = listBytes(m_root) + dataBytes(m_root);
    if (const ArchiveLayout trial(m_root, options);
        trial.size() > used && trial.size() - used > trial.size() / 4)
        forgetPlaces(m_root);
    const ArchiveLayout layout(m_root, options);
    if (!layout.fits()) {
        collectProblems(layout);
        return SaveStatus::Refused;
    }
    ReplacingFile out(m_path);
    out.setFollowLink(true);
    out.setKeepOwner(true);
    if (m_exists)
        out.setExpected(m_stat);
    switch (out.open()) {
    case ReplacingFile::Status::Ok:
        break;
    case ReplacingFile::Status::Refused:
        return SaveStatus::ReadOnly;
    case ReplacingFile::Status::Changed:
        return SaveStatus::Changed;
    default:
        m_error = out.error();
        return SaveStatus::Failed;
    }
    ArchiveWriter writer;
    writer.setSourceFolder(m_sourceFolder);
    if (m_cancelled)
        writer.setCancelCheck(m_cancelled);
    if (m_progress)
        writer.setProgress(m_progress);
    const ArchiveWriter::Result written = writer.write(layout, out.fd());
    if (written.m_status == ArchiveWriter::Status::Cancelled)
        return SaveStatus::Cancelled;
    if (!written.ok()) {
        m_error = written.m_error ? written.m_error : EIO;
        m_failed = written.m_node;
        return SaveStatus::Failed;
    }
    switch (out.commit()) {
    case ReplacingFile::Status::Ok:
        break;
    case ReplacingFile::Status::Changed:
        return SaveStatus::Changed;
    default:
        m_error = out.error();
        return SaveStatus::Failed;
    }
    m_savedSize = layout.size();
    m_changed = false;
    return SaveStatus::Saved;
}

// The path of `item` in the tree, for messages.
std::vector<std::string> ArchiveEdit::pathOf(const ArchiveNode* item) const {
    std::vector<std::string> path;
    pathTo(m_root, item, path);
    return path;
}

} // namespace vorpex
