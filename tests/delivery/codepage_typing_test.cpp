// Prefix and suffix characters typed under a double-byte ANSI code page: this
// program runs under the ja_JP.UTF-8 locale, which gives Wine's processes code
// page 932 (see CMakeLists.txt).
#include <gtest/gtest.h>

#include "delivery/KeySender.h"
#include "tests/support/KeyReceiver.h"

namespace {

TEST(DoubleByteCodePage, TokenCharactersArriveWhole) {
    ASSERT_EQ(::GetACP(), 932u) << "the ja_JP.UTF-8 locale is not in force";
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready()) << "keyrecv.exe did not start";
    ASSERT_TRUE(receiver.Focus()) << "keyrecv.exe did not get the focus";
    const KeySender keys;
    keys.TypeToken("\x82\xA0", 0);  // HIRAGANA LETTER A, as the Format page stores it
    keys.TypeToken("\x88\xA4", 1);  // a kanji with Ctrl: no key has it
    keys.TypeToken("\xB1", 0);      // HALFWIDTH KATAKANA A: one byte
    keys.TypeToken("x", 0);
    EXPECT_TRUE(receiver.WaitForText(L"x", 10000));
    EXPECT_EQ(receiver.Text(), L"\u3042\u611B\uFF71x");
}

}  // namespace
