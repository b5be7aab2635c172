// Times the shaping of one barcode by ten rules: a 256-byte GS1 barcode goes
// through rules of every kind, all of them looked at ("and continue"; seven
// hold), with the encoding automatic and the group separator typed as Tab. Prints the
// median, 99th percentile and slowest time per barcode, and the time the
// rules take to compile once.
//   vask-bench-rules [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "delivery/BarcodeRules.h"
#include "delivery/RuleText.h"

namespace {

constexpr const char* Rules = R"rules(encoding automatic
control GS key TAB
control CR nothing
if begins "]C1" then strip-start 3 and continue
if ends "\x04" then strip-end 1 and continue
if contains "TEST" then skip
if length 200..300 then replace "LOT" with "L-" and continue
if pattern "^01(\d{14})" then replace-pattern "^01(\d{14})" with "01$1" and continue
if pattern "[A-Z]{3}\d+$" then add-after key ENTER and continue
if gs1 then gs1-parentheses and continue
always replace "\x1D" with "|" and continue
if contains "(21)" then add-before key ctrl LEFT and continue
always add-after "\xC3\xA9"
)rules";

// A GS1 element string of 256 bytes: fixed fields, then variable ones
// parted by group separators.
std::string Barcode() {
    std::string code = "0109501101020917" "17261231" "10LOT4711\x1D" "21" + std::string(20, 'S') + "\x1D";
    code += "91" + std::string(90, 'A') + "\x1D" "92" + std::string(60, 'B') + "\x1D" "93";
    code += std::string(256 - code.size() - 6, 'C') + "XYZ123";
    return code;
}

double Microseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    const RuleText text = ParseRuleText(Rules);
    if (!text.errors.empty()) {
        std::printf("the rules do not read: %s\n", RuleTextErrorText(text.errors[0]).c_str());
        return 1;
    }
    const std::string barcode = Barcode();
    const auto compileStart = std::chrono::steady_clock::now();
    const BarcodeShaper shaper(text.settings);
    const double compile = Microseconds(std::chrono::steady_clock::now() - compileStart);

    const ShapedBarcode shaped = shaper.Shape(barcode);
    if (shaped.skipped || shaped.appliedRules.size() != 7 || shaped.patternGaveUp) {
        std::printf("the barcode took an unexpected way: %zu rules applied\n", shaped.appliedRules.size());
        return 1;
    }

    std::vector<double> times;
    times.reserve(static_cast<size_t>(runs));
    size_t units = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const ShapedBarcode each = shaper.Shape(barcode);
        times.push_back(Microseconds(std::chrono::steady_clock::now() - start));
        units += each.units.size();
    }
    std::sort(times.begin(), times.end());
    const double p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    std::printf("10 rules over a %zu-byte barcode (%zu rules applied, %zu units typed): median %.1f us, p99 %.1f us, "
                "max %.1f us per barcode, %d barcodes; compiling the rules %.0f us\n",
                barcode.size(), shaped.appliedRules.size(), units / static_cast<size_t>(runs), times[times.size() / 2],
                p99, times.back(), runs, compile);
    return 0;
}
