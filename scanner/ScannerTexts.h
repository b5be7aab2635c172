// The texts of the scanner link: list entries for found scanners, search and
// activation outcomes, deactivation, and the byte-exact cut of a list entry
// before it becomes DeviceInfo. Plain C++ so the decisions are tested natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/FoundDeviceRecord.h"
#include "sdk/VantuResults.h"

namespace scannertext {

// SDK result codes that choose a text.
using vantu::NoConnectionStored;
using vantu::DeviceNotConnected;
using vantu::DeviceNotConnected2;
using vantu::PortAccessDenied;
using vantu::NoScannersInList;
using vantu::NoBluetoothTransmitter;
using vantu::NoBluetoothTransmitter2;
using vantu::NoBluetoothDrivers;

constexpr int MaxListedScanners = 8;

inline constexpr char ScannerConnected[] = "Scanner Connected";
inline constexpr char ScannerNotConnected[] = "Scanner Not Connected";
inline constexpr char Activating[] = "Activating, please wait...";
inline constexpr char ConfigurationFailed[] = "Configuration failed.";
inline constexpr char InvalidPortSelection[] = "Invalid port selection.";
inline constexpr char Searching[] = "Searching, please wait...";
inline constexpr char Connecting[] = "Connecting...";

// PortName without backslashes and points, then each lower-case "com"
// (left to right, without overlap) replaced by one blank.
std::string SerialPortText(const std::string& portName);

// "Device ID: <id> on Com <port text>."
std::string SerialEntryText(const FoundDeviceRecord& record);

// "<name> xx:xx:xx:xx:xx:xx" for DeviceKind 1, the same after one blank otherwise.
std::string BluetoothEntryText(const FoundDeviceRecord& record);

// "No Scanners found.", "Found 1 Scanner." or "Found <n> Scanners." (also
// for a negative count).
std::string CountMessage(int count);

// How many records a search with this SDK count reads: 0..8.
int ListedEntryCount(int count);

// Text for a failed VantuGetFoundDeviceInfo.
std::string RecordFailureMessage(uint32_t result);

// One record pass of a search: the SDK's result and, when it succeeded, the
// list entry its record gives.
struct RecordPass {
    uint32_t result = 0;
    std::string entry;
};

// What a search shows: one entry per pass, the status text and its colour.
struct SearchListing {
    std::vector<std::string> entries;
    std::string status;
    bool statusIsError = false;
};

// The listing of a search that reported message and read these passes. A
// failed pass repeats the previous entry (empty for the first) and its
// failure text replaces the status; the colour follows the last pass, so a
// good record after a failure turns it back while the failure text stays.
SearchListing ListSearch(const std::string& message, const std::vector<RecordPass>& passes);

// A Bluetooth search's message: the driver and transmitter codes have their
// own texts, every other result gives the count message.
std::string BluetoothSearchMessage(uint32_t result, int count);
// Whether a Bluetooth search result lets its count mark scanners as found.
bool BluetoothResultCountsScanners(uint32_t result);

// The activation outcome texts; while the retry runs, the short forms.
std::string ActivationSuccessMessage(bool retrying);
std::string ActivationFailureMessage(uint32_t code, bool retrying);

// DeactivateScanner's text: empty when nothing was open.
inline constexpr char Deactivated[] = "Brontel Vask Deactivated";
inline constexpr char DeactivationFailed[] = "Failed to Deactive Scanner.";
std::string DeactivationMessage(bool wasOpen, uint32_t closeResult);

// "Scanner SDK missing: <dll> is not in <folder>."
std::string SdkMissingMessage(const std::string& dll, const std::string& folder);

// The longest prefix of text of at most maxBytes bytes that does not end
// inside a double-byte character; isLeadByte tells the lead bytes of the
// code page (single-byte code pages have none).
using LeadByteTest = bool (*)(unsigned char byte);
std::string CutOnCharacterBoundary(const std::string& text, size_t maxBytes, LeadByteTest isLeadByte);

// Selected entry texts are copied into a 100-byte buffer: 99 bytes at most.
constexpr size_t MaxDeviceInfoBytes = 99;

}  // namespace scannertext
