#include "cli/ConsoleSink.h"

#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "cli/ProgressLine.h"

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
    if (m_pProgress)
        m_pProgress->Clear();
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_nFd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}
