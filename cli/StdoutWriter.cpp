#include "cli/StdoutWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "extract/FolderWalk.h"
#include "platform/MessageTexts.h"

namespace vorpex {

bool StdoutWriter::write(const Selection& selection) {
    if (selection.m_wholeArchive && !writeFolder(m_pack.top()))
        return false;
    for (const PackFolder* folder : selection.m_folders)
        if (!skip(folder, nullptr) && !writeFolder(*folder))
            return false;
    for (const PackEntry* entry : selection.m_files)
        if (!writeEntry(*entry))
            return false;
    return true;
}

bool StdoutWriter::writeFolder(const PackFolder& folder) {
    for (uint32_t index : folder.files())
        if (!writeEntry(m_pack.entry(index)))
            return false;
    for (const PackFolder* child : folder.children())
        if (!skip(child, nullptr) && !writeFolder(*child))
            return false;
    return true;
}

bool StdoutWriter::writeEntry(const PackEntry& entry) {
    if (m_cancel && m_cancel->load())
        return false;
    if (skip(nullptr, &entry))
        return true;
    const uint64_t offset = entry.offset();
    if (offset + entry.size() > m_pack.fileSize()) {
        m_sink.print(kCouldNotReadFile + m_escaper.escape(entry.name()));
        return true;
    }
    const FileCopy::Result copied = m_copy.copy(m_pack.fd(), offset, m_fd, entry.size());
    if (copied.m_outcome == FileCopy::Outcome::ReadFailed ||
        copied.m_outcome == FileCopy::Outcome::InputEnded) {
        // The output is cut: what went out of this file stays out.
        m_sink.print(kCouldNotReadFile + m_escaper.escape(entry.name()));
        return false;
    }
    if (copied.m_outcome == FileCopy::Outcome::WriteFailed) {
        m_sink.print(kCouldNotWriteStdout + std::string(std::strerror(copied.m_error)));
        return false;
    }
    return copied.ok();
}

} // namespace vorpex
