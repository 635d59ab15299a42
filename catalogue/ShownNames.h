#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

class NameCodec;
class NameEscaper;
class PackFile;
class PackFolder;

// The names under which one folder's items appear where every name must be usable on disk and unique in its
// folder, as in a mounted archive. An item is shown under the name `list` prints for it (decoded, with '/',
// '\' and control characters as \xHH), except that
//   - an empty name is shown as \x00 (the name field holds nothing but its NUL), "." as \x2E and ".." as
//     \x2E\x2E;
//   - an item whose shown name an earlier item of the folder already bears gets \#2, \#3, ... in front of
//     its extension (README.TXT, README\#2.TXT), earlier meaning files before sub-folders, each in archive
//     order, as `check` counts them.
// A printed name holds a backslash only as the start of \xHH, so neither spelling can meet a real name.
// Items are numbered as the folder lists them: its files (m_files order), then its sub-folders.
class ShownNames {
public:
    enum Fix : uint8_t {
        kUnsafe = 1,    // a name `check` reports as unsafe: empty, ".", "..", or holding '/' or '\'
        kDuplicate = 2, // a name an earlier item of the folder bears, once shown
    };

    ShownNames(const PackFile& pack, const PackFolder& folder, const NameCodec& codec,
               const NameEscaper& escaper);

    uint32_t count() const { return static_cast<uint32_t>(m_sorted.size()); }
    std::string name(uint32_t item) const;
    unsigned fix(uint32_t item) const; // Fix bits
    // The item shown as `name`, or -1. Costs time in the logarithm of the folder's size.
    int64_t find(std::string_view name) const;

    // True for a raw name that is unsafe on disk as it stands or once decoded.
    static bool isUnsafe(std::string_view raw, const NameCodec& codec, const NameEscaper& escaper);

private:
    std::string_view raw(uint32_t item) const;

    struct Fixed {
        uint32_t m_item;
        unsigned m_fix;
        std::string m_name;
    };
    const Fixed* fixed(uint32_t item) const;

    const PackFile& m_pack;
    const PackFolder& m_folder;
    const NameEscaper& m_escaper;
    // Item numbers ordered by shown name: four bytes an item, so that a mount of a million entries keeps
    // every folder it has listed.
    std::vector<uint32_t> m_sorted;
    std::vector<Fixed> m_fixed; // items respelled, numbered or unsafe, by item number; usually none
};

} // namespace vorpex
