#pragma once

#include <string>
#include <sys/stat.h>

#include "writer/ArchiveEdit.h"

namespace vorpex {

class PackFile;

// The tree that writes a catalogue as it stands, edits and all: each folder's list holds its files, then its
// sub-folders (as `pack` writes them), in the catalogue's order, every name field as read (bytes after a NUL included). Files
// read from the archive take their bytes from its descriptor and keep their place in it where the layout
// allows; files added by an edit take theirs from the added data.
ArchiveNode treeOf(const PackFile& pack);

// Writes `pack` to `path` through `edit` (crash-safe, checked against the format's limits first). `expected`
// is the file at `path` as it was when read, which must still stand there (Changed otherwise); null for a
// new file or for one the user chose to replace.
ArchiveEdit::SaveStatus saveCatalogue(const PackFile& pack, const std::string& path,
                                      const struct stat* expected, ArchiveEdit& edit);

} // namespace vorpex
