#include "scanner/ScannerTexts.h"

#include <algorithm>
#include <cstdio>

namespace scannertext {

std::string SerialPortText(const std::string& portName) {
    std::string kept;
    kept.reserve(portName.size());
    for (char c : portName)
        if (c != '\\' && c != '.') kept += c;

    std::string text;
    text.reserve(kept.size());
    for (size_t i = 0; i < kept.size();) {
        if (kept.compare(i, 3, "com") == 0) {
            text += ' ';
            i += 3;
        } else {
            text += kept[i++];
        }
    }
    return text;
}

std::string SerialEntryText(const FoundDeviceRecord& record) {
    return "Device ID: " + record.DeviceId() + " on Com " + SerialPortText(record.PortName()) + ".";
}

std::string BluetoothEntryText(const FoundDeviceRecord& record) {
    const auto a = record.BluetoothAddress();
    char address[3 * 6];
    std::snprintf(address, sizeof address, "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x",
                  a[0], a[1], a[2], a[3], a[4], a[5]);
    std::string text = record.BluetoothName() + " " + address;
    return record.DeviceKind() == 1 ? text : " " + text;
}

std::string CountMessage(int count) {
    if (count == 0) return "No Scanners found.";
    if (count == 1) return "Found 1 Scanner.";
    return "Found " + std::to_string(count) + " Scanners.";
}

int ListedEntryCount(int count) {
    return std::clamp(count, 0, MaxListedScanners);
}

std::string RecordFailureMessage(uint32_t result) {
    return result == NoScannersInList ? "No Scanners found in list." : "Failed to get Scanner Information.";
}

SearchListing ListSearch(const std::string& message, const std::vector<RecordPass>& passes) {
    SearchListing listing;
    listing.status = message;
    std::string entry;
    for (const RecordPass& pass : passes) {
        if (pass.result == 0) {
            entry = pass.entry;
            listing.statusIsError = false;
        } else {
            listing.status = RecordFailureMessage(pass.result);
            listing.statusIsError = true;
        }
        listing.entries.push_back(entry);
    }
    return listing;
}

std::string BluetoothSearchMessage(uint32_t result, int count) {
    if (result == NoBluetoothDrivers) return "No Bluetooth drivers found.";
    if (result == NoBluetoothTransmitter || result == NoBluetoothTransmitter2)
        return "No Bluetooth transmitter found.";
    return CountMessage(count);
}

bool BluetoothResultCountsScanners(uint32_t result) {
    return result != NoBluetoothDrivers && result != NoBluetoothTransmitter &&
           result != NoBluetoothTransmitter2;
}

std::string ActivationSuccessMessage(bool retrying) {
    return retrying ? ScannerConnected : "Brontel Vask Activated, Scanner Connected";
}

std::string ActivationFailureMessage(uint32_t code, bool retrying) {
    if (retrying) return ScannerNotConnected;
    switch (code) {
    case NoConnectionStored: return "Please make sure that the Brontel Vask is connected.";
    case DeviceNotConnected:
    case DeviceNotConnected2: return "Device is not connected.";
    case PortAccessDenied: return "Port access denied.";
    default: return "Unable to activate Brontel Vask.";
    }
}

std::string SdkMissingMessage(const std::string& dll, const std::string& folder) {
    return "Scanner SDK missing: " + dll + " is not in " + folder + ".";
}

std::string DeactivationMessage(bool wasOpen, uint32_t closeResult) {
    if (!wasOpen) return {};
    return closeResult == 0 ? Deactivated : DeactivationFailed;
}

std::string CutOnCharacterBoundary(const std::string& text, size_t maxBytes, LeadByteTest isLeadByte) {
    size_t end = 0;
    while (end < text.size()) {
        const bool pair = isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
        const size_t next = end + (pair ? 2 : 1);
        if (next > maxBytes) break;
        end = next;
    }
    return text.substr(0, end);
}

}  // namespace scannertext
