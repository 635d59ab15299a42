#include "media/MediaEntry.h"

#include "catalogue/EntryPeek.h"
#include "catalogue/PackEntry.h"
#include "platform/MessageTexts.h"

namespace {

MediaResult<std::string> fromPeek(CEntryPeek peek) {
    if (!peek.IsRead())
        return MediaResult<std::string>::failure(peek.Why());
    if (peek.m_bCut)
        return MediaResult<std::string>::failure(kMediaFileTooLarge);
    return {std::move(peek.m_strData), {}};
}

} // namespace

MediaResult<std::string> readMediaEntry(const CPackFile& pack, const CPackEntry& entry,
                                        const MediaBudget& budget) {
    return fromPeek(CEntryPeek::Read(pack, entry, budget.maxBytes));
}

MediaResult<std::string> readMediaEntry(const CEntrySource& source, const MediaBudget& budget) {
    return fromPeek(source.Read(budget.maxBytes));
}
