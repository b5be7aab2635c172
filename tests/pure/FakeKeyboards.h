// Fake keyboards for the key-plan tests and the key-plan fuzz target: a
// KeyboardPort that records what the plan sends, with the character tables
// (as VkKeyScanExW answers them) of a US, German and French layout and the
// conversions of a Western and a double-byte ANSI code page.
//
// Plain C++: no windows.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "delivery/KeyPlan.h"

namespace fakekeys {

constexpr LayoutId FocusLayout = 0x100;
constexpr LayoutId OwnLayoutId = 0x200;

// One event the plan sent: a keybd_event stroke or a Unicode character pair.
struct Sent {
    bool isCharacter = false;
    KeyStroke stroke;
    uint16_t character = 0;
    bool operator==(const Sent&) const = default;
};

inline void PrintTo(const Sent& s, std::ostream* os) {
    if (s.isCharacter) {
        *os << "char U+" << std::hex << s.character;
        return;
    }
    *os << "vk 0x" << std::hex << int(s.stroke.virtualKey) << " scan 0x" << int(s.stroke.scanCode)
        << (s.stroke.keyUp ? " up" : " down") << (s.stroke.extended ? " ext" : "");
}

enum class Layout { Minimal, US, German, French };
enum class CodePage { Western, DoubleByte };

// VkKeyScanExW's answers for the characters a layout has keys for: virtual
// key in the low byte, 1 Shift, 2 Ctrl, 4 Alt in the high byte.
inline std::map<uint16_t, int16_t> LayoutTable(Layout layout) {
    std::map<uint16_t, int16_t> t;
    auto key = [&](uint16_t c, int vk, int shift = 0) { t[c] = static_cast<int16_t>(shift << 8 | vk); };
    if (layout == Layout::Minimal) {  // the few keys the unit tests name
        key('a', 0x41), key('A', 0x41, 1), key('\t', 0x09), key('\r', 0x0D), key(' ', 0x20);
        key('@', 0x32, 6);  // Ctrl+Alt+2 on some layouts
        return t;
    }
    key('\t', 0x09), key('\r', 0x0D), key(' ', 0x20), key('\b', 0x08), key(0x1B, 0x1B), key('\n', 0x0D, 2);
    for (int i = 0; i < 26; ++i) {  // Ctrl+letter gives the control characters
        const uint16_t control = static_cast<uint16_t>(i + 1);
        if (control != '\b' && control != '\t' && control != '\n' && control != '\r') key(control, 'A' + i, 2);
    }
    for (int i = 0; i < 26; ++i) key('a' + i, 'A' + i), key('A' + i, 'A' + i, 1);
    if (layout == Layout::US) {
        const char shifted[] = ")!@#$%^&*(";
        for (int i = 0; i < 10; ++i) key('0' + i, '0' + i), key(shifted[i], '0' + i, 1);
        const char plain[] = ";=,-./`[\\]'", upper[] = ":+<_>?~{|}\"";
        const int vks[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
        for (int i = 0; i < 11; ++i) key(uint8_t(plain[i]), vks[i]), key(uint8_t(upper[i]), vks[i], 1);
    } else if (layout == Layout::German) {
        key('y', 'Z'), key('Y', 'Z', 1), key('z', 'Y'), key('Z', 'Y', 1);
        const char shifted[] = "=!\"\xA7$%&/()";
        for (int i = 0; i < 10; ++i) key('0' + i, '0' + i), key(uint8_t(shifted[i]), '0' + i, 1);
        key(0xE4, 0xDE), key(0xC4, 0xDE, 1), key(0xF6, 0xC0), key(0xD6, 0xC0, 1), key(0xFC, 0xBA),
            key(0xDC, 0xBA, 1), key(0xDF, 0xDB), key('?', 0xDB, 1), key('+', 0xBB), key('*', 0xBB, 1),
            key('#', 0xBF), key('\'', 0xBF, 1), key(',', 0xBC), key(';', 0xBC, 1), key('.', 0xBE),
            key(':', 0xBE, 1), key('-', 0xBD), key('_', 0xBD, 1), key('<', 0xE2), key('>', 0xE2, 1);
        // AltGr (Ctrl+Alt)
        key('@', 'Q', 6), key(0x20AC, 'E', 6), key('{', '7', 6), key('[', '8', 6), key(']', '9', 6),
            key('}', '0', 6), key('\\', 0xDB, 6), key('~', 0xBB, 6), key('|', 0xE2, 6);
    } else {  // French AZERTY: letters move, digits need Shift
        key('a', 'Q'), key('A', 'Q', 1), key('q', 'A'), key('Q', 'A', 1), key('z', 'W'), key('Z', 'W', 1),
            key('w', 'Z'), key('W', 'Z', 1);
        const char plain[] = "\xE0&\xE9\"'(-\xE8_\xE7";
        for (int i = 0; i < 10; ++i) key('0' + i, '0' + i, 1), key(uint8_t(plain[i]), '0' + i);
        key(')', 0xDB), key(0xB0, 0xDB, 1), key('=', 0xBB), key('+', 0xBB, 1), key(',', 0xBC),
            key('?', 0xBC, 1), key(';', 0xBE), key('.', 0xBE, 1), key(':', 0xBF), key('/', 0xBF, 1),
            key('!', 0xDF), key(0xA7, 0xDF, 1), key(0xF9, 0xC0), key('%', 0xC0, 1), key('*', 0xDC),
            key(0xB5, 0xDC, 1), key('$', 0xBA), key(0xA3, 0xBA, 1), key('<', 0xE2),
            key('>', 0xE2, 1);
        key('~', '2', 6), key('#', '3', 6), key('{', '4', 6), key('[', '5', 6), key('|', '6', 6),
            key('`', '7', 6), key('\\', '8', 6), key('^', '9', 6), key('@', '0', 6), key(']', 0xDB, 6),
            key('}', 0xBB, 6), key(0x20AC, 'E', 6);
    }
    return t;
}

// A dead key of a layout: its key, its own character (what it gives before
// a space), and the letters it makes of base letters ("aâ" : a gives â).
struct FakeDeadKey {
    LayoutKey key;
    char16_t own;
    std::u16string composes;
};

inline std::vector<FakeDeadKey> DeadKeys(Layout layout) {
    if (layout == Layout::German)
        return {{{0xDC, NoShift}, u'^', u"a\u00E2e\u00EAi\u00EEo\u00F4u\u00FBA\u00C2E\u00CA"},
                {{0xDD, NoShift}, u'\u00B4', u"a\u00E1e\u00E9i\u00EDo\u00F3u\u00FAy\u00FDE\u00C9"},
                {{0xDD, ShiftState}, u'`', u"a\u00E0e\u00E8i\u00ECo\u00F2u\u00F9E\u00C8"}};
    if (layout == Layout::French)
        return {{{0xDD, NoShift}, u'^', u"a\u00E2e\u00EAi\u00EEo\u00F4u\u00FBE\u00CA"},
                {{0xDD, ShiftState}, u'\u00A8', u"a\u00E4e\u00EBi\u00EFo\u00F6u\u00FCy\u00FF"},
                {{'2', AltGrState}, u'~', u"n\u00F1o\u00F5a\u00E3"},
                {{'7', AltGrState}, u'`', u"a\u00E0e\u00E8"}};
    return {};
}

// The layout's translation as ToUnicodeEx gives it: the reverse of the
// layout's table, with its dead keys.
class FakeTranslation final : public LayoutTranslation {
public:
    explicit FakeTranslation(Layout layout) : deadKeys_(DeadKeys(layout)) {
        for (const auto& [character, found] : LayoutTable(layout))
            keys_.emplace(std::pair(static_cast<uint8_t>(found & 0xFF), static_cast<uint8_t>(found >> 8)), character);
    }
    Translation Translate(LayoutKey key) override {
        if (const FakeDeadKey* dead = DeadKeyAt(key)) return {1, true, {dead->own}};
        const auto found = keys_.find({key.virtualKey, key.shiftState});
        if (found == keys_.end()) return {};
        return {1, false, {static_cast<char16_t>(found->second)}};
    }
    Translation TranslateAfter(LayoutKey deadKey, LayoutKey key) override {
        const FakeDeadKey* dead = DeadKeyAt(deadKey);
        const Translation base = Translate(key);
        if (!dead || base.dead || base.count != 1) return base;
        if (base.chars[0] == u' ') return {1, false, {dead->own}};
        for (size_t i = 0; i + 1 < dead->composes.size(); i += 2)
            if (dead->composes[i] == base.chars[0]) return {1, false, {dead->composes[i + 1]}};
        return {2, false, {dead->own, base.chars[0]}};
    }
    int calls = 0;

private:
    const FakeDeadKey* DeadKeyAt(LayoutKey key) {
        ++calls;
        for (const FakeDeadKey& dead : deadKeys_)
            if (dead.key == key) return &dead;
        return nullptr;
    }
    std::map<std::pair<uint8_t, uint8_t>, uint16_t> keys_;
    std::vector<FakeDeadKey> deadKeys_;
};

// Lead bytes of the double-byte code page (as code page 932 has them).
inline bool DoubleByteLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool DoubleByteTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// A KeyboardPort whose layouts give every key a scan code that tells which
// layout it came from (focus layout: vk + 0x01, own layout: vk + 0x02).
class FakeKeyboard final : public KeyboardPort {
public:
    std::optional<LayoutId> focusLayout = FocusLayout;
    std::map<std::pair<uint16_t, LayoutId>, int16_t> characters;
    bool capsLock = false;
    unsigned accepted = 2;
    uint32_t lastError = 0;
    std::vector<Sent> sent;
    std::vector<LayoutId> lookups;  // layouts asked for characters
    CodePage codePage = CodePage::Western;

    explicit FakeKeyboard(Layout layout = Layout::Minimal, CodePage page = CodePage::Western)
        : codePage(page), translation(layout) {
        for (const auto& [character, found] : LayoutTable(layout))
            for (LayoutId id : {FocusLayout, OwnLayoutId}) characters[{character, id}] = found;
        if (page == CodePage::DoubleByte) leadBytes = DoubleByteLead;
    }

    std::optional<LayoutId> FocusWindowLayout() override { return focusLayout; }
    LayoutId OwnLayout() override { return OwnLayoutId; }
    int16_t LookUpCharacter(uint16_t character, LayoutId layout) override {
        lookups.push_back(layout);
        auto found = characters.find({character, layout});
        return found == characters.end() ? int16_t(-1) : found->second;
    }
    FakeTranslation translation;
    std::map<LayoutId, KeyPressMap> learnt;
    const KeyPressMap& KeyPressesOf(LayoutId layout) override {
        auto found = learnt.find(layout);
        if (found == learnt.end()) found = learnt.emplace(layout, KeyPressMap::Learn(translation)).first;
        return found->second;
    }
    uint8_t ScanCodeOf(uint8_t vk, LayoutId layout) override {
        return static_cast<uint8_t>(vk + (layout == FocusLayout ? 1 : 2));
    }
    void SendStroke(const KeyStroke& stroke) override {
        if (stroke.virtualKey == 0x14 && !stroke.keyUp) capsLock = !capsLock;
        sent.push_back({false, stroke, 0});
    }
    unsigned SendCharacter(uint16_t character) override {
        sent.push_back({true, {}, character});
        return accepted;
    }
    uint32_t LastError() override { return lastError; }
    bool CapsLockOn() override { return capsLock; }
    int targetReadyFor = -1;  // keys the window in front takes before it turns away; -1: all
    bool WaitForTarget() override {
        if (targetReadyFor == 0) return false;
        if (targetReadyFor > 0) --targetReadyFor;
        return true;
    }
    LeadByteTest leadBytes = [](unsigned char) { return false; };
    std::vector<std::string> converted;
    LeadByteTest AnsiLeadBytes() override { return leadBytes; }
    uint16_t AnsiToUtf16(std::string_view character) override {
        converted.emplace_back(character);
        if (codePage == CodePage::DoubleByte) return DoubleByteToUtf16(character);
        if (character == "\x82\xA0") return 0x3042;  // as code page 932 does for HIRAGANA A
        const auto byte = static_cast<uint8_t>(character.front());
        return byte == 0x80 ? 0x20AC : byte;  // as code page 1252 does for the euro sign
    }

    // The ANSI bytes of a UTF-16 unit, the reverse of AnsiToUtf16.
    std::string Utf16ToAnsi(uint16_t unit) const {
        if (codePage == CodePage::Western) {
            if (unit == 0x3042) return "\x82\xA0";
            return std::string(1, static_cast<char>(unit == 0x20AC ? 0x80 : unit));
        }
        if (unit == 0x30FB) return "\x81\x45";
        if (unit >= 0xFF61 && unit <= 0xFF9F) return std::string(1, static_cast<char>(unit - 0xFF61 + 0xA1));
        size_t index;
        unsigned char lead;
        if (unit >= 0x4E00 && unit < 0x4E00 + 47 * 188) {
            index = unit - 0x4E00;
            lead = static_cast<unsigned char>(index / 188 < 31 ? 0x81 + index / 188 : 0xE0 + index / 188 - 31);
        } else if (unit >= 0xE000 && unit < 0xE000 + 10 * 188) {  // the user-defined area
            index = unit - 0xE000;
            lead = static_cast<unsigned char>(0xF0 + index / 188);
        } else if (unit >= 0x7100 && unit < 0x7100 + 3 * 188) {
            index = unit - 0x7100;
            lead = static_cast<unsigned char>(0xFA + index / 188);
        } else {
            return std::string(1, static_cast<char>(unit));
        }
        const size_t trail = index % 188;
        return {static_cast<char>(lead), static_cast<char>(trail < 63 ? 0x40 + trail : 0x80 + trail - 63)};
    }

private:
    // As code page 932 converts: single bytes as they are (0xA1..0xDF to
    // half-width katakana); a lead and trail byte to one unit, the lead bytes
    // 0xF0..0xF9 (the user-defined area) to U+E000..U+E757; an invalid pair
    // to U+30FB.
    static uint16_t DoubleByteToUtf16(std::string_view character) {
        const auto first = static_cast<unsigned char>(character.front());
        if (character.size() == 1) {
            if (first >= 0xA1 && first <= 0xDF) return static_cast<uint16_t>(0xFF61 + first - 0xA1);
            return first;
        }
        const auto second = static_cast<unsigned char>(character[1]);
        if (!DoubleByteTrail(second)) return 0x30FB;
        const unsigned trail = second < 0x80 ? second - 0x40 : second - 0x80 + 63;
        if (first >= 0xF0 && first <= 0xF9) return static_cast<uint16_t>(0xE000 + (first - 0xF0) * 188 + trail);
        if (first >= 0xFA) return static_cast<uint16_t>(0x7100 + (first - 0xFA) * 188 + trail);
        const unsigned lead = first <= 0x9F ? first - 0x81 : first - 0xE0 + 31;
        return static_cast<uint16_t>(0x4E00 + lead * 188 + trail);
    }
};

}  // namespace fakekeys
