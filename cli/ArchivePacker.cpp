#include "cli/ArchivePacker.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "cli/OutputBuffer.h"
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

// Only a regular file the user may write to is replaced, as extraction does; the old one's permission bits
// go to the new archive.
bool CArchivePacker::CheckArchive(const std::string& archive) {
    struct stat st {};
    if (archive.empty() ||
        (::lstat(archive.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0))) {
        m_Sink.Print(kCouldNotCreateFile + archive);
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        m_bOldArchive = true;
        m_nOldDev = st.st_dev;
        m_nOldIno = st.st_ino;
        m_nOldMode = st.st_mode & 07777;
    }
    return true;
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

bool CArchivePacker::Scan(CFileDescriptor folderFd, CNode& folder, const std::string& path, unsigned depth) {
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
        if (S_ISREG(st.st_mode) &&
            ((uint64_t(st.st_dev) == m_nTempDev && uint64_t(st.st_ino) == m_nTempIno) ||
             (m_bOldArchive && uint64_t(st.st_dev) == m_nOldDev && uint64_t(st.st_ino) == m_nOldIno)))
            continue; // the archive being written, or the one it replaces
        CNode node;
        node.m_strDisk = name;
        if (!NameFor(name, childPath, node.m_strRaw))
            continue;
        if (S_ISREG(st.st_mode)) {
            node.m_nSize = static_cast<uint64_t>(st.st_size);
            folder.m_Files.push_back(std::move(node));
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
        Scan(std::move(sub), node, childPath, depth + 1);
        folder.m_Folders.push_back(std::move(node));
    }
    auto byName = [](const CNode& a, const CNode& b) { return a.m_strRaw < b.m_strRaw; };
    std::sort(folder.m_Files.begin(), folder.m_Files.end(), byName);
    std::sort(folder.m_Folders.begin(), folder.m_Folders.end(), byName);
    return true;
}

void CArchivePacker::LayOutLists(CNode& folder, uint64_t& pos) {
    folder.m_nOffset = pos;
    pos += CArchiveRecord::kSize * (folder.m_Files.size() + folder.m_Folders.size() + 1);
    for (CNode& child : folder.m_Folders)
        LayOutLists(child, pos);
}

void CArchivePacker::LayOutData(CNode& folder, uint64_t& pos, const std::string& path) {
    for (CNode& file : folder.m_Files) {
        if (file.m_nSize >= kBlock)
            pos = (pos + kBlock - 1) / kBlock * kBlock;
        file.m_nOffset = pos;
        if (pos >= CArchiveRecord::kAddressable || pos + file.m_nSize > CArchiveRecord::kAddressable) {
            Refuse(kDataPast4GiB + path + "/" + file.m_strDisk);
            return;
        }
        pos += file.m_nSize;
    }
    for (CNode& child : folder.m_Folders) {
        LayOutData(child, pos, path + "/" + child.m_strDisk);
        if (m_nRefusals)
            return;
    }
}

bool CArchivePacker::WriteLists(COutputBuffer& out, const CNode& folder) {
    for (const CNode& file : folder.m_Files)
        out.Append(CArchiveRecord::Make(file.m_strRaw, CArchiveRecord::kFile, uint32_t(file.m_nSize),
                                        uint32_t(file.m_nOffset))
                       .Bytes());
    for (const CNode& child : folder.m_Folders)
        out.Append(CArchiveRecord::Make(child.m_strRaw, CArchiveRecord::kFolder, 0, uint32_t(child.m_nOffset))
                       .Bytes());
    out.Append(CArchiveRecord().Bytes());
    for (const CNode& child : folder.m_Folders)
        WriteLists(out, child);
    return !out.Failed();
}

bool CArchivePacker::CopyFile(int in, const CNode& file, const std::string& path) {
    static const char zeros[kBlock] = {};
    if (!WriteAll(m_nOut, zeros, file.m_nOffset - m_nWritten)) {
        Refuse(kCouldNotWriteArchive + Reason(errno));
        return false;
    }
    m_nWritten = file.m_nOffset + file.m_nSize;
    const CFileCopy::CResult copied = m_Copy.Copy(in, 0, m_nOut, file.m_nSize);
    switch (copied.m_eOutcome) {
    case CFileCopy::EOutcome::Done:
    case CFileCopy::EOutcome::Cancelled:
        break;
    case CFileCopy::EOutcome::ReadFailed:
        Refuse(kCouldNotReadFile + path + ": " + Reason(copied.m_nError));
        break;
    case CFileCopy::EOutcome::InputEnded:
        Refuse(kFileChanged + path);
        break;
    case CFileCopy::EOutcome::WriteFailed:
        Refuse(kCouldNotWriteArchive + Reason(copied.m_nError));
        break;
    }
    return copied.Ok();
}

bool CArchivePacker::WriteData(int dirfd, const CNode& folder, const std::string& path) {
    for (const CNode& file : folder.m_Files) {
        const std::string filePath = path + "/" + file.m_strDisk;
        const CFd in(::openat(dirfd, file.m_strDisk.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (in.Get() < 0) {
            Refuse(kCouldNotOpenFile + filePath + ": " + Reason(errno));
            return false;
        }
        if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != file.m_nSize) {
            Refuse(kFileChanged + filePath);
            return false;
        }
        if (!CopyFile(in.Get(), file, filePath))
            return false;
    }
    for (const CNode& child : folder.m_Folders) {
        const CFd sub(
            ::openat(dirfd, child.m_strDisk.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sub.Get() < 0) {
            Refuse(kCouldNotOpenFolder + path + "/" + child.m_strDisk + ": " + Reason(errno));
            return false;
        }
        if (!WriteData(sub.Get(), child, path + "/" + child.m_strDisk))
            return false;
    }
    return true;
}

CArchivePacker::EResult CArchivePacker::Pack(const std::string& folder, const std::string& archive) {
    if (!CheckArchive(archive))
        return EResult::NotOpened;
    const CFd top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.IsOpen()) {
        m_Sink.Print(kCouldNotOpenFolder + folder + ": " + Reason(errno));
        return EResult::NotOpened;
    }

    // The temporary lies beside the archive, so that the final rename stays within one file system.
    const size_t slash = archive.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : archive.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? archive : archive.substr(slash + 1);
    std::string temp = dir + "." + base + ".XXXXXX";
    m_nOut = ::mkostemp(temp.data(), O_CLOEXEC);
    if (m_nOut < 0) {
        m_Sink.Print(kCouldNotCreateFile + archive + ": " + Reason(errno));
        return EResult::NotOpened;
    }
    const CFd outCloser(m_nOut);
    struct stat st;
    if (::fstat(m_nOut, &st) == 0) {
        m_nTempDev = st.st_dev;
        m_nTempIno = st.st_ino;
    }

    CNode root;
    root.m_strDisk = folder;
    const std::string topName = TopName(folder);
    const bool named = NameFor(topName, folder, root.m_strRaw);
    const bool scanned = Scan(CFd(::dup(top.Get())), root, folder, 1);
    if (m_nUnfit > kShownUnfit && !m_bVerbose)
        m_Sink.Print(WithCount(m_bSkipUnfit ? kMoreNamesLeftOut : kMoreNamesRefused, m_nUnfit - kShownUnfit));
    bool ok = named && scanned && !m_nRefusals && !Cancelled();
    if (ok) {
        uint64_t pos = 2 * CArchiveRecord::kSize; // the top-level list: the folder and the end record
        LayOutLists(root, pos);
        m_nWritten = pos; // once the lists are written
        if (pos >= CArchiveRecord::kAddressable)
            Refuse(kTooManyEntries);
        else
            LayOutData(root, pos, folder);
        ok = !m_nRefusals;
    }
    if (ok) {
        COutputBuffer out(m_nOut);
        out.Append(CArchiveRecord::Make(root.m_strRaw, CArchiveRecord::kFolder, 0, uint32_t(root.m_nOffset))
                       .Bytes());
        out.Append(CArchiveRecord().Bytes());
        ok = WriteLists(out, root) && out.Flush();
        if (!ok)
            Refuse(kCouldNotWriteArchive + Reason(out.Error()));
    }
    ok = ok && WriteData(top.Get(), root, folder);
    if (ok) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(m_nOut, m_bOldArchive ? m_nOldMode : 0666 & ~mask) != 0 || ::fsync(m_nOut) != 0) {
            Refuse(kCouldNotWriteArchive + Reason(errno));
            ok = false;
        }
    }
    bool created = true;
    if (ok && ::rename(temp.c_str(), archive.c_str()) != 0) {
        Refuse(kCouldNotCreateFile + archive + ": " + Reason(errno));
        ok = created = false;
    }
    if (ok)
        return EResult::Packed;
    ::unlink(temp.c_str());
    if (!created) {
        m_Sink.Print(kNoArchiveWritten);
        return EResult::NotOpened;
    }
    if (Cancelled())
        m_Sink.Print(kInterruptedText);
    m_Sink.Print(kNoArchiveWritten);
    return EResult::Refused;
}
