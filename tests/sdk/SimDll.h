// The simulated SDK loaded by path from the test's bin folder, its exports
// looked up by their plain names, and a fixture that starts every test from
// an empty simulator.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sdk/FoundDeviceRecord.h"
#include "sdk/VantuSdkAbi.h"
#include "tests/support/SimControl.h"

struct SimDll {
    HMODULE module = nullptr;
    vantu::FindAllOnCOMPortsFn FindAllOnCOMPorts = nullptr;
    vantu::FindAllInRangeFn FindAllInRange = nullptr;
    vantu::GetFoundDeviceInfoFn GetFoundDeviceInfo = nullptr;
    vantu::CreateConnectionFn CreateConnection = nullptr;
    vantu::ConnectionOpenFn ConnectionOpen = nullptr;
    vantu::SetBarCodeIDModeFn SetBarCodeIDMode = nullptr;
    vantu::RequestDownloadFn RequestDownload = nullptr;
    vantu::GetBarCodeCountFn GetBarCodeCount = nullptr;
    vantu::GetBarCodeFn GetBarCode = nullptr;
    vantu::SDKClearStoredBarcodesFn SDKClearStoredBarcodes = nullptr;
    vantu::CloseFn Close = nullptr;
    vantu::APIGetVersionFn APIGetVersion = nullptr;

    bool Complete() const;
};

// Loaded once per test process, kept for its life.
const SimDll& Dll();

// What one VantuGetBarCode call gave.
struct Fetched {
    vantu::Result result = 0;
    std::string bytes;
};

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A search whose records are all taken; returns the count.
    int SerialSearch(int first, int last, std::vector<FoundDeviceRecord>* records = nullptr);
    // Stores "Brontel Vask" for the named scanner's record (found by a search) under HKCU.
    void CreateConnectionFor(const FoundDeviceRecord& record, int mode);
    // Adds a serial scanner on COM<port> and stores the connection to it.
    void AddConnectedSerial(const std::string& name, int port);
    vantu::Result Open(vantu::Handle& handle);
    int16_t Count(vantu::Handle handle, vantu::Result* result = nullptr);
    Fetched Fetch(vantu::Handle handle);
    std::vector<vantu::Handle> opened_;  // closed in TearDown
};
