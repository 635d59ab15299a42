#include <gtest/gtest.h>

#include "catalogue/NameCodec.h"

TEST(NameCodec, Windows1252DecodesAndEveryByteRoundTrips) {
    CNameCodec codec;
    ASSERT_TRUE(codec.IsValid());
    for (int b = 1; b < 256; ++b) {
        const std::string raw(1, static_cast<char>(b));
        std::string back;
        ASSERT_TRUE(codec.Encode(codec.Decode(raw), back)) << b;
        EXPECT_EQ(back, raw) << b;
    }
}

TEST(NameCodec, EncodingRefusesWhatTheCodePageLacks) {
    CNameCodec codec("windows-1252");
    std::string raw;
    EXPECT_FALSE(codec.Encode("\xC3", raw));         // cut UTF-8
    EXPECT_FALSE(codec.Encode("\xED\xA0\x80", raw)); // an encoded surrogate
}
