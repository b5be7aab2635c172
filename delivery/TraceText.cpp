#include "delivery/TraceText.h"

#include "delivery/Formatting.h"

namespace {

constexpr std::string_view ControlNames[32] = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",
    "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",
    "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",
    "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",
};
constexpr std::string_view DeleteName = "<DEL>";

}  // namespace

size_t TraceCharsToDrop(size_t length, size_t added, size_t limit) {
    if (added <= limit && length <= limit - added) return 0;
    const size_t over = added >= limit ? length : length + added - limit;
    const size_t drop = over + limit / 8;
    return drop < length ? drop : length;
}

std::string_view ControlCharName(uint8_t byte) {
    if (byte < 32) return ControlNames[byte];
    if (byte == 127) return DeleteName;
    return {};
}

std::string RawDisplayText(const uint8_t* bytes, size_t count) {
    std::string text;
    text.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view name = ControlCharName(bytes[i]);
        if (name.empty())
            text.push_back(static_cast<char>(bytes[i]));
        else
            text.append(name);
    }
    return text;
}

std::string FormattedTraceText(const uint8_t* bytes, size_t length, const FormatSettings& format) {
    const ByteRange kept = StrippedRange(length, format.strip);
    std::string text = TokenDisplayText(format.PrefixChar, format.PrefixCharCtrl);
    if (kept.count > 0) text += RawDisplayText(bytes + kept.first, kept.count);
    text += TokenDisplayText(format.SuffixFirstChar, format.SuffixFirstCharCtrl);
    text += TokenDisplayText(format.SuffixSecondChar, format.SuffixSecondCharCtrl);
    return text;
}
