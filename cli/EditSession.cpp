#include "cli/EditSession.h"

#include <cstring>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "cli/Interrupts.h"
#include "cli/OutputBuffer.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

// "\x2F" back to its byte; anything else as it stands.
std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(text[i + 2]) &&
            std::isxdigit(text[i + 3])) {
            out += char(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

EditSession::EditSession(const CommandLine& line, ConsoleSink& sink)
    : m_line(line), m_sink(sink), m_codec(line.m_encoding), m_escaper(m_codec) {}

bool EditSession::open(const std::string& path, bool create) {
    m_path = path;
    if (path == "-") {
        usageError("", "an archive to change is a file, not standard input");
        return false;
    }
    switch (m_edit.open(path)) {
    case ArchiveEdit::OpenStatus::Opened:
        return true;
    case ArchiveEdit::OpenStatus::Missing:
        if (create)
            return true;
        m_sink.print(kCouldNotOpenFile + path + ": " + std::strerror(ENOENT));
        return false;
    case ArchiveEdit::OpenStatus::NotRegular:
        m_sink.print(kNotFileOrFolder + path);
        return false;
    case ArchiveEdit::OpenStatus::Damaged:
        m_openStatus = ExitStatus::kReported;
        m_sink.print(kArchiveDamaged + path);
        return false;
    case ArchiveEdit::OpenStatus::NotOpened:
        break;
    }
    m_sink.print(kCouldNotOpenFile + path + ": " + std::strerror(m_edit.error()));
    return false;
}

ArchiveNode* EditSession::find(std::string_view item, ArchiveNode** parent) {
    bool folderOnly = false;
    if (!item.empty() && item.back() == '/') {
        folderOnly = true;
        item.remove_suffix(1);
    }
    ArchiveNode* folder = &m_edit.root();
    ArchiveNode* found = nullptr;
    for (;;) {
        const size_t slash = item.find('/');
        const std::string_view name = item.substr(0, slash);
        const bool last = slash == std::string_view::npos;
        found = nullptr;
        for (ArchiveNode& child : folder->m_children)
            if ((child.m_folder || (last && !folderOnly)) &&
                m_escaper.escape(ArchiveEdit::nameOf(child)) == name) {
                found = &child;
                break;
            }
        if (!found || last)
            break;
        folder = found;
        item.remove_prefix(slash + 1);
    }
    if (parent)
        *parent = folder;
    return found;
}

std::string EditSession::shown(const std::vector<std::string>& rawPath, bool folder) const {
    std::string out;
    for (size_t i = 0; i < rawPath.size(); ++i) {
        if (i)
            out += '/';
        m_escaper.append(out, rawPath[i]);
    }
    return folder ? out + "/" : out;
}

std::string EditSession::shown(const ArchiveNode* item) const {
    return shown(m_edit.pathOf(item), item->m_folder);
}

bool EditSession::encode(std::string_view text, bool escaped, std::string& raw, const std::string& where) {
    raw.clear();
    if (!m_codec.encode(escaped ? unescape(text) : std::string(text), raw)) {
        refuse(kNameNotEncodable + m_codec.encoding() + ": " + where);
        return false;
    }
    if (raw.size() > ArchiveRecord::kNameSize) {
        refuse(kNameTooLong + std::to_string(ArchiveRecord::kNameSize) + " bytes: " + where);
        return false;
    }
    return true;
}

void EditSession::change(const char* kind, const std::string& what) {
    m_changes.push_back(kind + what + "\n");
}

void EditSession::refuse(const std::string& reason) {
    ++m_refusals;
    m_sink.print(reason);
}

void EditSession::reportProblems() {
    for (const ArchiveEdit::Problem& problem : m_edit.problems()) {
        const std::string path = shown(problem.m_path, false);
        switch (problem.m_kind) {
        case ArchiveEdit::Problem::Kind::NameTooLong:
            refuse(kNameTooLong + std::to_string(ArchiveRecord::kNameSize) + " bytes: " + path);
            break;
        case ArchiveEdit::Problem::Kind::TooDeep:
            refuse(kFoldersNestTooDeep + std::to_string(PackFile::kMaxDepth) + " levels: " + path);
            break;
        case ArchiveEdit::Problem::Kind::TooManyEntries:
            refuse(kTooManyInArchive);
            break;
        case ArchiveEdit::Problem::Kind::DataPast4GiB:
            refuse(kDataPast4GiB + path);
            break;
        case ArchiveEdit::Problem::Kind::DataPastEnd:
            refuse(kDataPastEnd + path);
            break;
        }
    }
}

int EditSession::finish() {
    if (!m_refusals && m_edit.isChanged() && !m_edit.check().empty())
        reportProblems();
    if (m_refusals) {
        m_sink.print(kArchiveNotChanged);
        return ExitStatus::kReported;
    }
    if (m_line.m_dryRun || m_line.m_verbose) {
        OutputBuffer out(STDOUT_FILENO);
        for (const std::string& change : m_changes)
            out.append(change);
        out.flush();
    }
    if (m_line.m_dryRun || !m_edit.isChanged())
        return ExitStatus::kDone;
    catchInterrupts();
    m_edit.setCancelCheck([] { return interrupted(); });
    switch (m_edit.save()) {
    case ArchiveEdit::SaveStatus::Saved:
        return ExitStatus::kDone;
    case ArchiveEdit::SaveStatus::Refused:
        reportProblems();
        break;
    case ArchiveEdit::SaveStatus::ReadOnly:
        m_sink.print(kArchiveReadOnly + m_path);
        break;
    case ArchiveEdit::SaveStatus::Changed:
        m_sink.print(kArchiveChangedMeanwhile + m_path);
        break;
    case ArchiveEdit::SaveStatus::Cancelled:
        return interruptedStatus();
    case ArchiveEdit::SaveStatus::Failed:
        m_sink.print(kCouldNotWriteArchive + std::string(std::strerror(m_edit.error())) +
                     (m_edit.failed() ? " (" + shown(m_edit.failed()) + ")" : std::string()));
        break;
    }
    m_sink.print(kArchiveNotChanged);
    return ExitStatus::kReported;
}

} // namespace vorpex
