// Barcodes typed into the keystroke receiver under another keyboard layout
// than US English. Wine follows the X server's keymap, which Xvfb cannot
// change: `vask.sh test` runs these tests on an Xvnc display of their own set
// to the layout named in VASK_KEYBOARD_LAYOUT ("de" or "fr"). Without that
// variable they are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/FormatSettings.h"
#include "delivery/KeySender.h"
#include "tests/support/KeyReceiver.h"

namespace {

struct LayoutMark {
    std::string name;
    SHORT at;        // VkKeyScanA('@') on that layout: the key and its shift state
    uint8_t zScan;   // scan code of the Z key (0x2C on US English)
    // Latin-1: letters that moved, digits (Shift on the French layout) and
    // the layout's own letters, all keys of its own.
    std::string keyed;
};
// '@' is AltGr+Q on the German layout and AltGr+0 on the French one; Wine
// reports layout 0409 whatever the keymap, so the key is what tells them apart.
const LayoutMark LayoutMarks[] = {
    {"de", 0x0651, 0x15, "yzYZ09\xE4\xF6\xFC\xC4\xD6\xDC\xDF#+<"},
    {"fr", 0x0630, 0x11, "azqwAZQW09\xE9\xE8\xE0\xE7\xF9!:$"},
};

const LayoutMark* LayoutInForce() {
    const char* wanted = std::getenv("VASK_KEYBOARD_LAYOUT");
    if (!wanted) return nullptr;
    for (const LayoutMark& m : LayoutMarks)
        if (m.name == wanted) return &m;
    ADD_FAILURE() << "no check for layout " << wanted;
    return nullptr;
}

std::wstring Latin1(const std::string& bytes) {
    std::wstring text;
    for (unsigned char b : bytes) text += static_cast<wchar_t>(b);
    return text;
}

TEST(KeyboardLayout, EveryPrintableCharacterAndHighByteArrivesExactly) {
    const LayoutMark* mark = LayoutInForce();
    if (!mark) GTEST_SKIP() << "runs on a display with another layout (vask.sh test)";
    ASSERT_EQ(::VkKeyScanA('@'), mark->at) << "layout " << mark->name << " is not in force";

    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready()) << "keyrecv.exe did not start";
    ASSERT_TRUE(receiver.Focus()) << "keyrecv.exe did not get the focus";

    std::vector<uint8_t> barcode{'\t', '\r'};
    for (unsigned b = 0x20; b <= 0xFF; ++b)
        if (b != 0x7F) barcode.push_back(static_cast<uint8_t>(b));
    std::wstring expected = L"\t";
    for (uint8_t b : barcode) expected += static_cast<wchar_t>(b);
    // Letters with Ctrl go as key presses of the layout (Z and Y trade places
    // on the German one, A and Q, Z and W on the French one).
    for (wchar_t c = L'a'; c <= L'z'; ++c) expected += static_cast<wchar_t>(c & 0x1F);
    expected += L"\r";

    const KeySender keys;
    const FormatSettings format;  // suffix <ENTER>
    keys.TypeToken("<TAB>", 0);
    keys.TypeBarcode(barcode.data(), barcode.size(), 0, 0);
    for (char c = 'a'; c <= 'z'; ++c) keys.TypeToken(std::string(1, c), 1);
    keys.TypeToken(format.SuffixFirstChar, format.SuffixFirstCharCtrl);
    EXPECT_TRUE(receiver.WaitForText(expected, 20000));
    EXPECT_EQ(receiver.Text(), expected);
    const std::vector<KeyRecord> records = receiver.Records();
    const auto zDown = std::find_if(records.begin(), records.end(), [](const KeyRecord& r) {
        return r.message == KeyMessage::KeyDown && r.virtualKey == 'Z';
    });
    ASSERT_NE(zDown, records.end());
    EXPECT_EQ(zDown->scanCode, mark->zScan) << "Ctrl+Z is not pressed on the layout's Z key";
}

// In key-press mode a program that reads key codes gets the layout's own
// keys: moved letters, digits (with Shift where the layout wants it) and its
// accented letters. A program that reads characters still gets every
// printable character and high byte exactly, those without a key of the
// layout as Unicode events: AltGr's, which Wine's translation does not
// make, and the dead keys' accents, which Wine reports as plain keys.
TEST(KeyboardLayout, KeyPressModeTypesTheLayoutsKeys) {
    const LayoutMark* mark = LayoutInForce();
    if (!mark) GTEST_SKIP() << "runs on a display with another layout (vask.sh test)";
    ASSERT_EQ(::VkKeyScanA('@'), mark->at) << "layout " << mark->name << " is not in force";
    KeySender keys;
    keys.TypeAs(Keystrokes::KeyPresses);
    {
        testsupport::KeyReceiver console(15000, testsupport::KeyReceiver::KeyCodesOnly);
        ASSERT_TRUE(console.Ready() && console.Focus());
        const auto* bytes = reinterpret_cast<const uint8_t*>(mark->keyed.data());
        keys.TypeBarcode(bytes, mark->keyed.size(), 0, 0);
        keys.TypeToken("<ENTER>", 0);
        EXPECT_TRUE(console.WaitForText(Latin1(mark->keyed) + L"\r", 15000))
            << testing::PrintToString(console.Text());
    }
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready() && receiver.Focus());
    std::string every;
    for (unsigned b = 0x20; b <= 0xFF; ++b)
        if (b != 0x7F) every += static_cast<char>(b);
    keys.TypeBarcode(reinterpret_cast<const uint8_t*>(every.data()), every.size(), 0, 0);
    keys.TypeToken("<ENTER>", 0);
    EXPECT_TRUE(receiver.WaitForText(Latin1(every) + L"\r", 20000));
    EXPECT_EQ(receiver.Text(), Latin1(every) + L"\r");
}

}  // namespace
