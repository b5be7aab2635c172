#include "delivery/LayoutKeys.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

// ToUnicodeEx on the calling thread, whose pending dead key it keeps between
// two calls: the typist has no window and no input of its own, so nothing
// else of it is touched, and every call leaves no dead key pending.
class SystemTranslation final : public LayoutTranslation {
public:
    explicit SystemTranslation(HKL layout) : layout_(layout) {}

    Translation Translate(LayoutKey key) override {
        const Translation t = Press(key);
        if (t.dead) ClearDeadKey();
        if (!t.dead && t.count == 1 && !LookUpGives(t.chars[0], key))
            return {};  // see LookUpGives
        return t;
    }

    Translation TranslateAfter(LayoutKey dead, LayoutKey key) override {
        if (!Press(dead).dead) return {};
        const Translation t = Press(key);
        if (t.dead) ClearDeadKey();
        return t;
    }

private:
    // Whether the layout's own lookup of the character leaves this key to
    // it: it names this key, or one outside the main block (the keypad's
    // parentheses, say), or no key where the character is no accent of a
    // dead key (Wine's lookup names none for some that are there: US
    // parentheses, anything beyond ASCII in a UTF-8 locale). Wine's
    // translation on a thread without a window of its own reports a dead key
    // as a plain key of its accent, while the receiver's window takes it as
    // dead; its lookup then names another key for the accent (the French
    // AltGr+9 for ^) or none. Such a key is not used, and the accent goes as
    // a Unicode event. On Windows the translation reports dead keys as dead.
    bool LookUpGives(char16_t character, LayoutKey key) const {
        const SHORT found = ::VkKeyScanExW(static_cast<WCHAR>(character), layout_);
        if (found == -1) return !IsAccent(character);
        const LayoutKey named{static_cast<uint8_t>(found & 0xFF), static_cast<uint8_t>((found >> 8) & 7)};
        return named == key || !IsMainBlockKey(named.virtualKey);
    }

    // The spacing accents that dead keys give: ^ ` ~ ¨ ¯ ´ ¸ ° and the
    // spacing modifier letters.
    static bool IsAccent(char16_t c) {
        return c == u'^' || c == u'`' || c == u'~' || c == 0xA8 || c == 0xAF || c == 0xB4 || c == 0xB8 ||
               c == 0xB0 || (c >= 0x02C6 && c <= 0x02DD);
    }

    Translation Press(LayoutKey key) const {
        BYTE state[256] = {};
        if (key.shiftState & 1) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (key.shiftState & 2) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (key.shiftState & 4) state[VK_MENU] = state[VK_RMENU] = 0x80;
        WCHAR buffer[8] = {};
        const UINT scanCode = ::MapVirtualKeyExW(key.virtualKey, MAPVK_VK_TO_VSC, layout_);
        const int n = ::ToUnicodeEx(key.virtualKey, scanCode, state, buffer, 8, 0, layout_);
        Translation t;
        t.dead = n < 0;
        t.count = n < 0 ? 1 : n;
        for (int i = 0; i < std::min(t.count, 2); ++i) t.chars[i] = static_cast<char16_t>(buffer[i]);
        return t;
    }

    // A space ends a pending dead key (giving its character); a dead key may
    // follow another, so it is pressed until one gives characters.
    void ClearDeadKey() const {
        for (int i = 0; i < 4 && Press({VK_SPACE, NoShift}).dead; ++i) {
        }
    }

    const HKL layout_;
};

}  // namespace

const KeyPressMap& KeyPressesOfLayout(HKL layout) {
    static std::mutex mutex;
    static std::map<HKL, std::unique_ptr<const KeyPressMap>> learnt;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<const KeyPressMap>& map = learnt[layout];
    if (!map) {
        SystemTranslation translation(layout);
        map = std::make_unique<const KeyPressMap>(KeyPressMap::Learn(translation));
    }
    return *map;
}
