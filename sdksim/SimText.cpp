#include "sdksim/SimText.h"

#include <cstdio>

namespace sdksim {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint8_t> HexByte(char high, char low) {
    int h = HexDigit(high), l = HexDigit(low);
    if (h < 0 || l < 0) return std::nullopt;
    return static_cast<uint8_t>(h * 16 + l);
}

std::string HexPair(uint8_t byte) {
    static const char digits[] = "0123456789abcdef";
    return {digits[byte >> 4], digits[byte & 15]};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<uint64_t> Digits(std::string_view text, unsigned base) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0 || static_cast<unsigned>(d) >= base) return std::nullopt;
        value = value * base + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return value;
}

Parsed<std::string> UnescapeAt(std::string_view text, size_t& i) {
    // text[i] is the backslash.
    if (i + 1 >= text.size()) return Parsed<std::string>::Fail("a barcode ends with a lone backslash");
    char c = text[i + 1];
    i += 2;
    switch (c) {
    case 'r': return Parsed<std::string>::Ok("\r");
    case 'n': return Parsed<std::string>::Ok("\n");
    case 't': return Parsed<std::string>::Ok("\t");
    case '\\': return Parsed<std::string>::Ok("\\");
    case 'x':
        if (i + 2 <= text.size()) {
            if (auto byte = HexByte(text[i], text[i + 1])) {
                i += 2;
                return Parsed<std::string>::Ok(std::string(1, static_cast<char>(*byte)));
            }
        }
        return Parsed<std::string>::Fail("\\x must be followed by two hexadecimal digits");
    default:
        return Parsed<std::string>::Fail(std::string("unknown escape \\") + c +
                                         " (known: \\r \\n \\t \\\\ \\xHH)");
    }
}

}  // namespace

Parsed<std::string> UnescapeBarcode(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '\\') {
            bytes += text[i++];
            continue;
        }
        auto piece = UnescapeAt(text, i);
        if (!piece) return piece;
        bytes += *piece.value;
    }
    return Parsed<std::string>::Ok(std::move(bytes));
}

std::string EscapeBarcode(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        auto b = static_cast<uint8_t>(c);
        if (c == '\\') text += "\\\\";
        else if (c == '\r') text += "\\r";
        else if (c == '\n') text += "\\n";
        else if (c == '\t') text += "\\t";
        else if (b < 0x20 || b > 0x7E) text += "\\x" + HexPair(b);
        else text += c;
    }
    return text;
}

Parsed<std::string> ParseHexBytes(std::string_view hex) {
    if (hex.empty()) return Parsed<std::string>::Fail("empty hexadecimal barcode");
    if (hex.size() % 2 != 0)
        return Parsed<std::string>::Fail("hexadecimal barcode '" + std::string(hex) +
                                         "' has an odd number of digits");
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto byte = HexByte(hex[i], hex[i + 1]);
        if (!byte)
            return Parsed<std::string>::Fail("'" + std::string(hex) + "' is not hexadecimal");
        bytes += static_cast<char>(*byte);
    }
    return Parsed<std::string>::Ok(std::move(bytes));
}

Parsed<uint32_t> ParseResultCode(std::string_view text) {
    std::optional<uint64_t> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        value = Digits(text.substr(2), 16);
    else
        value = Digits(text, 10);
    if (!value)
        return Parsed<uint32_t>::Fail("'" + std::string(text) +
                                      "' is not a 32-bit result (decimal or 0x hexadecimal)");
    return Parsed<uint32_t>::Ok(static_cast<uint32_t>(*value));
}

Parsed<uint32_t> ParseCount(std::string_view text, uint32_t max) {
    auto value = Digits(text, 10);
    if (!value || *value > max)
        return Parsed<uint32_t>::Fail("'" + std::string(text) + "' is not a number from 0 to " +
                                      std::to_string(max));
    return Parsed<uint32_t>::Ok(static_cast<uint32_t>(*value));
}

Parsed<int32_t> ParseSigned(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    auto value = Digits(negative ? text.substr(1) : text, 10);
    if (!value || *value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return Parsed<int32_t>::Fail("'" + std::string(text) + "' is not a 32-bit number");
    int64_t v = negative ? -static_cast<int64_t>(*value) : static_cast<int64_t>(*value);
    return Parsed<int32_t>::Ok(static_cast<int32_t>(v));
}

std::optional<int> PortNumber(std::string_view portName) {
    size_t end = portName.size(), start = end;
    while (start > 0 && IsDigit(portName[start - 1])) --start;
    if (start == end || end - start > 9) return std::nullopt;
    auto value = Digits(portName.substr(start), 10);
    if (!value || *value > 0x7FFFFFFF) return std::nullopt;
    return static_cast<int>(*value);
}

Parsed<BluetoothAddress> ParseBluetoothAddress(std::string_view text) {
    BluetoothAddress address{};
    auto fail = [&] {
        return Parsed<BluetoothAddress>::Fail("'" + std::string(text) +
                                              "' is not an address of the form XX:XX:XX:XX:XX:XX");
    };
    if (text.size() != 17) return fail();
    for (size_t i = 0; i < address.size(); ++i) {
        size_t at = i * 3;
        if (i > 0 && text[at - 1] != ':') return fail();
        auto byte = HexByte(text[at], text[at + 1]);
        if (!byte) return fail();
        address[i] = *byte;
    }
    return Parsed<BluetoothAddress>::Ok(address);
}

std::string FormatBluetoothAddress(const BluetoothAddress& address) {
    std::string text;
    for (size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += ':';
        text += HexPair(address[i]);
    }
    return text;
}

bool IsValidScannerName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name == "*") return false;
    for (char c : name) {
        auto b = static_cast<uint8_t>(c);
        if (b <= 0x20 || b > 0x7E) return false;
    }
    return true;
}

std::string PercentEncode(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        auto b = static_cast<uint8_t>(c);
        if (b <= 0x20 || b > 0x7E || c == '%' || c == '=') text += "%" + HexPair(b);
        else text += c;
    }
    return text;
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        auto byte = HexByte(text[i + 1], text[i + 2]);
        if (!byte) return std::nullopt;
        bytes += static_cast<char>(*byte);
        i += 2;
    }
    return bytes;
}

std::string FormatResultCode(uint32_t code) {
    if (code < 10) return std::to_string(code);
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

}  // namespace sdksim
