#pragma once

// Reading an archive entry for the decoders: all of it, or a refusal when it holds more than the budget
// lets a decoder take in.
#include <string>

#include "catalogue/EntryPeek.h"
#include "media/MediaTypes.h"

namespace vorpex {

// The entry's bytes in `value`, or why not: the catalogue's own reasons (past the end, unreadable, no
// archive) or kMediaFileTooLarge.
MediaResult<std::string> readMediaEntry(const PackFile& pack, const PackEntry& entry,
                                        const MediaBudget& budget = {});
MediaResult<std::string> readMediaEntry(const EntrySource& source, const MediaBudget& budget = {});

} // namespace vorpex
