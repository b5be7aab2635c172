// The CSV rows the program reads back: the file of unfinished barcodes at
// start-up, which any program of the user may have written, and the scan
// log. Input: a byte choosing how much of the rest is a whole file's text;
// the remainder makes rows whose fields are written and read back.
#include <algorithm>
#include <vector>

#include "delivery/ScanLogText.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const size_t fileSize = static_cast<size_t>(input.Byte()) * 8;
    const std::string file = input.Fixed(fileSize);

    // Any file: every offer names its barcode's last row and says a bounded
    // text; nothing is offered twice.
    const std::vector<scanlog::Row> rows = scanlog::ParseRows(file);
    FUZZ_CHECK(rows.size() <= file.size(), "%zu rows from %zu bytes", rows.size(), file.size());
    const std::vector<scanlog::Row> offered = scanlog::Unfinished(rows);
    for (size_t i = 0; i < offered.size(); ++i) {
        const std::optional<std::string> text = scanlog::OfferText(offered[i]);
        FUZZ_CHECK(text.has_value(), "offered without a text: %s", fuzz::Printable(offered[i].outcome).c_str());
        FUZZ_CHECK(text->size() <= 64 + offered[i].window.size(), "offer text of %zu bytes", text->size());
        for (size_t j = 0; j < i; ++j)
            FUZZ_CHECK(offered[j].key != offered[i].key, "key %s offered twice", fuzz::Printable(offered[i].key).c_str());
    }

    // Rows written read back exactly, whatever their fields hold: quotes,
    // commas, line ends, a leading = + - @ or ' of a would-be formula.
    std::vector<scanlog::Row> written;
    std::string text = std::string(scanlog::ByteOrderMark) + scanlog::HeaderRow;
    while (!input.Empty()) {
        scanlog::Row row{input.Text(40), input.Text(40), input.Text(80), input.Text(20), input.Text(60),
                         input.Integer<uint32_t>(), input.Integer<uint16_t>(), 0};
        row.keysTotal = static_cast<uint16_t>(std::min<uint32_t>(0xFFFF, row.keysTyped + input.Byte()));
        if (row.keysTotal == 0) row.keysTyped = 0;  // no keys counted: the column stays empty
        written.push_back(row);
        text += scanlog::RowText(row);
    }
    const std::vector<scanlog::Row> read = scanlog::ParseRows(text);
    FUZZ_CHECK(read.size() == written.size(), "%zu rows written, %zu read", written.size(), read.size());
    for (size_t i = 0; i < read.size(); ++i) {
        const scanlog::Row& a = written[i];
        const scanlog::Row& b = read[i];
        FUZZ_CHECK(a.key == b.key && a.time == b.time && a.barcode == b.barcode && a.outcome == b.outcome &&
                       a.window == b.window && a.length == b.length && a.keysTyped == b.keysTyped &&
                       a.keysTotal == b.keysTotal,
                   "row %zu: barcode %s read as %s, window %s as %s", i, fuzz::Printable(a.barcode).c_str(),
                   fuzz::Printable(b.barcode).c_str(), fuzz::Printable(a.window).c_str(),
                   fuzz::Printable(b.window).c_str());
        // What a spreadsheet would run never starts a field unquoted.
        for (const std::string* field : {&a.barcode, &a.window})
            if (!field->empty() && std::string_view("=+-@\t\r").find(field->front()) != std::string_view::npos)
                FUZZ_CHECK(scanlog::Field(*field).rfind("\"'", 0) == 0, "%s written as a formula",
                           fuzz::Printable(*field).c_str());
    }
    return 0;
}
