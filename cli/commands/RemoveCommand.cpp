// `vorpex-cli remove`: files and folders taken out of an archive.
#include <set>

#include "cli/ConsoleSink.h"
#include "cli/EditSession.h"
#include "cli/commands/Commands.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli remove [-n] [-v] [--encoding NAME] ARCHIVE ITEM...\n\n"
    "Takes each ITEM (a path as list prints it) out of ARCHIVE, a folder with everything below it.\n"
    "An ITEM that matches nothing refuses the whole change: the archive stays as it was. The archive\n"
    "is saved crash-safely; what is not removed keeps its bytes, names and order.\n\n"
    "  -n, --dry-run        print what would be removed, change nothing\n"
    "  -v, --verbose        print each change\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

int run(const CommandLine& line) {
    if (line.m_operands.size() < 2)
        return usageError("remove", "remove takes an ARCHIVE and at least one ITEM");
    ConsoleSink sink;
    EditSession session(line, sink);
    if (!session.open(line.m_operands[0], false))
        return session.openStatus();
    std::set<const ArchiveNode*> items;
    for (size_t i = 1; i < line.m_operands.size(); ++i) {
        const ArchiveNode* item = session.find(line.m_operands[i]);
        if (!item)
            session.refuse(kNotInArchive + line.m_operands[i]);
        else if (items.insert(item).second)
            session.change(kChangeRemove, session.shown(item));
    }
    if (!session.refused())
        session.edit().remove(items);
    return session.finish();
}

} // namespace

const Command kRemoveCommand = {
    "remove",
    "take files and folders out of an archive",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::DryRun, OptionId::Verbose}),
    kHelp,
    HelpTail::CommonAndStatus,
    false,
    run,
};

} // namespace vorpex
