// The calling convention of the scanner SDK, VantuPlusSDK_Win32_API.dll:
// __stdcall functions exported under their plain names, 0 = success.
// Shared by the program's binding and by the simulator that stands in for
// the maker's DLL.
#pragma once

#include <windows.h>

#include <cstdint>

#include "sdk/VantuResults.h"

namespace vantu {

using Handle = uint32_t;

constexpr char DllName[] = "VantuPlusSDK_Win32_API.dll";
constexpr wchar_t DllNameW[] = L"VantuPlusSDK_Win32_API.dll";
constexpr char ConnectionName[] = "Brontel Vask";
constexpr size_t BarcodeBufferSize = 256;
constexpr size_t BarcodeExtraSize = 16;

// Result codes the program tells apart: sdk/VantuResults.h.

extern "C" {
using FindAllOnCOMPortsFn = Result(WINAPI*)(int32_t firstPort, int32_t lastPort, int16_t* count);
using FindAllInRangeFn = Result(WINAPI*)(int16_t* count, uint32_t* second);
using GetFoundDeviceInfoFn = Result(WINAPI*)(void* record316);
using CreateConnectionFn = Result(WINAPI*)(const void* record316, const char* name, int32_t mode, HKEY root);
using ConnectionOpenFn = Result(WINAPI*)(Handle* handle, const char* name, HKEY root);
using SetBarCodeIDModeFn = Result(WINAPI*)(Handle handle, int32_t mode);
using RequestDownloadFn = Result(WINAPI*)(Handle handle);
using GetBarCodeCountFn = Result(WINAPI*)(Handle handle, int16_t* count);
using GetBarCodeFn = Result(WINAPI*)(Handle handle, uint8_t* buffer256, uint16_t* length, uint8_t* extra16);
using SDKClearStoredBarcodesFn = Result(WINAPI*)(Handle handle);
using CloseFn = Result(WINAPI*)(Handle handle);
using APIGetVersionFn = int32_t(WINAPI*)();
}

}  // namespace vantu
