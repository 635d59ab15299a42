#include "media/MediaEntry.h"

#include "catalogue/EntryPeek.h"
#include "catalogue/PackEntry.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

MediaResult<std::string> fromPeek(EntryPeek peek) {
    if (!peek.isRead())
        return MediaResult<std::string>::failure(peek.why());
    if (peek.m_cut)
        return MediaResult<std::string>::failure(kMediaFileTooLarge);
    return {std::move(peek.m_data), {}};
}

} // namespace

MediaResult<std::string> readMediaEntry(const PackFile& pack, const PackEntry& entry,
                                        const MediaBudget& budget) {
    return fromPeek(EntryPeek::read(pack, entry, budget.m_maxBytes));
}

MediaResult<std::string> readMediaEntry(const EntrySource& source, const MediaBudget& budget) {
    return fromPeek(source.read(budget.m_maxBytes));
}

} // namespace vorpex
