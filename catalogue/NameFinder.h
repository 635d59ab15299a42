#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

class NameCodec;
class PackEntry;
class PackFile;
class PackFolder;

// One name found: a folder or a file of the catalogue, exactly one of the two set.
struct FindHit {
    const PackFolder* m_folder = nullptr;
    const PackEntry* m_entry = nullptr;
};

// Finds folders and files by name across a whole catalogue. The constructor decodes and folds every name
// once into one buffer; each search then runs over that buffer, so a keystroke on a million entries costs
// a scan of a few megabytes. The finder reads the catalogue and the codec only while it is built, but its
// hits point into the catalogue, which must outlive them. Find is const: any number of threads may search.
class NameFinder {
public:
    NameFinder(const PackFile& pack, const NameCodec& codec);

    // The folders and files whose decoded names match `pattern`, case aside: a pattern without `*` or `?`
    // matches any name that holds it; one with them must match the whole name, `*` standing for any run of
    // characters and `?` for one. Folders come first, in the order of the folder tree (a folder before its
    // sub-folders), then files in archive order. An empty pattern finds nothing. When `cancel` becomes true
    // the search stops early and returns false, with what it found so far.
    bool find(std::string_view pattern, std::vector<FindHit>& hits,
              const std::atomic<bool>* cancel = nullptr) const;

    size_t count() const { return m_starts.size(); }

    // True when the UTF-8 `name`, already folded, matches the folded `pattern` with wildcards.
    static bool matchWildcards(std::string_view pattern, std::string_view name);

private:
    void addFolder(const PackFolder& folder, const NameCodec& codec);
    void addName(std::string_view raw, const NameCodec& codec);
    std::string_view name(uint32_t item) const;
    FindHit hit(uint32_t item) const;

    const PackFile& m_pack;
    std::string m_names;                      // every folded name followed by a NUL, folders first
    std::vector<uint32_t> m_starts;           // where each name starts in m_names
    std::vector<const PackFolder*> m_folders; // items below this count are folders, the rest entries
    std::vector<const PackEntry*> m_edited;   // an edited catalogue's entries, in folder order
    bool m_walked = false;                    // ...which the files are then
};

} // namespace vorpex
