#pragma once

#include <functional>
#include <string>
#include <sys/stat.h>

#include "platform/FileDescriptor.h"

namespace vorpex {

// A file written beside its target and put in place only when complete and synced, so that a failure, a
// cancel, a kill or a crash leaves the target as it was and nothing else behind. The file has no name while
// it is written (O_TMPFILE) and is linked in by commit(): under the target's name when nothing stood there,
// else under a temporary name renamed over the target. Where the file system has no unnamed files, a
// temporary named ".TARGET.XXXXXX" beside the target is written instead and removed again on failure.
// Only a regular file the user may write to is replaced; the new file gets its permission bits.
class ReplacingFile {
public:
    enum class Status {
        Ok,
        Refused,     // what stands at the target may not be replaced (or the target is empty)
        Failed,      // error() says why
        Changed,     // the target is no longer the file given to setExpected()
        WriteFailed, // commit(): setting the mode or the owner, or syncing, failed (error())
    };

    explicit ReplacingFile(std::string target);
    ~ReplacingFile(); // discards what was not committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // A symbolic link at the target is followed, and the file it leads to replaced (the link stays); off,
    // a link is refused.
    void setFollowLink(bool follow) { m_followLink = follow; }
    // The new file gets the old one's owner and group too; failing to give them fails the commit.
    void setKeepOwner(bool keep) { m_keepOwner = keep; }
    // Named temporaries instead of unnamed files, as where the file system has none (for tests).
    void setUnnamedFiles(bool unnamed) { m_unnamed = unnamed; }
    // The file the target must still be at commit (device, inode, size and modification time as read
    // before): a file changed meanwhile is not replaced (Changed).
    void setExpected(const struct stat& st);

    // Whether the target may be replaced: nothing there, or a regular file the user may write to.
    Status check();
    // Checks, then creates the file beside the target.
    Status open();
    int fd() const { return m_file.get(); }
    // True for the file being written and for the one it replaces, which a tree packed into the folder that
    // holds the target must leave out.
    bool isOwn(const struct stat& st) const;
    // Sets the mode, syncs, puts the file in place and syncs its folder. Failed: it could not be put there.
    Status commit();
    // Drops the file unless committed; the target stays as it was.
    void discard();
    int error() const { return m_error; }
    // The file replaced, when there was one (after check()).
    const struct stat* old() const { return m_hasOld ? &m_old : nullptr; }

private:
    Status fail(Status status);
    bool resolveLink();
    bool makeName(const std::function<bool(const char*)>& make);

    std::string m_target, m_base;
    FileDescriptor m_folder, m_file;
    std::string m_temporary; // the temporary's name while it has one
    struct stat m_old {};
    struct stat m_expected {};
    struct stat m_made {};
    bool m_hasOld = false, m_hasExpected = false;
    bool m_followLink = false, m_keepOwner = false;
    bool m_committed = false;
    bool m_unnamed = true;
    int m_error = 0;
};

} // namespace vorpex
