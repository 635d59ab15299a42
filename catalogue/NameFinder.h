#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;

// One name found: a folder or a file of the catalogue, exactly one of the two set.
struct CFindHit {
    const CPackFolder* m_pFolder = nullptr;
    const CPackEntry* m_pEntry = nullptr;
};

// Finds folders and files by name across a whole catalogue. The constructor decodes and folds every name
// once into one buffer; each search then runs over that buffer, so a keystroke on a million entries costs
// a scan of a few megabytes. The finder reads the catalogue and the codec only while it is built, but its
// hits point into the catalogue, which must outlive them. Find is const: any number of threads may search.
class CNameFinder {
public:
    CNameFinder(const CPackFile& pack, const CNameCodec& codec);

    // The folders and files whose decoded names match `pattern`, case aside: a pattern without `*` or `?`
    // matches any name that holds it; one with them must match the whole name, `*` standing for any run of
    // characters and `?` for one. Folders come first, in the order of the folder tree (a folder before its
    // sub-folders), then files in archive order. An empty pattern finds nothing. When `cancel` becomes true
    // the search stops early and returns false, with what it found so far.
    bool Find(std::string_view pattern, std::vector<CFindHit>& hits,
              const std::atomic<bool>* cancel = nullptr) const;

    size_t Count() const { return m_Starts.size(); }

    // True when the UTF-8 `name`, already folded, matches the folded `pattern` with wildcards.
    static bool MatchWildcards(std::string_view pattern, std::string_view name);

private:
    void AddFolder(const CPackFolder& folder, const CNameCodec& codec);
    void AddName(std::string_view raw, const CNameCodec& codec);
    std::string_view Name(uint32_t item) const;
    CFindHit Hit(uint32_t item) const;

    const CPackFile& m_Pack;
    std::string m_strNames;                    // every folded name followed by a NUL, folders first
    std::vector<uint32_t> m_Starts;            // where each name starts in m_strNames
    std::vector<const CPackFolder*> m_Folders; // items below this count are folders, the rest entries
};
