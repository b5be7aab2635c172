// KeySender typing through the real SendInput and keybd_event into the
// keystroke receiver (another process), compared record by record. The
// layout under Xvfb is US English, so scan codes are those of that layout.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/FormatSettings.h"
#include "delivery/Formatting.h"
#include "delivery/KeySender.h"
#include "tests/support/KeyReceiver.h"

namespace {

using testsupport::KeyReceiver;

constexpr uint8_t VkPacket = 0xE7;
constexpr wchar_t FenceCharacter = L'\x2063';  // ends each test's typing

struct State {
    bool shift = false, ctrl = false, alt = false, caps = false;
};

KeyRecord Message(KeyMessage m, uint8_t vk, uint8_t scan, uint16_t ch, State s, bool ext = false) {
    return {m, vk, scan, ext, ch, s.shift, s.ctrl, s.alt, s.caps};
}

// A Unicode character event: VK_PACKET down (the character's low byte as
// scan code), the character, VK_PACKET up.
std::vector<KeyRecord> Packet(uint16_t ch, State s = {}) {
    const auto low = static_cast<uint8_t>(ch & 0xFF);
    return {Message(KeyMessage::KeyDown, VkPacket, low, 0, s), Message(KeyMessage::Char, 0, 0, ch, s),
            Message(KeyMessage::KeyUp, VkPacket, low, 0, s)};
}

std::vector<KeyRecord> Text(const std::u16string& text, State s = {}) {
    std::vector<KeyRecord> all;
    for (char16_t c : text) {
        auto p = Packet(c, s);
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// A key press; `ch` is the character it produces, if any.
std::vector<KeyRecord> Press(uint8_t vk, uint8_t scan, std::optional<uint16_t> ch, State s = {},
                             bool ext = false) {
    std::vector<KeyRecord> r{Message(KeyMessage::KeyDown, vk, scan, 0, s, ext)};
    if (ch) r.push_back(Message(KeyMessage::Char, 0, scan, *ch, s));
    r.push_back(Message(KeyMessage::KeyUp, vk, scan, 0, s, ext));
    return r;
}

KeyRecord Down(uint8_t vk, uint8_t scan, State s) { return Message(KeyMessage::KeyDown, vk, scan, 0, s); }
KeyRecord Up(uint8_t vk, uint8_t scan, State s) { return Message(KeyMessage::KeyUp, vk, scan, 0, s); }

std::vector<KeyRecord> Join(std::initializer_list<std::vector<KeyRecord>> parts) {
    std::vector<KeyRecord> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<KeyRecord> EnterKey(State s = {}) { return Press(0x0D, 0x1C, u'\r', s); }

bool CapsLockOn() { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }

void SendFence() {
    INPUT events[2] = {};
    for (INPUT& e : events) {
        e.type = INPUT_KEYBOARD;
        e.ki.wScan = FenceCharacter;
        e.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    events[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, events, sizeof(INPUT)), 2u);
}

// The fence's three records, whatever the key states were.
bool EndsWithFence(const std::vector<KeyRecord>& records) {
    if (records.size() < 3) return false;
    const KeyRecord* r = &records[records.size() - 3];
    return r[0].message == KeyMessage::KeyDown && r[0].virtualKey == VkPacket &&
           r[1].message == KeyMessage::Char && r[1].character == FenceCharacter &&
           r[2].message == KeyMessage::KeyUp && r[2].virtualKey == VkPacket;
}

// The receiver is started once for all typing tests; each test clears it,
// gives it the focus, types, and reads what arrived before the fence.
class Typing : public testing::Test {
protected:
    static void SetUpTestSuite() { receiver_ = std::make_unique<KeyReceiver>(); }
    static void TearDownTestSuite() { receiver_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(receiver_->Ready()) << "keyrecv.exe did not start";
        ASSERT_TRUE(receiver_->Focus()) << "keyrecv.exe did not get the focus";
        if (CapsLockOn()) (void)keys_.PressVirtualKey(VkCapsLock, 0);
        ASSERT_FALSE(CapsLockOn());
        ASSERT_TRUE(receiver_->WaitForQuiet(50));
        receiver_->Clear();
    }

    void TearDown() override {
        if (CapsLockOn()) (void)keys_.PressVirtualKey(VkCapsLock, 0);
    }

    // Everything that arrived from the typing done so far in this test: the
    // records before the fence's key-down, once its key-up has arrived too.
    std::vector<KeyRecord> Arrived() {
        SendFence();
        std::vector<KeyRecord> records;
        const bool fenced = testsupport::WaitUntil([&] {
            records = receiver_->Records();
            return EndsWithFence(records);
        }, 5000);
        EXPECT_TRUE(fenced) << "the typing did not end with the fence";
        if (fenced) records.resize(records.size() - 3);
        receiver_->Clear();
        return records;
    }

    // What the polling thread does with one barcode.
    void TypeFormatted(const FormatSettings& f, const std::string& barcode) {
        keys_.TypeToken(f.PrefixChar, f.PrefixCharCtrl);
        keys_.TypeBarcode(reinterpret_cast<const uint8_t*>(barcode.data()), barcode.size(), f.strip, 0);
        keys_.TypeToken(f.SuffixFirstChar, f.SuffixFirstCharCtrl);
        keys_.TypeToken(f.SuffixSecondChar, f.SuffixSecondCharCtrl);
    }

    KeySender keys_;
    static inline std::unique_ptr<KeyReceiver> receiver_;
};

using FormattedTyping = Typing;
using KeyTyping = Typing;
using TokenTyping = Typing;

TEST_F(FormattedTyping, DefaultSettingsTypeTheBarcodeThenEnter) {
    TypeFormatted(FormatSettings{}, "Ab1-9z");
    EXPECT_EQ(Arrived(), Join({Text(u"Ab1-9z"), EnterKey()}));
}

TEST_F(FormattedTyping, CapsLockOnIsSwitchedOffAroundEveryPieceAndEndsOn) {
    (void)keys_.PressVirtualKey(VkCapsLock, 0);
    ASSERT_TRUE(CapsLockOn());
    (void)Arrived();

    TypeFormatted(FormatSettings{}, "aB");
    const State on{.caps = true};
    const std::vector<KeyRecord> offAgain{Down(0x14, 0x3A, {}), Up(0x14, 0x3A, {})};
    const std::vector<KeyRecord> onAgain{Down(0x14, 0x3A, on), Up(0x14, 0x3A, on)};
    // Caps Lock pairs around the barcode and Enter; "None" presses nothing.
    EXPECT_EQ(Arrived(), Join({offAgain, Text(u"aB"), onAgain, offAgain, EnterKey(), onAgain}));
    EXPECT_TRUE(CapsLockOn());
}

TEST_F(FormattedTyping, StripCountsAtOrAboveTheLengthTypeOnlyPrefixAndSuffixes) {
    FormatSettings f;
    f.PrefixChar = "<TAB>";
    f.SuffixSecondChar = "#";
    const auto tab = Press(0x09, 0x0F, u'\t');
    for (int strip : {2, 3, 5}) {
        f.strip = strip;
        TypeFormatted(f, "XY");
        EXPECT_EQ(Arrived(), Join({tab, EnterKey(), Text(u"#")})) << "strip " << strip;
    }
    f.strip = 1;
    TypeFormatted(f, "XY");
    EXPECT_EQ(Arrived(), Join({tab, Text(u"Y"), EnterKey(), Text(u"#")}));

    const uint8_t two[] = {'1', '2'};
    keys_.TypeBarcode(two, 2, 2, 0);
    keys_.TypeBarcode(two, 2, 1, 1);
    EXPECT_EQ(Arrived(), std::vector<KeyRecord>{});
    keys_.TypeBarcode(two, 2, 0, 1);
    EXPECT_EQ(Arrived(), Text(u"1"));
}

TEST_F(KeyTyping, CtrlWithALetterPressesCtrlAndAnUpperCaseLetterAddsShift) {
    EXPECT_EQ(keys_.SendCharacter('a', 2), 0u);
    const State ctrl{.ctrl = true}, both{.shift = true, .ctrl = true};
    EXPECT_EQ(Arrived(), Join({{Down(0x11, 0x1D, ctrl)}, Press(0x41, 0x1E, 0x01, ctrl), {Up(0x11, 0x1D, {})}}));

    EXPECT_EQ(keys_.SendCharacter('A', 2), 0u);
    const State shift{.shift = true};
    EXPECT_EQ(Arrived(), Join({{Down(0x10, 0x2A, shift), Down(0x11, 0x1D, both)}, Press(0x41, 0x1E, 0x01, both),
                               {Up(0x10, 0x2A, ctrl), Up(0x11, 0x1D, {})}}));

    keys_.TypeToken("v", 1);  // a custom token with Ctrl: Ctrl+V
    EXPECT_EQ(Arrived(), Join({{Down(0x11, 0x1D, ctrl)}, Press(0x56, 0x2F, 0x16, ctrl), {Up(0x11, 0x1D, {})}}));
}

TEST_F(KeyTyping, AltWithALetterArrivesAsSystemKeys) {
    EXPECT_EQ(keys_.SendCharacter('a', 4), 0u);
    const State alt{.alt = true};
    // The Alt release comes as a plain key-up, as Wine reports it.
    EXPECT_EQ(Arrived(), (std::vector<KeyRecord>{Message(KeyMessage::SysKeyDown, 0x12, 0x38, 0, alt),
                                                 Message(KeyMessage::SysKeyDown, 0x41, 0x1E, 0, alt),
                                                 Message(KeyMessage::SysChar, 0, 0x1E, 'a', alt),
                                                 Message(KeyMessage::SysKeyUp, 0x41, 0x1E, 0, alt),
                                                 Message(KeyMessage::KeyUp, 0x12, 0x38, 0, {})}));
}

TEST_F(KeyTyping, TabReturnAndSpaceGoAsKeysOtherControlBytesAsUnicode) {
    const uint8_t bytes[] = {'\t', '\r', ' ', '\n', 0x01, 0x1B, 0x7F, 0x00};
    keys_.TypeBarcode(bytes, sizeof bytes, 0, 0);
    EXPECT_EQ(Arrived(), Join({Press(0x09, 0x0F, u'\t'), Press(0x0D, 0x1C, u'\r'), Press(0x20, 0x39, u' '),
                               Packet(0x0A), Packet(0x01), Packet(0x1B), Packet(0x7F), Packet(0x00)}));
}

TEST_F(KeyTyping, BytesFrom80ToFFArriveAsTheSameCodeUnits) {
    std::vector<uint8_t> bytes;
    std::u16string expected;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        bytes.push_back(static_cast<uint8_t>(b));
        expected += static_cast<char16_t>(b);
    }
    keys_.TypeBarcode(bytes.data(), bytes.size(), 0, 0);
    EXPECT_EQ(Arrived(), Text(expected));
}

TEST_F(KeyTyping, VirtualKeyZeroIsRefusedAndSendsNothing) {
    EXPECT_EQ(keys_.PressVirtualKey(0, 0), 87u);
    EXPECT_EQ(keys_.PressVirtualKey(0, 2), 87u);
    EXPECT_EQ(Arrived(), std::vector<KeyRecord>{});
}

TEST_F(KeyTyping, CharacterWithoutKeyOnTheLayoutStillArrives) {
    // U+4E2D has no key on the US layout; with Ctrl it would need one.
    EXPECT_EQ(keys_.SendCharacter(0x4E2D, 2), 0u);
    EXPECT_EQ(Arrived(), Packet(0x4E2D));
}

TEST_F(KeyTyping, ArrowsAndOtherKeysOutsideTheKeypadCarryTheExtendedFlag) {
    keys_.TypeToken("<LEFT>", 0);
    keys_.TypeToken("<RIGHT>", 0);
    keys_.TypeToken("<UP>", 0);
    keys_.TypeToken("<DOWN>", 0);
    for (uint8_t vk : {0x2D, 0x2E, 0x24, 0x23, 0x21, 0x22}) (void)keys_.PressVirtualKey(vk, 0);
    keys_.TypeToken("<ENTER>", 0);
    keys_.TypeToken("<LEFT>", 1);
    const State ctrl{.ctrl = true};
    auto ext = [](uint8_t vk, uint8_t scan, State s = {}) { return Press(vk, scan, std::nullopt, s, true); };
    EXPECT_EQ(Arrived(), Join({ext(0x25, 0x4B), ext(0x27, 0x4D), ext(0x26, 0x48), ext(0x28, 0x50),
                               ext(0x2D, 0x52), ext(0x2E, 0x53), ext(0x24, 0x47), ext(0x23, 0x4F),
                               ext(0x21, 0x49), ext(0x22, 0x51), EnterKey(),
                               {Down(0x11, 0x1D, ctrl)}, ext(0x25, 0x4B, ctrl), {Up(0x11, 0x1D, {})}}));
}

TEST_F(TokenTyping, OtherStringsTypeTheirFirstCharacterOnly) {
    keys_.TypeToken("xyz", 0);
    keys_.TypeToken("<Enter>", 0);  // not a name: case counts
    keys_.TypeToken("None", 1);     // nothing, also with Ctrl
    keys_.TypeToken("<SPACE>", 0);  // the space bar, not a Unicode space
    EXPECT_EQ(Arrived(), Join({Text(u"x<"), Press(0x20, 0x39, u' ')}));
}

TEST_F(TokenTyping, EmptyTokenSendsAUnicodeEventWithCodeZero) {
    keys_.TypeToken("", 0);
    EXPECT_EQ(Arrived(), Packet(0));
}

}  // namespace
