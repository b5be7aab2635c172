// Barcodes of any bytes and device records of any bytes become texts in the
// Trace page's rich edit control, the Recent Barcodes list and the
// Connections page's scanner list. Their length is bounded, and they hold no
// byte that those controls would misread: no NUL (which ends a text), no line
// break or control character from a barcode, no tab in a list line but the
// two that part its columns.
//
// Input: strip count, three tokens (length byte and bytes) with Ctrl bytes, a
// window title (length byte and bytes), a time of day, a 316-byte device
// record, the trace's length, added length and limit, then the barcode.
#include <algorithm>
#include <vector>

#include "delivery/RecentBarcodes.h"
#include "delivery/TraceText.h"
#include "delivery/Formatting.h"
#include "scanner/ScannerTexts.h"
#include "sdk/FoundDeviceRecord.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string Token(fuzz::Input& in) {
    std::string token = in.Text(16);
    return token.substr(0, token.find('\0'));  // settings texts are C strings
}

void CheckRawText(const std::string& barcode) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(barcode.data());
    const std::string raw = RawDisplayText(bytes, barcode.size());
    FUZZ_CHECK(raw.size() >= barcode.size() && raw.size() <= 5 * barcode.size(), "%zu bytes give %zu characters",
               barcode.size(), raw.size());
    FUZZ_CHECK(std::none_of(raw.begin(), raw.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); }),
               "the raw text %s holds a control character", fuzz::Printable(raw).c_str());
}

void CheckFormattedText(const std::string& barcode, const FormatSettings& format) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(barcode.data());
    const std::string text = FormattedTraceText(bytes, barcode.size(), format);
    const std::string tokens = format.PrefixChar + format.SuffixFirstChar + format.SuffixSecondChar;
    FUZZ_CHECK(text.size() <= tokens.size() + 3 * 14 + 5 * barcode.size(), "%zu bytes give %zu characters",
               barcode.size(), text.size());
    // A custom token shows as it is: its control characters are the only ones.
    for (char c : text)
        FUZZ_CHECK(c != '\0' && (!IsControl(static_cast<unsigned char>(c)) || tokens.find(c) != std::string::npos),
                   "the trace %s holds byte 0x%02X", fuzz::Printable(text).c_str(), static_cast<unsigned char>(c));
}

void CheckRecentLine(const std::string& barcode, const std::string& title, ClockTime time) {
    static RecentBarcodes recent;  // a full ring keeps turning over
    const auto* bytes = reinterpret_cast<const uint8_t*>(barcode.data());
    const uint64_t sequence = recent.Add(time, title, bytes, barcode.size());
    static std::vector<RecentBarcode> copied;
    recent.CopyNewerThan(sequence - 1, copied);
    FUZZ_CHECK(copied.size() == 1 && copied[0].sequence == sequence, "%zu entries newer than %llu", copied.size(),
               static_cast<unsigned long long>(sequence - 1));
    const RecentBarcode& entry = copied[0];
    const size_t kept = std::min(barcode.size(), RecentBarcode::BarcodeCapacity);
    FUZZ_CHECK(entry.length == kept && std::equal(entry.bytes, entry.bytes + kept, bytes),
               "the entry keeps %u of %zu bytes", entry.length, barcode.size());

    const std::string line = RecentBarcodeLine(entry);
    FUZZ_CHECK(line.size() <= 8 + 1 + RecentBarcode::DestinationCapacity + 1 + 5 * RecentBarcode::BarcodeCapacity,
               "a list line of %zu characters", line.size());
    FUZZ_CHECK(std::count(line.begin(), line.end(), '\t') == 2, "the list line %s has other than three columns",
               fuzz::Printable(line).c_str());
    FUZZ_CHECK(std::none_of(line.begin(), line.end(), [](char c) { return c != '\t' && IsControl(c); }),
               "the list line %s holds a control character", fuzz::Printable(line).c_str());

    const std::u16string clip = ClipboardText({&entry});
    FUZZ_CHECK(clip.size() == kept, "%zu bytes give %zu clipboard characters", kept, clip.size());
    for (size_t i = 0; i < kept; ++i)
        FUZZ_CHECK(clip[i] == bytes[i], "byte %zu 0x%02X is U+%04X on the clipboard", i, bytes[i],
                   static_cast<unsigned>(clip[i]));
}

bool DoubleByteLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void CheckListEntry(const std::string& entry, size_t bound) {
    FUZZ_CHECK(entry.size() <= bound && entry.find('\0') == std::string::npos, "the list entry %s (%zu bytes)",
               fuzz::Printable(entry).c_str(), entry.size());
    for (auto lead : {DoubleByteLead, +[](unsigned char) { return false; }}) {
        const std::string cut = scannertext::CutOnCharacterBoundary(entry, scannertext::MaxDeviceInfoBytes, lead);
        FUZZ_CHECK(cut.size() <= scannertext::MaxDeviceInfoBytes && entry.starts_with(cut),
                   "%s cut to %s", fuzz::Printable(entry).c_str(), fuzz::Printable(cut).c_str());
        size_t at = 0;  // the cut ends where a character ends
        while (at < cut.size()) at += lead(static_cast<unsigned char>(entry[at])) && at + 1 < entry.size() ? 2 : 1;
        FUZZ_CHECK(at == cut.size(), "%s cut inside a character, after %zu bytes", fuzz::Printable(entry).c_str(),
                   cut.size());
    }
}

void CheckTraceDrop(uint32_t length, uint32_t added, uint32_t limit) {
    // Lengths of a rich edit's text: below 2^31 characters.
    length &= 0x7FFFFFFF, added &= 0x7FFFFFFF, limit = (limit & 0x7FFFFFFF) | 1;
    const size_t drop = TraceCharsToDrop(length, added, limit);
    FUZZ_CHECK(drop <= length, "drops %zu of %u", drop, length);
    if (size_t{length} + added <= limit) FUZZ_CHECK(drop == 0, "drops %zu though %u + %u fit %u", drop, length, added, limit);
    if (added <= limit)
        FUZZ_CHECK(length - drop + added <= limit, "%u - %zu + %u is over %u", length, drop, added, limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    FormatSettings format;
    format.strip = in.Integer<int32_t>();
    format.PrefixChar = Token(in), format.PrefixCharCtrl = in.Byte() & 1;
    format.SuffixFirstChar = Token(in), format.SuffixFirstCharCtrl = in.Byte() & 1;
    format.SuffixSecondChar = Token(in), format.SuffixSecondCharCtrl = in.Byte() & 1;
    const std::string title = in.Text();
    const ClockTime time{static_cast<uint8_t>(in.Byte() % 24), static_cast<uint8_t>(in.Byte() % 60),
                         static_cast<uint8_t>(in.Byte() % 60)};
    FoundDeviceRecord record;
    const std::string recordBytes = in.Fixed(FoundDeviceRecord::Size);
    std::copy(recordBytes.begin(), recordBytes.end(), record.bytes.begin());
    const auto length = in.Integer<uint32_t>(), added = in.Integer<uint32_t>(), limit = in.Integer<uint32_t>();
    const std::string barcode = in.Rest();

    CheckRawText(barcode);
    CheckFormattedText(barcode, format);
    CheckRecentLine(barcode, title, time);
    CheckListEntry(scannertext::SerialEntryText(record), 11 + 12 + 8 + 36 + 1);
    CheckListEntry(scannertext::BluetoothEntryText(record), 1 + 254 + 1 + 17);
    CheckTraceDrop(length, added, limit);
    return 0;
}
