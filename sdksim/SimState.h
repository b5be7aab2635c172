// The scanner simulator's state, free of windows.h: the virtual scanners with
// their faults and barcode cursors, the open handles, the search faults, and
// the rules that the SDK calls follow on them. The store (Store.h) keeps it
// in a small text file, encoded here; the barcodes themselves live in one
// append-only log per scanner, of which the state only holds byte offsets.
//
// Cursors per scanner, all counting barcodes since the scanner was added:
// delivered <= ready <= stored. Stored barcodes sit on the scanner, ready ones
// have reached the host (a finished download, or a scan while a connection is
// open), delivered ones have been fetched.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sdk/FoundDeviceRecord.h"
#include "sdk/VantuResults.h"
#include "sdksim/SimText.h"

namespace sdksim {

// Result codes of the simulator beyond those the program tells apart.
constexpr uint32_t ResultInvalidParameter = 0x20010002;
constexpr uint32_t ResultInvalidHandle = 0x20010003;
constexpr uint32_t ResultNoBarcodeReady = 0x20010017;
constexpr uint32_t ResultStateUnavailable = 0x2001001F;
// The codes the program tells apart.
constexpr uint32_t ResultNoConnectionStored = vantu::NoConnectionStored;
constexpr uint32_t ResultTransferInProgress = vantu::TransferInProgress;
constexpr uint32_t ResultDeviceNotConnected = vantu::DeviceNotConnected;
constexpr uint32_t ResultPortAccessDenied = vantu::PortAccessDenied;
constexpr uint32_t ResultNoScannersInList = vantu::NoScannersInList;

constexpr int32_t DefaultVersion = 3;
constexpr uint32_t DefaultTransferQueries = 1;
constexpr int32_t DefaultBaudCode = 1;       // 9600 baud
constexpr int32_t BluetoothBaudCode = 4;     // no rate
constexpr int32_t DefaultDeviceKind = 1;
constexpr size_t MaxBarcodeLength = 65535;
constexpr int SerialConnectionMode = 4;
constexpr int BluetoothConnectionMode = 9;

enum class Transport { Serial, Bluetooth };

struct ScannerFaults {
    uint32_t open = 0, idmode = 0, count = 0, close = 0;
};

// The calls on a scanner that a delay fault can slow down.
// Search slows both searches (the largest of the scanners' delays), Connection
// VantuCreateConnection for the scanner its record names.
enum class SlowCall { Open, IdMode, Download, Count, Fetch, Close, Search, Connection };
constexpr size_t SlowCallCount = 8;
const char* SlowCallName(SlowCall call);  // "open", "idmode", ... as vask-sim spells them

// Milliseconds each call of a scanner sleeps before it does its work; the
// sleep holds no lock, so other calls and vask-sim go on meanwhile.
struct ScannerDelays {
    std::array<uint32_t, SlowCallCount> ms{};
    uint32_t& operator[](SlowCall call) { return ms[static_cast<size_t>(call)]; }
    uint32_t operator[](SlowCall call) const { return ms[static_cast<size_t>(call)]; }
};
constexpr uint32_t MaxDelayMs = 600000;

struct SimScanner {
    uint32_t id = 0;              // names the barcode log; never reused
    std::string name;
    Transport transport = Transport::Serial;
    bool plugged = true;
    // serial
    std::string port;
    std::string deviceId;
    int32_t baudCode = DefaultBaudCode;
    // Bluetooth
    std::string btName;
    BluetoothAddress address{};
    int32_t kind = DefaultDeviceKind;

    ScannerFaults faults;
    ScannerDelays delays;
    uint32_t nextTransferQueries = DefaultTransferQueries;  // length of the next download
    uint32_t transferLeft = 0;    // count queries the running download still lasts

    uint64_t stored = 0, ready = 0, delivered = 0;
    uint64_t storedBytes = 0, readyBytes = 0, deliveredBytes = 0;  // log offsets
    uint64_t slowedCalls = 0;  // calls that have begun a delay fault's sleep

