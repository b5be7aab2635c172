// What the Connections page's controls show of the scanner's state and of
// the settings, and the small steps the page takes on them. User-interface
// thread only.
#pragma once

#include <windows.h>

#include <string>

#include "win/ListControls.h"

namespace connections {

HWND Item(HWND page, int id);
void Enable(HWND page, int id, bool on);
void ShowStatus(HWND page, const std::string& text);
// The scanner's lasting status text (not a command's passing one).
void ShowLastingStatus(HWND page);
void SetActivateCaption(HWND page, const char* caption);
std::string ActivateCaptionText(HWND page);
win::ListBox ScannerList(HWND page);
int ListCount(HWND page);
void SelectListEntry(HWND page, int index);
// The number a port box shows, read as an unsigned decimal (0 when empty).
UINT PortValue(HWND page, int id);

// The activated state: Deactivate offered, searching and choosing locked.
void ShowActivatedControls(HWND page);
// The scanner's state as a new page finds it (ConnectionsPageView.h).
void ShowConnectionState(HWND page);
void EnablePortBoxes(HWND page, bool on);
// The transport: SerialMode or BluetoothMode.
int Mode();
void SetMode(int mode);
void ShowTransport(HWND page);
// The port boxes list 1-64 and show the stored range.
void FillPortBoxes(HWND page);

}  // namespace connections
