#include "delivery/ScanLogText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace scanlog {
namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view text) { return std::atoi(std::string(text).c_str()); }

bool ValidDate(int year, int month, int day) {
    return year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// The fields of one CSV record starting at `at`; `at` moves past its line end.
std::optional<std::vector<std::string>> NextRecord(std::string_view text, size_t& at) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c != '"') fields.back() += c;
            else if (at + 1 < text.size() && text[at + 1] == '"') fields.back() += text[++at];
            else quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n') {
            ++at;
            return fields;
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    if (quoted) return std::nullopt;  // cut off inside a field
    return fields;
}

}  // namespace

std::string TypedText(const uint8_t* bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            text += static_cast<char>(b);
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

std::vector<uint8_t> BarcodeBytes(std::string_view utf8) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<uint8_t>(utf8[i]);
        if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size())
            bytes.push_back(static_cast<uint8_t>(((b & 0x1F) << 6) | (static_cast<uint8_t>(utf8[++i]) & 0x3F)));
        else
            bytes.push_back(b);
    }
    return bytes;
}

const char* OutcomeText(BarcodeFate fate) {
    switch (fate) {
    case BarcodeFate::Typing: return Fetched;
    case BarcodeFate::Typed: return Typed;
    case BarcodeFate::Traced: return Traced;
    case BarcodeFate::PartlyTyped: return PartlyTyped;
    case BarcodeFate::Unfinished: return ProgramEnded;
    case BarcodeFate::Skipped: return SkippedByRule;
    }
    return Fetched;
}

namespace {

// Whether a spreadsheet would read the field as a formula, or the reader
// would take a leading ' for Field's mark.
bool LooksLikeFormula(std::string_view text) {
    if (text.empty()) return false;
    if (std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) return true;
    return text.front() == '\'' && LooksLikeFormula(text.substr(1));
}

std::string Unmarked(std::string text) {
    if (!text.empty() && text.front() == '\'' && LooksLikeFormula(std::string_view(text).substr(1)))
        text.erase(0, 1);
    return text;
}

std::string KeysText(const Row& row) {
    if (row.keysTotal == 0) return {};
    return std::to_string(row.keysTyped) + " of " + std::to_string(row.keysTotal);
}

void ParseKeys(const std::string& text, Row& row) {
    unsigned typed = 0, total = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u of %u%c", &typed, &total, &tail) != 2 || typed > total || total > 0xFFFF)
        return;
    row.keysTyped = static_cast<uint16_t>(typed);
    row.keysTotal = static_cast<uint16_t>(total);
}

}  // namespace

std::string Field(std::string_view text) {
    const bool formula = LooksLikeFormula(text);
    if (!formula && text.find_first_of("\",\t\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = formula ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string RowText(const Row& row) {
    return Field(row.key) + ',' + Field(row.time) + ',' + Field(row.barcode) + ',' + Field(row.outcome) + ',' +
           Field(row.window) + ',' + std::to_string(row.length) + ',' + KeysText(row) + ',' + Field(row.typed) + ',' +
           Field(row.profile) + "\r\n";
}

std::string IsoTime(const ClockTime& local, int offsetMinutes) {
    const char sign = offsetMinutes < 0 ? '-' : '+';
    const int offset = std::abs(offsetMinutes);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02d:%02d", unsigned{local.year},
                  unsigned{local.month}, unsigned{local.day}, unsigned{local.hour}, unsigned{local.minute},
                  unsigned{local.second}, sign, offset / 60, offset % 60);
    return text;
}

std::optional<ClockTime> ParseIsoTime(std::string_view text) {
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    for (size_t at : {0u, 5u, 8u, 11u, 14u, 17u})
        if (!AllDigits(text.substr(at, at == 0 ? 4 : 2))) return std::nullopt;
    const int year = Number(text.substr(0, 4)), month = Number(text.substr(5, 2)), day = Number(text.substr(8, 2));
    const int hour = Number(text.substr(11, 2)), minute = Number(text.substr(14, 2)),
              second = Number(text.substr(17, 2));
    if (!ValidDate(year, month, day) || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    return ClockTime{static_cast<uint8_t>(hour), static_cast<uint8_t>(minute), static_cast<uint8_t>(second),
                     static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)};
}

std::string FileName(const ClockTime& day) {
    char name[32];
    std::snprintf(name, sizeof name, "%04u-%02u-%02u.csv", unsigned{day.year}, unsigned{day.month},
                  unsigned{day.day});
    return name;
}

bool Expired(std::string_view fileName, const ClockTime& today, uint32_t days) {
    if (fileName.size() != 14 || fileName.substr(10) != ".csv" || fileName[4] != '-' || fileName[7] != '-' ||
        !AllDigits(fileName.substr(0, 4)) || !AllDigits(fileName.substr(5, 2)) || !AllDigits(fileName.substr(8, 2)))
        return false;
    const int year = Number(fileName.substr(0, 4)), month = Number(fileName.substr(5, 2)),
              day = Number(fileName.substr(8, 2));
    if (!ValidDate(year, month, day) || !ValidDate(today.year, today.month, today.day)) return false;
    const long age = DaysFromCivil(today.year, today.month, today.day) -
                     DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return age >= static_cast<long>(days);
}

uint32_t RetentionWithin(uint32_t days) { return std::clamp<uint32_t>(days, 1, MaxRetentionDays); }

std::vector<Row> ParseRows(std::string_view text) {
    if (text.substr(0, 3) == ByteOrderMark) text.remove_prefix(3);
    std::vector<Row> rows;
    size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const auto fields = NextRecord(text, at);
        if (!fields) break;
        // Files written before the Keys column have six fields, before Typed
        // seven, before Profile eight.
        if (std::exchange(header, false) || fields->size() < 6 || fields->size() > 9 || !AllDigits((*fields)[5]))
            continue;
        const std::vector<std::string>& f = *fields;
        Row row{Unmarked(f[0]), Unmarked(f[1]), Unmarked(f[2]), Unmarked(f[3]), Unmarked(f[4]),
                static_cast<uint32_t>(std::strtoul(f[5].c_str(), nullptr, 10))};
        if (f.size() >= 7) ParseKeys(f[6], row);
        if (f.size() >= 8) row.typed = Unmarked(f[7]);
        if (f.size() == 9) row.profile = Unmarked(f[8]);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<std::string> OfferText(const Row& last) {
    if (last.outcome == Fetched) return std::string(ProgramEnded);
    if (last.outcome == Typing) return "the program ended while typing it into " + last.window;
    if (last.outcome != PartlyTyped) return std::nullopt;
    if (last.keysTyped == 0) return std::string("not typed");
    return std::to_string(last.keysTyped) + " of " + std::to_string(last.keysTotal) + " characters into " +
           last.window;
}

std::vector<Row> Unfinished(const std::vector<Row>& rows) {
    std::map<std::string, size_t> last;  // key -> index of its last row
    for (size_t i = 0; i < rows.size(); ++i) last[rows[i].key] = i;
    std::vector<Row> unfinished;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto found = last.find(rows[i].key);
        if (found == last.end()) continue;  // listed at its first row already
        if (OfferText(rows[found->second])) unfinished.push_back(rows[found->second]);
        last.erase(found);
    }
    return unfinished;
}

}  // namespace scanlog
