#include "cli/StdoutWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "extract/FolderWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

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
    for (uint32_t index : folder.GetFiles())
        if (!WriteEntry(m_Pack.Entry(index)))
            return false;
    for (const CPackFolder* child : folder.GetChildren())
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
    if (offset + entry.GetSize() > m_Pack.GetFileSize()) {
        m_Sink.Print(kCouldNotReadFile + m_Escaper.Escape(entry.GetName()));
        return true;
    }
    if (!m_pBuffer)
        m_pBuffer.reset(new char[kChunk]);
    for (uint64_t done = 0; done < entry.GetSize();) {
        if (m_pCancel && m_pCancel->load())
            return false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.GetSize() - done));
        const ssize_t got =
            PreadAll(m_Pack.GetFd(), m_pBuffer.get(), want, static_cast<off_t>(offset + done));
        if (got <= 0) {
            // Nothing of a file's data has gone out yet only when done is 0; either way the output is cut.
            m_Sink.Print(kCouldNotReadFile + m_Escaper.Escape(entry.GetName()));
            return false;
        }
        if (!WriteAll(m_nFd, m_pBuffer.get(), static_cast<size_t>(got))) {
            m_Sink.Print(kCouldNotWriteStdout + std::string(std::strerror(errno)));
            return false;
        }
        done += static_cast<uint64_t>(got);
    }
    return true;
}
