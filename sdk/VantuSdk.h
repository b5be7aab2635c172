// The program's side of the scanner SDK. The DLL is loaded at first use from
// the program's own folder only (by full path, never searched for) and bound
// by export name; without it there, or without one of its exports, every call fails with a
// nonzero code (and the version is 0), so the program's own status texts show.
// A handle of 0 (never opened, or already closed) never reaches the DLL.
// Thread-safe: the binding is made once and never changes afterwards.
#pragma once

#include "sdk/VantuSdkAbi.h"

namespace vantu {

// What calls answer when the DLL or the export is missing, or the handle is 0.
constexpr Result NotLoaded = ERROR_MOD_NOT_FOUND;
constexpr Result NoHandle = ERROR_INVALID_HANDLE;

// Loads the DLL if that was not tried yet (it may take as long as the DLL's
// own start): for the scanner worker, never the user-interface thread.
bool SdkLoaded();
// Whether a load was tried and found no DLL beside the program; never waits.
bool SdkLoadFailed();

Result VantuFindAllOnCOMPorts(int32_t firstPort, int32_t lastPort, int16_t* count);
Result VantuFindAllInRange(int16_t* count, uint32_t* second);
Result VantuGetFoundDeviceInfo(void* record316);
Result VantuCreateConnection(const void* record316, const char* name, int32_t mode, HKEY root);
Result VantuConnectionOpen(Handle* handle, const char* name, HKEY root);
Result VantuSetBarCodeIDMode(Handle handle, int32_t mode);
Result VantuRequestDownload(Handle handle);
Result VantuGetBarCodeCount(Handle handle, int16_t* count);
// Never reports more than BarcodeBufferSize bytes in *length.
Result VantuGetBarCode(Handle handle, uint8_t* buffer256, uint16_t* length, uint8_t* extra16);
Result VantuSDKClearStoredBarcodes(Handle handle);
Result VantuClose(Handle handle);
int32_t VantuAPIGetVersion();

}  // namespace vantu
