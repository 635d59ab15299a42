#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

#include "catalogue/CatalogueEdit.h"
#include "catalogue/EntryPeek.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameFinder.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/CatalogueSave.h"

namespace vorpex {

namespace {

// The catalogue as the panes show it: every list in order, each file with its bytes.
void describe(const PackFile& pack, const PackFolder& folder, const std::string& path, std::string& out) {
    for (const PackFolder* child : folder.children()) {
        out += path + std::string(child->name()) + "/\n";
        describe(pack, *child, path + std::string(child->name()) + "/", out);
    }
    for (uint32_t index : folder.files()) {
        const PackEntry& entry = pack.entry(index);
        out += path + std::string(entry.name()) + "=" + EntryPeek::read(pack, entry).m_data + "\n";
    }
}

std::string describe(const PackFile& pack) {
    std::string out;
    describe(pack, pack.top(), {}, out);
    return out;
}

std::string describeFile(const std::string& path) {
    NullSink quiet;
    const PackFile pack(path, quiet);
    return pack.isOpen() ? describe(pack) : "not open";
}

// A descriptor holding `bytes`, as a file added from disk would.
FileDescriptor memoryFile(const std::string& bytes) {
    FileDescriptor fd(::memfd_create("added", MFD_CLOEXEC));
    EXPECT_EQ(::write(fd.get(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    return fd;
}

Node randomTree(std::mt19937& random, int depth, int& serial) {
    std::vector<Node> children;
    const int count = int(random() % 5);
    for (int i = 0; i < count; ++i) {
        const std::string name = "N" + std::to_string(serial++);
        if (depth < 4 && random() % 3 == 0)
            children.push_back(randomTree(random, depth + 1, serial));
        else
            children.push_back(fileNode(name, std::string(random() % 40, char('a' + random() % 26))));
    }
    return folderNode("D" + std::to_string(serial++), children);
}

class CatalogueEditTest : public ::testing::Test {
protected:
    TempDir m_dir;
    NullSink m_quiet;

    std::unique_ptr<PackFile> open(const std::vector<Node>& top, const std::string& name = "a.dir") {
        writeFileBytes(m_dir / name, buildArchive(top));
        return std::make_unique<PackFile>(m_dir / name, m_quiet);
    }
};

// Every folder of the catalogue that is still in the tree, for picking at random.
void foldersOf(PackFolder& folder, std::vector<PackFolder*>& out) {
    out.push_back(&folder);
    for (const PackFolder* child : folder.children())
        foldersOf(*const_cast<PackFolder*>(child), out);
}

} // namespace

// Random edits of random archives: each undo brings back exactly the catalogue before its edit, each redo the
// one after; what is saved reads back as the catalogue stood; the size the edit keeps is the saved lists' and
// data's.
TEST_F(CatalogueEditTest, UndoRedoAndSaveAgreeWithEveryEdit) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        int serial = 0;
        std::vector<Node> top;
        for (int i = 0; i < 3; ++i)
            top.push_back(randomTree(random, 1, serial));
        top.push_back(fileNode("TOP", "top"));
        auto pack = open(top);
        ASSERT_TRUE(pack->isOpen());
        CatalogueEdit edit(*pack, m_dir.path());
        std::vector<std::string> states = {describe(*pack)};
        std::vector<FileDescriptor> sources;
        for (int step = 0; step < 12; ++step) {
            std::vector<PackFolder*> folders;
            foldersOf(edit.top(), folders);
            PackFolder& folder = *folders[random() % folders.size()];
            const std::string name = "E" + std::to_string(serial++);
            edit.begin("edit");
            switch (random() % 5) {
            case 0: // remove a few items of one list
                for (const PackFolder* child : folder.children())
                    if (random() % 2)
                        edit.remove({edit.itemOf(*const_cast<PackFolder*>(child))});
                if (!folder.files().empty())
                    edit.remove({edit.itemOf(folder, folder.files()[random() % folder.files().size()])});
                break;
            case 1:
                if (!folder.files().empty())
                    edit.rename(edit.itemOf(folder, folder.files()[0]), name);
                else if (&folder != &edit.top())
                    edit.rename(edit.itemOf(folder), name);
                break;
            case 2:
                if (edit.depthBelow(folder) <= PackFile::kMaxDepth)
                    edit.makeFolder(folder, name);
                break;
            default: { // add a file, or replace one
                const std::string bytes(random() % 50, char('A' + random() % 26));
                sources.push_back(memoryFile(bytes));
                uint64_t offset = 0;
                int error = 0;
                ASSERT_TRUE(edit.addData(sources.back().get(), bytes.size(), offset, error)) << error;
                if (!folder.files().empty() && random() % 2)
                    edit.replaceFile(edit.itemOf(folder, folder.files()[0]), offset, uint32_t(bytes.size()));
                else
                    edit.addFile(folder, name, offset, uint32_t(bytes.size()));
            }
            }
            edit.commit();
            if (describe(*pack) != states.back())
                states.push_back(describe(*pack));
        }
        ASSERT_GT(states.size(), 3u) << "seed " << seed;
        for (size_t at = states.size() - 1; at > 0; --at) {
            ASSERT_TRUE(edit.canUndo());
            edit.undo();
            ASSERT_EQ(describe(*pack), states[at - 1]) << "seed " << seed << ", undo to " << at - 1;
        }
        EXPECT_FALSE(edit.canUndo());
        EXPECT_FALSE(edit.isModified());
        for (size_t at = 1; at < states.size(); ++at) {
            edit.redo();
            ASSERT_EQ(describe(*pack), states[at]) << "seed " << seed << ", redo to " << at;
        }
        EXPECT_TRUE(edit.isModified());

        ArchiveEdit writer;
        ASSERT_EQ(saveCatalogue(*pack, m_dir / "saved.dir", nullptr, writer), ArchiveEdit::SaveStatus::Saved);
        EXPECT_EQ(describeFile(m_dir / "saved.dir"), states.back()) << "seed " << seed;
        // The size the edit keeps counts the records and data the saved archive holds.
        NullSink quiet;
        const PackFile saved(m_dir / "saved.dir", quiet);
        uint64_t data = 0;
        for (const PackEntry& entry : saved.entries())
            data += entry.size();
        EXPECT_EQ(edit.archiveSize(),
                  CatalogueEdit::kRecord * (saved.entryCount() + 2 * saved.folderCount() + 1) + data);
        EXPECT_EQ(edit.folderCount(), saved.folderCount());
        EXPECT_EQ(edit.fileCount(), saved.entryCount());
    }
}

// A new edit after undo drops what could have been redone; an abandoned edit leaves nothing behind; the
// saved state is known again when undo or redo comes back to it.
TEST_F(CatalogueEditTest, HistoryFollowsTheUser) {
    auto pack = open({folderNode("DATA", {fileNode("A", "a"), fileNode("B", "b")})});
    CatalogueEdit edit(*pack, m_dir.path());
    PackFolder& data = *const_cast<PackFolder*>(pack->top().children()[0]);
    const std::string before = describe(*pack);

    edit.begin("Rename");
    edit.rename(edit.itemOf(data, data.files()[0]), "X");
    edit.commit();
    EXPECT_EQ(edit.undoLabel(), "Rename");
    EXPECT_TRUE(edit.isRenamed(pack->entry(data.files()[0])));
    edit.undo();
    EXPECT_FALSE(edit.isModified());
    EXPECT_FALSE(edit.isRenamed(pack->entry(data.files()[0])));
    EXPECT_EQ(edit.redoLabel(), "Rename");

    edit.begin("Delete");
    edit.remove({edit.itemOf(data, data.files()[1])});
    edit.commit();
    EXPECT_FALSE(edit.canRedo()); // the rename cannot come back
    EXPECT_EQ(describe(*pack), "DATA/\nDATA/A=a\n");

    edit.begin("New Folder");
    edit.makeFolder(data, "SUB");
    edit.abandon();
    EXPECT_EQ(describe(*pack), "DATA/\nDATA/A=a\n");
    EXPECT_EQ(edit.undoLabel(), "Delete");
    edit.begin("nothing");
    edit.commit(); // an edit that changed nothing is no edit
    EXPECT_EQ(edit.undoLabel(), "Delete");

    edit.markSaved();
    edit.undo();
    EXPECT_TRUE(edit.isModified());
    EXPECT_EQ(describe(*pack), before);
    edit.redo();
    EXPECT_FALSE(edit.isModified());
}

// A removed folder leaves the tree with all below it, and the finder, built again, sees the catalogue as
// edited: added files found, removed ones not.
TEST_F(CatalogueEditTest, RemovedFoldersLeaveTheTreeAndTheFinderFollows) {
    auto pack =
        open({folderNode("A", {folderNode("B", {fileNode("DEEP.TXT", "d")})}), fileNode("KEEP.TXT", "k")});
    CatalogueEdit edit(*pack, m_dir.path());
    PackFolder& a = *const_cast<PackFolder*>(pack->top().children()[0]);
    const PackFolder& b = *a.children()[0];
    edit.begin("Delete");
    edit.remove({edit.itemOf(a)});
    const FileDescriptor source = memoryFile("added");
    uint64_t offset = 0;
    int error = 0;
    ASSERT_TRUE(edit.addData(source.get(), 5, offset, error));
    edit.addFile(edit.top(), "NEW.TXT", offset, 5);
    edit.commit();
    EXPECT_FALSE(edit.isAttached(a));
    EXPECT_FALSE(edit.isAttached(b));
    EXPECT_EQ(pack->root(), nullptr);

    const NameCodec codec;
    const NameFinder finder(*pack, codec);
    std::vector<FindHit> hits;
    finder.find(".TXT", hits);
    std::vector<std::string> found;
    for (const FindHit& hit : hits)
        found.emplace_back(hit.m_entry->name());
    EXPECT_EQ(found, (std::vector<std::string>{"KEEP.TXT", "NEW.TXT"}));
    EXPECT_EQ(EntryPeek::read(*pack, *hits[1].m_entry).m_data, "added");

    edit.undo();
    EXPECT_TRUE(edit.isAttached(b));
    EXPECT_EQ(pack->root(), &a);
}

// Saving over the archive read refuses a file another program changed meanwhile, and leaves it as it is.
TEST_F(CatalogueEditTest, SaveRefusesAnArchiveChangedSinceItWasRead) {
    auto pack = open({fileNode("A", "a")});
    struct stat opened {};
    ASSERT_EQ(::fstat(pack->fd(), &opened), 0);
    CatalogueEdit edit(*pack, m_dir.path());
    edit.begin("Rename");
    edit.rename(edit.itemOf(edit.top(), edit.top().files()[0]), "B");
    edit.commit();
    const std::string changed = buildArchive({fileNode("OTHER", "written by another program")});
    writeFileBytes(m_dir / "a.dir", changed);
    ArchiveEdit writer;
    EXPECT_EQ(saveCatalogue(*pack, m_dir / "a.dir", &opened, writer), ArchiveEdit::SaveStatus::Changed);
    EXPECT_EQ(readFileBytes(m_dir / "a.dir"), changed);
}

} // namespace vorpex
