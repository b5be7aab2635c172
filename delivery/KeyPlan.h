// The decisions behind synthesised typing: which keys, scan codes, modifier
// presses and Unicode character events one key code, one barcode or one
// prefix/suffix token becomes. Plain C++: the platform calls sit behind
// KeyboardPort (the real one is in KeySender.cpp, a recording one in tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "delivery/Formatting.h"
#include "delivery/KeyPressMap.h"
#include "delivery/TypedUnits.h"

// A keyboard layout handle (HKL) as an opaque number.
using LayoutId = std::uintptr_t;

constexpr uint16_t ShiftModifier = 1;
constexpr uint16_t AltModifier = 4;
constexpr uint32_t InvalidParameterError = 87;

// Virtual keys the plan itself presses.
constexpr uint8_t VkShift = 0x10;
constexpr uint8_t VkControl = 0x11;
constexpr uint8_t VkMenu = 0x12;

// How the characters of a barcode go: as Unicode character events (which
// every program that reads characters gets whatever its layout), or as the
// key presses of the receiving window's layout (for programs that read key
// codes: consoles, remote desktops, terminal emulators, some web pages).
enum class Keystrokes : uint8_t { Characters, KeyPresses };

// One key-down or key-up of a virtual key, as keybd_event sends it.
struct KeyStroke {
    uint8_t virtualKey = 0;
    uint8_t scanCode = 0;
    bool keyUp = false;
    bool extended = false;  // KEYEVENTF_EXTENDEDKEY: the key sits outside the keypad block
    bool operator==(const KeyStroke&) const = default;
};

// What the plan needs from the system. Each member is one platform call.
class KeyboardPort {
public:
    virtual ~KeyboardPort() = default;
    // Layout of the thread that owns the foreground thread's focus window;
    // nullopt when there is no such window.
    virtual std::optional<LayoutId> FocusWindowLayout() = 0;
    // Layout of the calling thread.
    virtual LayoutId OwnLayout() = 0;
    // VkKeyScanExW: virtual key in the low byte, shift state in the high
    // byte, -1 when the layout has no key for the character.
    virtual int16_t LookUpCharacter(uint16_t character, LayoutId layout) = 0;
    // MapVirtualKeyExA(virtual key, MAPVK_VK_TO_VSC, layout).
    virtual uint8_t ScanCodeOf(uint8_t virtualKey, LayoutId layout) = 0;
    // The key presses that make characters on the layout (KeyPressMap.h),
    // learnt from the layout's translation the first time it is asked.
    virtual const KeyPressMap& KeyPressesOf(LayoutId layout) = 0;
    // keybd_event with the stroke's scan code and flags.
    virtual void SendStroke(const KeyStroke& stroke) = 0;
    // One SendInput call with a Unicode key-down and key-up of `character`;
    // returns how many of the two events the system accepted.
    virtual unsigned SendCharacter(uint16_t character) = 0;
    // GetLastError after a refused SendInput.
    virtual uint32_t LastError() = 0;
    // Toggle state of Caps Lock (GetKeyState & 1).
    virtual bool CapsLockOn() = 0;
    // The lead bytes of the system ANSI code page (IsDBCSLeadByte).
    virtual LeadByteTest AnsiLeadBytes() = 0;
    // One character of the system ANSI code page (one or two bytes, see
    // TokenCharacter) as one UTF-16 code unit.
    virtual uint16_t AnsiToUtf16(std::string_view character) = 0;
    // Called before each character of a barcode and before a token's key:
    // waits until the window in front may take it. False stops the typing
    // there (the Caps Lock state is still restored).
    virtual bool WaitForTarget() { return true; }
    // Called before the keys of the barcode's character `index` (from the
    // first byte this call types) are sent.
    virtual void BeforeCharacter(size_t /*index*/) {}
};

// Keys that sit outside the numeric keypad block (arrows, Insert, Delete,
// Home, End, Page Up/Down, right Ctrl/Alt, NumLock, keypad Divide, Windows
// and menu keys, Print Screen, Break, browser and media keys) and must carry
// the extended flag, or programs that read scan codes see keypad keys.
bool IsExtendedKey(uint8_t virtualKey);

// Named keys and characters are told apart by their kind, never by a range
// of codes: every UTF-16 unit, the private-use ones included, is a character.
//
// SendVirtualKey presses one named key (scan codes from the focus window's
// layout, or the calling thread's with modifiers); modifier flags 1 Shift,
// 2 Ctrl, 4 Alt. Virtual key 0 names no key: 87, nothing sent.
uint32_t SendVirtualKey(KeyboardPort& port, uint8_t virtualKey, uint16_t modifiers);
// SendCharacterKey sends one character. Tab, carriage return, space and
// anything with a modifier go as key presses with scan codes from a layout;
// in key-press mode so does every character the focus window's layout makes
// (with Shift, AltGr, or a dead key first); everything else (and a character
// the layout has no key for) as a Unicode character event. Returns 0, or the
// system's last error when it accepted fewer events than sent.
uint32_t SendCharacterKey(KeyboardPort& port, uint16_t character, uint16_t modifiers,
                          Keystrokes mode = Keystrokes::Characters);

// The bytes typed of a barcode: without `leading` bytes in front (read as a
// signed 16-bit count, as the strip setting is) and `trailing` at the end.
// Negative counts cut nothing.
ByteRange TypedRange(size_t length, int leading, int trailing);

// Types bytes[TypedRange] as characters U+0000..U+00FF (no code-page
// conversion), with Caps Lock switched off around them when it is on. Every
// key, the Caps Lock presses included, waits for WaitForTarget first; the
// press that turns Caps Lock back on still goes when the wait stops the
// typing (it types nothing), so Caps Lock ends as it began.
// Returns how many were typed: fewer than the range when WaitForTarget
// stopped it.
size_t TypeBarcodeBytes(KeyboardPort& port, const uint8_t* bytes, size_t length, int leading,
                        int trailing, Keystrokes mode = Keystrokes::Characters);

// Types units[0, count) (TypedUnits.h) with Caps Lock switched off around
// them as TypeBarcodeBytes does: a byte as the character of its value, a
// character beyond U+FFFF as its two UTF-16 halves, a key with Ctrl if it
// says so. BeforeCharacter gets each unit's index. Returns how many were
// typed: fewer than count when WaitForTarget stopped it.
size_t TypeTypedUnits(KeyboardPort& port, const TypedUnit* units, size_t count,
                      Keystrokes mode = Keystrokes::Characters);

// Types one prefix or suffix token, with Ctrl when ctrl is nonzero and Caps
// Lock switched off around it when it is on.
// False, with nothing typed, when WaitForTarget stopped it.
bool TypeFormatToken(KeyboardPort& port, std::string_view token, int ctrl,
                     Keystrokes mode = Keystrokes::Characters);
