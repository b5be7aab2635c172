// The Connections page's side of discovery: the scanner code's plain results
// turned into the page's status line and scanner list. Each call keeps the
// name of the step it shows. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>

#include "scanner/Discovery.h"

enum ShowHow : int {
    ReplaceText = 0,   // the control's whole text becomes the string
    AppendEntry = 1,   // the string becomes a new entry at the end of a list box
};

void ShowText(const std::string& text, HWND control, int how);

// The text of a list box's entry ("" when there is none).
std::string ListEntryText(HWND list, int index);

// A search's listing: the status line, then the list emptied and refilled.
void ShowSearchListing(HWND page, const scannertext::SearchListing& listing);

void SearchSerialPorts(HWND page, int firstPort, int lastPort);
void SearchBluetooth(HWND page);
// Refills a new page's list from FoundDeviceNames and reselects, which
// enables the Activate button.
void RestoreDeviceList(HWND list, HWND activateButton);

// The stored DeviceInfo becomes list entry and slot 0 of FoundDeviceNames.
void ShowStoredDevice(HWND list);

// Creates the connection for the list's selected scanner with mode and shows
// the outcome on the status line.
void ConfigureConnection(HWND page, int mode);

// Activates the stored connection; a failure's text goes to the dialog's
// status line. 1 activated, 0 failed.
int ActivateScanner(HWND dialog);
