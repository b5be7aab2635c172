#include <gtest/gtest.h>

#include <cstring>

#include "sdksim/SimState.h"

using namespace sdksim;

namespace {

SimScanner Serial(uint32_t id, const std::string& name, const std::string& port, const std::string& deviceId) {
    SimScanner s;
    s.id = id;
    s.name = name;
    s.transport = Transport::Serial;
    s.port = port;
    s.deviceId = deviceId;
    return s;
}

SimScanner Bluetooth(uint32_t id, const std::string& name, uint8_t lastAddressByte) {
    SimScanner s;
    s.id = id;
    s.name = name;
    s.transport = Transport::Bluetooth;
    s.btName = "BT " + name;
    s.address = {0x00, 0x1a, 0x7d, 0xda, 0x71, lastAddressByte};
    s.kind = 2;
    return s;
}

std::vector<std::string> Names(const std::vector<const SimScanner*>& scanners) {
    std::vector<std::string> names;
    for (const SimScanner* s : scanners) names.push_back(s->name);
    return names;
}

}  // namespace

TEST(SimStateFile, RoundTripsEveryField) {
    SimState state;
    state.version = 7;
    state.nextHandle = 42;
    state.nextScannerId = 5;
    state.search.find = 0x20010069;
    state.search.info = {{0, 0x20010041}, {3, 9}};
    SimScanner a = Serial(1, "a", "\\\\.\\COM3", "ID 7=x%");
    a.plugged = false;
    a.baudCode = -2;
    a.faults = {1, 2, 3, 4};
    a.delays[SlowCall::Fetch] = 250;
    a.nextTransferQueries = 6;
    a.transferLeft = 2;
    a.stored = 10, a.ready = 8, a.delivered = 5;
    a.storedBytes = 100, a.readyBytes = 80, a.deliveredBytes = 50;
    SimScanner b = Bluetooth(4, "b", 0x13);
    b.btName = "name with blanks\tand tab";
    state.scanners = {a, b};
    state.handles = {{41, 4, 1234, 0x01d9aabbccddeeffull}};
    state.breaches.texts = {"VantuClose on handle 7, which is closed (process 9)"};
    state.breaches.dropped = 3;

    auto decoded = DecodeState(EncodeState(state));
    ASSERT_TRUE(decoded) << decoded.error;
    const SimState& d = *decoded.value;
    EXPECT_EQ(EncodeState(d), EncodeState(state));
    EXPECT_EQ(d.version, 7);
    EXPECT_EQ(d.nextHandle, 42u);
    EXPECT_EQ(d.search.find, 0x20010069u);
    EXPECT_EQ(d.search.info.at(3), 9u);
    ASSERT_EQ(d.scanners.size(), 2u);
    EXPECT_EQ(d.scanners[0].port, "\\\\.\\COM3");
    EXPECT_EQ(d.scanners[0].deviceId, "ID 7=x%");
    EXPECT_FALSE(d.scanners[0].plugged);
    EXPECT_EQ(d.scanners[0].faults.close, 4u);
    EXPECT_EQ(d.scanners[0].delays[SlowCall::Fetch], 250u);
    EXPECT_EQ(d.breaches.texts, state.breaches.texts);
    EXPECT_EQ(BreachLines(d.breaches),
              (std::vector<std::string>{"breach: VantuClose on handle 7, which is closed (process 9)",
                                        "breach: 3 more not kept"}));
    EXPECT_EQ(d.scanners[0].deliveredBytes, 50u);
    EXPECT_EQ(d.scanners[1].transport, Transport::Bluetooth);
    EXPECT_EQ(d.scanners[1].btName, "name with blanks\tand tab");
    EXPECT_EQ(d.scanners[1].address[5], 0x13);
    EXPECT_EQ(d.scanners[1].kind, 2);
    ASSERT_EQ(d.handles.size(), 1u);
    EXPECT_EQ(d.handles[0].processStart, 0x01d9aabbccddeeffull);
}

TEST(SimStateFile, EmptyStateHasTheDefaults) {
    auto d = DecodeState(EncodeState(SimState{}));
    ASSERT_TRUE(d);
    EXPECT_EQ(d.value->version, DefaultVersion);
    EXPECT_TRUE(d.value->scanners.empty());
}

