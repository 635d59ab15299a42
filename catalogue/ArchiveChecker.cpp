#include "catalogue/ArchiveChecker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "catalogue/PathWalk.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

std::string counted(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::vector<std::string> ArchiveChecker::readProblems(const ReadReport& report) {
    std::vector<std::string> lines;
    if (report.m_unknownRecords)
        lines.push_back(
            kUnknownRecordsSkipped +
            counted(report.m_unknownRecords, "record of unknown type", "records of unknown type") +
            " skipped");
    if (report.m_listsCut)
        lines.push_back(counted(report.m_listsCut, "list", "lists") +
                        (report.m_endsInsideRecord ? kListsCutInsideRecord : kListsCutShort));
    if (report.m_nestingLimit)
        lines.push_back(kNestedTooDeep + std::to_string(PackFile::kMaxDepth) +
                        " levels (or a cycle of folder offsets): reading stopped there");
    if (report.m_repeated)
        lines.push_back(counted(report.m_repeated, "list", "lists") +
                        " ran into records already read (overlapping lists or a cycle): not read again");
    if (report.m_readError)
        lines.push_back(kArchiveNotReadToEnd);
    return lines;
}

bool ArchiveChecker::decodesAsItself(std::string_view raw) const {
    // For plain ASCII the decoded name is the raw name itself. Names are short: eight bytes at a time.
    if (!m_escaper.isAsciiIdentity())
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

std::string ArchiveChecker::decoded(std::string_view raw) const {
    return decodesAsItself(raw) ? std::string(raw) : m_codec.decode(raw);
}

bool ArchiveChecker::isUnsafe(std::string_view raw) const {
    return isUnsafeName(raw) || (!decodesAsItself(raw) && isUnsafeName(m_codec.decode(raw)));
}

template <class Visitor> void ArchiveChecker::forEachFolder(const PackFolder& folder, Visitor& visit) const {
    // Folders nest at most PackFile::kMaxDepth levels, so the recursion stays shallow.
    visit(folder);
    for (const PackFolder* child : folder.children())
        forEachFolder(*child, visit);
}

void ArchiveChecker::findClashes(const PackFolder& folder, FolderClashes& clashes) {
    // Items are numbered in list order, files first, then sub-folders; of two that clash the later one is
    // marked. A name is decoded once and kept as a hash: only items whose hashes meet are decoded again.
    const auto files = folder.files();
    const auto children = folder.children();
    const size_t count = files.size() + children.size();
    auto raw = [&](size_t i) {
        return i < files.size() ? m_pack.entry(files[i]).name() : children[i - files.size()]->name();
    };
    auto mark = [&](size_t i, Clash clash) {
        if (i < files.size())
            m_entryClashes[files[i]] = clash;
        else
            clashes.m_children[i - files.size()] = clash;
    };
    clashes.m_folder = &folder;
    clashes.m_children.assign(children.size(), kClashNone);

    // std::hash gives a string and its view the same value: a name that decodes as itself is not copied.
    std::vector<std::pair<uint64_t, uint32_t>> keys(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view name = raw(i);
        keys[i] = {decodesAsItself(name) ? std::hash<std::string_view>()(name)
                                         : std::hash<std::string>()(m_codec.decode(name)),
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
            const std::string first = decoded(raw(run[0]));
            group.clear();
            size_t kept = 0;
            for (uint32_t item : run) {
                if (group.empty() || decoded(raw(item)) == first)
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

void ArchiveChecker::count() {
    m_folderCount = m_pack.folderCount();
    m_fileCount = m_pack.entryCount();
    m_byteCount = 0;
    for (const PackEntry& entry : m_pack.entries())
        m_byteCount += entry.size();
    m_unusedBytes = 0;
    if (!m_pack.report().isClean())
        return;
    // Every record of a sound archive: each file's, each folder's and its list's end, the top list's end.
    // The data covered is the union of the entries' ranges, merged in one pass when the entries lie in
    // order (as laid-out archives keep them), else after sorting them.
    const uint64_t size = m_pack.fileSize();
    const uint64_t records = 44 * (m_fileCount + 2 * m_folderCount + 1);
    const auto covered = [size](auto&& ranges) {
        uint64_t bytes = 0, end = 0, from = 0;
        for (const PackEntry& entry : ranges) {
            if (entry.size() == 0 || entry.offset() >= size)
                continue;
            if (entry.offset() < from)
                return UINT64_MAX; // out of order
            from = entry.offset();
            const uint64_t to = std::min<uint64_t>(size, from + entry.size());
            if (to > end)
                bytes += to - std::max(from, end);
            end = std::max(end, to);
        }
        return bytes;
    };
    uint64_t data = covered(m_pack.entries());
    if (data == UINT64_MAX) {
        std::vector<PackEntry> sorted(m_pack.entries().begin(), m_pack.entries().end());
        std::sort(sorted.begin(), sorted.end(),
                  [](const PackEntry& a, const PackEntry& b) { return a.offset() < b.offset(); });
        data = covered(sorted);
    }
    const uint64_t used = records + data;
    m_unusedBytes = used < size ? size - used : 0;
}

void ArchiveChecker::check(const std::function<void(const std::string&)>& report) {
    m_problemCount = 0;
    auto problem = [&](const std::string& line) {
        ++m_problemCount;
        report(line);
    };
    for (const std::string& line : readProblems(m_pack.report()))
        problem(line);

    // A clean archive is the common case: each kind of problem is first looked for without the paths, and
    // the walk that builds them runs only for a kind that is there.
    const PathWalk walk(m_pack, m_escaper);
    auto pastEnd = [&](const PackEntry& entry) {
        return uint64_t(entry.offset()) + entry.size() > m_pack.fileSize();
    };
    if (std::any_of(m_pack.entries().begin(), m_pack.entries().end(), pastEnd))
        walk.walk([&](std::string_view path, const PackFolder&, const PackFolder*, const PackEntry* entry) {
            if (entry && pastEnd(*entry))
                problem(std::string(kDataBeyondEnd) + ": " + std::string(path));
        });

    bool unsafe = std::any_of(m_pack.entries().begin(), m_pack.entries().end(),
                              [&](const PackEntry& entry) { return isUnsafe(entry.name()); });
    auto unsafeFolder = [&](const PackFolder& folder) {
        unsafe = unsafe || (&folder != &m_pack.top() && isUnsafe(folder.name()));
    };
    forEachFolder(m_pack.top(), unsafeFolder);
    if (unsafe)
        walk.walk(
            [&](std::string_view path, const PackFolder&, const PackFolder* folder, const PackEntry* entry) {
                const std::string_view raw = folder ? folder->name() : entry->name();
                if (isUnsafe(raw))
                    problem(std::string(kUnsafeName) + ": " + std::string(path) +
                            (raw.empty() ? kEmptyName : ""));
            });

    // One folder's clashes per level: the walk finishes a folder's list before it goes on in its parent's.
    m_entryClashes.assign(m_pack.entryCount(), kClashNone);
    bool clashes = false;
    FolderClashes scratch;
    auto clashIn = [&](const PackFolder& folder) {
        if (clashes)
            return;
        findClashes(folder, scratch);
        clashes =
            std::any_of(scratch.m_children.begin(), scratch.m_children.end(), [](uint8_t c) { return c; }) ||
            std::any_of(folder.files().begin(), folder.files().end(),
                        [&](uint32_t index) { return m_entryClashes[index]; });
    };
    forEachFolder(m_pack.top(), clashIn);
    std::array<FolderClashes, PackFile::kMaxDepth + 1> levels;
    if (clashes)
        walk.walk([&](std::string_view path, const PackFolder& parent, const PackFolder* folder,
                      const PackEntry* entry) {
            FolderClashes& level = levels[&parent == &m_pack.top() ? 0 : parent.depth()];
            if (level.m_folder != &parent)
                findClashes(parent, level);
            const uint8_t clash = folder
                                      ? level.m_children[folder->row()]
                                      : m_entryClashes[static_cast<size_t>(entry - m_pack.entries().data())];
            if (clash == kClashSame)
                problem(std::string(kDuplicateName) + ": " + std::string(path));
            else if (clash == kClashDecoded)
                problem(kDecodedAlike + std::string(path));
        });
    m_entryClashes = {};
}

void ArchiveChecker::report(const std::function<void(const std::string&)>& out) {
    count();
    out("Folders: " + std::to_string(m_folderCount) + "\nFiles: " + std::to_string(m_fileCount) +
        "\nBytes: " + std::to_string(m_byteCount) + "\n");
    check([&out](const std::string& line) { out(line + "\n"); });
    out(m_problemCount == 0 ? std::string(kNoProblemsFound) + "\n"
                            : std::to_string(m_problemCount) +
                                  (m_problemCount == 1 ? " problem" : " problems") + " found.\n");
    if (m_unusedBytes) {
        std::string note = kUnusedBytesNote;
        note.replace(note.find("%1"), 2, std::to_string(m_unusedBytes));
        out(note + "\n");
    }
}

} // namespace vorpex
