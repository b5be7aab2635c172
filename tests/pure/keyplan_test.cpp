#include "delivery/KeyPlan.h"

#include "tests/pure/FakeKeyboards.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

using namespace fakekeys;

namespace {

Sent Down(uint8_t vk, uint8_t scan, bool ext = false) { return {false, {vk, scan, false, ext}, 0}; }
Sent Up(uint8_t vk, uint8_t scan, bool ext = false) { return {false, {vk, scan, true, ext}, 0}; }
Sent Char(uint16_t c) { return {true, {}, c}; }

// A key pressed and released with scan codes of the focus (1) or own (2) layout.
std::vector<Sent> Press(uint8_t vk, int layoutOffset, bool ext = false) {
    auto scan = static_cast<uint8_t>(vk + layoutOffset);
    return {Down(vk, scan, ext), Up(vk, scan, ext)};
}

std::vector<Sent> Join(std::initializer_list<std::vector<Sent>> parts) {
    std::vector<Sent> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::vector<Sent> CapsPress = Press(0x14, 1);

}  // namespace

TEST(SendVirtualKey, NamedKeysPressTheirKeyOnTheFocusWindowsLayout) {
    FakeKeyboard kb;
    EXPECT_EQ(SendVirtualKey(kb, 0x0D, 0), 0u);
    EXPECT_EQ(SendVirtualKey(kb, 0x09, 0), 0u);
    EXPECT_EQ(kb.sent, Join({Press(0x0D, 1), Press(0x09, 1)}));
    EXPECT_TRUE(kb.lookups.empty());

    kb.sent.clear();
    kb.focusLayout.reset();  // no focus window: the calling thread's layout
    EXPECT_EQ(SendVirtualKey(kb, 0x20, 0), 0u);
    EXPECT_EQ(kb.sent, Press(0x20, 2));
}

TEST(SendVirtualKey, ArrowsAndOtherKeysOutsideTheKeypadCarryTheExtendedFlag) {
    FakeKeyboard kb;
    for (uint8_t vk : {0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x24, 0x23, 0x21, 0x22, 0xA3, 0xA5, 0x90, 0x6F})
        (void)SendVirtualKey(kb, vk, 0);
    ASSERT_EQ(kb.sent.size(), 28u);
    for (const Sent& s : kb.sent) EXPECT_TRUE(s.stroke.extended) << testing::PrintToString(s);

    kb.sent.clear();
    (void)SendVirtualKey(kb, 0x25, CtrlModifier);  // Ctrl itself (left) is not extended
    EXPECT_EQ(kb.sent, Join({{Down(0x11, 0x13)}, Press(0x25, 2, true), {Up(0x11, 0x13)}}));
}

TEST(IsExtendedKey, KeypadAndMainBlockKeysAreNot) {
    for (uint8_t vk : {0x0D, 0x09, 0x20, 0x14, 0x10, 0x11, 0x12, 0xA0, 0xA2, 0xA4, 0x41, 0x60,
                       0x64, 0x66, 0x68, 0x62, 0x6A, 0x6B, 0x6D, 0x6E, 0x70})
        EXPECT_FALSE(IsExtendedKey(vk)) << int(vk);
    for (uint8_t vk : {0x03, 0x21, 0x28, 0x2C, 0x5B, 0x5D, 0xA3, 0xA5, 0xAD, 0xB3, 0xB7})
        EXPECT_TRUE(IsExtendedKey(vk)) << int(vk);
}

TEST(SendCharacterKey, TabReturnAndSpaceCharactersGoAsKeysOfTheFocusLayout) {
    FakeKeyboard kb;
    for (uint16_t c : {u'\t', u'\r', u' '}) EXPECT_EQ(SendCharacterKey(kb, c, 0), 0u);
    EXPECT_EQ(kb.sent, Join({Press(0x09, 1), Press(0x0D, 1), Press(0x20, 1)}));
    EXPECT_EQ(kb.lookups, (std::vector<LayoutId>{FocusLayout, FocusLayout, FocusLayout}));
}

TEST(SendCharacterKey, OtherCharactersGoAsUnicodeEventsWithoutLayoutLookups) {
    FakeKeyboard kb;
    for (uint16_t c : {u'a', u'A', u'\n', u'\x01', u'\0', u'\x7f', u'\xe9', u'\u20ac', u'\uf900'})
        EXPECT_EQ(SendCharacterKey(kb, c, 0), 0u);
    EXPECT_EQ(kb.sent, (std::vector<Sent>{Char('a'), Char('A'), Char('\n'), Char(1), Char(0),
                                          Char(0x7F), Char(0xE9), Char(0x20AC), Char(0xF900)}));
    EXPECT_TRUE(kb.lookups.empty());
}

TEST(SendCharacterKey, ModifiersUseTheOwnLayoutAndAddTheLayoutsShiftState) {
    FakeKeyboard kb;
    EXPECT_EQ(SendCharacterKey(kb, 'a', CtrlModifier), 0u);
    EXPECT_EQ(kb.sent, Join({{Down(0x11, 0x13)}, Press(0x41, 2), {Up(0x11, 0x13)}}));
    EXPECT_EQ(kb.lookups, std::vector<LayoutId>{OwnLayoutId});

    kb.sent.clear();
    EXPECT_EQ(SendCharacterKey(kb, 'A', CtrlModifier), 0u);
    EXPECT_EQ(kb.sent, Join({{Down(0x10, 0x12), Down(0x11, 0x13)}, Press(0x41, 2),
                             {Up(0x10, 0x12), Up(0x11, 0x13)}}));

    kb.sent.clear();  // shift state from the layout: Ctrl+Alt, plus Shift asked for
    EXPECT_EQ(SendCharacterKey(kb, '@', ShiftModifier), 0u);
    EXPECT_EQ(kb.sent, Join({{Down(0x10, 0x12), Down(0x11, 0x13), Down(0x12, 0x14)}, Press(0x32, 2),
                             {Up(0x10, 0x12), Up(0x11, 0x13), Up(0x12, 0x14)}}));
}

TEST(SendCharacterKey, CharacterWithoutKeyOnTheLayoutStillArrivesAsUnicode) {
    FakeKeyboard kb;
    EXPECT_EQ(SendCharacterKey(kb, 0x4E2D, CtrlModifier), 0u);  // lookup gives -1
    kb.characters[{'~', OwnLayoutId}] = 0x0100;            // lookup gives virtual key 0
    EXPECT_EQ(SendCharacterKey(kb, '~', CtrlModifier), 0u);
    kb.characters[{'\t', FocusLayout}] = 0x00FF;           // low byte "no key"
    EXPECT_EQ(SendCharacterKey(kb, '\t', 0), 0u);
    EXPECT_EQ(kb.sent, (std::vector<Sent>{Char(0x4E2D), Char('~'), Char('\t')}));
}

TEST(SendVirtualKey, RefusesKeyZero) {
    FakeKeyboard kb;
    EXPECT_EQ(SendVirtualKey(kb, 0, 0), 87u);
    EXPECT_EQ(SendVirtualKey(kb, 0, CtrlModifier), 87u);
    EXPECT_TRUE(kb.sent.empty());
}

// A user-defined character (private use area) of a prefix is a character,
// whatever its code: U+E05B once pressed the left Windows key.
TEST(SendCharacterKey, PrivateUseCharactersAreCharactersNotKeys) {
    FakeKeyboard kb;
    for (uint16_t c : {0xE000, 0xE05B, 0xE10D, 0xF8FF}) EXPECT_EQ(SendCharacterKey(kb, c, 0), 0u);
    EXPECT_EQ(kb.sent, (std::vector<Sent>{Char(0xE000), Char(0xE05B), Char(0xE10D), Char(0xF8FF)}));

    FakeKeyboard japanese(Layout::Minimal, CodePage::DoubleByte);  // the user-defined rows F0..F9
    EXPECT_TRUE(TypeFormatToken(japanese, "\xF0\x9C", 0));
    EXPECT_EQ(japanese.sent, std::vector<Sent>{Char(0xE05B)});
}

TEST(SendCharacterKey, ReportsRefusedEvents) {
    FakeKeyboard kb;
    kb.lastError = 5;
    kb.accepted = 1;
    EXPECT_EQ(SendCharacterKey(kb, 'x', 0), 5u);
    kb.accepted = 0;
    EXPECT_EQ(SendCharacterKey(kb, 'x', 0), 5u);
    kb.accepted = 2;
    EXPECT_EQ(SendCharacterKey(kb, 'x', 0), 0u);
}

TEST(TypedRange, CutsLeadingAndTrailingBytes) {
    auto check = [](size_t length, int leading, int trailing, size_t first, size_t count) {
        ByteRange r = TypedRange(length, leading, trailing);
        EXPECT_EQ(r.count, count) << length << " " << leading << " " << trailing;
        if (count) { EXPECT_EQ(r.first, first); }
    };
    check(5, 0, 0, 0, 5);
    check(5, 2, 0, 2, 3);
    check(5, 2, 1, 2, 2);
    check(5, 2, 3, 0, 0);
    check(5, 0, 5, 0, 0);
    check(2, 2, 0, 0, 0);
    check(2, 7, 0, 0, 0);
    check(0, 0, 0, 0, 0);
    check(4, -1, -3, 0, 4);
    check(4, 0x10001, 0, 1, 3);  // the count is read as 16 bits
    check(600, 0, 0, 0, 600);    // long barcodes are typed whole
}

TEST(TypeBarcodeBytes, TypesBytesAsCodeUnitsWithCapsLockOffAroundThem) {
    FakeKeyboard kb;
    const uint8_t bytes[] = {'x', 'a', '\t', 0x80, 0xFF, 'z'};
    TypeBarcodeBytes(kb, bytes, sizeof bytes, 1, 1);
    const auto typed = Join({{Char('a')}, Press(0x09, 1), {Char(0x80), Char(0xFF)}});
    EXPECT_EQ(kb.sent, typed);
    EXPECT_TRUE(kb.converted.empty());  // no code-page conversion of barcode bytes

    kb.sent.clear();
    kb.capsLock = true;
    TypeBarcodeBytes(kb, bytes, sizeof bytes, 1, 1);
    EXPECT_EQ(kb.sent, Join({CapsPress, typed, CapsPress}));
    EXPECT_TRUE(kb.capsLock);

    kb.sent.clear();  // nothing of the barcode left: Caps Lock still goes off and on
    TypeBarcodeBytes(kb, bytes, 2, 2, 0);
    EXPECT_EQ(kb.sent, Join({CapsPress, CapsPress}));
}

// Our own window comes forward in the middle of a barcode: typing stops before
// the next key, says how far it got, and Caps Lock still ends as it began.
// Caps Lock waits for the window like every other key: when the window in
// front refuses from the start, not even Caps Lock is pressed.
TEST(TypeBarcodeBytes, StopsBeforeTheFirstKeyTheTargetRefuses) {
    FakeKeyboard kb;
    kb.capsLock = true;
    kb.targetReadyFor = 0;
    const uint8_t none[] = {'z'};
    EXPECT_EQ(TypeBarcodeBytes(kb, none, sizeof none, 0, 0), 0u);
    EXPECT_FALSE(TypeFormatToken(kb, "<ENTER>", 0));
    EXPECT_TRUE(kb.sent.empty());

    kb.targetReadyFor = 3;  // Caps Lock off, 'a', 0x80
    const uint8_t bytes[] = {'a', 0x80, 'b', 'c'};
    EXPECT_EQ(TypeBarcodeBytes(kb, bytes, sizeof bytes, 0, 0), 2u);
    EXPECT_EQ(kb.sent, Join({CapsPress, {Char('a'), Char(0x80)}, CapsPress}));
    EXPECT_TRUE(kb.capsLock);

    kb.sent.clear();  // the rest, once the target takes keys again
    kb.targetReadyFor = -1;
    EXPECT_EQ(TypeBarcodeBytes(kb, bytes, sizeof bytes, 2, 0), 2u);
    EXPECT_EQ(kb.sent, Join({CapsPress, {Char('b'), Char('c')}, CapsPress}));

    kb.sent.clear();
    kb.capsLock = false;
    kb.targetReadyFor = 0;
    EXPECT_FALSE(TypeFormatToken(kb, "<ENTER>", 0));
    EXPECT_FALSE(TypeFormatToken(kb, "x", 1));
    EXPECT_TRUE(TypeFormatToken(kb, "None", 0));  // no key: nothing to refuse
    EXPECT_TRUE(kb.sent.empty());
}

TEST(TypeFormatToken, NamedTokensSendTheirKeysAndNoneSendsNothing) {
    FakeKeyboard kb;
    TypeFormatToken(kb, "<ENTER>", 0);
    TypeFormatToken(kb, "<TAB>", 1);
    TypeFormatToken(kb, "<SPACE>", 0);
    TypeFormatToken(kb, "<DOWN>", 0);
    TypeFormatToken(kb, "None", 0);
    TypeFormatToken(kb, "None", 1);
    EXPECT_EQ(kb.sent, Join({Press(0x0D, 1), {Down(0x11, 0x13)}, Press(0x09, 2), {Up(0x11, 0x13)},
                             Press(0x20, 1), Press(0x28, 1, true)}));

    kb.sent.clear();
    kb.capsLock = true;
    TypeFormatToken(kb, "None", 1);
    TypeFormatToken(kb, "<LEFT>", 0);
    EXPECT_EQ(kb.sent, Join({CapsPress, Press(0x25, 1, true), CapsPress}));
    EXPECT_TRUE(kb.capsLock);
}

TEST(TypeFormatToken, OtherStringsSendTheirFirstCharacterConverted) {
    FakeKeyboard kb;
    TypeFormatToken(kb, "xyz", 0);
    TypeFormatToken(kb, "<Enter>", 0);  // not a name: case counts
    TypeFormatToken(kb, std::string("\x80"), 0);
    TypeFormatToken(kb, "", 0);  // the terminating NUL
    TypeFormatToken(kb, "a", 1);
    EXPECT_EQ(kb.sent, Join({{Char('x'), Char('<'), Char(0x20AC), Char(0), Down(0x11, 0x13)},
                             Press(0x41, 2), {Up(0x11, 0x13)}}));
    EXPECT_EQ(kb.converted, (std::vector<std::string>{"x", "<", "\x80", std::string(1, '\0'), "a"}));

    // Under a double-byte code page a lead byte and its trail are one character.
    kb.sent.clear();
    kb.leadBytes = [](unsigned char b) { return b >= 0x81 && b <= 0x9F; };
    TypeFormatToken(kb, "\x82\xA0z", 0);
    TypeFormatToken(kb, "\x82", 0);  // a lead byte without a trail stays alone
    EXPECT_EQ(kb.sent, (std::vector<Sent>{Char(0x3042), Char(0x82)}));
}

// Shaped units: a character beyond U+FFFF goes as its two UTF-16 halves, a
// key as a press (with Ctrl when it says so), a byte as today's character.
TEST(TypeTypedUnits, CharactersBeyondTheBasicPlaneGoAsSurrogatePairsAndKeysAsPresses) {
    FakeKeyboard kb;
    const TypedUnit units[] = {TypedUnit::Byte('a'), TypedUnit::Character(0x1F600), TypedUnit::Character(0xE9),
                               TypedUnit::Key(0x09, false), TypedUnit::Key(0x0D, true)};
    EXPECT_EQ(TypeTypedUnits(kb, units, std::size(units)), std::size(units));
    EXPECT_EQ(kb.sent, Join({{Char('a'), Char(0xD83D), Char(0xDE00), Char(0xE9)}, Press(0x09, 1),
                             {Down(0x11, 0x13)}, Press(0x0D, 2), {Up(0x11, 0x13)}}));
}

// What the layouts' own translations teach: direct keys first (the layout's
// letters, Shift, AltGr), then a dead key and a base letter for what only
// they make, and a dead key and space for the dead key's own character.
TEST(KeyPressMap, LearnsDirectKeysBeforeDeadKeyCompositions) {
    struct Case {
        Layout layout;
        char16_t character;
        KeyPresses presses;
    };
    const LayoutKey acute{0xDD, NoShift}, circumflex{0xDC, NoShift}, frCircumflex{0xDD, NoShift},
        diaeresis{0xDD, ShiftState}, frTilde{'2', AltGrState};
    const Case cases[] = {
        {Layout::German, u'y', {std::nullopt, {'Z', NoShift}}},
        {Layout::German, u'\u00E4', {std::nullopt, {0xDE, NoShift}}},
        {Layout::German, u'@', {std::nullopt, {'Q', AltGrState}}},
        {Layout::German, u'\u00E9', {acute, {'E', NoShift}}},
        {Layout::German, u'\u00C9', {acute, {'E', ShiftState}}},
        {Layout::German, u'^', {circumflex, {' ', NoShift}}},
        {Layout::French, u'1', {std::nullopt, {'1', ShiftState}}},
        {Layout::French, u'\u00E9', {std::nullopt, {'2', NoShift}}},  // its own key, not ´ + e
        {Layout::French, u'\u00EA', {frCircumflex, {'E', NoShift}}},
        {Layout::French, u'\u00EB', {diaeresis, {'E', NoShift}}},
        {Layout::French, u'\u00F1', {frTilde, {'N', NoShift}}},
        {Layout::French, u'~', {frTilde, {' ', NoShift}}},
    };
    for (const Case& c : cases) {
        FakeTranslation translation(c.layout);
        const KeyPressMap map = KeyPressMap::Learn(translation);
        const std::optional<KeyPresses> found = map.Find(c.character);
        ASSERT_TRUE(found) << "U+" << std::hex << int(c.character);
        EXPECT_EQ(*found, c.presses) << "U+" << std::hex << int(c.character);
    }
    FakeTranslation german(Layout::German);
    const KeyPressMap map = KeyPressMap::Learn(german);
    EXPECT_FALSE(map.Find(u'\u3042'));
}

// In key-press mode a character goes as the presses of the focus window's
// layout, AltGr as Ctrl+Alt around the key; one the layout cannot make still
// arrives as a Unicode event. Character mode keeps its Unicode events.
TEST(SendCharacterKey, KeyPressModeTypesTheLayoutsKeysAndFallsBackToUnicode) {
    FakeKeyboard kb(Layout::German);
    for (uint16_t c : {u'y', u'\u00E9', u'@', u'\u3042'})
        EXPECT_EQ(SendCharacterKey(kb, c, 0, Keystrokes::KeyPresses), 0u);
    EXPECT_EQ(kb.sent, Join({Press('Z', 1), Press(0xDD, 1), Press('E', 1),
                             {Down(0x11, 0x12), Down(0x12, 0x13)}, Press('Q', 1), {Up(0x11, 0x12), Up(0x12, 0x13)},
                             {Char(0x3042)}}));
    kb.sent.clear();
    EXPECT_EQ(SendCharacterKey(kb, u'\u00E9', 0, Keystrokes::Characters), 0u);
    EXPECT_EQ(kb.sent, std::vector<Sent>{Char(0xE9)});
}
