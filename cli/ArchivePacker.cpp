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

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// The name the archive's top-level folder gets: the folder's own name, also when it was given as "." or
// with trailing slashes.
std::string TopName(const std::string& folder) {
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

using CFd = CFileDescriptor;

} // namespace

void CArchivePacker::Refuse(const std::string& line) {
    ++m_nRefusals;
    m_Sink.Print(line);
}

void CArchivePacker::Unfit(const std::string& line) {
    if (!m_bSkipUnfit)
        ++m_nRefusals;
    if (++m_nUnfit <= kShownUnfit || m_bVerbose)
        m_Sink.Print(line);
}

bool CArchivePacker::NameFor(const std::string& diskName, const std::string& path, std::string& raw) {
    if (!m_Codec.Encode(diskName, raw)) {
        Unfit(kNameNotEncodable + m_Codec.Encoding() + ": " + path);
        return false;
    }
    if (raw.size() > CArchiveRecord::kNameSize) {
        Unfit(kNameTooLong + std::to_string(CArchiveRecord::kNameSize) + " bytes: " + path);
        return false;
    }
    if (IsUnsafeName(raw)) {
        // A backslash would make the name unusable on extraction.
        Unfit(kNameNotSafe + path);
        return false;
    }
    return true;
}

bool CArchivePacker::Scan(CFileDescriptor folderFd, ArchiveNode& folder, const std::string& path,
                          const std::string& relative, unsigned depth) {
    DIR* dir = ::fdopendir(folderFd.Get());
    if (!dir) {
        Refuse(kCouldNotOpenFolder + path + ": " + Reason(errno));
        return false;
    }
    struct CDirCloser {
        DIR* m_pDir;
        ~CDirCloser() { ::closedir(m_pDir); }
    } closer{dir};
    const int dirfd = folderFd.Release(); // the DIR closes it

    std::vector<ArchiveNode> files, folders;
    for (;;) {
        errno = 0;
        const dirent* de = ::readdir(dir);
        if (!de) {
            if (errno != 0) {
                Refuse(kCouldNotReadFolder + path + ": " + Reason(errno));
                return false;
            }
            break;
        }
        if (Cancelled())
            return false;
        const std::string name = de->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string childPath = path + "/" + name;
        struct stat st;
        if (::fstatat(dirfd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            Refuse(kCouldNotRead + childPath + ": " + Reason(errno));
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            m_Sink.Print(kSkippedSymbolicLink + childPath);
            continue;
        }
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            m_Sink.Print(kSkippedSpecialFile + childPath);
            continue;
        }
        if (S_ISREG(st.st_mode) && m_pOut->isOwn(st))
            continue; // the archive being written, or the one it replaces
        std::string raw;
        if (!NameFor(name, childPath, raw))
            continue;
        const std::string childRelative = relative.empty() ? name : relative + "/" + name;
        if (S_ISREG(st.st_mode)) {
            files.push_back(
                ArchiveNode::file(std::move(raw), uint64_t(st.st_size), DataSource::file(childRelative)));
            continue;
        }
        if (depth + 1 > CPackFile::kMaxDepth) {
            Unfit(kFoldersNestTooDeep + std::to_string(CPackFile::kMaxDepth) + " levels: " + childPath);
            continue;
        }
        CFd sub(::openat(dirfd, de->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub.IsOpen()) {
            Refuse(kCouldNotOpenFolder + childPath + ": " + Reason(errno));
            continue;
        }
        folders.push_back(ArchiveNode::folder(std::move(raw)));
        Scan(std::move(sub), folders.back(), childPath, childRelative, depth + 1);
    }
    auto byName = [](const ArchiveNode& a, const ArchiveNode& b) { return a.name < b.name; };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    folder.children = std::move(files);
    std::move(folders.begin(), folders.end(), std::back_inserter(folder.children));
    return true;
}

void CArchivePacker::ReportLayout(const ArchiveLayout& layout, const std::string& folder) {
    // The scan left out every name the format cannot hold; what remains is the size.
    for (const LayoutProblem& problem : layout.problems())
        Refuse(problem.kind == LayoutProblem::Kind::DataPast4GiB
                   ? kDataPast4GiB + folder + "/" + problem.node->source.path()
                   : kTooManyEntries);
}

void CArchivePacker::ReportWriting(const ArchiveWriter::Result& result, const std::string& folder) {
    const std::string path = result.node ? folder + "/" + result.node->source.path() : folder;
    switch (result.status) {
    case ArchiveWriter::Status::Written:
    case ArchiveWriter::Status::DoesNotFit: // reported with the layout
    case ArchiveWriter::Status::Cancelled:
        break;
    case ArchiveWriter::Status::FolderNotOpened:
        Refuse(kCouldNotOpenFolder + folder + "/" + result.folder + ": " + Reason(result.error));
        break;
    case ArchiveWriter::Status::FileNotOpened:
        Refuse(kCouldNotOpenFile + path + ": " + Reason(result.error));
        break;
    case ArchiveWriter::Status::SourceChanged:
        Refuse(kFileChanged + path);
        break;
    case ArchiveWriter::Status::ReadFailed:
        Refuse(kCouldNotReadFile + path + ": " + Reason(result.error));
        break;
    case ArchiveWriter::Status::WriteFailed:
        Refuse(kCouldNotWriteArchive + Reason(result.error));
        break;
    }
}

CArchivePacker::EResult CArchivePacker::Pack(const std::string& folder, const std::string& archive) {
    // Only a regular file the user may write to is replaced, as extraction does; the old one's permission
    // bits go to the new archive.
    ReplacingFile out(archive);
    if (out.check() != ReplacingFile::Status::Ok) {
        m_Sink.Print(kCouldNotCreateFile + archive);
        return EResult::NotOpened;
    }
    const CFd top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.IsOpen()) {
        m_Sink.Print(kCouldNotOpenFolder + folder + ": " + Reason(errno));
        return EResult::NotOpened;
    }
    if (const ReplacingFile::Status opened = out.open(); opened != ReplacingFile::Status::Ok) {
        m_Sink.Print(kCouldNotCreateFile + archive +
                     (opened == ReplacingFile::Status::Failed ? ": " + Reason(out.error()) : ""));
        return EResult::NotOpened;
    }
    m_pOut = &out;

    ArchiveNode root = ArchiveNode::folder({}, {ArchiveNode::folder({})});
    ArchiveNode& topFolder = root.children.front();
    const bool named = NameFor(TopName(folder), folder, topFolder.name);
    const bool scanned = Scan(CFd(::dup(top.Get())), topFolder, folder, "", 1);
    if (m_nUnfit > kShownUnfit && !m_bVerbose)
        m_Sink.Print(WithCount(m_bSkipUnfit ? kMoreNamesLeftOut : kMoreNamesRefused, m_nUnfit - kShownUnfit));
    bool ok = named && scanned && !m_nRefusals && !Cancelled();
    if (ok) {
        const ArchiveLayout layout(root, {.alignment = kBlock});
        ReportLayout(layout, folder);
        ArchiveWriter writer;
        writer.setSourceFolder(top.Get());
        writer.setCancelCheck([this] { return Cancelled(); });
        const ArchiveWriter::Result written = writer.write(layout, out.fd());
        ReportWriting(written, folder);
        ok = written.ok();
    }
    bool created = true;
    if (ok) {
        const ReplacingFile::Status committed = out.commit();
        if (committed == ReplacingFile::Status::WriteFailed)
            Refuse(kCouldNotWriteArchive + Reason(out.error()));
        else if (committed != ReplacingFile::Status::Ok) {
            Refuse(kCouldNotCreateFile + archive + ": " + Reason(out.error()));
            created = false;
        }
        ok = committed == ReplacingFile::Status::Ok;
    }
    if (ok)
        return EResult::Packed;
    out.discard();
    if (!created) {
        m_Sink.Print(kNoArchiveWritten);
        return EResult::NotOpened;
    }
    if (Cancelled())
        m_Sink.Print(kInterruptedText);
    m_Sink.Print(kNoArchiveWritten);
    return EResult::Refused;
}
