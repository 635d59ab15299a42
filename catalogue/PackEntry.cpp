#include "catalogue/PackEntry.h"

#include "catalogue/PackFolder.h"

std::string CPackEntry::GetPath() const {
    return m_pFolder ? m_pFolder->GetPath() : std::string();
}
