#include "delivery/KeyPlan.h"

namespace {

constexpr uint8_t VkTab = 0x09, VkReturn = 0x0D, VkSpace = 0x20;

struct ModifierKey {
    uint16_t flag;
    uint8_t virtualKey;
};
// Pressed in this order and released in the same order.
constexpr ModifierKey ModifierKeys[] = {
    {ShiftModifier, VkShift}, {CtrlModifier, VkControl}, {AltModifier, VkMenu}};

// Characters that have to arrive as real key presses: the control keys
// programs act on, and anything combined with a modifier.
bool WantsKeyPath(uint16_t code, uint16_t modifiers) {
    return modifiers != 0 || code == VkTab || code == VkReturn || code == VkSpace;
}

// Keys without modifiers follow the focus window's layout; with modifiers
// (shortcuts) the calling thread's own.
LayoutId ChooseLayout(KeyboardPort& port, uint16_t modifiers) {
    if (modifiers == 0)
        if (std::optional<LayoutId> focus = port.FocusWindowLayout()) return *focus;
    return port.OwnLayout();
}

void SendStroke(KeyboardPort& port, uint8_t virtualKey, uint8_t scanCode, bool keyUp) {
    port.SendStroke({virtualKey, scanCode, keyUp, IsExtendedKey(virtualKey)});
}

void PressModifiers(KeyboardPort& port, uint16_t modifiers, LayoutId layout, bool keyUp) {
    for (const ModifierKey& m : ModifierKeys)
        if (modifiers & m.flag)
            SendStroke(port, m.virtualKey, port.ScanCodeOf(m.virtualKey, layout), keyUp);
}

void PressKey(KeyboardPort& port, uint8_t virtualKey, uint16_t modifiers, LayoutId layout) {
    const uint8_t scanCode = port.ScanCodeOf(virtualKey, layout);
    PressModifiers(port, modifiers, layout, false);
    SendStroke(port, virtualKey, scanCode, false);
    SendStroke(port, virtualKey, scanCode, true);
    PressModifiers(port, modifiers, layout, true);
}

uint32_t SendUnicode(KeyboardPort& port, uint16_t character) {
    return port.SendCharacter(character) < 2 ? port.LastError() : 0;
}

// A layout lookup names a key unless it reports none (all bits set) or 0.
bool NamesKey(uint8_t virtualKey) { return virtualKey != 0 && virtualKey != 0xFF; }

// Caps Lock is a key like any other: it waits for the window in front. Once
// it has been turned off, it is turned on again even when the typing was
// stopped in between, so the user's Caps Lock ends as it began.
template <typename Typing>
bool WithCapsLockOff(KeyboardPort& port, Typing typing) {
    const bool wasOn = port.CapsLockOn();
    if (wasOn) {
        if (!port.WaitForTarget()) return false;
        (void)SendVirtualKey(port, VkCapsLock, 0);
    }
    const bool typed = typing();
    if (wasOn) {
        (void)port.WaitForTarget();
        (void)SendVirtualKey(port, VkCapsLock, 0);
    }
    return typed;
}

}  // namespace

bool IsExtendedKey(uint8_t vk) {
    return vk == 0x03                   // Break
           || (vk >= 0x21 && vk <= 0x28)  // Page Up/Down, End, Home, arrows
           || vk == 0x2C || vk == 0x2D || vk == 0x2E  // Print Screen, Insert, Delete
           || (vk >= 0x5B && vk <= 0x5D)  // Windows keys, menu key
           || vk == 0x6F || vk == 0x90    // keypad Divide, NumLock
           || vk == 0xA3 || vk == 0xA5    // right Ctrl, right Alt
           || (vk >= 0xA6 && vk <= 0xB7); // browser, volume, media and launch keys
}

uint32_t SendVirtualKey(KeyboardPort& port, uint8_t virtualKey, uint16_t modifiers) {
    if (virtualKey == 0) return InvalidParameterError;
    PressKey(port, virtualKey, modifiers, ChooseLayout(port, modifiers));
    return 0;
}

