#include "cli/ConsoleSink.h"

#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "cli/ProgressLine.h"
#include "platform/FileDescriptor.h"

std::string CConsoleSink::Render(const CMessage& message) {
    std::string line = message.m_strText;
    if (message.m_bArchiveName)
        CNameEscaper::AppendDecoded(line, message.m_strName);
    else
        line += message.m_strName;
    line += message.m_strTail;
    return line;
}

void CConsoleSink::Report(const CMessage& message) {
    Print(Render(message));
}

void CConsoleSink::Print(const std::string& line) {
    ++m_nCount;
    Note(line);
}

void CConsoleSink::Note(const std::string& line) {
    if (m_pProgress)
        m_pProgress->Clear();
    const std::string text = "vorpex-cli: " + line + "\n";
    WriteAll(m_nFd, text.data(), text.size()); // nowhere left to report a failure
}
