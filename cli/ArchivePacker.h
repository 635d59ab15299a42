#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/FileDescriptor.h"
#include "writer/ArchiveWriter.h"
#include "writer/ReplacingFile.h"

namespace vorpex {

class ConsoleSink;
class NameCodec;

// The `pack` command: builds an archive from a folder on disk. The archive's one top-level folder bears the
// folder's name; in every list the files come first, then the sub-folders, each sorted by encoded name in
// byte order, so the same tree always gives the same bytes. Layout: the top-level list, every folder's list
// depth first, then the data of every file in list order, each file of at least kBlock bytes starting on a
// multiple of kBlock (zeros in between), so that the kernel copies it out at full speed.
// The folder is read in full before anything is written, and every refusal (a name too long or not
// encodable, folders nested too deep, data past 4 GiB) is found then. The archive writer lays the tree out
// and writes it beside the archive, put in place only when complete (ReplacingFile): a refusal, a failure
// or an interruption leaves nothing behind, and an existing archive of that name stays as it was.
class ArchivePacker {
public:
    enum class Result {
        Packed,   // the archive is in place (skipped links and special files were reported)
        Refused,  // nothing written: the reasons were reported
        NotOpened // the folder could not be opened or the archive not made there; nothing written
    };

    static constexpr uint64_t kBlock = 4096;

    ArchivePacker(const NameCodec& codec, ConsoleSink& sink, const std::atomic<bool>* cancel)
        : m_codec(codec), m_sink(sink), m_cancel(cancel) {}

    Result pack(const std::string& folder, const std::string& archive);

    // Names the archive cannot hold (too long, not encodable, nested too deep) are left out, each
    // reported, and the rest is packed, instead of refusing the whole folder.
    void setSkipUnfit(bool skip) { m_skipUnfit = skip; }
    // Every unfit name is printed, not only the first kShownUnfit.
    void setVerbose(bool verbose) { m_verbose = verbose; }
    static constexpr unsigned kShownUnfit = 20;

private:
    // Takes `folderFd` over. `path` is the folder as messages name it, `relative` its path below the folder
    // packed ("" for that one).
    bool scan(FileDescriptor folderFd, ArchiveNode& folder, const std::string& path,
              const std::string& relative, unsigned depth);
    bool nameFor(const std::string& diskName, const std::string& path, std::string& raw);
    void reportLayout(const ArchiveLayout& layout, const std::string& folder);
    void reportWriting(const ArchiveWriter::Result& result, const std::string& folder);
    void refuse(const std::string& line);
    void unfit(const std::string& line);
    bool cancelled() const { return m_cancel && m_cancel->load(); }

    const NameCodec& m_codec;
    ConsoleSink& m_sink;
    const std::atomic<bool>* m_cancel;
    const ReplacingFile* m_out = nullptr; // the archive being written, left out of the scan with the old one
    unsigned m_refusalCount = 0;
    unsigned m_unfit = 0;
    bool m_skipUnfit = false;
    bool m_verbose = false;
};

} // namespace vorpex
