// The ANSI text encoding under Japanese code page 932: this program, and so
// the VaskSW.exe it starts, runs under the ja_JP.UTF-8 locale (see
// CMakeLists.txt). Under any single-byte code page the same bytes would
// arrive as four other characters.
#include "tests/app/RulesFixture.h"

namespace apptest {
namespace {

using ShapedTypingUnderCodePage932 = ShapedTyping;

TEST_F(ShapedTypingUnderCodePage932, ShiftJisBarcodeArrivesAsItsCharacters) {
    ASSERT_EQ(::GetACP(), 932u) << "the ja_JP.UTF-8 locale is not in force";
    EXPECT_EQ(TypedUnder("encoding ansi", {"\x82\xA0\x88\xA4"}), L"\u3042\u611B\r");
}

}  // namespace
}  // namespace apptest
