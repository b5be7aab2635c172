// Which key presses make a character on a keyboard layout, learnt from the
// layout's own translation: every key of the main block in four shift states
// (none, Shift, AltGr, Shift+AltGr), and every dead key followed by every
// plain or shifted key. A character goes as key presses only where the
// layout itself turns those presses into it, so a program that reads key
// codes and translates them with that layout gets exactly that character.
// Plain C++: the translation sits behind LayoutTranslation.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

// Shift states as VkKeyScanEx reports them: 1 Shift, 2 Ctrl, 4 Alt; AltGr is
// Ctrl+Alt.
constexpr uint8_t NoShift = 0, ShiftState = 1, AltGrState = 6, ShiftAltGrState = 7;

// One key of the layout pressed in one shift state.
struct LayoutKey {
    uint8_t virtualKey = 0;
    uint8_t shiftState = NoShift;
    bool operator==(const LayoutKey&) const = default;
};

// What a layout makes of one key press: `count` characters (0 to 2), or,
// with `dead`, a dead key whose own character is chars[0].
struct Translation {
    int count = 0;
    bool dead = false;
    char16_t chars[2] = {};
};

// The layout's translation (ToUnicodeEx), each call from a state with no dead
// key pending, and leaving none pending.
class LayoutTranslation {
public:
    virtual ~LayoutTranslation() = default;
    virtual Translation Translate(LayoutKey key) = 0;
    // What `key` gives right after the dead key `dead`.
    virtual Translation TranslateAfter(LayoutKey dead, LayoutKey key) = 0;
};

// The presses that make one character: an optional dead key, then a key.
struct KeyPresses {
    std::optional<LayoutKey> deadKey;
    LayoutKey key;
    bool operator==(const KeyPresses&) const = default;
};

class KeyPressMap {
public:
    // Learns the layout. A character several ways reachable keeps the
    // simplest: one key before a dead key and a key; no shift before Shift
    // before AltGr; the lower virtual key first.
    static KeyPressMap Learn(LayoutTranslation& layout);

    std::optional<KeyPresses> Find(char16_t character) const;
    size_t size() const { return presses_.size(); }

private:
    void Add(char16_t character, const KeyPresses& presses);
    std::map<char16_t, KeyPresses> presses_;
};

// The virtual keys Learn tries: space, digits, letters and the punctuation
// keys of the main block (not the keypad, function or media keys, whose
// characters depend on Num Lock or on nothing a user types).
bool IsMainBlockKey(uint8_t virtualKey);
