#include "cli/StdoutWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "catalogue/NameEscaper.h"
#include "extract/FolderWalk.h"

bool CStdoutWriter::Write(const CSelection& selection) {
    if (selection.m_bWholeArchive && !WriteFolder(m_Pack.GetTop()))
        return false;
    for (const CPackFolder* folder : selection.m_Folders)
        if (!Skip(folder, nullptr) && !WriteFolder(*folder))
            return false;
    for (const CPackEntry* entry : selection.m_Files)
        if (!WriteEntry(*entry))
            return false;
    return true;
}

bool CStdoutWriter::WriteFolder(const CPackFolder& folder) {
    for (uint32_t index : folder.m_Files)
        if (!WriteEntry(m_Pack.Entry(index)))
            return false;
    for (const CPackFolder* child : folder.m_Children)
        if (!Skip(child, nullptr) && !WriteFolder(*child))
            return false;
    return true;
}

bool CStdoutWriter::WriteEntry(const CPackEntry& entry) {
    if (m_pCancel && m_pCancel->load())
        return false;
    if (Skip(nullptr, &entry))
        return true;
    const uint64_t offset = entry.GetOffset();
    if (offset + entry.GetSize() > m_Pack.m_nFileSize) {
        m_Sink.Print("Could not read file " + m_Escaper.Escape(entry.GetName()));
        return true;
    }
    if (!m_pBuffer)
        m_pBuffer.reset(new char[kChunk]);
    for (uint64_t done = 0; done < entry.GetSize();) {
        if (m_pCancel && m_pCancel->load())
            return false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.GetSize() - done));
        const ssize_t got = ::pread(m_Pack.m_nFd, m_pBuffer.get(), want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // Nothing of a file's data has gone out yet only when done is 0; either way the output is cut.
            m_Sink.Print("Could not read file " + m_Escaper.Escape(entry.GetName()));
            return false;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t n = ::write(m_nFd, m_pBuffer.get() + written, static_cast<size_t>(got - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_Sink.Print(std::string("Could not write to standard output: ") +
                             std::strerror(n < 0 ? errno : EIO));
                return false;
            }
            written += n;
        }
        done += static_cast<uint64_t>(got);
    }
    return true;
}
