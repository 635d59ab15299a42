#include "cli/ArchivePacker.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

std::string reason(int error) {
    return std::strerror(error);
}

// The name the archive's top-level folder gets: the folder's own name, also when it was given as "." or
// with trailing slashes.
std::string topName(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (base.empty() || base == "." || base == "..") {
        if (char* real = ::realpath(folder.c_str(), nullptr)) {
            const std::string full = real;
            std::free(real);
            base = full.substr(full.rfind('/') + 1);
        }
    }
    return base;
}

using CFd = FileDescriptor;

} // namespace

void ArchivePacker::refuse(const std::string& line) {
    ++m_refusalCount;
    m_sink.print(line);
}

void ArchivePacker::unfit(const std::string& line) {
    if (!m_skipUnfit)
        ++m_refusalCount;
    if (++m_unfit <= kShownUnfit || m_verbose)
        m_sink.print(line);
}

bool ArchivePacker::nameFor(const std::string& diskName, const std::string& path, std::string& raw) {
    if (!m_codec.encode(diskName, raw)) {
        unfit(kNameNotEncodable + m_codec.encoding() + ": " + path);
        return false;
    }
    if (raw.size() > ArchiveRecord::kNameSize) {
        unfit(kNameTooLong + std::to_string(ArchiveRecord::kNameSize) + " bytes: " + path);
        return false;
    }
    if (isUnsafeName(raw)) {
        // A backslash would make the name unusable on extraction.
        unfit(kNameNotSafe + path);
        return false;
    }
    return true;
}

