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
};
// '@' is AltGr+Q on the German layout and AltGr+0 on the French one; Wine
// reports layout 0409 whatever the keymap, so the key is what tells them apart.
const LayoutMark LayoutMarks[] = {{"de", 0x0651, 0x15}, {"fr", 0x0630, 0x11}};

TEST(KeyboardLayout, EveryPrintableCharacterAndHighByteArrivesExactly) {
    const char* wanted = std::getenv("VASK_KEYBOARD_LAYOUT");
    if (!wanted) GTEST_SKIP() << "runs on a display with another layout (vask.sh test)";
    const LayoutMark* mark = nullptr;
    for (const LayoutMark& m : LayoutMarks)
        if (m.name == wanted) mark = &m;
    ASSERT_NE(mark, nullptr) << "no check for layout " << wanted;
    ASSERT_EQ(::VkKeyScanA('@'), mark->at) << "layout " << wanted << " is not in force";

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

}  // namespace
