#pragma once

#include <atomic>
#include <functional>

#include "platform/FileCopy.h"

namespace vorpex {

class ConsoleSink;
class NameEscaper;
class PackEntry;
class PackFile;
class PackFolder;
struct Selection;

// `extract --to-stdout`: the data of the selected files, one after the other in the order the extraction
// walk would write them, to a descriptor (standard output). Nothing is made on disk. A file whose data
// cannot be read is reported and left out; a failed write ends the run.
class StdoutWriter {
public:
    StdoutWriter(const PackFile& pack, ConsoleSink& sink, const NameEscaper& escaper, int fd)
        : m_pack(pack), m_sink(sink), m_escaper(escaper), m_fd(fd) {
        m_copy.setCancelCheck([this] { return m_cancel && m_cancel->load(); });
    }

    void setFilter(std::function<bool(const PackFolder*, const PackEntry*)> skip) {
        m_skip = std::move(skip);
    }
    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // False when writing failed or the run was cancelled.
    bool write(const Selection& selection);

private:
    bool writeFolder(const PackFolder& folder);
    bool writeEntry(const PackEntry& entry);
    bool skip(const PackFolder* folder, const PackEntry* entry) const {
        return m_skip && m_skip(folder, entry);
    }

    const PackFile& m_pack;
    ConsoleSink& m_sink;
    const NameEscaper& m_escaper;
    int m_fd;
    std::function<bool(const PackFolder*, const PackEntry*)> m_skip;
    const std::atomic<bool>* m_cancel = nullptr;
    FileCopy m_copy;
};

} // namespace vorpex
