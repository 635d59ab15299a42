#include "catalogue/ArchiveChecker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "catalogue/PathWalk.h"
#include "platform/MessageTexts.h"

namespace {

std::string Counted(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::vector<std::string> CArchiveChecker::ReadProblems(const CReadReport& report) {
    std::vector<std::string> lines;
    if (report.m_nUnknownRecords)
        lines.push_back(
            kUnknownRecordsSkipped +
            Counted(report.m_nUnknownRecords, "record of unknown type", "records of unknown type") +
            " skipped");
    if (report.m_nListsCut)
        lines.push_back(Counted(report.m_nListsCut, "list", "lists") +
                        (report.m_bEndsInsideRecord ? kListsCutInsideRecord : kListsCutShort));
    if (report.m_bNestingLimit)
        lines.push_back(kNestedTooDeep + std::to_string(CPackFile::kMaxDepth) +
                        " levels (or a cycle of folder offsets): reading stopped there");
    if (report.m_nRepeated)
        lines.push_back(Counted(report.m_nRepeated, "list", "lists") +
                        " ran into records already read (overlapping lists or a cycle): not read again");
    if (report.m_bReadError)
        lines.push_back(kArchiveNotReadToEnd);
    return lines;
}

bool CArchiveChecker::DecodesAsItself(std::string_view raw) const {
    // For plain ASCII the decoded name is the raw name itself. Names are short: eight bytes at a time.
    if (!m_Escaper.IsAsciiIdentity())
        return false;
    uint64_t bits = 0;
    size_t i = 0;
    for (uint64_t word; i + sizeof word <= raw.size(); i += sizeof word) {
        std::memcpy(&word, raw.data() + i, sizeof word);
        bits |= word;
    }
    for (; i < raw.size(); ++i)
        bits |= static_cast<uint8_t>(raw[i]);
    return (bits & 0x8080808080808080) == 0;
}

std::string CArchiveChecker::Decoded(std::string_view raw) const {
    return DecodesAsItself(raw) ? std::string(raw) : m_Codec.Decode(raw);
}

bool CArchiveChecker::IsUnsafe(std::string_view raw) const {
    return IsUnsafeName(raw) || (!DecodesAsItself(raw) && IsUnsafeName(m_Codec.Decode(raw)));
}

template <class Visitor>
void CArchiveChecker::ForEachFolder(const CPackFolder& folder, Visitor& visit) const {
    // Folders nest at most CPackFile::kMaxDepth levels, so the recursion stays shallow.
    visit(folder);
    for (const CPackFolder* child : folder.GetChildren())
        ForEachFolder(*child, visit);
}

void CArchiveChecker::FindClashes(const CPackFolder& folder, CFolderClashes& clashes) {
    // Items are numbered in list order, files first, then sub-folders; of two that clash the later one is
    // marked. A name is decoded once and kept as a hash: only items whose hashes meet are decoded again.
    const auto files = folder.GetFiles();
    const auto children = folder.GetChildren();
    const size_t count = files.size() + children.size();
    auto raw = [&](size_t i) {
        return i < files.size() ? m_Pack.Entry(files[i]).GetName() : children[i - files.size()]->GetName();
    };
    auto mark = [&](size_t i, EClash clash) {
        if (i < files.size())
            m_EntryClashes[files[i]] = clash;
        else
            clashes.m_Children[i - files.size()] = clash;
    };
    clashes.m_pFolder = &folder;
    clashes.m_Children.assign(children.size(), kClashNone);

    // std::hash gives a string and its view the same value: a name that decodes as itself is not copied.
    std::vector<std::pair<uint64_t, uint32_t>> keys(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view name = raw(i);
        keys[i] = {DecodesAsItself(name) ? std::hash<std::string_view>()(name)
                                         : std::hash<std::string>()(m_Codec.Decode(name)),
                   static_cast<uint32_t>(i)};
    }
    std::sort(keys.begin(), keys.end());
    std::vector<uint32_t> run;
    std::vector<uint32_t> group;
    for (size_t begin = 0; begin < count;) {
        size_t end = begin + 1;
        while (end < count && keys[end].first == keys[begin].first)
            ++end;
        run.clear();
        for (size_t k = begin; k < end; ++k)
            run.push_back(keys[k].second); // in list order
        begin = end;
        // Split the run into names equal once decoded (unequal ones share a hash only by chance).
        while (run.size() > 1) {
            const std::string first = Decoded(raw(run[0]));
            group.clear();
            size_t kept = 0;
            for (uint32_t item : run) {
                if (group.empty() || Decoded(raw(item)) == first)
                    group.push_back(item);
                else
                    run[kept++] = item;
            }
            run.resize(kept);
            // All but the first in list order clash: with an earlier item of the same raw name (a plain
            // duplicate), or only once decoded. Items stay in list order within equal raw names.
            const uint32_t leader = group[0];
            std::stable_sort(group.begin(), group.end(),
                             [&](uint32_t a, uint32_t b) { return raw(a) < raw(b); });
            for (size_t g = 0; g < group.size(); ++g) {
                if (g > 0 && raw(group[g]) == raw(group[g - 1]))
                    mark(group[g], kClashSame);
                else if (group[g] != leader)
                    mark(group[g], kClashDecoded);
            }
        }
    }
}

void CArchiveChecker::Count() {
    m_nFolders = m_Pack.GetFolderCount();
    m_nFiles = m_Pack.GetEntryCount();
    m_nBytes = 0;
    for (const CPackEntry& entry : m_Pack.GetEntries())
        m_nBytes += entry.GetSize();
}

void CArchiveChecker::Check(const std::function<void(const std::string&)>& report) {
    m_nProblems = 0;
    auto problem = [&](const std::string& line) {
        ++m_nProblems;
        report(line);
    };
    for (const std::string& line : ReadProblems(m_Pack.GetReport()))
        problem(line);

    // A clean archive is the common case: each kind of problem is first looked for without the paths, and
    // the walk that builds them runs only for a kind that is there.
    const CPathWalk walk(m_Pack, m_Escaper);
    auto pastEnd = [&](const CPackEntry& entry) {
        return uint64_t(entry.GetOffset()) + entry.GetSize() > m_Pack.GetFileSize();
    };
    if (std::any_of(m_Pack.GetEntries().begin(), m_Pack.GetEntries().end(), pastEnd))
        walk.Walk(
            [&](std::string_view path, const CPackFolder&, const CPackFolder*, const CPackEntry* entry) {
                if (entry && pastEnd(*entry))
                    problem(std::string(kDataBeyondEnd) + ": " + std::string(path));
            });

    bool unsafe = std::any_of(m_Pack.GetEntries().begin(), m_Pack.GetEntries().end(),
                              [&](const CPackEntry& entry) { return IsUnsafe(entry.GetName()); });
    auto unsafeFolder = [&](const CPackFolder& folder) {
        unsafe = unsafe || (&folder != &m_Pack.GetTop() && IsUnsafe(folder.GetName()));
    };
    ForEachFolder(m_Pack.GetTop(), unsafeFolder);
    if (unsafe)
        walk.Walk([&](std::string_view path, const CPackFolder&, const CPackFolder* folder,
                      const CPackEntry* entry) {
            const std::string_view raw = folder ? folder->GetName() : entry->GetName();
            if (IsUnsafe(raw))
                problem(std::string(kUnsafeName) + ": " + std::string(path) +
                        (raw.empty() ? kEmptyName : ""));
        });

    // One folder's clashes per level: the walk finishes a folder's list before it goes on in its parent's.
    m_EntryClashes.assign(m_Pack.GetEntryCount(), kClashNone);
    bool clashes = false;
    CFolderClashes scratch;
    auto clashIn = [&](const CPackFolder& folder) {
        if (clashes)
            return;
        FindClashes(folder, scratch);
        clashes =
            std::any_of(scratch.m_Children.begin(), scratch.m_Children.end(), [](uint8_t c) { return c; }) ||
            std::any_of(folder.GetFiles().begin(), folder.GetFiles().end(),
                        [&](uint32_t index) { return m_EntryClashes[index]; });
    };
    ForEachFolder(m_Pack.GetTop(), clashIn);
    std::array<CFolderClashes, CPackFile::kMaxDepth + 1> levels;
    if (clashes)
        walk.Walk([&](std::string_view path, const CPackFolder& parent, const CPackFolder* folder,
                      const CPackEntry* entry) {
            CFolderClashes& level = levels[&parent == &m_Pack.GetTop() ? 0 : parent.GetDepth()];
            if (level.m_pFolder != &parent)
                FindClashes(parent, level);
            const uint8_t clash =
                folder ? level.m_Children[folder->GetRow()]
                       : m_EntryClashes[static_cast<size_t>(entry - m_Pack.GetEntries().data())];
            if (clash == kClashSame)
                problem(std::string(kDuplicateName) + ": " + std::string(path));
            else if (clash == kClashDecoded)
                problem(kDecodedAlike + std::string(path));
        });
    m_EntryClashes = {};
}

void CArchiveChecker::Report(const std::function<void(const std::string&)>& out) {
    Count();
    out("Folders: " + std::to_string(m_nFolders) + "\nFiles: " + std::to_string(m_nFiles) +
        "\nBytes: " + std::to_string(m_nBytes) + "\n");
    Check([&out](const std::string& line) { out(line + "\n"); });
    out(m_nProblems == 0
            ? std::string(kNoProblemsFound) + "\n"
            : std::to_string(m_nProblems) + (m_nProblems == 1 ? " problem" : " problems") + " found.\n");
}
