#include "writer/ArchiveWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"

// Where the bytes go: a descriptor or a string. The first failure stays (error).
class ArchiveWriter::Output {
public:
    Output(int fd, std::string* bytes, CFileCopy& copy) : m_fd(fd), m_bytes(bytes), m_copy(copy) {}

    bool append(const char* data, size_t size) {
        if (m_bytes) {
            m_bytes->append(data, size);
            return true;
        }
        return WriteAll(m_fd, data, size) || fail(errno);
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
    CFileCopy::CResult copy(int in, uint64_t offset, uint64_t size) {
        if (!m_bytes)
            return m_copy.Copy(in, offset, m_fd, size);
        CFileCopy::CResult result;
        const size_t start = m_bytes->size();
        m_bytes->resize(start + size);
        const ssize_t got = PreadAll(in, m_bytes->data() + start, size, off_t(offset));
        if (got < 0)
            result = {CFileCopy::EOutcome::ReadFailed, errno, 0};
        else if (uint64_t(got) < size)
            result = {CFileCopy::EOutcome::InputEnded, 0, uint64_t(got)};
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
    CFileCopy& m_copy;
    int m_error = 0;
};

ArchiveWriter::ArchiveWriter() : m_sourceFolder(AT_FDCWD) {}

void ArchiveWriter::setCancelCheck(std::function<bool()> cancelled) {
    m_cancelled = std::move(cancelled);
    m_copy.SetCancelCheck(m_cancelled);
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
        return file.keepAt != ArchiveNode::kAnywhere && file.source.kind() == DataSource::Kind::Range &&
               file.source.offset() == file.keepAt;
    };
    size_t end = first + 1;
    if (!kept(*files[first]))
        return end;
    const ArchiveNode& start = *files[first];
    for (uint64_t reached = start.keepAt + start.size; end < files.size(); ++end) {
        const ArchiveNode& next = *files[end];
        if (!kept(next) || next.source.fd() != start.source.fd() || next.keepAt < reached ||
            next.offset - next.keepAt != start.offset - start.keepAt)
            break;
        reached = next.keepAt + next.size;
    }
    return end;
}

ArchiveWriter::Result ArchiveWriter::writeKeptRun(const ArchiveNode& first, const ArchiveNode& last,
                                                  Output& out) {
    if (m_cancelled && m_cancelled())
        return {Status::Cancelled, 0, &first, {}};
    if (!out.zeros(first.offset - m_written))
        return {Status::WriteFailed, out.error(), &first, {}};
    const uint64_t size = last.keepAt + last.size - first.keepAt;
    m_written = first.offset + size;
    const CFileCopy::CResult copied = out.copy(first.source.fd(), first.keepAt, size);
    switch (copied.m_eOutcome) {
    case CFileCopy::EOutcome::Done:
        return {Status::Written, 0, &first, {}};
    case CFileCopy::EOutcome::Cancelled:
        return {Status::Cancelled, 0, &first, {}};
    case CFileCopy::EOutcome::ReadFailed:
        return {Status::ReadFailed, copied.m_nError, &first, {}};
    case CFileCopy::EOutcome::InputEnded:
        return {Status::SourceChanged, 0, &first, {}};
    case CFileCopy::EOutcome::WriteFailed:
        break;
    }
    return {Status::WriteFailed, copied.m_nError, &first, {}};
}

// Each folder's records, then its sub-folders' lists, as the layout placed them; gathered into pieces of
// about a megabyte.
bool ArchiveWriter::writeLists(const ArchiveNode& folder, Output& out, std::string& records) {
    for (const ArchiveNode& child : folder.children)
        records +=
            CArchiveRecord::Make(child.name, child.isFolder ? CArchiveRecord::kFolder : CArchiveRecord::kFile,
                                 child.isFolder ? 0 : uint32_t(child.size), uint32_t(child.offset))
                .Bytes();
    records += CArchiveRecord().Bytes();
    m_written += CArchiveRecord::kSize * (folder.children.size() + 1);
    if (records.size() >= CFileCopy::kPiece) {
        if (!out.append(records.data(), records.size()))
            return false;
        records.clear();
    }
    for (const ArchiveNode& child : folder.children)
        if (child.isFolder && !writeLists(child, out, records))
            return false;
    return true;
}

ArchiveWriter::Result ArchiveWriter::writeData(const ArchiveNode& file, Output& out) {
    Result result{Status::Written, 0, &file, {}};
    auto fail = [&](Status status, int error) {
        result.status = status;
        result.error = error;
        return result;
    };
    if (m_cancelled && m_cancelled())
        return fail(Status::Cancelled, 0);
    CFileDescriptor opened;
    int in = file.source.fd();
    switch (file.source.kind()) {
    case DataSource::Kind::Bytes:
        if (file.source.bytes().size() != file.size)
            return fail(Status::SourceChanged, 0);
        break;
    case DataSource::Kind::File:
        opened = openSource(file, result);
        if (!opened.IsOpen())
            return result;
        in = opened.Get();
        break;
    case DataSource::Kind::Range:
        break;
    }
    // The zeros before the file: what the layout left between the end of the last one and this one.
    if (!out.zeros(file.offset - m_written))
        return fail(Status::WriteFailed, out.error());
    m_written = file.offset + file.size;
    if (file.source.kind() == DataSource::Kind::Bytes)
        return out.append(file.source.bytes().data(), file.size) ? result
                                                                 : fail(Status::WriteFailed, out.error());
    const CFileCopy::CResult copied = out.copy(in, file.source.offset(), file.size);
    switch (copied.m_eOutcome) {
    case CFileCopy::EOutcome::Done:
        return result;
    case CFileCopy::EOutcome::Cancelled:
        return fail(Status::Cancelled, 0);
    case CFileCopy::EOutcome::ReadFailed:
        return fail(Status::ReadFailed, copied.m_nError);
    case CFileCopy::EOutcome::InputEnded:
        return fail(Status::SourceChanged, 0);
    case CFileCopy::EOutcome::WriteFailed:
        break;
    }
    return fail(Status::WriteFailed, copied.m_nError);
}

// Opens a file source below the source folder one name at a time, never following a link, and checks that
// it is still what was described.
CFileDescriptor ArchiveWriter::openSource(const ArchiveNode& file, Result& result) {
    const std::string& path = file.source.path();
    size_t depth = 0, start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1, ++depth) {
        const std::string name = path.substr(start, slash - start);
        if (depth < m_openFolders.size() && m_openFolders[depth].first == name)
            continue;
        m_openFolders.resize(depth);
        const int parent = depth ? m_openFolders.back().second.Get() : m_sourceFolder;
        CFileDescriptor folder(
            ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.IsOpen()) {
            result = {Status::FolderNotOpened, errno, &file, path.substr(0, slash)};
            m_openFolders.clear();
            return {};
        }
        m_openFolders.emplace_back(name, std::move(folder));
    }
    m_openFolders.resize(depth);
    const int parent = depth ? m_openFolders.back().second.Get() : m_sourceFolder;
    CFileDescriptor in(::openat(parent, path.c_str() + start, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in.IsOpen())
        result = {Status::FileNotOpened, errno, &file, {}};
    else if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != file.size)
        result = {Status::SourceChanged, 0, &file, {}};
    else
        return in;
    return {};
}
