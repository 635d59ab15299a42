#include <gtest/gtest.h>

#include "catalogue/NameCodec.h"

namespace vorpex {

TEST(NameCodec, EveryByteRoundTripsAndWhatIsNoCharacterIsRefused) {
    NameCodec codec;
    ASSERT_TRUE(codec.isValid());
    std::string back;
    for (int b = 1; b < 256; ++b) {
        const std::string raw(1, static_cast<char>(b));
        ASSERT_TRUE(codec.encode(codec.decode(raw), back)) << b;
        EXPECT_EQ(back, raw) << b;
    }
    EXPECT_FALSE(codec.encode("\xC3", back));         // cut UTF-8
    EXPECT_FALSE(codec.encode("\xED\xA0\x80", back)); // an encoded surrogate
}

} // namespace vorpex
