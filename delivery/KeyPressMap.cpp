#include "delivery/KeyPressMap.h"

#include <vector>

namespace {

constexpr uint8_t ShiftStates[] = {NoShift, ShiftState, AltGrState, ShiftAltGrState};
constexpr uint8_t VkSpace = 0x20;

// A character a user types: no control character.
bool Printable(char16_t c) { return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0); }

bool OneCharacter(const Translation& t) { return !t.dead && t.count == 1 && Printable(t.chars[0]); }

}  // namespace

bool IsMainBlockKey(uint8_t vk) {
    return vk == VkSpace || (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z') || (vk >= 0xBA && vk <= 0xC2) ||
           (vk >= 0xDB && vk <= 0xDF) || vk == 0xE2;
}

void KeyPressMap::Add(char16_t character, const KeyPresses& presses) {
    if (Printable(character)) presses_.emplace(character, presses);  // the first found stays
}

KeyPressMap KeyPressMap::Learn(LayoutTranslation& layout) {
    KeyPressMap map;
    std::vector<std::pair<LayoutKey, char16_t>> deadKeys, bases;
    for (uint8_t state : ShiftStates) {
        for (unsigned vk = 0; vk < 0x100; ++vk) {
            if (!IsMainBlockKey(static_cast<uint8_t>(vk))) continue;
            const LayoutKey key{static_cast<uint8_t>(vk), state};
            const Translation t = layout.Translate(key);
            if (t.dead && Printable(t.chars[0])) deadKeys.emplace_back(key, t.chars[0]);
            if (!OneCharacter(t)) continue;
            map.Add(t.chars[0], {std::nullopt, key});
            if (state == NoShift || state == ShiftState) bases.emplace_back(key, t.chars[0]);
        }
    }
    for (const auto& [dead, own] : deadKeys) {
        for (const auto& [base, plain] : bases) {
            const Translation t = layout.TranslateAfter(dead, base);
            // A dead key followed by a key it does not combine with gives both.
            // (Followed by space it gives its own character.)
            if (OneCharacter(t) && t.chars[0] != plain) map.Add(t.chars[0], {dead, base});
        }
    }
    return map;
}

std::optional<KeyPresses> KeyPressMap::Find(char16_t character) const {
    const auto found = presses_.find(character);
    if (found == presses_.end()) return std::nullopt;
    return found->second;
}
