#include "writer/ArchiveWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"

namespace vorpex {

// Where the bytes go: a descriptor or a string. The first failure stays (error).
class ArchiveWriter::Output {
public:
    Output(int fd, std::string* bytes, FileCopy& copy) : m_fd(fd), m_bytes(bytes), m_copy(copy) {}

    bool append(const char* data, size_t size) {
        if (m_bytes) {
            m_bytes->append(data, size);
            return true;
        }
        return writeAll(m_fd, data, size) || fail(errno);
    }
    bool zeros(uint64_t size) {
        static const char kZeros[64 << 10] = {};
        for (uint64_t left = size; left > 0;) {
            const size_t piece = left < sizeof kZeros ? size_t(left) : sizeof kZeros;
            if (!append(kZeros, piece))
                return false;
            left -= piece;
        }
        return true;
    }
    FileCopy::Result copy(int in, uint64_t offset, uint64_t size) {
        if (!m_bytes)
            return m_copy.copy(in, offset, m_fd, size);
        FileCopy::Result result;
        const size_t start = m_bytes->size();
        m_bytes->resize(start + size);
        const ssize_t got = preadAll(in, m_bytes->data() + start, size, off_t(offset));
        if (got < 0)
            result = {FileCopy::Outcome::ReadFailed, errno, 0};
        else if (uint64_t(got) < size)
            result = {FileCopy::Outcome::InputEnded, 0, uint64_t(got)};
        return result;
    }
    bool fail(int error) {
        m_error = error;
        return false;
    }
    int error() const { return m_error; }

private:
    int m_fd;
    std::string* m_bytes;
    FileCopy& m_copy;
    int m_error = 0;
};

ArchiveWriter::ArchiveWriter() : m_sourceFolder(AT_FDCWD) {}

void ArchiveWriter::setCancelCheck(std::function<bool()> cancelled) {
    m_cancelled = std::move(cancelled);
    m_copy.setCancelCheck(m_cancelled);
}

ArchiveWriter::Result ArchiveWriter::write(const ArchiveLayout& layout, int fd) {
    Output out(fd, nullptr, m_copy);
    return writeTo(layout, out);
}

ArchiveWriter::Result ArchiveWriter::write(const ArchiveLayout& layout, std::string& out) {
    out.reserve(out.size() + layout.size());
    Output output(-1, &out, m_copy);
    return writeTo(layout, output);
}

ArchiveWriter::Result ArchiveWriter::writeTo(const ArchiveLayout& layout, Output& out) {
    if (!layout.fits())
        return {Status::DoesNotFit, 0, nullptr, {}};
    std::string records;
    m_written = 0;
    if (!writeLists(layout.root(), out, records) || !out.append(records.data(), records.size()))
        return {Status::WriteFailed, out.error(), nullptr, {}};
    Result result;
    const std::vector<const ArchiveNode*>& files = layout.files();
    for (size_t i = 0, end; i < files.size() && result.ok(); i = end) {
        end = keptRunEnd(files, i);
        result = end > i + 1 ? writeKeptRun(*files[i], *files[end - 1], out) : writeData(*files[i], out);
    }
    m_openFolders.clear();
    return result;
}

// Files kept in place that follow each other in one old archive, each moved by the same distance: their
// data, with what lay between them there, is copied as one range, so that the kernel copies it whole (and
// shares its blocks where the file system shares extents). Returns one past the run that starts at `first`.
size_t ArchiveWriter::keptRunEnd(const std::vector<const ArchiveNode*>& files, size_t first) {
    auto kept = [](const ArchiveNode& file) {
        return file.m_keepAt != ArchiveNode::kAnywhere && file.m_source.kind() == DataSource::Kind::Range &&
               file.m_source.offset() == file.m_keepAt;
    };
    size_t end = first + 1;
    if (!kept(*files[first]))
        return end;
    const ArchiveNode& start = *files[first];
    for (uint64_t reached = start.m_keepAt + start.m_size; end < files.size(); ++end) {
        const ArchiveNode& next = *files[end];
        if (!kept(next) || next.m_source.fd() != start.m_source.fd() || next.m_keepAt < reached ||
            next.m_offset - next.m_keepAt != start.m_offset - start.m_keepAt)
            break;
        reached = next.m_keepAt + next.m_size;
    }
    return end;
}

ArchiveWriter::Result ArchiveWriter::writeKeptRun(const ArchiveNode& first, const ArchiveNode& last,
                                                  Output& out) {
    if (m_cancelled && m_cancelled())
        return {Status::Cancelled, 0, &first, {}};
    if (!out.zeros(first.m_offset - m_written))
        return {Status::WriteFailed, out.error(), &first, {}};
    const uint64_t size = last.m_keepAt + last.m_size - first.m_keepAt;
    m_written = first.m_offset + size;
    const FileCopy::Result copied = out.copy(first.m_source.fd(), first.m_keepAt, size);
    switch (copied.m_outcome) {
    case FileCopy::Outcome::Done:
        return {Status::Written, 0, &first, {}};
    case FileCopy::Outcome::Cancelled:
        return {Status::Cancelled, 0, &first, {}};
    case FileCopy::Outcome::ReadFailed:
        return {Status::ReadFailed, copied.m_error, &first, {}};
    case FileCopy::Outcome::InputEnded:
        return {Status::SourceChanged, 0, &first, {}};
    case FileCopy::Outcome::WriteFailed:
        break;
    }
    return {Status::WriteFailed, copied.m_error, &first, {}};
}

// Each folder's records, then its sub-folders' lists, as the layout placed them; gathered into pieces of
// about a megabyte.
bool ArchiveWriter::writeLists(const ArchiveNode& folder, Output& out, std::string& records) {
    for (const ArchiveNode& child : folder.m_children)
        records +=
            ArchiveRecord::make(child.m_name, child.m_folder ? ArchiveRecord::kFolder : ArchiveRecord::kFile,
                                child.m_folder ? 0 : uint32_t(child.m_size), uint32_t(child.m_offset))
                .bytes();
    records += ArchiveRecord().bytes();
    m_written += ArchiveRecord::kSize * (folder.m_children.size() + 1);
    if (records.size() >= FileCopy::kPiece) {
        if (!out.append(records.data(), records.size()))
            return false;
        records.clear();
    }
    for (const ArchiveNode& child : folder.m_children)
        if (child.m_folder && !writeLists(child, out, records))
            return false;
    return true;
}

ArchiveWriter::Result ArchiveWriter::writeData(const ArchiveNode& file, Output& out) {
    Result result{Status::Written, 0, &file, {}};
    auto fail = [&](Status status, int error) {
        result.m_status = status;
        result.m_error = error;
        return result;
    };
    if (m_cancelled && m_cancelled())
        return fail(Status::Cancelled, 0);
    FileDescriptor opened;
    int in = file.m_source.fd();
    switch (file.m_source.kind()) {
    case DataSource::Kind::Bytes:
        if (file.m_source.bytes().size() != file.m_size)
            return fail(Status::SourceChanged, 0);
        break;
    case DataSource::Kind::File:
        opened = openSource(file, result);
        if (!opened.isOpen())
            return result;
        in = opened.get();
        break;
    case DataSource::Kind::Range:
        break;
    }
    // The zeros before the file: what the layout left between the end of the last one and this one.
    if (!out.zeros(file.m_offset - m_written))
        return fail(Status::WriteFailed, out.error());
    m_written = file.m_offset + file.m_size;
    if (file.m_source.kind() == DataSource::Kind::Bytes)
        return out.append(file.m_source.bytes().data(), file.m_size) ? result
                                                                     : fail(Status::WriteFailed, out.error());
    const FileCopy::Result copied = out.copy(in, file.m_source.offset(), file.m_size);
    switch (copied.m_outcome) {
    case FileCopy::Outcome::Done:
        return result;
    case FileCopy::Outcome::Cancelled:
        return fail(Status::Cancelled, 0);
    case FileCopy::Outcome::ReadFailed:
        return fail(Status::ReadFailed, copied.m_error);
    case FileCopy::Outcome::InputEnded:
        return fail(Status::SourceChanged, 0);
    case FileCopy::Outcome::WriteFailed:
        break;
    }
    return fail(Status::WriteFailed, copied.m_error);
}

// Opens a file source below the source folder one name at a time, never following a link, and checks that
// it is still what was described.
FileDescriptor ArchiveWriter::openSource(const ArchiveNode& file, Result& result) {
    const std::string& path = file.m_source.path();
    size_t depth = 0, start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1, ++depth) {
        const std::string name = path.substr(start, slash - start);
        if (depth < m_openFolders.size() && m_openFolders[depth].first == name)
            continue;
        m_openFolders.resize(depth);
        const int parent = depth ? m_openFolders.back().second.get() : m_sourceFolder;
        FileDescriptor folder(
            ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.isOpen()) {
            result = {Status::FolderNotOpened, errno, &file, path.substr(0, slash)};
            m_openFolders.clear();
            return {};
        }
        m_openFolders.emplace_back(name, std::move(folder));
    }
    m_openFolders.resize(depth);
    const int parent = depth ? m_openFolders.back().second.get() : m_sourceFolder;
    FileDescriptor in(::openat(parent, path.c_str() + start, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in.isOpen())
        result = {Status::FileNotOpened, errno, &file, {}};
    else if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != file.m_size)
        result = {Status::SourceChanged, 0, &file, {}};
    else
        return in;
    return {};
}

} // namespace vorpex
