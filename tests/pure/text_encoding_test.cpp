#include <gtest/gtest.h>

#include "delivery/TextEncoding.h"

namespace {

using U = TypedUnit;

TypedUnits Units(std::string_view text, TextEncoding encoding, const AnsiCodePage& ansi = {}) {
    TypedUnits units;
    AppendTextUnits(text, encoding, ansi, units);
    return units;
}

// A Shift-JIS-like code page: lead bytes 0x81..0x9F and 0xE0..0xFC; the
// pair 82 A0 is U+3042, the single byte B1 U+FF71, 0x80 has no character,
// 0xFD decodes to a control character and 0xFE to a surrogate.
bool FakeLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
std::optional<char32_t> FakeDecode(std::string_view c) {
    if (c == "\x82\xA0") return U'\u3042';
    if (c == "\xB1") return U'\uFF71';
    if (c == "\xFD") return char32_t{0x1B};
    if (c == "\xFE") return char32_t{0xD800};
    return std::nullopt;
}
const AnsiCodePage Fake{FakeLead, FakeDecode};

}  // namespace

TEST(ReadUtf8, TakesValidSequencesOnly) {
    EXPECT_EQ(ReadUtf8("\xC3\xA9").codePoint, U'\u00E9');
    EXPECT_EQ(ReadUtf8("\xE2\x82\xAC!").length, 3u);
    EXPECT_EQ(ReadUtf8("\xF4\x8F\xBF\xBF").codePoint, U'\U0010FFFF');
    for (std::string_view bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong
                                 "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                                 "\xE2\x82", "\xC3(", ""})  // surrogates, above U+10FFFF, cut short
        EXPECT_EQ(ReadUtf8(bad).length, 0u) << ::testing::PrintToString(bad);
}

TEST(TextEncoding, Utf8TypesSequencesWholeAndStrayBytesAsToday) {
    EXPECT_EQ(Units("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", TextEncoding::Utf8),
              (TypedUnits{U::Byte('a'), U::Character(0xE9), U::Character(0x20AC), U::Character(0x1F600)}));
    EXPECT_EQ(Units("\xC3(\xED\xA0\x80\xE2\x82", TextEncoding::Utf8),
              (TypedUnits{U::Byte(0xC3), U::Byte('('), U::Byte(0xED), U::Byte(0xA0), U::Byte(0x80), U::Byte(0xE2),
                          U::Byte(0x82)}));
}

TEST(TextEncoding, AutomaticTakesUtf8OnlyForValidTextWithAMultiByteSequence) {
    EXPECT_EQ(ResolveEncoding(TextEncoding::Automatic, "M\xC3\xBCller"), TextEncoding::Utf8);
    EXPECT_EQ(ResolveEncoding(TextEncoding::Automatic, "Muller"), TextEncoding::AsToday);
    EXPECT_EQ(ResolveEncoding(TextEncoding::Automatic, "M\xFCller \xC3\xA9"), TextEncoding::AsToday);
    // One stray byte makes the whole text typed as today: é stays two bytes.
    EXPECT_EQ(Units("\xC3\xA9\xFF", TextEncoding::Automatic),
              (TypedUnits{U::Byte(0xC3), U::Byte(0xA9), U::Byte(0xFF)}));
}

TEST(TextEncoding, AnsiTypesDoubleByteCharactersWholeAndUndecodableBytesAsToday) {
    EXPECT_EQ(Units("A\x82\xA0\xB1", TextEncoding::Ansi, Fake),
              (TypedUnits{U::Byte('A'), U::Character(0x3042), U::Character(0xFF71)}));
    // A lead byte at the end, or before a control byte, stands alone; its
    // partner keeps its own place.
    EXPECT_EQ(Units("\x82", TextEncoding::Ansi, Fake), (TypedUnits{U::Byte(0x82)}));
    EXPECT_EQ(Units("\x82\x1D", TextEncoding::Ansi, Fake), (TypedUnits{U::Byte(0x82), U::Byte(0x1D)}));
    // No character, a control character or a surrogate from the code page.
    EXPECT_EQ(Units("\x80\xFD\xFE", TextEncoding::Ansi, Fake),
              (TypedUnits{U::Byte(0x80), U::Byte(0xFD), U::Byte(0xFE)}));
    // Without the platform's callbacks, bytes are typed as today.
    EXPECT_EQ(Units("\x82\xA0", TextEncoding::Ansi), (TypedUnits{U::Byte(0x82), U::Byte(0xA0)}));
}

TEST(TextEncoding, CountsAndFindsCharactersInTheEncoding) {
    const std::string_view utf8 = "a\xC3\xA9z\xE2\x82\xAC";
    EXPECT_EQ(CharacterCount(utf8, TextEncoding::Utf8, {}), 4u);
    EXPECT_EQ(CharacterOffset(utf8, 2, TextEncoding::Utf8, {}), 3u);
    EXPECT_EQ(CharacterOffset(utf8, 9, TextEncoding::Utf8, {}), 7u);
    EXPECT_EQ(CharacterCount("\x82\xA0x\x82", TextEncoding::Ansi, Fake), 3u);
}
