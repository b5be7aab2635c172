// Synthesised keyboard input into the window that has the keyboard focus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class KeySender {
public:
    // Asked before each character of a barcode and before a token's key:
    // waits until the window in front may take it; false stops the typing.
    using TargetGate = std::function<bool()>;

    KeySender() = default;
    explicit KeySender(TargetGate gate) : gate_(std::move(gate)) {}

    // Sends one key code (a UTF-16 unit, or 0xE000..0xF8FF naming a virtual
    // key in its low byte) with modifier flags 1 Shift, 2 Ctrl, 4 Alt.
    // Returns 0, the system's last error, or 87 for the code 0xE000.
    uint32_t SendKey(uint16_t code, uint16_t modifiers) const;
    // Types bytes[leading .. length - trailing) as characters U+0000..U+00FF;
    // returns how many were typed before the gate stopped it.
    size_t TypeBarcode(const uint8_t* bytes, size_t length, int leading, int trailing) const;
    // Types one prefix or suffix token, with Ctrl when ctrl is nonzero; false
    // when the gate stopped it before its key.
    bool TypeToken(const std::string& token, int ctrl) const;

private:
    TargetGate gate_;
};
