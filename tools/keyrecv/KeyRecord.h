// One keyboard message as the keystroke receiver (keyrecv.exe) records it,
// and the text line that carries it from the receiver to a test. Plain C++,
// shared by the receiver and its client in tests/support.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

enum class KeyMessage : uint8_t { KeyDown, KeyUp, SysKeyDown, SysKeyUp, Char, SysChar };

struct KeyRecord {
    KeyMessage message = KeyMessage::KeyDown;
    uint8_t virtualKey = 0;   // key messages; 0 for character messages
    uint8_t scanCode = 0;     // bits 16..23 of lParam
    bool extended = false;    // bit 24 of lParam
    uint16_t character = 0;   // character messages: the UTF-16 unit; 0 for key messages
    bool shift = false;       // key states when the message was retrieved
    bool ctrl = false;
    bool alt = false;
    bool capsLock = false;    // Caps Lock toggle
    bool operator==(const KeyRecord&) const = default;
};

// Posted to the receiver's window: bring yourself to the foreground and take
// the keyboard focus (WM_APP + 1).
constexpr unsigned KeyReceiverTakeFocusMessage = 0x8000 + 1;
// Posted to the receiver's window: wParam 1, from now on stay in front
// without the keyboard focus (as a window that lost it does); 0, take it again.
constexpr unsigned KeyReceiverRefuseFocusMessage = 0x8000 + 2;
// Sent with wParam milliseconds: from then on the receiver takes that long
// over each key message, as a slow program does (0: at once again).
constexpr unsigned KeyReceiverReadSlowlyMessage = 0x8000 + 3;
constexpr const char* KeyReceiverClassName = "VaskKeyReceiver";
// With --fields N, the control id of the first of the form's edit fields;
// the others follow it.
constexpr int KeyReceiverFirstField = 101;

inline const char* KeyMessageName(KeyMessage m) {
    static const char* const names[] = {"KEYDOWN", "KEYUP", "SYSKEYDOWN", "SYSKEYUP", "CHAR", "SYSCHAR"};
    return names[static_cast<int>(m)];
}

// "KEYDOWN vk=41 scan=1E ext=0 ch=0000 shift=0 ctrl=0 alt=0 caps=0" (no newline).
inline std::string FormatKeyRecord(const KeyRecord& r) {
    char line[96];
    std::snprintf(line, sizeof line, "%s vk=%02X scan=%02X ext=%d ch=%04X shift=%d ctrl=%d alt=%d caps=%d",
                  KeyMessageName(r.message), r.virtualKey, r.scanCode, r.extended, r.character,
                  r.shift, r.ctrl, r.alt, r.capsLock);
    return line;
}

inline std::optional<KeyRecord> ParseKeyRecord(std::string_view text) {
    char name[16] = {};
    unsigned vk, scan, ext, ch, shift, ctrl, alt, caps;
    const std::string line(text);
    if (std::sscanf(line.c_str(), "%15s vk=%x scan=%x ext=%u ch=%x shift=%u ctrl=%u alt=%u caps=%u", name,
                    &vk, &scan, &ext, &ch, &shift, &ctrl, &alt, &caps) != 9)
        return std::nullopt;
    for (int m = 0; m <= static_cast<int>(KeyMessage::SysChar); ++m) {
        if (std::strcmp(name, KeyMessageName(static_cast<KeyMessage>(m))) != 0) continue;
        return KeyRecord{static_cast<KeyMessage>(m), static_cast<uint8_t>(vk), static_cast<uint8_t>(scan),
                         ext != 0, static_cast<uint16_t>(ch), shift != 0, ctrl != 0, alt != 0, caps != 0};
    }
    return std::nullopt;
}
