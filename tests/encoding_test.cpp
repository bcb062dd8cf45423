#include <gtest/gtest.h>

#include "engine/encoding.h"
#include "support/test_support.h"

namespace dovra {
namespace {

TEST(Encoding, JapaneseRoundTripsExactly) {
    auto cp932 = Utf8ToCp932("表.ini");
    ASSERT_TRUE(cp932);
    EXPECT_EQ(*cp932, std::string("\x95\x5C.ini"));
    EXPECT_EQ(Cp932ToUtf8(*cp932), std::optional<std::string>("表.ini"));
}

TEST(Encoding, RefusesWhatCannotComeBackUnchanged) {
    EXPECT_FALSE(Utf8ToCp932("caf\xC3\xA9"));       // é has no code page 932 form
    EXPECT_FALSE(Utf8ToCp932("\xE3\x80\x9C"));      // WAVE DASH comes back as FULLWIDTH TILDE
    EXPECT_FALSE(Cp932ToUtf8(std::string("\x81"))); // a lead byte without its trail byte
    EXPECT_TRUE(Utf8ToCp932("\xEF\xBD\x9E"));       // FULLWIDTH TILDE itself is fine
}

TEST(Encoding, LossyConversionsNeverFail) {
    EXPECT_EQ(Cp932ToUtf8Lossy(std::string("a\x81")), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToCp932Lossy("caf\xC3\xA9 表"), std::string("caf? \x95\x5C"));
}

} // namespace
} // namespace dovra
