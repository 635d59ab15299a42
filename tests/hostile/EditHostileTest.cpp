#include <gtest/gtest.h>

#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"
#include "writer/ArchiveEdit.h"

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

} // namespace

} // namespace vorpex
