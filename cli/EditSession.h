#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "cli/Command.h"
#include "writer/ArchiveEdit.h"

namespace vorpex {

class ConsoleSink;

// One run of add, remove, rename or update: the archive opened for changing, the changes gathered (each a
// line that -n and -v print), the refusals counted, and at the end the archive saved, or left as it was
// when anything was refused. Paths are printed as `list` prints them.
class EditSession {
public:
    EditSession(const CommandLine& line, ConsoleSink& sink);

    // Opens ARCHIVE; false after saying why. A missing archive is an empty one when `create`.
    bool open(const std::string& path, bool create);
    // The exit status after a failed open: 1 for a damaged archive (refused), else 2.
    int openStatus() const { return m_openStatus; }
    ArchiveEdit& edit() { return m_edit; }
    const NameCodec& codec() const { return m_codec; }

    // The item at a path as `list` prints it, and the folder whose list holds it; null when none.
    ArchiveNode* find(std::string_view item, ArchiveNode** parent = nullptr);
    // A path's printed form, a folder's with its '/'.
    std::string shown(const std::vector<std::string>& rawPath, bool folder) const;
    std::string shown(const ArchiveNode* item) const;
    // The raw name of a name typed or read from disk (UTF-8, \xHH escapes taken as bytes when `escaped`);
    // false after refusing it.
    bool encode(std::string_view text, bool escaped, std::string& raw, const std::string& where);

    void change(const char* kind, const std::string& what);
    void refuse(const std::string& reason);
    bool refused() const { return m_refusals > 0; }
    // Saves unless refused, -n or nothing changed; the exit status.
    int finish();

private:
    void reportProblems();

    const CommandLine& m_line;
    ConsoleSink& m_sink;
    NameCodec m_codec;
    NameEscaper m_escaper;
    ArchiveEdit m_edit;
    std::string m_path;
    std::vector<std::string> m_changes;
    unsigned m_refusals = 0;
    int m_openStatus = ExitStatus::kFailed;
};

} // namespace vorpex
