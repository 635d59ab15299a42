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

class CMessageSink;
class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;

// How an extraction ended, for a caller that turns it into an exit status or a final note.
struct CExtractResult {
    uint64_t m_nFilesWritten = 0;
    uint64_t m_nBytesWritten = 0;
    uint64_t m_nFoldersMade = 0;
    unsigned m_nMessages = 0; // messages shown: anything but zero means something was not extracted
    bool m_bCancelled = false;
};

// The folder extraction walk: recreates folders of the open archive below a destination directory.
// Folders are taken by identity, so folders that share a name never mix, and everything is made through
// directory descriptors (mkdirat, openat with O_NOFOLLOW): the process's working directory is never
// touched and no symbolic link found below the destination is followed.
// Within a folder the files come first, in archive order, then each sub-folder completely, in archive order.
class CFolderWalk {
public:
    static constexpr const char* kTreeMakeDir = kCouldNotMakeDirectory;
    static constexpr const char* kListMakeDir = kCouldNotCreateDirectory;
    static constexpr const char* kChangeDir = kCouldNotChangeToDirectory;

    CFolderWalk(const CPackFile& pack, CMessageSink& sink, const CNameCodec& codec,
                const char* makeDirMessage = kTreeMakeDir);

    // What happens to a folder or file already standing where the walk puts one of the archive's:
    // - Default: an existing folder is not entered ("Could not make directory "), a file is replaced;
    // - KeepOld: folders are merged into, existing files (and links) are kept without a message;
    // - Overwrite: folders are merged into, files are replaced.
    // A link standing where a folder goes is never entered, whatever the policy.
    enum class EExisting { Default, KeepOld, Overwrite };
    // `onKept` hears the name of each file kept (KeepOld), decoded.
    void SetExisting(EExisting policy, std::function<void(const std::string&)> onKept = {}) {
        m_eExisting = policy;
        m_fnKept = std::move(onKept);
    }
    // Folders and files for which `skip` answers true are left out silently, with everything below them.
    void SetFilter(std::function<bool(const CPackFolder*, const CPackEntry*)> skip) {
        m_fnSkip = std::move(skip);
    }

    void SetCancelFlag(const std::atomic<bool>* cancel) { m_Writer.SetCancelFlag(cancel); }
    void SetProgressCallback(std::function<void(const CProgress&)> fn) {
        m_Writer.SetProgressCallback(std::move(fn));
    }

    // Counts the selection's files and bytes for the progress totals, then extracts it into the
    // directory open at `dirfd`.
    CExtractResult Extract(int dirfd, const CSelection& selection);

    // The steps, for callers that drive the walk themselves (totals are then theirs to add).
    void ExtractFolder(int dirfd, const CPackFolder& folder);      // makes the folder, then fills it
    void ExtractContents(int dirfd, const CPackFolder& folder);    // its files, then its sub-folders
    void ExtractFolderFiles(int dirfd, const CPackFolder& folder); // its files only
    bool WriteEntry(int dirfd, const CPackEntry& entry);
    void AddToTotals(const CPackFolder& folder);
    void AddToTotals(const CPackEntry& entry);

    // Makes (or enters) the folders from the top of the archive down to and including `folder`, below
    // `dirfd`, the way the walk makes folders, but entering those that exist already; returns the innermost
    // one open, or nothing after reporting why. A null `folder` gives a duplicate of `dirfd`.
    CFileDescriptor EnterPath(int dirfd, const CPackFolder* folder);

    CExtractResult Result() const;
    CEntryWriter& Writer() { return m_Writer; }

    // Opens an existing directory for extraction (the user's own path: links in it are followed);
    // nothing when it is missing or no directory.
    static CFileDescriptor OpenDestination(const std::string& path);

private:
    // The folders and files of `selection` below their folders' paths (CSelection::m_bUnderPaths).
    void ExtractUnderPaths(int dirfd, const CSelection& selection);
    // With a folder just made, notes it; with one that stood there, false when this walk made it.
    bool Remember(int fd, bool made);

    const CPackFile& m_Pack;
    CEntryWriter m_Writer;
    const char* m_pszMakeDir;
    EExisting m_eExisting = EExisting::Default;
    std::function<void(const std::string&)> m_fnKept;
    std::function<bool(const CPackFolder*, const CPackEntry*)> m_fnSkip;
    // Folders and files this walk made, when merging: what stood there before may be merged into or
    // kept, never what the walk itself made for another item of the same name.
    std::set<std::pair<uint64_t, uint64_t>> m_Made;
    uint64_t m_nFoldersMade = 0;
    uint64_t m_nFilesWritten = 0;
    uint64_t m_nBytesWritten = 0;
};
