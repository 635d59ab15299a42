// Faults found by the fuzzers and the hostile suite, one small test each. Some only fail under the
// sanitizers (tools/ci-sanitize.sh), which is where they were found.
#include <gtest/gtest.h>

#include "catalogue/ArchiveRecord.h"

TEST(Regression, RecordWithAnEmptyNameCopiesNothingFromANullPointer) {
    // An end record is made from an empty name whose data pointer is null: copying zero bytes from it
    // was undefined behaviour.
    const CArchiveRecord r = CArchiveRecord::Make(std::string_view{}, CArchiveRecord::kEnd, 7, 9);
    EXPECT_EQ(r.Name(), "");
    EXPECT_EQ(r.m_nType, CArchiveRecord::kEnd);
    EXPECT_EQ(r.Bytes().size(), CArchiveRecord::kSize);
}
