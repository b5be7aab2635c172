// Synthesised keyboard input into the window that has the keyboard focus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "delivery/KeyPlan.h"
#include "delivery/TypedUnits.h"

class KeySender {
public:
    // Asked before each character of a barcode and before a token's key,
    // with the number of input events sent since it was last asked: waits
    // until the window in front may take the next; false stops the typing.
    using TargetGate = std::function<bool(unsigned eventsSent)>;

    KeySender() = default;
    explicit KeySender(TargetGate gate) : gate_(std::move(gate)) {}

    // Presses one named key, or sends one character (a UTF-16 unit), with
    // modifier flags 1 Shift, 2 Ctrl, 4 Alt (KeyPlan.h). Returns 0, the
    // system's last error, or 87 for virtual key 0.
    uint32_t PressVirtualKey(uint8_t virtualKey, uint16_t modifiers) const;
    uint32_t SendCharacter(uint16_t character, uint16_t modifiers) const;
    // Types bytes[leading .. length - trailing) as characters U+0000..U+00FF;
    // returns how many were typed before the gate stopped it.
    size_t TypeBarcode(const uint8_t* bytes, size_t length, int leading, int trailing) const;
    // Types units[0, count) (TypedUnits.h); returns how many were typed
    // before the gate stopped it.
    size_t TypeUnits(const TypedUnit* units, size_t count) const;
    // Types one prefix or suffix token, with Ctrl when ctrl is nonzero; false
    // when the gate stopped it before its key.
    bool TypeToken(const std::string& token, int ctrl) const;

    // Characters go as Unicode events (the default) or as key presses of the
    // focus window's layout (KeyPlan.h).
    void TypeAs(Keystrokes mode) { mode_ = mode; }

    // Input events sent since the gate was last asked (the last key's).
    unsigned EventsSinceGate() const { return eventsSinceGate_; }

    // Every event sent from now on carries this stamp (KeyStamp.h) in its
    // extra information: the job's `tag`, and `unit` for a token, or unit
    // plus the character's index for the characters of a barcode.
    void StampWith(uint16_t tag, uint16_t unit) {
        tag_ = tag;
        unit_ = unit;
    }

private:
    TargetGate gate_;
    mutable unsigned eventsSinceGate_ = 0;
    uint16_t tag_ = 0;
    uint16_t unit_ = 0;
    Keystrokes mode_ = Keystrokes::Characters;
};
