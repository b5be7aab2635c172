// Small texts of the scanner simulator, free of windows.h: barcode escapes,
// hexadecimal bytes, result codes, port numbers, Bluetooth addresses, scanner
// names, and the percent encoding used inside the state file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sdksim {

// A parsed value, or the reason why there is none.
template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string error;

    static Parsed Ok(T v) { return Parsed{std::move(v), {}}; }
    static Parsed Fail(std::string why) { return Parsed{std::nullopt, std::move(why)}; }
    explicit operator bool() const { return value.has_value(); }
};

using BluetoothAddress = std::array<uint8_t, 6>;

// "\r", "\n", "\t", "\\" and "\xHH" stand for their bytes; every other
// character stands for itself. Any other backslash sequence is an error.
Parsed<std::string> UnescapeBarcode(std::string_view text);
// The reverse, for display: printable ASCII stays, the rest is escaped.
std::string EscapeBarcode(std::string_view bytes);

// Pairs of hexadecimal digits ("0d0A41"), at least one pair.
Parsed<std::string> ParseHexBytes(std::string_view hex);

// A 32-bit result code in decimal ("2") or hexadecimal ("0x20010019").
Parsed<uint32_t> ParseResultCode(std::string_view text);
// A decimal number from 0 to max.
Parsed<uint32_t> ParseCount(std::string_view text, uint32_t max);
// A decimal number, with an optional minus sign.
Parsed<int32_t> ParseSigned(std::string_view text);

// The number that ends a port name: "COM3", "com3" and "\\.\COM3" give 3.
// Names that do not end in digits (or whose number is out of range) have none.
std::optional<int> PortNumber(std::string_view portName);

// "00:1a:7D:da:71:13": six bytes, byte 0 first.
Parsed<BluetoothAddress> ParseBluetoothAddress(std::string_view text);
std::string FormatBluetoothAddress(const BluetoothAddress& address);

// Scanner names: 1 to 64 characters of printable ASCII without blanks;
// "*" alone stands for the searches and so is no name.
bool IsValidScannerName(std::string_view name);

// Percent encoding for one field of the state file: bytes outside 0x21..0x7E,
// and '%' and '=', become %HH.
std::string PercentEncode(std::string_view bytes);
std::optional<std::string> PercentDecode(std::string_view text);

std::string FormatResultCode(uint32_t code);  // "0x20010019", or "0" for 0

}  // namespace sdksim
