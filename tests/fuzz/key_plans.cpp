// Prefix and suffix tokens, Ctrl flags, strip counts and barcodes of up to 256
// bytes, planned against the fake US, German and French keyboards and a
// double-byte code page, then replayed key by key: the text the keys type is
// the text the trace shows, every key belongs to the barcode or a token, and
// the keyboard ends as it began.
//
// Input: a byte choosing keyboard, Caps Lock and focus window; the strip
// count (32 bits); three tokens, each a byte (high bit clear: a named token;
// set: a custom text follows) and a Ctrl byte; the rest is the barcode.
#include <map>
#include <set>
#include <vector>

#include "delivery/Formatting.h"
#include "delivery/KeyPlan.h"
#include "delivery/TraceText.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/pure/FakeKeyboards.h"

namespace {

using namespace fakekeys;

struct Token {
    std::string text;
    int ctrl = 0;
};

Token ReadToken(fuzz::Input& in) {
    Token token;
    const uint8_t choice = in.Byte();
    const uint8_t ctrl = in.Byte();
    token.ctrl = ctrl < 0xF0 ? ctrl & 1 : ctrl;  // mostly 0 and 1, sometimes any value
    if (choice & 0x80) {
        token.text = in.Text(8);
        token.text = token.text.substr(0, token.text.find('\0'));  // settings texts are C strings
    } else {
        token.text = std::string(TokenTable[choice % std::size(TokenTable)].name);
    }
    return token;
}

// The characters each key combination of the layout types, the reverse of
// the layout's table.
using Reverse = std::map<std::pair<uint8_t, uint16_t>, std::vector<uint16_t>>;

const std::map<uint16_t, int16_t>& TableOf(Layout layout) {
    static const std::map<uint16_t, int16_t> tables[] = {LayoutTable(Layout::Minimal), LayoutTable(Layout::US),
                                                         LayoutTable(Layout::German), LayoutTable(Layout::French)};
    return tables[static_cast<size_t>(layout)];
}

Reverse ReverseOf(Layout layout) {
    Reverse reverse;
    for (const auto& [character, found] : TableOf(layout)) {
        const auto code = static_cast<uint16_t>(found);
        reverse[{static_cast<uint8_t>(code & 0xFF), static_cast<uint16_t>(code >> 8)}].push_back(character);
    }
    return reverse;
}

constexpr uint16_t ModifierFlag(uint8_t vk) {
    return vk == VkShift ? ShiftModifier : vk == VkControl ? CtrlModifier : vk == VkMenu ? AltModifier : 0;
}

// One thing the keyboard typed: a key with the modifiers held, or a Unicode
// character event.
struct Typed {
    bool isCharacter = false;
    uint16_t character = 0;
    uint8_t virtualKey = 0;
    uint16_t modifiers = 0;
};

// Replays sent[from, to) on a keyboard whose Caps Lock starts as capsOn:
// every key pressed is released within the part, Caps Lock ends as it began
// and is off whenever something is typed.
std::vector<Typed> Replay(const std::vector<Sent>& sent, size_t from, size_t to, bool capsOn, const char* part) {
    std::vector<Typed> typed;
    std::set<uint8_t> held;
    bool caps = capsOn;
    for (size_t i = from; i < to; ++i) {
        const Sent& s = sent[i];
        if (s.isCharacter) {
            FUZZ_CHECK(!caps, "%s: character U+%04X typed with Caps Lock on", part, s.character);
            typed.push_back({true, s.character, 0, 0});
            continue;
        }
        const uint8_t vk = s.stroke.virtualKey;
        if (s.stroke.keyUp) {
            FUZZ_CHECK(held.erase(vk) == 1, "%s: key 0x%02X released without being pressed", part, vk);
            continue;
        }
        FUZZ_CHECK(held.insert(vk).second, "%s: key 0x%02X pressed twice", part, vk);
        FUZZ_CHECK(s.stroke.extended == IsExtendedKey(vk), "%s: key 0x%02X with the wrong extended flag", part, vk);
        if (vk == VkCapsLock) {
            caps = !caps;
        } else if (ModifierFlag(vk) == 0) {
            FUZZ_CHECK(!caps, "%s: key 0x%02X typed with Caps Lock on", part, vk);
            uint16_t modifiers = 0;
            for (uint8_t h : held) modifiers |= ModifierFlag(h);
            typed.push_back({false, 0, vk, modifiers});
        }
    }
    FUZZ_CHECK(held.empty(), "%s: %zu keys still held at its end", part, held.size());
    FUZZ_CHECK(caps == capsOn, "%s: Caps Lock ends %s", part, caps ? "on" : "off");
    return typed;
}

uint16_t TokenUnit(FakeKeyboard& kb, const std::string& token) {
    return kb.AnsiToUtf16(TokenCharacter(token, kb.AnsiLeadBytes()));
}

std::string AnsiText(const FakeKeyboard& kb, uint16_t unit) { return unit == 0 ? "" : kb.Utf16ToAnsi(unit); }

// The trace text of what a token's keys typed; expected picks among the
// characters that one key combination stands for (Ctrl+Enter is Ctrl with
// "\r" as well as "\n" with the layout's own Ctrl).
std::string TokenTypedText(const FakeKeyboard& kb, const Reverse& reverse, const std::vector<Typed>& typed,
                           const Token& token, const std::string& expected) {
    if (typed.empty()) return token.ctrl ? "<Ctrl>" : "";
    std::string text;
    for (const Typed& t : typed) {
        std::vector<std::string> readings;
        if (t.isCharacter) {
            // A character no key of the layout types arrives without its Ctrl.
            readings.push_back(TokenDisplayText(AnsiText(kb, t.character), token.ctrl));
        } else {
            const uint16_t userModifiers = token.ctrl ? CtrlModifier : 0;
            for (const NamedToken& named : TokenTable)
                if (named.virtualKey != 0 && named.virtualKey == t.virtualKey && t.modifiers == userModifiers)
                    readings.emplace_back(token.ctrl ? named.ctrlTrace : named.trace);
            std::vector<uint16_t> states{t.modifiers};
            if (token.ctrl && (t.modifiers & CtrlModifier)) states.push_back(t.modifiers & ~CtrlModifier);
            for (uint16_t state : states) {
                auto found = reverse.find({t.virtualKey, state});
                if (found == reverse.end()) continue;
                for (uint16_t c : found->second) readings.push_back(TokenDisplayText(AnsiText(kb, c), token.ctrl));
            }
            if (readings.empty()) readings.push_back("<key " + std::to_string(t.virtualKey) + ">");
        }
        std::string chosen = readings.front();
        for (const std::string& r : readings)
            if (r == expected) chosen = r;
        text += chosen;
    }
    return text;
}

void CheckToken(FakeKeyboard& kb, const Reverse& reverse, const Layout layout, const Token& token, size_t from,
                const char* part) {
    const std::vector<Typed> typed = Replay(kb.sent, from, kb.sent.size(), kb.capsLock, part);
    const NamedToken* named = FindNamedToken(token.text);
    const uint16_t unit = named ? 0 : TokenUnit(kb, token.text);
    // A custom token types its first character, while the trace shows the
    // whole string: the trace of that character is what the keys must give.
    const std::string expected = named ? TokenDisplayText(token.text, token.ctrl)
                                       : TokenDisplayText(AnsiText(kb, unit), token.ctrl);
    const std::string actual = TokenTypedText(kb, reverse, typed, token, expected);
    FUZZ_CHECK(actual == expected, "%s %s (Ctrl %d) types %s, the trace shows %s", part,
               fuzz::Printable(token.text).c_str(), token.ctrl, fuzz::Printable(actual).c_str(),
               fuzz::Printable(expected).c_str());
    const auto tokenKey = [&](uint8_t vk) {
        if (named) return named->virtualKey != 0 && named->virtualKey == vk;
        const auto found = TableOf(layout).find(unit);
        return found != TableOf(layout).end() && (found->second & 0xFF) == vk;
    };
    for (const Typed& t : typed)
        FUZZ_CHECK(t.isCharacter ? !named && t.character == unit : tokenKey(t.virtualKey),
                   "%s %s typed %s 0x%04X, which is not its key or character", part,
                   fuzz::Printable(token.text).c_str(), t.isCharacter ? "character" : "key",
                   t.isCharacter ? t.character : t.virtualKey);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t choice = in.Byte();
    static const Layout layouts[] = {Layout::US, Layout::German, Layout::French, Layout::US};
    const Layout layout = layouts[choice & 3];
    FakeKeyboard kb(layout, (choice & 3) == 3 ? CodePage::DoubleByte : CodePage::Western);
    kb.capsLock = choice & 4;
    if (choice & 8) kb.focusLayout.reset();
    static const Reverse reverses[] = {{}, ReverseOf(Layout::US), ReverseOf(Layout::German),
                                       ReverseOf(Layout::French)};
    const Reverse& reverse = reverses[static_cast<size_t>(layout)];

    FormatSettings format;
    format.strip = in.Integer<int32_t>();
    const Token prefix = ReadToken(in), first = ReadToken(in), second = ReadToken(in);
    format.PrefixChar = prefix.text, format.PrefixCharCtrl = prefix.ctrl;
    format.SuffixFirstChar = first.text, format.SuffixFirstCharCtrl = first.ctrl;
    format.SuffixSecondChar = second.text, format.SuffixSecondCharCtrl = second.ctrl;
    std::string barcode = in.Rest();
    barcode.resize(std::min<size_t>(barcode.size(), 256));
    const auto* bytes = reinterpret_cast<const uint8_t*>(barcode.data());
    const bool capsAtStart = kb.capsLock;

    // Typed as the polling thread types one barcode.
    size_t start = kb.sent.size();
    TypeFormatToken(kb, prefix.text, prefix.ctrl);
    CheckToken(kb, reverse, layout, prefix, start, "prefix");

    start = kb.sent.size();
    const size_t count = TypeBarcodeBytes(kb, bytes, barcode.size(), format.strip, 0);
    const std::vector<Typed> typed = Replay(kb.sent, start, kb.sent.size(), capsAtStart, "barcode");
    const ByteRange range = TypedRange(barcode.size(), format.strip, 0);
    FUZZ_CHECK(count == range.count, "%zu of %zu bytes typed", count, range.count);
    std::string typedBytes;
    for (const Typed& t : typed) {
        uint16_t c = t.character;
        if (!t.isCharacter) {
            FUZZ_CHECK(t.modifiers == 0, "barcode key 0x%02X typed with modifiers %u", t.virtualKey, t.modifiers);
            auto found = reverse.find({t.virtualKey, 0});
            FUZZ_CHECK(found != reverse.end() && found->second.size() == 1, "barcode key 0x%02X types no one character",
                       t.virtualKey);
            c = found->second.front();
        }
        FUZZ_CHECK(c <= 0xFF && barcode.find(static_cast<char>(c), range.first) != std::string::npos,
                   "barcode %s typed U+%04X, which it does not hold", fuzz::Printable(barcode).c_str(), c);
        typedBytes += static_cast<char>(c);
    }
    const std::string trace = FormattedTraceText(bytes, barcode.size(), format);
    const std::string prefixTrace = TokenDisplayText(prefix.text, prefix.ctrl);
    const std::string suffixTrace =
        TokenDisplayText(first.text, first.ctrl) + TokenDisplayText(second.text, second.ctrl);
    FUZZ_CHECK(trace.size() >= prefixTrace.size() + suffixTrace.size() && trace.starts_with(prefixTrace) &&
                   trace.ends_with(suffixTrace),
               "the trace %s does not hold its tokens", fuzz::Printable(trace).c_str());
    const std::string barcodeTrace =
        trace.substr(prefixTrace.size(), trace.size() - prefixTrace.size() - suffixTrace.size());
    const std::string typedTrace =
        RawDisplayText(reinterpret_cast<const uint8_t*>(typedBytes.data()), typedBytes.size());
    FUZZ_CHECK(typedTrace == barcodeTrace, "strip %d of %s: typed %s, the trace shows %s", format.strip,
               fuzz::Printable(barcode).c_str(), fuzz::Printable(typedTrace).c_str(),
               fuzz::Printable(barcodeTrace).c_str());

    start = kb.sent.size();
    TypeFormatToken(kb, first.text, first.ctrl);
    CheckToken(kb, reverse, layout, first, start, "first suffix");
    start = kb.sent.size();
    TypeFormatToken(kb, second.text, second.ctrl);
    CheckToken(kb, reverse, layout, second, start, "second suffix");
    FUZZ_CHECK(kb.capsLock == capsAtStart, "Caps Lock ends other than it began");
    return 0;
}