namespace {

// The presses that make the character on the focus window's layout, when it
// has them.
bool PressesMake(KeyboardPort& port, uint16_t character) {
    const LayoutId layout = ChooseLayout(port, 0);
    const std::optional<KeyPresses> presses = port.KeyPressesOf(layout).Find(static_cast<char16_t>(character));
    if (!presses) return false;
    if (presses->deadKey) PressKey(port, presses->deadKey->virtualKey, presses->deadKey->shiftState, layout);
    PressKey(port, presses->key.virtualKey, presses->key.shiftState, layout);
    return true;
}

}  // namespace

uint32_t SendCharacterKey(KeyboardPort& port, uint16_t character, uint16_t modifiers, Keystrokes mode) {
    if (WantsKeyPath(character, modifiers)) {
        const LayoutId layout = ChooseLayout(port, modifiers);
        const auto found = static_cast<uint16_t>(port.LookUpCharacter(character, layout));
        const auto virtualKey = static_cast<uint8_t>(found & 0xFF);
        // A character without a key on this layout still arrives, as a
        // Unicode event (its modifiers cannot travel with it).
        if (NamesKey(virtualKey)) {
            const uint16_t shiftState = (found >> 8) & (ShiftModifier | CtrlModifier | AltModifier);
            PressKey(port, virtualKey, modifiers | shiftState, layout);
            return 0;
        }
    } else if (mode == Keystrokes::KeyPresses && PressesMake(port, character)) {
        return 0;
    }
    return SendUnicode(port, character);
}

ByteRange TypedRange(size_t length, int leading, int trailing) {
    ByteRange range = StrippedRange(length, leading);
    const size_t cut = trailing > 0 ? static_cast<size_t>(trailing) : 0;
    range.count = cut >= range.count ? 0 : range.count - cut;
    return range;
}

size_t TypeBarcodeBytes(KeyboardPort& port, const uint8_t* bytes, size_t length, int leading,
                        int trailing, Keystrokes mode) {
    const ByteRange range = TypedRange(length, leading, trailing);
    TypedUnits units;
    units.reserve(range.count);
    for (size_t i = 0; i < range.count; ++i) units.push_back(TypedUnit::Byte(bytes[range.first + i]));
    return TypeTypedUnits(port, units.data(), units.size(), mode);
}

namespace {

void SendUnit(KeyboardPort& port, const TypedUnit& unit, Keystrokes mode) {
    switch (unit.kind) {
    case TypedUnit::Kind::Byte:
        (void)SendCharacterKey(port, static_cast<uint8_t>(unit.value), 0, mode);
        break;
    case TypedUnit::Kind::Character:
        if (unit.value <= 0xFFFF) {
            (void)SendCharacterKey(port, static_cast<uint16_t>(unit.value), 0, mode);
        } else if (unit.value <= 0x10FFFF) {
            const char32_t above = unit.value - 0x10000;
            (void)SendUnicode(port, static_cast<uint16_t>(0xD800 + (above >> 10)));
            (void)SendUnicode(port, static_cast<uint16_t>(0xDC00 + (above & 0x3FF)));
        }
        break;
    case TypedUnit::Kind::Key:
        (void)SendVirtualKey(port, static_cast<uint8_t>(unit.value), unit.ctrl ? CtrlModifier : 0);
        break;
    }
}

}  // namespace

size_t TypeTypedUnits(KeyboardPort& port, const TypedUnit* units, size_t count, Keystrokes mode) {
    size_t typed = 0;
    (void)WithCapsLockOff(port, [&] {
        for (; typed < count && port.WaitForTarget(); ++typed) {
            port.BeforeCharacter(typed);
            SendUnit(port, units[typed], mode);
        }
        return typed == count;
    });
    return typed;
}

bool TypeFormatToken(KeyboardPort& port, std::string_view token, int ctrl, Keystrokes mode) {
    const uint16_t modifiers = ctrl ? CtrlModifier : 0;
    const NamedToken* named = FindNamedToken(token);
    if (named && named->virtualKey == 0) return true;  // "None": no key, nothing to wait for
    return WithCapsLockOff(port, [&] {
        if (!port.WaitForTarget()) return false;
        if (named) {
            (void)SendVirtualKey(port, named->virtualKey, modifiers);
        } else {
            // Any other string stands for its first character, which the
            // Format page stores as one or two bytes of the ANSI code page.
            const std::string_view character = TokenCharacter(token, port.AnsiLeadBytes());
            (void)SendCharacterKey(port, port.AnsiToUtf16(character), modifiers, mode);
        }
        return true;
    });
}
