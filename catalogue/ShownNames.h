#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CNameCodec;
class CNameEscaper;
class CPackFile;
class CPackFolder;

// The names under which one folder's items appear where every name must be usable on disk and unique in its
// folder, as in a mounted archive. An item is shown under the name `list` prints for it (decoded, with '/',
// '\' and control characters as \xHH), except that
//   - an empty name is shown as \x00 (the name field holds nothing but its NUL), "." as \x2E and ".." as
//     \x2E\x2E;
//   - an item whose shown name an earlier item of the folder already bears gets \#2, \#3, ... in front of
//     its extension (README.TXT, README\#2.TXT), earlier meaning files before sub-folders, each in archive
//     order, as `check` counts them.
// A printed name holds a backslash only as the start of \xHH, so neither spelling can meet a real name.
// Items are numbered as the folder lists them: its files (m_Files order), then its sub-folders.
class CShownNames {
public:
    enum EFix : uint8_t {
        kUnsafe = 1,    // a name `check` reports as unsafe: empty, ".", "..", or holding '/' or '\'
        kDuplicate = 2, // a name an earlier item of the folder bears, once shown
    };

    CShownNames(const CPackFile& pack, const CPackFolder& folder, const CNameCodec& codec,
                const CNameEscaper& escaper);

    uint32_t Count() const { return static_cast<uint32_t>(m_Sorted.size()); }
    std::string Name(uint32_t item) const;
    unsigned Fix(uint32_t item) const; // EFix bits
    // The item shown as `name`, or -1. Costs time in the logarithm of the folder's size.
    int64_t Find(std::string_view name) const;

    // True for a raw name that is unsafe on disk as it stands or once decoded.
    static bool IsUnsafe(std::string_view raw, const CNameCodec& codec, const CNameEscaper& escaper);

private:
    std::string_view Raw(uint32_t item) const;

    struct CFixed {
        uint32_t m_nItem;
        unsigned m_nFix;
        std::string m_strName;
    };
    const CFixed* Fixed(uint32_t item) const;

    const CPackFile& m_Pack;
    const CPackFolder& m_Folder;
    const CNameEscaper& m_Escaper;
    // Item numbers ordered by shown name: four bytes an item, so that a mount of a million entries keeps
    // every folder it has listed.
    std::vector<uint32_t> m_Sorted;
    std::vector<CFixed> m_Fixed; // items respelled, numbered or unsafe, by item number; usually none
};
