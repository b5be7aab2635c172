// Finding scanners through the SDK (serial ports or Bluetooth), keeping their
// records and list entries in Scanner, and creating the SDK's named connection
// for the selected one. Plain results, no windows: the Connections page shows
// them (pages/ScannerView.h). Runs on the user-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "scanner/ScannerState.h"
#include "scanner/ScannerTexts.h"
#include "sdk/FoundDeviceRecord.h"

// The status line's text and colour, as the page shows them.
struct ScannerStatus {
    std::string text;
    bool isError = false;
};

// StatusIsError, then ConnectionStatusText; returns what the page shows.
ScannerStatus SetScannerStatus(const std::string& text, bool isError);

// All eight FoundDeviceNames empty, SelectedDevice 0.
void ClearFoundDevices();

// A search's listing; Scanner's found devices and status already updated.
scannertext::SearchListing FindSerialScanners(int firstPort, int lastPort);
scannertext::SearchListing FindBluetoothScanners();

// Reads a search's records (count, at most eight) into Scanner after its
// message. A negative count reads nothing.
using EntryTextFn = std::string (*)(const FoundDeviceRecord&);
scannertext::SearchListing ReadSearchRecords(const std::string& message, int count, EntryTextFn entryText);

// The list a new page shows: every FoundDeviceNames slot up to the last used
// one (so positions keep matching FoundDevices), and the entry to select
// (-1: none).
struct DeviceList {
    std::vector<std::string> entries;
    int selected = -1;
};
DeviceList FoundDeviceList();

// The stored DeviceInfo becomes slot 0 of FoundDeviceNames; returns it as the
// list entry to show.
std::string TakeStoredDevice();

// Creates the connection "Brontel Vask" for the list entry at slot (-1: none
// selected), whose text is entry, with mode; with no entry selected (or no
// scanners found) no record is handed over.
ScannerStatus ConfigureSelectedScanner(int slot, const std::string& entry, int mode);
