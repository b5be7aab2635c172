// The texts of the 19 setting elements, as any user of the machine may write
// them into the shared settings file: the record takes a value that the
// setting can hold, or keeps its old one; a value taken is written back as a
// text that reads as the same value. The same bytes, read as a whole file,
// are refused whenever they declare a document type in any encoding.
//
// Input: pairs of an element byte and a text (length byte and bytes).
#include <cctype>
#include <optional>

#include "config/SettingsBytes.h"
#include "config/SettingsRecord.h"
#include "delivery/Formatting.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The integer a text stands for, worked out apart from the program's
// parser: XML white space around an optionally signed run of decimal digits
// within 32 bits.
std::optional<int32_t> ReferenceInteger(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t from = 0, to = text.size();
    while (from < to && space(text[from])) ++from;
    while (to > from && space(text[to - 1])) --to;
    bool negative = false;
    if (from < to && (text[from] == '+' || text[from] == '-')) negative = text[from++] == '-';
    if (from == to) return std::nullopt;
    int64_t value = 0;
    for (size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

bool SameExcept(const SettingsRecord& a, const SettingsRecord& b, const SettingsElement& except) {
    for (const SettingsElement& e : SettingsElements()) {
        if (e.name == except.name) continue;
        if (e.integer ? a.*e.integer != b.*e.integer : a.*e.text != b.*e.text) return false;
    }
    return true;
}

void CheckTake(SettingsRecord& record, const SettingsElement& element, const std::string& text) {
    const SettingsRecord before = record;
    TakeElementText(record, element, text);
    FUZZ_CHECK(SameExcept(before, record, element), "%s %s changed another setting", element.name,
               fuzz::Printable(text).c_str());
    if (element.text) {
        FUZZ_CHECK(record.*element.text == text, "%s %s taken as %s", element.name, fuzz::Printable(text).c_str(),
                   fuzz::Printable(record.*element.text).c_str());
    } else {
        const std::optional<int32_t> expected = ReferenceInteger(text);
        const int value = record.*element.integer;
        FUZZ_CHECK(value == expected.value_or(before.*element.integer), "%s %s taken as %d (before %d)", element.name,
                   fuzz::Printable(text).c_str(), value, before.*element.integer);
    }
    // What is written reads back as the same value.
    SettingsRecord reread = record;
    TakeElementText(reread, element, ElementText(record, element));
    FUZZ_CHECK(reread == record, "%s: %s does not read back", element.name,
               fuzz::Printable(ElementText(record, element)).c_str());
    // Whatever strip count was taken, the typed part lies within the barcode.
    for (size_t length : {size_t{0}, size_t{1}, size_t{5}, size_t{256}}) {
        const ByteRange range = StrippedRange(length, record.strip);
        FUZZ_CHECK(range.count == 0 || range.first + range.count <= length, "strip %d of %zu bytes gives %zu+%zu",
                   record.strip, length, range.first, range.count);
    }
}

// Whether the bytes, read in some encoding of units of 1, 2 or 4 bytes of
// either order, hold "<!DOCTYPE" in any letter case.
bool DeclaresDocumentType(std::string_view bytes) {
    static constexpr std::string_view Opening = "<!doctype";
    for (size_t width : {1, 2, 4})
        for (bool bigEndian : {false, true})
            for (size_t offset = 0; offset < width; ++offset) {
                size_t matched = 0;
                for (size_t i = offset; i + width <= bytes.size(); i += width) {
                    uint32_t unit = 0;
                    for (size_t k = 0; k < width; ++k) {
                        const size_t at = bigEndian ? i + k : i + width - 1 - k;
                        unit = unit << 8 | static_cast<unsigned char>(bytes[at]);
                    }
                    const bool same = unit < 0x80 && std::tolower(static_cast<int>(unit)) == Opening[matched];
                    matched = same ? matched + 1 : (unit == '<' ? 1 : 0);
                    if (matched == Opening.size()) return true;
                }
            }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    if (DeclaresDocumentType(file))
        FUZZ_CHECK(CheckSettingsBytes(file) == SettingsBytesVerdict::HasDocumentType,
                   "a file declaring a document type is accepted: %s", fuzz::Printable(file).c_str());

    fuzz::Input in(data, size);
    SettingsRecord record;
    while (!in.Empty()) {
        const SettingsElement& element = SettingsElements()[in.Byte() % SettingsElementCount];
        CheckTake(record, element, in.Text());
    }
    return 0;
}
