#include "cli/ConsoleSink.h"

#include <unistd.h>

#include "catalogue/NameEscaper.h"
#include "cli/ProgressLine.h"
#include "platform/FileDescriptor.h"

namespace vorpex {

std::string ConsoleSink::render(const Message& message) {
    std::string line = message.m_text;
    if (message.m_archiveName)
        NameEscaper::appendDecoded(line, message.m_name);
    else
        line += message.m_name;
    line += message.m_tail;
    return line;
}

void ConsoleSink::report(const Message& message) {
    print(render(message));
}

void ConsoleSink::print(const std::string& line) {
    ++m_count;
    note(line);
}

void ConsoleSink::note(const std::string& line) {
    if (m_progress)
        m_progress->clear();
    const std::string text = "vorpex-cli: " + line + "\n";
    writeAll(m_fd, text.data(), text.size()); // nowhere left to report a failure
}

} // namespace vorpex
