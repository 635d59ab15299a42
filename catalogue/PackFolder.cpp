#include "catalogue/PackFolder.h"

namespace vorpex {

std::string PackFolder::path() const {
    // Built from the top down; folders nest at most ten levels, so this stays small.
    const PackFolder* chain[64];
    size_t n = 0;
    for (const PackFolder* f = this; f && n < 64; f = f->m_parent)
        chain[n++] = f;
    std::string path;
    while (n > 0) {
        path += '\\';
        path += chain[--n]->name();
    }
    return path;
}

} // namespace vorpex
