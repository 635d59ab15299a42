#include "cli/StdoutWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "extract/FolderWalk.h"
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
    const CFileCopy::CResult copied = m_Copy.Copy(m_Pack.GetFd(), offset, m_nFd, entry.GetSize());
    if (copied.m_eOutcome == CFileCopy::EOutcome::ReadFailed ||
        copied.m_eOutcome == CFileCopy::EOutcome::InputEnded) {
        // The output is cut: what went out of this file stays out.
        m_Sink.Print(kCouldNotReadFile + m_Escaper.Escape(entry.GetName()));
        return false;
    }
    if (copied.m_eOutcome == CFileCopy::EOutcome::WriteFailed) {
        m_Sink.Print(kCouldNotWriteStdout + std::string(std::strerror(copied.m_nError)));
        return false;
    }
    return copied.Ok();
}
