#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"

class CConsoleSink;
class CNameCodec;

// The `pack` command: builds an archive from a folder on disk. The archive's one top-level folder bears the
// folder's name; in every list the files come first, then the sub-folders, each sorted by encoded name in
// byte order, so the same tree always gives the same bytes. Layout: the top-level list, every folder's list
// depth first, then the data of every file in list order, each file of at least kBlock bytes starting on a
// multiple of kBlock (zeros in between), so that the kernel copies it out at full speed.
// The folder is read in full before anything is written, and every refusal (a name too long or not
// encodable, folders nested too deep, data past 4 GiB) is found then. The archive is written to a temporary
// file beside it and renamed into place only when complete: a refusal, a failure or an interruption leaves
// nothing behind, and an existing archive of that name stays as it was.
class CArchivePacker {
public:
    enum class EResult {
        Packed,   // the archive is in place (skipped links and special files were reported)
        Refused,  // nothing written: the reasons were reported
        NotOpened // the folder could not be opened or the archive not made there; nothing written
    };

    static constexpr uint64_t kBlock = 4096;

    CArchivePacker(const CNameCodec& codec, CConsoleSink& sink, const std::atomic<bool>* cancel)
        : m_Codec(codec), m_Sink(sink), m_pCancel(cancel) {
        m_Copy.SetCancelCheck([this] { return Cancelled(); });
    }

    EResult Pack(const std::string& folder, const std::string& archive);

    // Names the archive cannot hold (too long, not encodable, nested too deep) are left out, each
    // reported, and the rest is packed, instead of refusing the whole folder.
    void SetSkipUnfit(bool skip) { m_bSkipUnfit = skip; }
    // Every unfit name is printed, not only the first kShownUnfit.
    void SetVerbose(bool verbose) { m_bVerbose = verbose; }
    static constexpr unsigned kShownUnfit = 20;

private:
    struct CNode {
        std::string m_strRaw;   // the name in the archive, encoded
        std::string m_strDisk;  // the name on disk
        uint64_t m_nSize = 0;   // of a file
        uint64_t m_nOffset = 0; // a file's data, or a folder's list
        std::vector<CNode> m_Files;
        std::vector<CNode> m_Folders;
    };

    // Takes `folderFd` over.
    bool Scan(CFileDescriptor folderFd, CNode& folder, const std::string& path, unsigned depth);
    bool NameFor(const std::string& diskName, const std::string& path, std::string& raw);
    void LayOutLists(CNode& folder, uint64_t& pos);
    void LayOutData(CNode& folder, uint64_t& pos, const std::string& path);
    bool WriteLists(class COutputBuffer& out, const CNode& folder);
    bool WriteData(int dirfd, const CNode& folder, const std::string& path);
    bool CopyFile(int in, const CNode& file, const std::string& path);
    void Refuse(const std::string& line);
    void Unfit(const std::string& line);
    bool CheckArchive(const std::string& archive);
    bool Cancelled() const { return m_pCancel && m_pCancel->load(); }

    const CNameCodec& m_Codec;
    CConsoleSink& m_Sink;
    const std::atomic<bool>* m_pCancel;
    int m_nOut = -1;
    uint64_t m_nWritten = 0; // the archive's bytes written so far
    uint64_t m_nTempDev = 0, m_nTempIno = 0;
    uint64_t m_nOldDev = 0, m_nOldIno = 0;
    bool m_bOldArchive = false;
    mode_t m_nOldMode = 0;
    unsigned m_nRefusals = 0;
    unsigned m_nUnfit = 0;
    bool m_bSkipUnfit = false;
    bool m_bVerbose = false;
    CFileCopy m_Copy;
};
