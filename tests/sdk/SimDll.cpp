#include "tests/sdk/SimDll.h"

namespace sim = testsupport::sim;

namespace {

template <typename Fn>
void Bind(HMODULE module, Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

SimDll LoadDll() {
    SimDll d;
    d.module = ::LoadLibraryA(testsupport::BinPath(vantu::DllName).c_str());
    if (!d.module) return d;
    Bind(d.module, d.FindAllOnCOMPorts, "VantuFindAllOnCOMPorts");
    Bind(d.module, d.FindAllInRange, "VantuFindAllInRange");
    Bind(d.module, d.GetFoundDeviceInfo, "VantuGetFoundDeviceInfo");
    Bind(d.module, d.CreateConnection, "VantuCreateConnection");
    Bind(d.module, d.ConnectionOpen, "VantuConnectionOpen");
    Bind(d.module, d.SetBarCodeIDMode, "VantuSetBarCodeIDMode");
    Bind(d.module, d.RequestDownload, "VantuRequestDownload");
    Bind(d.module, d.GetBarCodeCount, "VantuGetBarCodeCount");
    Bind(d.module, d.GetBarCode, "VantuGetBarCode");
    Bind(d.module, d.SDKClearStoredBarcodes, "VantuSDKClearStoredBarcodes");
    Bind(d.module, d.Close, "VantuClose");
    Bind(d.module, d.APIGetVersion, "VantuAPIGetVersion");
    return d;
}

}  // namespace

bool SimDll::Complete() const {
    return module && FindAllOnCOMPorts && FindAllInRange && GetFoundDeviceInfo && CreateConnection &&
           ConnectionOpen && SetBarCodeIDMode && RequestDownload && GetBarCodeCount && GetBarCode &&
           SDKClearStoredBarcodes && Close && APIGetVersion;
}

const SimDll& Dll() {
    static const SimDll dll = LoadDll();
    return dll;
}

void SimTest::SetUp() {
    ASSERT_TRUE(Dll().Complete()) << "cannot load " << testsupport::BinPath(vantu::DllName);
    ASSERT_TRUE(sim::Reset());
}

void SimTest::TearDown() {
    for (vantu::Handle h : opened_) (void)Dll().Close(h);
}

int SimTest::SerialSearch(int first, int last, std::vector<FoundDeviceRecord>* records) {
    int16_t count = -1;
    (void)Dll().FindAllOnCOMPorts(first, last, &count);
    for (int i = 0; records && i < count; ++i) {
        FoundDeviceRecord r;
        EXPECT_EQ(Dll().GetFoundDeviceInfo(r.bytes.data()), 0u) << "pass " << i;
        records->push_back(r);
    }
    return count;
}

void SimTest::CreateConnectionFor(const FoundDeviceRecord& record, int mode) {
    ASSERT_EQ(Dll().CreateConnection(record.bytes.data(), vantu::ConnectionName, mode, HKEY_CURRENT_USER), 0u);
}

void SimTest::AddConnectedSerial(const std::string& name, int port) {
    ASSERT_TRUE(sim::AddSerial(name, "COM" + std::to_string(port), "ID" + std::to_string(port)));
    std::vector<FoundDeviceRecord> found;
    ASSERT_EQ(SerialSearch(port, port, &found), 1);
    CreateConnectionFor(found[0], 4);
}

vantu::Result SimTest::Open(vantu::Handle& handle) {
    vantu::Result r = Dll().ConnectionOpen(&handle, vantu::ConnectionName, HKEY_CURRENT_USER);
    if (r == 0) opened_.push_back(handle);
    return r;
}

int16_t SimTest::Count(vantu::Handle handle, vantu::Result* result) {
    int16_t count = -1;
    vantu::Result r = Dll().GetBarCodeCount(handle, &count);
    if (result) *result = r;
    else EXPECT_EQ(r, 0u);
    return count;
}

Fetched SimTest::Fetch(vantu::Handle handle) {
    uint8_t buffer[vantu::BarcodeBufferSize];
    uint8_t extra[vantu::BarcodeExtraSize];
    uint16_t length = 0;
    Fetched f;
    f.result = Dll().GetBarCode(handle, buffer, &length, extra);
    f.bytes.assign(reinterpret_cast<const char*>(buffer), std::min<size_t>(length, sizeof buffer));
    return f;
}
