#include "sdk/VantuSdk.h"

#include <algorithm>
#include <atomic>

#include "win/ProgramFile.h"

namespace vantu {
namespace {

// Set once the load was tried, so a look at it never waits for the load.
std::atomic<bool> LoadFailed{false};

struct Binding {
    HMODULE dll = nullptr;  // kept for the life of the process
    FindAllOnCOMPortsFn findAllOnCOMPorts = nullptr;
    FindAllInRangeFn findAllInRange = nullptr;
    GetFoundDeviceInfoFn getFoundDeviceInfo = nullptr;
    CreateConnectionFn createConnection = nullptr;
    ConnectionOpenFn connectionOpen = nullptr;
    SetBarCodeIDModeFn setBarCodeIDMode = nullptr;
    RequestDownloadFn requestDownload = nullptr;
    GetBarCodeCountFn getBarCodeCount = nullptr;
    GetBarCodeFn getBarCode = nullptr;
    SDKClearStoredBarcodesFn clearStoredBarcodes = nullptr;
    CloseFn close = nullptr;
    APIGetVersionFn apiGetVersion = nullptr;

    template <typename Fn>
    void Bind(Fn& slot, const char* name) {
        slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(dll, name)));
    }

    Binding() {
        // Only the copy beside the program: a missing DLL must not be looked
        // for in the system folders, the current directory or on PATH, where
        // anyone could have put a library of that name.
        dll = win::LoadLibraryBesideProgram(DllNameW);
        if (!dll) {
            LoadFailed = true;
            return;
        }
        Bind(findAllOnCOMPorts, "VantuFindAllOnCOMPorts");
        Bind(findAllInRange, "VantuFindAllInRange");
        Bind(getFoundDeviceInfo, "VantuGetFoundDeviceInfo");
        Bind(createConnection, "VantuCreateConnection");
        Bind(connectionOpen, "VantuConnectionOpen");
        Bind(setBarCodeIDMode, "VantuSetBarCodeIDMode");
        Bind(requestDownload, "VantuRequestDownload");
        Bind(getBarCodeCount, "VantuGetBarCodeCount");
        Bind(getBarCode, "VantuGetBarCode");
        Bind(clearStoredBarcodes, "VantuSDKClearStoredBarcodes");
        Bind(close, "VantuClose");
        Bind(apiGetVersion, "VantuAPIGetVersion");
    }
};

const Binding& Sdk() {
    static const Binding binding;  // thread-safe one-time initialisation
    return binding;
}

}  // namespace

bool SdkLoaded() { return Sdk().dll != nullptr; }

bool SdkLoadFailed() { return LoadFailed.load(); }

Result VantuFindAllOnCOMPorts(int32_t firstPort, int32_t lastPort, int16_t* count) {
    auto fn = Sdk().findAllOnCOMPorts;
    return fn ? fn(firstPort, lastPort, count) : NotLoaded;
}

Result VantuFindAllInRange(int16_t* count, uint32_t* second) {
    auto fn = Sdk().findAllInRange;
    return fn ? fn(count, second) : NotLoaded;
}

Result VantuGetFoundDeviceInfo(void* record316) {
    auto fn = Sdk().getFoundDeviceInfo;
    return fn ? fn(record316) : NotLoaded;
}

Result VantuCreateConnection(const void* record316, const char* name, int32_t mode, HKEY root) {
    auto fn = Sdk().createConnection;
    return fn ? fn(record316, name, mode, root) : NotLoaded;
}

Result VantuConnectionOpen(Handle* handle, const char* name, HKEY root) {
    auto fn = Sdk().connectionOpen;
    return fn ? fn(handle, name, root) : NotLoaded;
}

Result VantuSetBarCodeIDMode(Handle handle, int32_t mode) {
    auto fn = Sdk().setBarCodeIDMode;
    if (!handle) return NoHandle;
    return fn ? fn(handle, mode) : NotLoaded;
}

Result VantuRequestDownload(Handle handle) {
    auto fn = Sdk().requestDownload;
    if (!handle) return NoHandle;
    return fn ? fn(handle) : NotLoaded;
}

Result VantuGetBarCodeCount(Handle handle, int16_t* count) {
    auto fn = Sdk().getBarCodeCount;
    if (!handle) return NoHandle;
    return fn ? fn(handle, count) : NotLoaded;
}

Result VantuGetBarCode(Handle handle, uint8_t* buffer256, uint16_t* length, uint8_t* extra16) {
    auto fn = Sdk().getBarCode;
    if (!handle) return NoHandle;
    if (!fn) return NotLoaded;
    Result result = fn(handle, buffer256, length, extra16);
    *length = std::min<uint16_t>(*length, static_cast<uint16_t>(BarcodeBufferSize));
    return result;
}

Result VantuSDKClearStoredBarcodes(Handle handle) {
    auto fn = Sdk().clearStoredBarcodes;
    if (!handle) return NoHandle;
    return fn ? fn(handle) : NotLoaded;
}

Result VantuClose(Handle handle) {
    auto fn = Sdk().close;
    if (!handle) return NoHandle;
    return fn ? fn(handle) : NotLoaded;
}

int32_t VantuAPIGetVersion() {
    auto fn = Sdk().apiGetVersion;
    return fn ? fn() : 0;
}

}  // namespace vantu
