#include "cli/ArchiveChecker.h"

#include <string_view>
#include <unordered_map>
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

void CArchiveChecker::Check() {
    m_nFolders = m_Pack.GetFolderCount();
    m_nFiles = m_Pack.m_Entries.size();
    m_nBytes = 0;
    for (const CPackEntry& entry : m_Pack.m_Entries)
        m_nBytes += entry.GetSize();
    m_Problems = ReadProblems(m_Pack.m_Report);

    std::vector<std::string> pastEnd;
    std::vector<std::string> unsafe;
    std::vector<std::string> duplicates;
    // The names already met in each folder's list, as they would be made on disk (decoded).
    std::unordered_map<const CPackFolder*, std::unordered_set<std::string>> seen;
    const CPathWalk walk(m_Pack, m_Escaper);
    walk.Walk([&](std::string_view path, const CPackFolder& parent, const CPackFolder* folder,
                  const CPackEntry* entry) {
        const std::string_view raw = folder ? std::string_view(folder->GetName()) : entry->GetName();
        if (entry && uint64_t(entry->GetOffset()) + entry->GetSize() > m_Pack.m_nFileSize)
            pastEnd.push_back("Data beyond the end of the archive: " + std::string(path));
        std::string decoded = m_Codec.Decode(raw);
        if (IsUnsafeName(raw) || IsUnsafeName(decoded))
            unsafe.push_back("Unsafe name: " + std::string(path) + (raw.empty() ? " (empty name)" : ""));
        if (!seen[&parent].insert(std::move(decoded)).second)
            duplicates.push_back("Duplicate name in one folder: " + std::string(path));
    });
    for (auto* list : {&pastEnd, &unsafe, &duplicates})
        m_Problems.insert(m_Problems.end(), list->begin(), list->end());
}
