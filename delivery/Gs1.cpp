#include "delivery/Gs1.h"

#include <cstdint>

namespace {

// The characters a field may hold: N digits, X GS1's 82 characters, Y its
// 39 (CPID), Z its 64 (base64url and '=').
enum class Set : uint8_t { N, X, Y, Z };

struct AiFormat {
    std::string_view prefix;  // the AI, or its first digits when the last ones vary ("310" is 3100..3109)
    uint8_t aiLength;         // digits of the whole AI
    uint8_t minData, maxData; // length of the data field; fixed when both are equal
    Set set;
    uint8_t leadingDigits;    // the first digits of an X field that must be digits (N3+X..9)
};

// GS1's list of AIs, in numerical order.
constexpr AiFormat Formats[] = {
    {"00", 2, 18, 18, Set::N, 0},  {"01", 2, 14, 14, Set::N, 0},   {"02", 2, 14, 14, Set::N, 0},
    {"10", 2, 1, 20, Set::X, 0},   {"11", 2, 6, 6, Set::N, 0},     {"12", 2, 6, 6, Set::N, 0},
    {"13", 2, 6, 6, Set::N, 0},    {"15", 2, 6, 6, Set::N, 0},     {"16", 2, 6, 6, Set::N, 0},
    {"17", 2, 6, 6, Set::N, 0},    {"20", 2, 2, 2, Set::N, 0},     {"21", 2, 1, 20, Set::X, 0},
    {"22", 2, 1, 20, Set::X, 0},   {"235", 3, 1, 28, Set::X, 0},   {"240", 3, 1, 30, Set::X, 0},
    {"241", 3, 1, 30, Set::X, 0},  {"242", 3, 1, 6, Set::N, 0},    {"243", 3, 1, 20, Set::X, 0},
    {"250", 3, 1, 30, Set::X, 0},  {"251", 3, 1, 30, Set::X, 0},   {"253", 3, 13, 30, Set::X, 13},
    {"254", 3, 1, 20, Set::X, 0},  {"255", 3, 13, 25, Set::N, 0},  {"30", 2, 1, 8, Set::N, 0},
    {"31", 4, 6, 6, Set::N, 0},    {"32", 4, 6, 6, Set::N, 0},     {"33", 4, 6, 6, Set::N, 0},
    {"34", 4, 6, 6, Set::N, 0},    {"35", 4, 6, 6, Set::N, 0},     {"36", 4, 6, 6, Set::N, 0},
    {"37", 2, 1, 8, Set::N, 0},    {"390", 4, 1, 15, Set::N, 0},   {"391", 4, 4, 18, Set::N, 0},
    {"392", 4, 1, 15, Set::N, 0},  {"393", 4, 4, 18, Set::N, 0},   {"394", 4, 4, 4, Set::N, 0},
    {"395", 4, 6, 6, Set::N, 0},   {"400", 3, 1, 30, Set::X, 0},   {"401", 3, 1, 30, Set::X, 0},
    {"402", 3, 17, 17, Set::N, 0}, {"403", 3, 1, 30, Set::X, 0},   {"410", 3, 13, 13, Set::N, 0},
    {"411", 3, 13, 13, Set::N, 0}, {"412", 3, 13, 13, Set::N, 0}, {"413", 3, 13, 13, Set::N, 0},
    {"414", 3, 13, 13, Set::N, 0}, {"415", 3, 13, 13, Set::N, 0}, {"416", 3, 13, 13, Set::N, 0},
    {"417", 3, 13, 13, Set::N, 0},
    {"420", 3, 1, 20, Set::X, 0},  {"421", 3, 4, 12, Set::X, 3},   {"422", 3, 3, 3, Set::N, 0},
    {"423", 3, 3, 15, Set::N, 0},  {"424", 3, 3, 3, Set::N, 0},    {"425", 3, 3, 15, Set::N, 0},
    {"426", 3, 3, 3, Set::N, 0},   {"427", 3, 1, 3, Set::X, 0},    {"4300", 4, 1, 35, Set::X, 0},
    {"4301", 4, 1, 35, Set::X, 0}, {"4302", 4, 1, 70, Set::X, 0},  {"4303", 4, 1, 70, Set::X, 0},
    {"4304", 4, 1, 70, Set::X, 0}, {"4305", 4, 1, 70, Set::X, 0},  {"4306", 4, 1, 70, Set::X, 0},
    {"4307", 4, 2, 2, Set::X, 0},  {"4308", 4, 1, 30, Set::X, 0},  {"4309", 4, 20, 20, Set::N, 0},
    {"4310", 4, 1, 35, Set::X, 0}, {"4311", 4, 1, 35, Set::X, 0},  {"4312", 4, 1, 70, Set::X, 0},
    {"4313", 4, 1, 70, Set::X, 0}, {"4314", 4, 1, 70, Set::X, 0},  {"4315", 4, 1, 70, Set::X, 0},
    {"4316", 4, 1, 70, Set::X, 0}, {"4317", 4, 2, 2, Set::X, 0},   {"4318", 4, 1, 20, Set::X, 0},
    {"4319", 4, 1, 30, Set::X, 0}, {"4320", 4, 1, 35, Set::X, 0},  {"4321", 4, 1, 1, Set::N, 0},
    {"4322", 4, 1, 1, Set::N, 0},  {"4323", 4, 1, 1, Set::N, 0},   {"4324", 4, 10, 10, Set::N, 0},
    {"4325", 4, 10, 10, Set::N, 0}, {"4326", 4, 6, 6, Set::N, 0},  {"7001", 4, 13, 13, Set::N, 0},
    {"7002", 4, 1, 30, Set::X, 0}, {"7003", 4, 10, 10, Set::N, 0}, {"7004", 4, 1, 4, Set::N, 0},
    {"7005", 4, 1, 12, Set::X, 0}, {"7006", 4, 6, 6, Set::N, 0},   {"7007", 4, 6, 12, Set::N, 0},
    {"7008", 4, 1, 3, Set::X, 0},  {"7009", 4, 1, 10, Set::X, 0},  {"7010", 4, 1, 2, Set::X, 0},
    {"7011", 4, 6, 10, Set::N, 0}, {"7020", 4, 1, 20, Set::X, 0},  {"7021", 4, 1, 20, Set::X, 0},
    {"7022", 4, 1, 20, Set::X, 0}, {"7023", 4, 1, 30, Set::X, 0},  {"703", 4, 4, 30, Set::X, 3},
    {"7040", 4, 4, 4, Set::X, 1},  {"710", 3, 1, 20, Set::X, 0},   {"711", 3, 1, 20, Set::X, 0},
    {"712", 3, 1, 20, Set::X, 0},  {"713", 3, 1, 20, Set::X, 0},   {"714", 3, 1, 20, Set::X, 0},
    {"715", 3, 1, 20, Set::X, 0},  {"716", 3, 1, 20, Set::X, 0},   {"723", 4, 3, 30, Set::X, 0},
    {"7240", 4, 1, 20, Set::X, 0}, {"7241", 4, 2, 2, Set::N, 0},   {"7242", 4, 1, 25, Set::X, 0},
    {"8001", 4, 14, 14, Set::N, 0}, {"8002", 4, 1, 20, Set::X, 0}, {"8003", 4, 14, 30, Set::X, 14},
    {"8004", 4, 1, 30, Set::X, 0}, {"8005", 4, 6, 6, Set::N, 0},   {"8006", 4, 18, 18, Set::N, 0},
    {"8007", 4, 1, 34, Set::X, 0}, {"8008", 4, 8, 12, Set::N, 0},  {"8009", 4, 1, 50, Set::X, 0},
    {"8010", 4, 1, 30, Set::Y, 0}, {"8011", 4, 1, 12, Set::N, 0},  {"8012", 4, 1, 20, Set::X, 0},
    {"8013", 4, 1, 30, Set::X, 0}, {"8017", 4, 18, 18, Set::N, 0}, {"8018", 4, 18, 18, Set::N, 0},
    {"8019", 4, 1, 10, Set::N, 0}, {"8020", 4, 1, 25, Set::X, 0},  {"8026", 4, 18, 18, Set::N, 0},
    {"8030", 4, 1, 90, Set::Z, 0}, {"8110", 4, 1, 70, Set::X, 0},  {"8111", 4, 4, 4, Set::N, 0},
    {"8112", 4, 1, 70, Set::X, 0}, {"8200", 4, 1, 70, Set::X, 0},  {"90", 2, 1, 30, Set::X, 0},
    {"91", 2, 1, 90, Set::X, 0},   {"92", 2, 1, 90, Set::X, 0},    {"93", 2, 1, 90, Set::X, 0},
    {"94", 2, 1, 90, Set::X, 0},   {"95", 2, 1, 90, Set::X, 0},    {"96", 2, 1, 90, Set::X, 0},
    {"97", 2, 1, 90, Set::X, 0},   {"98", 2, 1, 90, Set::X, 0},    {"99", 2, 1, 90, Set::X, 0},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool InSet(char c, Set set) {
    const bool alnum = IsDigit(c) || (c >= 'A' && c <= 'Z');
    switch (set) {
    case Set::N:
        return IsDigit(c);
    case Set::Y:
        return alnum || c == '#' || c == '-' || c == '/';
    case Set::Z:
        return alnum || (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '=';
    case Set::X:
        return alnum || (c >= 'a' && c <= 'z') || c == '!' || c == '"' || (c >= '%' && c <= '?') || c == '_';
    }
    return false;
}

// The format of the AI at the front of `text`: the entry with the longest
// prefix that the text begins with, if the AI's digits are all there.
const AiFormat* FindFormat(std::string_view text) {
    const AiFormat* found = nullptr;
    for (const AiFormat& format : Formats)
        if (text.starts_with(format.prefix) && (!found || format.prefix.size() > found->prefix.size())) found = &format;
    if (!found || text.size() < found->aiLength) return nullptr;
    for (size_t i = 0; i < found->aiLength; ++i)
        if (!IsDigit(text[i])) return nullptr;
    return found;
}

Gs1Parse Fail(Gs1Parse parse, size_t at, std::string message) {
    parse.errorAt = at;
    parse.error = std::move(message);
    return parse;
}

}  // namespace

Gs1Parse ParseGs1(std::string_view text) {
    Gs1Parse parse;
    if (text.empty()) return Fail(std::move(parse), 0, "no application identifier");
    size_t at = 0;
    while (at < text.size()) {
        const AiFormat* format = FindFormat(text.substr(at));
        if (!format) return Fail(std::move(parse), at, "no known application identifier here");
        const std::string_view ai = text.substr(at, format->aiLength);
        const size_t dataAt = at + format->aiLength;
        size_t end = dataAt;
        const size_t limit = dataAt + format->maxData < text.size() ? dataAt + format->maxData : text.size();
        while (end < limit && text[end] != Gs1GroupSeparator) ++end;
        const size_t length = end - dataAt;
        const std::string what = "(" + std::string(ai) + ") ";
        if (format->minData == format->maxData && length < format->minData)
            return Fail(std::move(parse), end, what + "wants " + std::to_string(format->minData) + " characters");
        if (length < format->minData)
            return Fail(std::move(parse), end,
                        what + "wants at least " + std::to_string(format->minData) + " characters");
        if (format->minData != format->maxData && end < text.size() && text[end] != Gs1GroupSeparator)
            return Fail(std::move(parse), end,
                        what + "holds at most " + std::to_string(format->maxData) + " characters");
        for (size_t i = dataAt; i < end; ++i) {
            const bool digitOnly = i - dataAt < format->leadingDigits;
            if (!InSet(text[i], digitOnly ? Set::N : format->set))
                return Fail(std::move(parse), i, what + "does not take this character");
        }
        parse.fields.push_back({ai, text.substr(dataAt, length)});
        at = end;
        if (at < text.size() && text[at] == Gs1GroupSeparator) ++at;  // one at the very end is harmless too
    }
    return parse;
}

std::optional<std::string> Gs1WithParentheses(std::string_view elementString) {
    const Gs1Parse parse = ParseGs1(elementString);
    if (!parse.Parsed()) return std::nullopt;
    std::string text;
    text.reserve(elementString.size() + 2 * parse.fields.size());
    for (const Gs1Field& field : parse.fields) {
        text += '(';
        text += field.identifier;
        text += ')';
        text += field.data;
    }
    return text;
}
