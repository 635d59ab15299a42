#pragma once

#include <atomic>
#include <functional>

#include "platform/FileCopy.h"

class CConsoleSink;
class CNameEscaper;
class CPackEntry;
class CPackFile;
class CPackFolder;
struct CSelection;

// `extract --to-stdout`: the data of the selected files, one after the other in the order the extraction
// walk would write them, to a descriptor (standard output). Nothing is made on disk. A file whose data
// cannot be read is reported and left out; a failed write ends the run.
class CStdoutWriter {
public:
    CStdoutWriter(const CPackFile& pack, CConsoleSink& sink, const CNameEscaper& escaper, int fd)
        : m_Pack(pack), m_Sink(sink), m_Escaper(escaper), m_nFd(fd) {
        m_Copy.SetCancelCheck([this] { return m_pCancel && m_pCancel->load(); });
    }

    void SetFilter(std::function<bool(const CPackFolder*, const CPackEntry*)> skip) {
        m_fnSkip = std::move(skip);
    }
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }

    // False when writing failed or the run was cancelled.
    bool Write(const CSelection& selection);

private:
    bool WriteFolder(const CPackFolder& folder);
    bool WriteEntry(const CPackEntry& entry);
    bool Skip(const CPackFolder* folder, const CPackEntry* entry) const {
        return m_fnSkip && m_fnSkip(folder, entry);
    }

    const CPackFile& m_Pack;
    CConsoleSink& m_Sink;
    const CNameEscaper& m_Escaper;
    int m_nFd;
    std::function<bool(const CPackFolder*, const CPackEntry*)> m_fnSkip;
    const std::atomic<bool>* m_pCancel = nullptr;
    CFileCopy m_Copy;
};
