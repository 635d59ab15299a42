#include "catalogue/PackFolder.h"

std::string CPackFolder::GetPath() const {
    // Built from the top down; folders nest at most ten levels, so this stays small.
    const CPackFolder* chain[64];
    size_t n = 0;
    for (const CPackFolder* f = this; f && n < 64; f = f->m_pParent)
        chain[n++] = f;
    std::string path;
    while (n > 0) {
        path += '\\';
        path += chain[--n]->GetName();
    }
    return path;
}
