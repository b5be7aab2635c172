// KeySender: the keystroke decisions of KeyPlan carried out with the real
// Win32 calls (layout lookups, keybd_event with scan codes, SendInput
// Unicode events, the Caps Lock toggle state).
#include "delivery/KeySender.h"

#include <windows.h>

#include <utility>

#include "delivery/KeyPlan.h"
#include "delivery/KeyStamp.h"
#include "delivery/LayoutKeys.h"
#include "win/WinText.h"

namespace {

HKL AsLayout(LayoutId layout) { return reinterpret_cast<HKL>(layout); }
LayoutId AsId(HKL layout) { return reinterpret_cast<LayoutId>(layout); }

class SystemKeyboard final : public KeyboardPort {
public:
    SystemKeyboard(const KeySender::TargetGate& gate, unsigned& eventsSinceGate, uint16_t tag, uint16_t unit)
        : gate_(gate), eventsSinceGate_(eventsSinceGate), tag_(tag), base_(unit), stamp_(KeyStamp(tag, unit)) {}

    void BeforeCharacter(size_t index) override { stamp_ = KeyStamp(tag_, static_cast<uint16_t>(base_ + index)); }

    bool WaitForTarget() override {
        const unsigned sent = std::exchange(eventsSinceGate_, 0);
        return !gate_ || gate_(sent);
    }

    std::optional<LayoutId> FocusWindowLayout() override {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!::GetGUIThreadInfo(0, &info) || !::IsWindow(info.hwndFocus)) return std::nullopt;
        const DWORD thread = ::GetWindowThreadProcessId(info.hwndFocus, nullptr);
        return AsId(::GetKeyboardLayout(thread));
    }

    LayoutId OwnLayout() override { return AsId(::GetKeyboardLayout(0)); }

    int16_t LookUpCharacter(uint16_t character, LayoutId layout) override {
        return ::VkKeyScanExW(static_cast<WCHAR>(character), AsLayout(layout));
    }

    const KeyPressMap& KeyPressesOf(LayoutId layout) override { return KeyPressesOfLayout(AsLayout(layout)); }

    uint8_t ScanCodeOf(uint8_t virtualKey, LayoutId layout) override {
        return static_cast<uint8_t>(::MapVirtualKeyExA(virtualKey, MAPVK_VK_TO_VSC, AsLayout(layout)));
    }

    void SendStroke(const KeyStroke& stroke) override {
        DWORD flags = 0;
        if (stroke.keyUp) flags |= KEYEVENTF_KEYUP;
        if (stroke.extended) flags |= KEYEVENTF_EXTENDEDKEY;
        ::keybd_event(stroke.virtualKey, stroke.scanCode, flags, stamp_);
        ++eventsSinceGate_;
    }

    unsigned SendCharacter(uint16_t character) override {
        INPUT events[2] = {};
        for (INPUT& e : events) {
            e.type = INPUT_KEYBOARD;
            e.ki.wVk = 0;
            e.ki.wScan = character;
            e.ki.dwFlags = KEYEVENTF_UNICODE;
            e.ki.dwExtraInfo = stamp_;
        }
        events[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        const unsigned accepted = ::SendInput(2, events, sizeof(INPUT));
        eventsSinceGate_ += accepted;
        return accepted;
    }

    uint32_t LastError() override { return ::GetLastError(); }

    bool CapsLockOn() override { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }

    LeadByteTest AnsiLeadBytes() override { return win::IsAnsiLeadByte; }

    uint16_t AnsiToUtf16(std::string_view character) override {
        wchar_t wide = 0;
        if (::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, character.data(), static_cast<int>(character.size()),
                                  &wide, 1) != 1)
            return static_cast<uint8_t>(character.front());
        return static_cast<uint16_t>(wide);
    }

private:
    const KeySender::TargetGate& gate_;
    unsigned& eventsSinceGate_;
    const uint16_t tag_;
    const uint16_t base_;
    ULONG_PTR stamp_;

};

}  // namespace

uint32_t KeySender::PressVirtualKey(uint8_t virtualKey, uint16_t modifiers) const {
    SystemKeyboard keyboard(gate_, eventsSinceGate_, tag_, unit_);
    return SendVirtualKey(keyboard, virtualKey, modifiers);
}

uint32_t KeySender::SendCharacter(uint16_t character, uint16_t modifiers) const {
    SystemKeyboard keyboard(gate_, eventsSinceGate_, tag_, unit_);
    return SendCharacterKey(keyboard, character, modifiers, mode_);
}

size_t KeySender::TypeBarcode(const uint8_t* bytes, size_t length, int leading, int trailing) const {
    SystemKeyboard keyboard(gate_, eventsSinceGate_, tag_, unit_);
    return TypeBarcodeBytes(keyboard, bytes, length, leading, trailing, mode_);
}

size_t KeySender::TypeUnits(const TypedUnit* units, size_t count) const {
    SystemKeyboard keyboard(gate_, eventsSinceGate_, tag_, unit_);
    return TypeTypedUnits(keyboard, units, count, mode_);
}

bool KeySender::TypeToken(const std::string& token, int ctrl) const {
    SystemKeyboard keyboard(gate_, eventsSinceGate_, tag_, unit_);
    return TypeFormatToken(keyboard, token, ctrl, mode_);
}
