// Client side of the keystroke receiver keyrecv.exe: a real window in its own
// process that records every key and character message it receives. Use it
// as the target of synthesised typing and read back exactly what arrived.
//
//   testsupport::KeyReceiver receiver;          // starts keyrecv.exe from BinDir()
//   ASSERT_TRUE(receiver.Ready());              // its window exists
//   ASSERT_TRUE(receiver.Focus());              // foreground, with the keyboard focus
//   ... type something (KeySender, SendInput, the program under test) ...
//   EXPECT_TRUE(receiver.WaitForText(L"123\r"));  // characters (WM_CHAR) so far contain it
//   receiver.Records();                         // every message since the last Clear()
//   receiver.Clear();                           // forget what has arrived so far
//
// KeyReceiver(timeout, N) starts it as a form of N edit fields instead, where
// Tab moves to the next field; FieldText(i) reads field i (from 0).
// KeyReceiver(timeout, 0, "other.exe") runs a copy of it named other.exe.
// KeyReceiver(timeout, KeyReceiver::KeyCodesOnly) reads key codes alone, as a
// console or a remote-desktop client does: Unicode character events give it
// nothing.
//
// Records() and Text() show what has arrived since the last Clear(); the
// Wait functions poll every 5 ms up to their timeout and return whether the
// condition came true. The destructor (or Stop()) closes the receiver's
// window, ends the process if it does not, and deletes the log file through
// which the records travel (one line per message, see KeyRecord.h).
#pragma once

#include <windows.h>

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/Process.h"
#include "tools/keyrecv/KeyRecord.h"

namespace testsupport {

class KeyReceiver {
public:
    static constexpr int KeyCodesOnly = -1;

    // image: the program's file name; another than "keyrecv.exe" runs a copy
    // of it under that name, as another program.
    explicit KeyReceiver(DWORD startTimeoutMs = 15000, int fields = 0, const char* image = "keyrecv.exe");
    ~KeyReceiver();
    KeyReceiver(const KeyReceiver&) = delete;
    KeyReceiver& operator=(const KeyReceiver&) = delete;

    bool Ready() const { return window_ != nullptr; }
    HWND Window() const { return window_; }
    DWORD ProcessId() const { return process_.id(); }

    // The text of the form's field `index` (from 0), as it shows now.
    std::wstring FieldText(int index) const;

    // Brings the window to the foreground and waits until the foreground
    // thread's focus window is the receiver or one of its fields; asks again
    // each second, as a user clicks again when another window came forward
    // meanwhile.
    bool Focus(DWORD timeoutMs = 5000);
    bool HasFocus() const;
    // From now on the window stays without the keyboard focus, also when it
    // is brought forward; waits until it has let go of it.
    bool RefuseFocus(DWORD timeoutMs = 5000);
    // From now on the receiver takes ms over each key message it reads.
    void ReadSlowly(DWORD ms);

    std::vector<KeyRecord> Records();
    size_t EventCount();  // Records().size(), without the copy
    // The characters of the WM_CHAR messages, in order.
    std::wstring Text();

    bool WaitForEvents(size_t count, DWORD timeoutMs = 5000);
    // Waits until Text() contains text.
    bool WaitForText(std::wstring_view text, DWORD timeoutMs = 5000);
    // Waits until quietMs pass without a new record (bounded by timeoutMs).
    bool WaitForQuiet(DWORD quietMs, DWORD timeoutMs = 5000);

    void Clear();
    void Stop();

private:
    void ReadNewLines();
    void TakeLine(std::string_view line);

    std::string logPath_;
    HANDLE log_ = INVALID_HANDLE_VALUE;
    ChildProcess process_;
    HWND window_ = nullptr;
    std::string pending_;           // a line not yet complete
    std::vector<KeyRecord> records_;
    size_t firstKept_ = 0;          // records before this index were cleared
};

}  // namespace testsupport

// "KEYDOWN vk=41 ..." in test failure messages.
void PrintTo(const KeyRecord& record, std::ostream* os);
