#include "delivery/SampleText.h"

#include <algorithm>
#include <cstdio>

#include "delivery/RuleTokens.h"
#include "delivery/TextEncoding.h"

namespace {

// The column of byte `offset` of the line, counting a UTF-8 character as one.
size_t ColumnOf(std::string_view line, size_t offset) {
    size_t column = 1;
    for (size_t i = 0; i < offset;) {
        const Utf8Sequence sequence = ReadUtf8(line.substr(i));
        i += sequence.length > 0 ? sequence.length : 1;
        ++column;
    }
    return column;
}

SampleBytes Failed(std::string_view line, size_t offset, const std::string& message) {
    return {{}, "column " + std::to_string(ColumnOf(line, offset)) + ": " + message};
}

}  // namespace

SampleBytes ParseSampleText(std::string_view utf8) {
    SampleBytes out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\\') {
            out.bytes += utf8[i];
            continue;
        }
        if (i + 1 == utf8.size()) return Failed(utf8, i, "a backslash ends the sample (a backslash is \\\\)");
        const char e = utf8[i + 1];
        if (e == '\\' || e == 't' || e == 'r' || e == 'n') {
            out.bytes += e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : '\\';
            ++i;
        } else if (e == 'x' || e == 'X') {
            const int high = i + 2 < utf8.size() ? ruletext::HexValue(utf8[i + 2]) : -1;
            const int low = i + 3 < utf8.size() ? ruletext::HexValue(utf8[i + 3]) : -1;
            if (high < 0 || low < 0) return Failed(utf8, i, "\\x wants two hex digits");
            out.bytes += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            const size_t length = std::max<size_t>(1, ReadUtf8(utf8.substr(i + 1)).length);
            return Failed(utf8, i, "unknown escape \\" + std::string(utf8.substr(i + 1, length)) +
                                       " (a backslash is \\\\)");
        }
    }
    return out;
}

std::string SampleTextOf(std::string_view bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '\t' || c == '\r' || c == '\n') {
            text += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else if (const Utf8Sequence sequence = ReadUtf8(bytes.substr(i));
                   sequence.length > 1 && sequence.codePoint >= 0xA0) {  // no C1 control shown bare
            text += bytes.substr(i, sequence.length);
            i += sequence.length - 1;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            text += escape;
        }
    }
    return text;
}
