// Finding scanners through the SDK (serial ports or Bluetooth), keeping their
// records and list entries in App, and creating the SDK's named connection
// for the selected one. Runs on the user-interface thread only.
#pragma once

#include <windows.h>

#include <string>

#include "sdk/FoundDeviceRecord.h"

enum ShowHow : int {
    ReplaceText = 0,   // the control's whole text becomes the string
    AppendEntry = 1,   // the string becomes a new entry at the end of a list box
};

void ShowText(const std::string& text, HWND control, int how);

// StatusIsError, then ConnectionStatusText, then the page's status line.
void ReportStatus(HWND page, const std::string& text, int isError);

// All eight FoundDeviceNames empty, SelectedDevice 0.
void ClearFoundDevices();

void SearchSerialPorts(HWND page, int firstPort, int lastPort);
void SearchBluetooth(HWND page);

// Shows a search's message and reads its records (count, at most eight) into
// App and the list. A negative count reads nothing.
using EntryTextFn = std::string (*)(const FoundDeviceRecord&);
void ShowSearchResult(HWND page, const std::string& message, int count, EntryTextFn entryText);

// Refills a new page's list from FoundDeviceNames (every slot up to the last
// used one, so positions keep matching FoundDevices) and reselects.
void RestoreDeviceList(HWND list, HWND activateButton);

// The stored DeviceInfo becomes list entry and slot 0 of FoundDeviceNames.
void ShowStoredDevice(HWND list);

// Creates the connection "Brontel Vask" for the selected scanner with mode;
// with no entry selected (or ScannersFound 0) no record is handed over.
void ConfigureConnection(HWND page, int mode);

// The ANSI code page's lead-byte test, for cutting texts on characters.
bool IsAnsiLeadByte(unsigned char byte);
