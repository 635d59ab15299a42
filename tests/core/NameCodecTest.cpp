#include <gtest/gtest.h>

#include "catalogue/NameCodec.h"

TEST(NameCodec, EveryByteRoundTripsAndWhatIsNoCharacterIsRefused) {
    CNameCodec codec;
    ASSERT_TRUE(codec.IsValid());
    std::string back;
    for (int b = 1; b < 256; ++b) {
        const std::string raw(1, static_cast<char>(b));
        ASSERT_TRUE(codec.Encode(codec.Decode(raw), back)) << b;
        EXPECT_EQ(back, raw) << b;
    }
    EXPECT_FALSE(codec.Encode("\xC3", back));         // cut UTF-8
    EXPECT_FALSE(codec.Encode("\xED\xA0\x80", back)); // an encoded surrogate
}
