#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include "catalogue/CatalogueEdit.h"
#include "catalogue/EntryPeek.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveEdit.h"
#include "writer/CatalogueSave.h"

namespace vorpex {

namespace {

// Every hostile archive is refused with a reason or edited soundly: an item renamed and one added, and the
// result reads clean with every entry that was there.
TEST(EditHostile, EveryArchiveRefusedOrEditedSoundly) {
    int refused = 0, edited = 0;
    for (const HostileCase& hostile : hostileCases()) {
        SCOPED_TRACE(hostile.m_name);
        TempDir dir;
        const std::string path = dir / "HOSTILE.DIR";
        writeFileBytes(path, hostile.m_archive);
        RecordingSink sink;
        uint64_t entries = 0;
        {
            const PackFile before(path, sink);
            entries = before.entryCount();
        }
        ArchiveEdit edit;
        const ArchiveEdit::OpenStatus opened = edit.open(path);
        if (opened != ArchiveEdit::OpenStatus::Opened) {
            EXPECT_EQ(opened, ArchiveEdit::OpenStatus::Damaged);
            ++refused;
            continue;
        }
        if (!edit.root().m_children.empty())
            edit.rename(edit.root().m_children[0], "RENAMED");
        ASSERT_NE(edit.putFile(edit.root(), "NEW.TXT", 3, DataSource::bytes("new")), nullptr);
        const ArchiveEdit::SaveStatus saved = edit.save();
        if (saved != ArchiveEdit::SaveStatus::Saved) {
            EXPECT_EQ(saved, ArchiveEdit::SaveStatus::Refused);
            EXPECT_FALSE(edit.problems().empty());
            EXPECT_EQ(readFileBytes(path), hostile.m_archive);
            ++refused;
            continue;
        }
        const PackFile after(path, sink);
        EXPECT_TRUE(after.report().isClean());
        EXPECT_EQ(after.entryCount(), entries + 1);
        ++edited;
    }
    // Both outcomes occur: most hostile archives are sound in their records and only odd in their names.
    EXPECT_GT(refused, 0);
    EXPECT_GT(edited, refused);
}

// What the window shows of a catalogue: every list, each file with its bytes.
void describe(const PackFile& pack, const PackFolder& folder, const std::string& path, std::string& out) {
    for (uint32_t index : folder.files()) {
        const PackEntry& entry = pack.entry(index);
        out += path + std::string(entry.name()) + "=" + EntryPeek::read(pack, entry).m_data + "\n";
    }
    for (const PackFolder* child : folder.children()) {
        out += path + std::string(child->name()) + "/\n";
        describe(pack, *child, path + std::string(child->name()) + "/", out);
    }
}

// Every hostile archive as the window shows it (damaged ones as far as they could be read), edited and saved
// under a new name, reads back clean and as it was shown; or the save is refused with a reason and writes
// nothing.
TEST(EditHostile, EveryArchiveEditedInTheWindowSavesAsShownOrIsRefused) {
    int refused = 0, saved = 0;
    for (const HostileCase& hostile : hostileCases()) {
        SCOPED_TRACE(hostile.m_name);
        TempDir dir;
        writeFileBytes(dir / "HOSTILE.DIR", hostile.m_archive);
        NullSink quiet;
        PackFile pack(dir / "HOSTILE.DIR", quiet);
        if (!pack.isOpen())
            continue;
        CatalogueEdit edit(pack, dir.path());
        FileDescriptor source(::memfd_create("new", MFD_CLOEXEC));
        ASSERT_EQ(::write(source.get(), "new", 3), 3);
        uint64_t offset = 0;
        int error = 0;
        ASSERT_TRUE(edit.addData(source.get(), 3, offset, error));
        edit.begin("edit");
        if (!edit.top().children().empty() && !edit.find(edit.top(), "RENAMED").isValid())
            edit.rename(edit.itemOf(*const_cast<PackFolder*>(edit.top().children()[0])), "RENAMED");
        if (!edit.find(edit.top(), "NEW.TXT").isValid())
            edit.addFile(edit.top(), "NEW.TXT", offset, 3);
        edit.commit();
        std::string shown;
        describe(pack, pack.top(), {}, shown);

        ArchiveEdit writer;
        const std::string target = dir / "SAVED.DIR";
        if (saveCatalogue(pack, target, nullptr, writer) != ArchiveEdit::SaveStatus::Saved) {
            EXPECT_FALSE(writer.problems().empty());
            EXPECT_NE(::access(target.c_str(), F_OK), 0);
            ++refused;
            continue;
        }
        const PackFile after(target, quiet);
        EXPECT_TRUE(after.report().isClean());
        std::string read;
        describe(after, after.top(), {}, read);
        EXPECT_EQ(read, shown);
        ++saved;
    }
    EXPECT_GT(refused, 0); // data past the end of the archive cannot be written
    EXPECT_GT(saved, refused);
}

} // namespace

} // namespace vorpex
