// What the Recent Barcodes window hands to other programs: the clipboard, a
// CSV file of the scan log's form, and Explorer on the scan log's folder.
// User-interface thread; each says how it went in the window's status line.
#pragma once

#include <windows.h>

#include <vector>

#include "delivery/RecentBarcodes.h"

// The barcodes, in the order given, on the clipboard as Unicode text, one per line.
void CopyBarcodes(HWND dialog, const std::vector<const RecentBarcode*>& barcodes);

// The barcodes, in the order given, into a CSV file that the user names. A
// copy: the list may change while the user chooses the file.
void SaveBarcodesAs(HWND dialog, const std::vector<RecentBarcode>& barcodes);

// Explorer on the scan log's folder (made if need be).
void OpenScanLogFolder(HWND dialog);