TEST(SimStateFile, DamagedFilesAreRefused) {
    std::string good = EncodeState([] {
        SimState s;
        s.scanners = {Serial(1, "a", "COM1", "X")};
        return s;
    }());
    ASSERT_TRUE(DecodeState(good));
    EXPECT_FALSE(DecodeState(""));
    EXPECT_FALSE(DecodeState("something else\n"));
    EXPECT_FALSE(DecodeState(good + "mystery line\n"));
    std::string missingField = good;
    missingField.replace(missingField.find(" ready=0"), 8, "");
    EXPECT_FALSE(DecodeState(missingField));
    std::string badNumber = good;
    badNumber.replace(badNumber.find("stored=0"), 8, "stored=x");
    EXPECT_FALSE(DecodeState(badNumber));
    for (const char* huge : {"stored=99999999999999999999", "stored=18446744073709551616"}) {
        std::string overflow = good;
        overflow.replace(overflow.find("stored=0"), 8, huge);
        EXPECT_FALSE(DecodeState(overflow)) << huge;
    }
    std::string cursorsOutOfOrder = good;
    cursorsOutOfOrder.replace(cursorsOutOfOrder.find("delivered=0"), 11, "delivered=1");
    EXPECT_FALSE(DecodeState(cursorsOutOfOrder));
}

TEST(SimLogRecord, LittleEndianLengthThenBytes) {
    std::string r = EncodeLogRecord(std::string(300, 'x'));
    ASSERT_EQ(r.size(), LogRecordSize(300));
    EXPECT_EQ(static_cast<uint8_t>(r[0]), 300 & 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(r[1]), 300 >> 8);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r.substr(4), std::string(300, 'x'));
}

TEST(SimSearch, SerialRangeByPortNumberInAnySpelling) {
    SimState state;
    state.scanners = {Serial(1, "five", "COM5", "A"), Serial(2, "three", "\\\\.\\COM3", "B"),
                      Serial(3, "twelve", "com12", "C"), Bluetooth(4, "bt", 1)};
    EXPECT_EQ(Names(SerialScannersInRange(state, 1, 16)), (std::vector<std::string>{"three", "five", "twelve"}));
    EXPECT_EQ(Names(SerialScannersInRange(state, 3, 5)), (std::vector<std::string>{"three", "five"}));
    EXPECT_EQ(Names(SerialScannersInRange(state, 4, 4)), std::vector<std::string>{});
    EXPECT_EQ(Names(SerialScannersInRange(state, 12, 12)), std::vector<std::string>{"twelve"});
    EXPECT_EQ(Names(SerialScannersInRange(state, 5, 3)), std::vector<std::string>{});
    state.scanners[1].plugged = false;
    EXPECT_EQ(Names(SerialScannersInRange(state, 1, 16)), (std::vector<std::string>{"five", "twelve"}));
}

TEST(SimSearch, BluetoothInTheOrderAddedAndOnlyPlugged) {
    SimState state;
    state.scanners = {Bluetooth(1, "z", 1), Serial(2, "s", "COM1", "X"), Bluetooth(3, "a", 2), Bluetooth(4, "m", 3)};
    state.scanners[3].plugged = false;
    EXPECT_EQ(Names(BluetoothScanners(state)), (std::vector<std::string>{"z", "a"}));
}

TEST(SimSearch, RecordsCarryTheFieldsAtTheirOffsets) {
    SimScanner serial = Serial(1, "s", "\\\\.\\COM3", "DEV42");
    serial.baudCode = 3;
    FoundDeviceRecord r = RecordOf(serial);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data() + 260)), "\\\\.\\COM3");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.bytes.data() + 300)), "DEV42");
    int32_t baud;
    std::memcpy(&baud, r.bytes.data() + 296, 4);
    EXPECT_EQ(baud, 3);

    FoundDeviceRecord b = RecordOf(Bluetooth(2, "b", 0x13));
    EXPECT_EQ(b.bytes[0], 0x00);
    EXPECT_EQ(b.bytes[1], 0x1a);
    EXPECT_EQ(b.bytes[5], 0x13);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.bytes.data() + 6)), "BT b");
    int32_t kind;
    std::memcpy(&kind, b.bytes.data() + 312, 4);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(b.PortName(), "");
}