    bool TransferRunning() const { return transferLeft > 0; }
    uint64_t Waiting() const { return ready - delivered; }
};

// An open connection; it belongs to one process (id and start time, so that a
// reused process id does not inherit it).
struct SimHandle {
    uint32_t value = 0;
    uint32_t scannerId = 0;
    uint32_t pid = 0;
    uint64_t processStart = 0;
};

struct SearchFaults {
    uint32_t find = 0;
    std::map<uint32_t, uint32_t> info;  // pass (from 0) -> result
};

// Calls that broke the SDK's contract, kept until vask-sim reset, each as
// one line of text. Only the first MaxBreaches are kept; the rest are
// counted.
constexpr size_t MaxBreaches = 100;
struct Breaches {
    std::vector<std::string> texts;
    uint64_t dropped = 0;
    void Add(std::string text);
    bool Empty() const { return texts.empty() && dropped == 0; }
};

struct SimState {
    int32_t version = DefaultVersion;
    uint32_t nextHandle = 1;
    uint32_t nextScannerId = 1;
    SearchFaults search;
    std::vector<SimScanner> scanners;  // in the order they were added
    std::vector<SimHandle> handles;
    Breaches breaches;
    // An SDK call made by a thread that owns a window is a breach, unless
    // allowed (vask-sim window-threads allow): tests that drive the scanner
    // code from their own window's thread allow it.
    bool windowThreadsAllowed = false;

    SimScanner* Find(std::string_view name);
    const SimScanner* Find(std::string_view name) const;
    SimScanner* FindById(uint32_t id);
    const SimHandle* FindHandle(uint32_t value) const;
    bool IsOpen(uint32_t scannerId) const;
};

// ---- the state file ----
std::string EncodeState(const SimState& state);
Parsed<SimState> DecodeState(std::string_view text);

// ---- one barcode in a scanner's log: 32-bit little-endian length, bytes ----
std::string EncodeLogRecord(std::string_view barcode);
size_t LogRecordSize(size_t barcodeLength);

// ---- searches ----
// Plugged serial scanners whose port number lies in first..last, by port number.
std::vector<const SimScanner*> SerialScannersInRange(const SimState& state, int first, int last);
// Plugged Bluetooth scanners, in the order they were added.
std::vector<const SimScanner*> BluetoothScanners(const SimState& state);
FoundDeviceRecord RecordOf(const SimScanner& scanner);

// The scanner a stored connection names: serial by port number and device
// id, Bluetooth by address. Removed scanners give nullptr.
const SimScanner* ScannerForConnection(const SimState& state, const FoundDeviceRecord& record,
                                       int mode);

// ---- barcodes ----
// Stores barcodes whose log records were appended at storedBytes; with an
// open connection and no download running they are ready at once.
void StoreScanned(SimScanner& scanner, const std::vector<std::string>& barcodes, bool open);
// The same for `count` barcodes whose log records take `recordBytes` in all.
void StoreScanned(SimScanner& scanner, uint64_t count, uint64_t recordBytes, bool open);
// Starts a download lasting nextTransferQueries count queries (0: done at once).
void StartDownload(SimScanner& scanner);
struct CountAnswer {
    uint32_t result = 0;
    int16_t count = 0;
};
// One count query: while a download runs it answers 0x20010016 and the
// download comes one query closer to its end.
CountAnswer QueryCount(SimScanner& scanner);
// After the oldest ready barcode (of recordSize log bytes) has been read.
void MarkDelivered(SimScanner& scanner, size_t barcodeLength);
void DiscardReady(SimScanner& scanner);

// ---- the status line of vask-sim ----
struct ScannerStatus {
    std::string name;
    std::string transport;  // "serial" or "bluetooth"
    bool plugged = false;
    uint64_t stored = 0, ready = 0, delivered = 0;
    uint64_t slowed = 0;
};
ScannerStatus StatusOf(const SimScanner& scanner);
// "NAME serial plugged stored=3 ready=2 delivered=1", then " slowed=N" once
// a call has begun a delay fault's sleep (so a test can wait for that call).
std::string FormatStatusLine(const ScannerStatus& status);
std::optional<ScannerStatus> ParseStatusLine(std::string_view line);
// The lines vask-sim status prints after the scanners' lines, one per
// contract breach: "breach: TEXT"; then "breach: N more not kept".
std::vector<std::string> BreachLines(const Breaches& breaches);
constexpr char BreachLinePrefix[] = "breach: ";

const char* TransportName(Transport transport);

}  // namespace sdksim
