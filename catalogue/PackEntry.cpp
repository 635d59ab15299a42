#include "catalogue/PackEntry.h"

#include "catalogue/PackFolder.h"

namespace vorpex {

std::string PackEntry::path() const {
    return m_folder ? m_folder->path() : std::string();
}

} // namespace vorpex
