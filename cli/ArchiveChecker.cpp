#include "cli/ArchiveChecker.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "cli/PathWalk.h"

namespace {

std::string Count(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::vector<std::string> CArchiveChecker::ReadProblems(const CReadReport& report) {
    std::vector<std::string> lines;
    if (report.m_nUnknownRecords)
        lines.push_back("Unknown file type encountered: " +
                        Count(report.m_nUnknownRecords, "record of unknown type", "records of unknown type") +
                        " skipped");
    if (report.m_nListsCut)
        lines.push_back(Count(report.m_nListsCut, "list", "lists") + " cut short by the end of the file");
    if (report.m_bNestingLimit)
        lines.push_back("Folders nested deeper than " + std::to_string(CPackFile::kMaxDepth) +
                        " levels (or a cycle of folder offsets): reading stopped there");
    if (report.m_nRepeated)
        lines.push_back(Count(report.m_nRepeated, "list", "lists") +
                        " ran into records already read (overlapping lists or a cycle): not read again");
    if (report.m_bReadError)
        lines.push_back("The archive could not be read to its end");
    return lines;
}

void CArchiveChecker::FindDuplicates(const CPackFolder& folder,
                                     std::unordered_set<const void*>& later) const {
    // Raw names: equal raw names are equal once decoded, and a folder's list is sorted once, not hashed
    // name by name. Items are numbered in list order (files, then sub-folders) so the later one is marked.
    std::vector<std::pair<std::string_view, const void*>> names;
    names.reserve(folder.GetFiles().size() + folder.GetChildren().size());
    for (uint32_t index : folder.GetFiles())
        names.emplace_back(m_Pack.Entry(index).GetName(), &m_Pack.Entry(index));
    for (const CPackFolder* child : folder.GetChildren())
        names.emplace_back(child->GetName(), child);
    std::vector<uint32_t> order(names.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return names[a].first < names[b].first; });
    for (size_t i = 1; i < order.size(); ++i) {
        if (names[order[i]].first == names[order[i - 1]].first)
            later.insert(names[order[i]].second);
    }
    for (const CPackFolder* child : folder.GetChildren())
        FindDuplicates(*child, later);
}

void CArchiveChecker::Check() {
    m_nFolders = m_Pack.GetFolderCount();
    m_nFiles = m_Pack.GetEntries().size();
    m_nBytes = 0;
    for (const CPackEntry& entry : m_Pack.GetEntries())
        m_nBytes += entry.GetSize();
    m_Problems = ReadProblems(m_Pack.GetReport());

    std::unordered_set<const void*> duplicated;
    FindDuplicates(m_Pack.GetTop(), duplicated);
    const bool asciiIdentity = m_Escaper.IsAsciiIdentity();
    std::vector<std::string> pastEnd;
    std::vector<std::string> unsafe;
    std::vector<std::string> duplicates;
    const CPathWalk walk(m_Pack, m_Escaper);
    walk.Walk([&](std::string_view path, const CPackFolder&, const CPackFolder* folder,
                  const CPackEntry* entry) {
        const std::string_view raw = folder ? std::string_view(folder->GetName()) : entry->GetName();
        if (entry && uint64_t(entry->GetOffset()) + entry->GetSize() > m_Pack.GetFileSize())
            pastEnd.push_back("Data beyond the end of the archive: " + std::string(path));
        // The name made on disk is the decoded one; for plain ASCII it is the raw name itself.
        bool bad = IsUnsafeName(raw);
        if (!bad && (!asciiIdentity || std::any_of(raw.begin(), raw.end(), [](char c) { return c & 0x80; })))
            bad = IsUnsafeName(m_Codec.Decode(raw));
        if (bad)
            unsafe.push_back("Unsafe name: " + std::string(path) + (raw.empty() ? " (empty name)" : ""));
        if (!duplicated.empty() && duplicated.count(folder ? static_cast<const void*>(folder) : entry))
            duplicates.push_back("Duplicate name in one folder: " + std::string(path));
    });
    for (auto* list : {&pastEnd, &unsafe, &duplicates})
        m_Problems.insert(m_Problems.end(), list->begin(), list->end());
}
