// `vorpex-cli rename`: an item of an archive given a new name in its folder.
#include "catalogue/NameCodec.h"
#include "cli/ConsoleSink.h"
#include "cli/EditSession.h"
#include "cli/commands/Commands.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli rename [-n] [--encoding NAME] ARCHIVE ITEM NEWNAME\n\n"
    "Gives ITEM (a path as list prints it) the name NEWNAME in the same folder, in the same place of\n"
    "its list. Refused, the archive unchanged, when NEWNAME is empty, . or .., holds / or \\, is\n"
    "taken in the folder, or does not fit a record (32 bytes) in the code page.\n\n"
    "  -n, --dry-run        print the change, make none\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

int run(const CommandLine& line) {
    if (line.m_operands.size() != 3)
        return usageError("rename", "rename takes an ARCHIVE, an ITEM and a NEWNAME");
    ConsoleSink sink;
    EditSession session(line, sink);
    if (!session.open(line.m_operands[0], false))
        return session.openStatus();
    const std::string& newName = line.m_operands[2];
    ArchiveNode* folder = nullptr;
    ArchiveNode* item = session.find(line.m_operands[1], &folder);
    std::string raw;
    if (!item)
        session.refuse(kNotInArchive + line.m_operands[1]);
    else if (newName.empty() || newName == "." || newName == ".." ||
             newName.find_first_of("/\\") != std::string::npos)
        session.refuse(kNameNotAllowed + newName);
    else if (session.encode(newName, false, raw, newName)) {
        const ArchiveNode* other = ArchiveEdit::child(*folder, raw);
        if (isUnsafeName(raw))
            session.refuse(kNameNotAllowed + newName);
        else if (other && other != item)
            session.refuse(kNameTaken + newName);
        else if (ArchiveEdit::nameOf(*item) != raw) {
            session.change(kChangeRename, session.shown(item) + " -> " + newName);
            session.edit().rename(*item, raw);
        }
    }
    return session.finish();
}

} // namespace

const Command kRenameCommand = {
    "rename",
    "give an item of an archive a new name",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::DryRun}),
    kHelp,
    HelpTail::CommonAndStatus,
    false,
    run,
};

} // namespace vorpex