TEST(SimConnection, FindsTheScannerByPortAndIdOrByAddress) {
    SimState state;
    state.scanners = {Serial(1, "s3", "\\\\.\\COM3", "A"), Serial(2, "s4", "COM4", "B"), Bluetooth(3, "bt", 7)};
    FoundDeviceRecord r;
    r.SetPortName("com3");
    r.SetDeviceId("A");
    EXPECT_EQ(ScannerForConnection(state, r, SerialConnectionMode), &state.scanners[0]);
    EXPECT_EQ(ScannerForConnection(state, r, BluetoothConnectionMode), nullptr);
    r.SetDeviceId("B");
    EXPECT_EQ(ScannerForConnection(state, r, SerialConnectionMode), nullptr);
    FoundDeviceRecord bt = RecordOf(state.scanners[2]);
    EXPECT_EQ(ScannerForConnection(state, bt, BluetoothConnectionMode), &state.scanners[2]);
    bt.SetBluetoothAddress({0, 0, 0, 0, 0, 8});
    EXPECT_EQ(ScannerForConnection(state, bt, BluetoothConnectionMode), nullptr);
}

TEST(SimBarcodeCursors, ScansAreReadyAtOnceOnlyWhileOpen) {
    SimScanner s = Serial(1, "s", "COM1", "X");
    StoreScanned(s, {"ab", "c"}, false);
    EXPECT_EQ(s.stored, 2u);
    EXPECT_EQ(s.ready, 0u);
    EXPECT_EQ(s.storedBytes, LogRecordSize(2) + LogRecordSize(1));
    StoreScanned(s, {"def"}, true);
    EXPECT_EQ(s.ready, 3u);
    EXPECT_EQ(s.readyBytes, s.storedBytes);
    EXPECT_EQ(QueryCount(s).count, 3);
}

TEST(SimBarcodeCursors, DownloadLastsTheConfiguredQueriesThenCounts) {
    SimScanner s = Serial(1, "s", "COM1", "X");
    StoreScanned(s, {"a", "b"}, false);
    s.nextTransferQueries = 3;
    StartDownload(s);
    EXPECT_EQ(s.nextTransferQueries, DefaultTransferQueries);  // only the next download
    StoreScanned(s, {"c"}, true);                                // arrives after the transfer
    for (int i = 0; i < 3; ++i) {
        CountAnswer a = QueryCount(s);
        EXPECT_EQ(a.result, ResultTransferInProgress) << i;
        EXPECT_EQ(a.count, 0);
    }
    CountAnswer done = QueryCount(s);
    EXPECT_EQ(done.result, 0u);
    EXPECT_EQ(done.count, 3);

    s.nextTransferQueries = 0;
    StoreScanned(s, {"d"}, false);
    StartDownload(s);
    EXPECT_EQ(QueryCount(s).count, 4);
}

TEST(SimBarcodeCursors, DeliveryAndClearMoveOnlyOverReadyBarcodes) {
    SimScanner s = Serial(1, "s", "COM1", "X");
    StoreScanned(s, {"abc", "de"}, true);
    StoreScanned(s, {"f"}, false);
    MarkDelivered(s, 3);
    EXPECT_EQ(s.delivered, 1u);
    EXPECT_EQ(s.deliveredBytes, LogRecordSize(3));
    EXPECT_EQ(QueryCount(s).count, 1);
    DiscardReady(s);
    EXPECT_EQ(s.delivered, 2u);
    EXPECT_EQ(s.deliveredBytes, s.readyBytes);
    EXPECT_EQ(QueryCount(s).count, 0);
    EXPECT_EQ(s.stored, 3u);  // the unready one stays on the scanner
}

TEST(SimBarcodeCursors, CountIsCappedAtThe16BitMaximum) {
    SimScanner s = Serial(1, "s", "COM1", "X");
    s.stored = s.ready = 40000;
    EXPECT_EQ(QueryCount(s).count, INT16_MAX);
}

TEST(SimStatusLine, FormatsAndParsesBack) {
    ScannerStatus st{"scan-1", "bluetooth", false, 12, 7, 3};
    std::string line = FormatStatusLine(st);
    EXPECT_EQ(line, "scan-1 bluetooth unplugged stored=12 ready=7 delivered=3");
    auto parsed = ParseStatusLine(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "scan-1");
    EXPECT_FALSE(parsed->plugged);
    EXPECT_EQ(parsed->stored, 12u);
    EXPECT_EQ(parsed->ready, 7u);
    EXPECT_EQ(parsed->delivered, 3u);
    for (const char* bad : {"", "a serial plugged stored=1 ready=1", "a usb plugged stored=1 ready=1 delivered=1",
                            "a serial maybe stored=1 ready=1 delivered=1", "a serial plugged ready=1 stored=1 delivered=1",
                            "a serial plugged stored=x ready=1 delivered=1", "a serial plugged stored=1 ready=1 delivered=1 x"})
        EXPECT_FALSE(ParseStatusLine(bad)) << bad;
}