bool ArchivePacker::scan(FileDescriptor folderFd, ArchiveNode& folder, const std::string& path,
                         const std::string& relative, unsigned depth) {
    DIR* dir = ::fdopendir(folderFd.get());
    if (!dir) {
        refuse(kCouldNotOpenFolder + path + ": " + reason(errno));
        return false;
    }
    struct DirCloser {
        DIR* m_dir;
        ~DirCloser() { ::closedir(m_dir); }
    } closer{dir};
    const int dirfd = folderFd.release(); // the DIR closes it

    std::vector<ArchiveNode> files, folders;
    for (;;) {
        errno = 0;
        const dirent* de = ::readdir(dir);
        if (!de) {
            if (errno != 0) {
                refuse(kCouldNotReadFolder + path + ": " + reason(errno));
                return false;
            }
            break;
        }
        if (cancelled())
            return false;
        const std::string name = de->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string childPath = path + "/" + name;
        struct stat st;
        if (::fstatat(dirfd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            refuse(kCouldNotRead + childPath + ": " + reason(errno));
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            m_sink.print(kSkippedSymbolicLink + childPath);
            continue;
        }
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            m_sink.print(kSkippedSpecialFile + childPath);
            continue;
        }
        if (S_ISREG(st.st_mode) && m_out->isOwn(st))
            continue; // the archive being written, or the one it replaces
        std::string raw;
        if (!nameFor(name, childPath, raw))
            continue;
        const std::string childRelative = relative.empty() ? name : relative + "/" + name;
        if (S_ISREG(st.st_mode)) {
            files.push_back(
                ArchiveNode::file(std::move(raw), uint64_t(st.st_size), DataSource::file(childRelative)));
            continue;
        }
        if (depth + 1 > PackFile::kMaxDepth) {
            unfit(kFoldersNestTooDeep + std::to_string(PackFile::kMaxDepth) + " levels: " + childPath);
            continue;
        }
        CFd sub(::openat(dirfd, de->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub.isOpen()) {
            refuse(kCouldNotOpenFolder + childPath + ": " + reason(errno));
            continue;
        }
        folders.push_back(ArchiveNode::folder(std::move(raw)));
        scan(std::move(sub), folders.back(), childPath, childRelative, depth + 1);
    }
    auto byName = [](const ArchiveNode& a, const ArchiveNode& b) { return a.m_name < b.m_name; };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    folder.m_children = std::move(files);
    std::move(folders.begin(), folders.end(), std::back_inserter(folder.m_children));
    return true;
}

void ArchivePacker::reportLayout(const ArchiveLayout& layout, const std::string& folder) {
    // The scan left out every name the format cannot hold; what remains is the size.
    for (const LayoutProblem& problem : layout.problems())
        refuse(problem.m_kind == LayoutProblem::Kind::DataPast4GiB
                   ? kDataPast4GiB + folder + "/" + problem.m_node->m_source.path()
                   : kTooManyEntries);
}

void ArchivePacker::reportWriting(const ArchiveWriter::Result& result, const std::string& folder) {
    const std::string path = result.m_node ? folder + "/" + result.m_node->m_source.path() : folder;
    switch (result.m_status) {
    case ArchiveWriter::Status::Written:
    case ArchiveWriter::Status::DoesNotFit: // reported with the layout
    case ArchiveWriter::Status::Cancelled:
        break;
    case ArchiveWriter::Status::FolderNotOpened:
        refuse(kCouldNotOpenFolder + folder + "/" + result.m_folder + ": " + reason(result.m_error));
        break;
    case ArchiveWriter::Status::FileNotOpened:
        refuse(kCouldNotOpenFile + path + ": " + reason(result.m_error));
        break;
    case ArchiveWriter::Status::SourceChanged:
        refuse(kFileChanged + path);
        break;
    case ArchiveWriter::Status::ReadFailed:
        refuse(kCouldNotReadFile + path + ": " + reason(result.m_error));
        break;
    case ArchiveWriter::Status::WriteFailed:
        refuse(kCouldNotWriteArchive + reason(result.m_error));
        break;
    }
}

ArchivePacker::Result ArchivePacker::pack(const std::string& folder, const std::string& archive) {
    // Only a regular file the user may write to is replaced, as extraction does; the old one's permission
    // bits go to the new archive.
    ReplacingFile out(archive);
    if (out.check() != ReplacingFile::Status::Ok) {
        m_sink.print(kCouldNotCreateFile + archive);
        return Result::NotOpened;
    }
    const CFd top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.isOpen()) {
        m_sink.print(kCouldNotOpenFolder + folder + ": " + reason(errno));
        return Result::NotOpened;
    }
    if (const ReplacingFile::Status opened = out.open(); opened != ReplacingFile::Status::Ok) {
        m_sink.print(kCouldNotCreateFile + archive +
                     (opened == ReplacingFile::Status::Failed ? ": " + reason(out.error()) : ""));
        return Result::NotOpened;
    }
    m_out = &out;

    ArchiveNode root = ArchiveNode::folder({}, {ArchiveNode::folder({})});
    ArchiveNode& topFolder = root.m_children.front();
    const bool named = nameFor(topName(folder), folder, topFolder.m_name);
    const bool scanned = scan(CFd(::dup(top.get())), topFolder, folder, "", 1);
    if (m_unfit > kShownUnfit && !m_verbose)
        m_sink.print(withCount(m_skipUnfit ? kMoreNamesLeftOut : kMoreNamesRefused, m_unfit - kShownUnfit));
    bool ok = named && scanned && !m_refusalCount && !cancelled();
    if (ok) {
        const ArchiveLayout layout(root, {.m_alignment = kBlock});
        reportLayout(layout, folder);
        ArchiveWriter writer;
        writer.setSourceFolder(top.get());
        writer.setCancelCheck([this] { return cancelled(); });
        const ArchiveWriter::Result written = writer.write(layout, out.fd());
        reportWriting(written, folder);
        ok = written.ok();
    }
    bool created = true;
    if (ok) {
        const ReplacingFile::Status committed = out.commit();
        if (committed == ReplacingFile::Status::WriteFailed)
            refuse(kCouldNotWriteArchive + reason(out.error()));
        else if (committed != ReplacingFile::Status::Ok) {
            refuse(kCouldNotCreateFile + archive + ": " + reason(out.error()));
            created = false;
        }
        ok = committed == ReplacingFile::Status::Ok;
    }
    if (ok)
        return Result::Packed;
    out.discard();
    if (!created) {
        m_sink.print(kNoArchiveWritten);
        return Result::NotOpened;
    }
    if (cancelled())
        m_sink.print(kInterruptedText);
    m_sink.print(kNoArchiveWritten);
    return Result::Refused;
}

} // namespace vorpex
