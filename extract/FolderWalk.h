#pragma once

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/Selection.h"
#include "extract/EntryWriter.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace vorpex {

class MessageSink;
class NameCodec;
class PackEntry;
class PackFile;
class PackFolder;

// How an extraction ended, for a caller that turns it into an exit status or a final note.
struct ExtractResult {
    uint64_t m_filesWritten = 0;
    uint64_t m_bytesWritten = 0;
    uint64_t m_foldersMade = 0;
    unsigned m_messageCount = 0; // messages shown: anything but zero means something was not extracted
    bool m_cancelled = false;
};

// The folder extraction walk: recreates folders of the open archive below a destination directory.
// Folders are taken by identity, so folders that share a name never mix, and everything is made through
// directory descriptors (mkdirat, openat with O_NOFOLLOW): the process's working directory is never
// touched and no symbolic link found below the destination is followed.
// Within a folder the files come first, in archive order, then each sub-folder completely, in archive order.
class FolderWalk {
public:
    static constexpr const char* kTreeMakeDir = kCouldNotMakeDirectory;
    static constexpr const char* kListMakeDir = kCouldNotCreateDirectory;
    static constexpr const char* kChangeDir = kCouldNotChangeToDirectory;

    FolderWalk(const PackFile& pack, MessageSink& sink, const NameCodec& codec,
               const char* makeDirMessage = kTreeMakeDir);

    // What happens to a folder or file already standing where the walk puts one of the archive's:
    // - Default: an existing folder is not entered ("Could not make directory "), a file is replaced;
    // - KeepOld: folders are merged into, existing files (and links) are kept without a message;
    // - Overwrite: folders are merged into, files are replaced.
    // A link standing where a folder goes is never entered, whatever the policy.
    enum class Existing { Default, KeepOld, Overwrite };
    // `onKept` hears the name of each file kept (KeepOld), decoded.
    void setExisting(Existing policy, std::function<void(const std::string&)> onKept = {}) {
        m_existing = policy;
        m_kept = std::move(onKept);
    }
    // Folders and files for which `skip` answers true are left out silently, with everything below them.
    void setFilter(std::function<bool(const PackFolder*, const PackEntry*)> skip) {
        m_skip = std::move(skip);
    }

    void setCancelFlag(const std::atomic<bool>* cancel) { m_writer.setCancelFlag(cancel); }
    void setProgressCallback(std::function<void(const Progress&)> fn) {
        m_writer.setProgressCallback(std::move(fn));
    }

    // Counts the selection's files and bytes for the progress totals, then extracts it into the
    // directory open at `dirfd`.
    ExtractResult extract(int dirfd, const Selection& selection);

    // The steps, for callers that drive the walk themselves (totals are then theirs to add).
    void extractFolder(int dirfd, const PackFolder& folder);      // makes the folder, then fills it
    void extractContents(int dirfd, const PackFolder& folder);    // its files, then its sub-folders
    void extractFolderFiles(int dirfd, const PackFolder& folder); // its files only
    bool writeEntry(int dirfd, const PackEntry& entry);
    void addToTotals(const PackFolder& folder);
    void addToTotals(const PackEntry& entry);

    // Makes (or enters) the folders from the top of the archive down to and including `folder`, below
    // `dirfd`, the way the walk makes folders, but entering those that exist already; returns the innermost
    // one open, or nothing after reporting why. A null `folder` gives a duplicate of `dirfd`.
    FileDescriptor enterPath(int dirfd, const PackFolder* folder);

    ExtractResult result() const;
    EntryWriter& writer() { return m_writer; }

    // Opens an existing directory for extraction (the user's own path: links in it are followed);
    // nothing when it is missing or no directory.
    static FileDescriptor openDestination(const std::string& path);

private:
    // The folders and files of `selection` below their folders' paths (Selection::m_underPaths).
    void extractUnderPaths(int dirfd, const Selection& selection);
    // With a folder just made, notes it; with one that stood there, false when this walk made it.
    bool remember(int fd, bool made);

    const PackFile& m_pack;
    EntryWriter m_writer;
    const char* m_makeDir;
    Existing m_existing = Existing::Default;
    std::function<void(const std::string&)> m_kept;
    std::function<bool(const PackFolder*, const PackEntry*)> m_skip;
    // Folders and files this walk made, when merging: what stood there before may be merged into or
    // kept, never what the walk itself made for another item of the same name.
    std::set<std::pair<uint64_t, uint64_t>> m_made;
    uint64_t m_foldersMade = 0;
    uint64_t m_filesWritten = 0;
    uint64_t m_bytesWritten = 0;
};

} // namespace vorpex
