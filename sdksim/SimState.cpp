#include "sdksim/SimState.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace sdksim {

// ------------------------------------------------------------------ lookups

SimScanner* SimState::Find(std::string_view name) {
    for (SimScanner& s : scanners)
        if (s.name == name) return &s;
    return nullptr;
}

const SimScanner* SimState::Find(std::string_view name) const {
    return const_cast<SimState*>(this)->Find(name);
}

SimScanner* SimState::FindById(uint32_t id) {
    for (SimScanner& s : scanners)
        if (s.id == id) return &s;
    return nullptr;
}

const SimHandle* SimState::FindHandle(uint32_t value) const {
    for (const SimHandle& h : handles)
        if (h.value == value) return &h;
    return nullptr;
}

bool SimState::IsOpen(uint32_t scannerId) const {
    return std::any_of(handles.begin(), handles.end(),
                       [&](const SimHandle& h) { return h.scannerId == scannerId; });
}

const char* TransportName(Transport transport) {
    return transport == Transport::Serial ? "serial" : "bluetooth";
}

const char* SlowCallName(SlowCall call) {
    static const char* const names[SlowCallCount] = {"open",  "idmode", "download", "count",
                                                     "fetch", "close",  "search",   "connection"};
    return names[static_cast<size_t>(call)];
}

void Breaches::Add(std::string text) {
    if (texts.size() < MaxBreaches) texts.push_back(std::move(text));
    else ++dropped;
}

namespace {

// Digits only, and no more than fit: a damaged file gives nullopt, never an
// exception.
std::optional<uint64_t> DecimalValue(std::string_view digits) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace

// ------------------------------------------------------------------ state file

namespace {

constexpr char Header[] = "vask-sim-state 1";

class LineWriter {
public:
    explicit LineWriter(const char* kind) : line_(kind) {}
    LineWriter& Add(const char* key, uint64_t value) { return Add(key, std::to_string(value)); }
    LineWriter& AddSigned(const char* key, int64_t value) { return Add(key, std::to_string(value)); }
    LineWriter& AddText(const char* key, std::string_view text) { return Add(key, PercentEncode(text)); }
    std::string Line() const { return line_ + "\n"; }

private:
    LineWriter& Add(const char* key, const std::string& value) {
        line_ += ' ';
        line_ += key;
        line_ += '=';
        line_ += value;
        return *this;
    }
    std::string line_;
};

// One line read back: its kind and its key=value fields. Reading a missing or
// malformed field marks the line bad.
class LineReader {
public:
    explicit LineReader(std::string_view line) {
        std::istringstream in{std::string(line)};
        in >> kind_;
        std::string token;
        while (in >> token) {
            size_t eq = token.find('=');
            if (eq == std::string::npos) { bad_ = true; continue; }
            fields_[token.substr(0, eq)] = token.substr(eq + 1);
        }
    }
    const std::string& Kind() const { return kind_; }
    bool Bad() const { return bad_; }

    uint64_t Number(const char* key, uint64_t max = UINT64_MAX) {
        const std::string* text = Field(key);
        return text ? NumberOf(*text, max) : 0;
    }
    // A field that older state files lack: 0 when absent.
    uint64_t OptionalNumber(const char* key, uint64_t max = UINT64_MAX) {
        auto it = fields_.find(key);
        return it == fields_.end() ? 0 : NumberOf(it->second, max);
    }
    int32_t Signed(const char* key) {
        const std::string* text = Field(key);
        if (!text) return 0;
        auto v = ParseSigned(*text);
        if (!v) { bad_ = true; return 0; }
        return *v.value;
    }
    std::string Text(const char* key) {
        const std::string* text = Field(key);
        if (!text) return {};
        auto v = PercentDecode(*text);
        if (!v) { bad_ = true; return {}; }
        return *v;
    }

private:
    uint64_t NumberOf(const std::string& text, uint64_t max) {
        auto value = DecimalValue(text);
        if (!value || *value > max) {
            bad_ = true;
            return 0;
        }
        return *value;
    }
    const std::string* Field(const char* key) {
        auto it = fields_.find(key);
        if (it == fields_.end()) { bad_ = true; return nullptr; }
        return &it->second;
    }
    std::string kind_;
    std::map<std::string, std::string> fields_;
    bool bad_ = false;
};

std::string EncodeScanner(const SimScanner& s) {
    LineWriter w("scanner");
    w.Add("id", s.id).AddText("name", s.name).AddText("transport", TransportName(s.transport))
        .Add("plugged", s.plugged ? 1 : 0)
        .AddText("port", s.port).AddText("device-id", s.deviceId).AddSigned("baud", s.baudCode)
        .AddText("bt-name", s.btName).AddText("address", FormatBluetoothAddress(s.address))
        .AddSigned("kind", s.kind)
        .Add("fault-open", s.faults.open).Add("fault-idmode", s.faults.idmode)
        .Add("fault-count", s.faults.count).Add("fault-close", s.faults.close)
        .Add("delay-open", s.delays[SlowCall::Open]).Add("delay-idmode", s.delays[SlowCall::IdMode])
        .Add("delay-download", s.delays[SlowCall::Download]).Add("delay-count", s.delays[SlowCall::Count])
        .Add("delay-fetch", s.delays[SlowCall::Fetch]).Add("delay-close", s.delays[SlowCall::Close])
        .Add("delay-search", s.delays[SlowCall::Search]).Add("delay-connection", s.delays[SlowCall::Connection])
        .Add("next-transfer", s.nextTransferQueries).Add("transfer-left", s.transferLeft)
        .Add("stored", s.stored).Add("ready", s.ready).Add("delivered", s.delivered)
        .Add("stored-bytes", s.storedBytes).Add("ready-bytes", s.readyBytes)
        .Add("delivered-bytes", s.deliveredBytes).Add("slowed", s.slowedCalls);
    return w.Line();
}

bool DecodeScanner(LineReader& r, SimScanner& s) {
    s.id = static_cast<uint32_t>(r.Number("id", UINT32_MAX));
    s.name = r.Text("name");
    std::string transport = r.Text("transport");
    s.transport = transport == "bluetooth" ? Transport::Bluetooth : Transport::Serial;
    s.plugged = r.Number("plugged", 1) == 1;
    s.port = r.Text("port");
    s.deviceId = r.Text("device-id");
    s.baudCode = r.Signed("baud");
    s.btName = r.Text("bt-name");
    auto address = ParseBluetoothAddress(r.Text("address"));
    s.kind = r.Signed("kind");
    s.faults.open = static_cast<uint32_t>(r.Number("fault-open", UINT32_MAX));
    s.faults.idmode = static_cast<uint32_t>(r.Number("fault-idmode", UINT32_MAX));
    s.faults.count = static_cast<uint32_t>(r.Number("fault-count", UINT32_MAX));
    s.faults.close = static_cast<uint32_t>(r.Number("fault-close", UINT32_MAX));
    for (size_t i = 0; i < SlowCallCount; ++i)
        s.delays.ms[i] = static_cast<uint32_t>(
            r.OptionalNumber(("delay-" + std::string(SlowCallName(SlowCall(i)))).c_str(), MaxDelayMs));
    s.nextTransferQueries = static_cast<uint32_t>(r.Number("next-transfer", UINT32_MAX));
    s.transferLeft = static_cast<uint32_t>(r.Number("transfer-left", UINT32_MAX));
    s.stored = r.Number("stored");
    s.ready = r.Number("ready");
    s.delivered = r.Number("delivered");
    s.storedBytes = r.Number("stored-bytes");
    s.readyBytes = r.Number("ready-bytes");
    s.deliveredBytes = r.Number("delivered-bytes");
    s.slowedCalls = r.OptionalNumber("slowed");
    if (!address || (transport != "serial" && transport != "bluetooth")) return false;
    s.address = *address.value;
    bool cursorsInOrder = s.delivered <= s.ready && s.ready <= s.stored &&
                          s.deliveredBytes <= s.readyBytes && s.readyBytes <= s.storedBytes;
    return !r.Bad() && cursorsInOrder && IsValidScannerName(s.name);
}

}  // namespace

std::string EncodeState(const SimState& state) {
    std::string text = std::string(Header) + "\n";
    text += LineWriter("settings").AddSigned("version", state.version)
                .Add("next-handle", state.nextHandle).Add("next-scanner", state.nextScannerId)
                .Add("find-fault", state.search.find)
                .Add("breaches-dropped", state.breaches.dropped)
                .Add("window-threads-allowed", state.windowThreadsAllowed ? 1 : 0).Line();
    for (const auto& [pass, result] : state.search.info)
        text += LineWriter("info-fault").Add("pass", pass).Add("result", result).Line();
    for (const SimScanner& s : state.scanners) text += EncodeScanner(s);
    for (const SimHandle& h : state.handles)
        text += LineWriter("handle").Add("value", h.value).Add("scanner", h.scannerId)
                    .Add("pid", h.pid).Add("start", h.processStart).Line();
    for (const std::string& b : state.breaches.texts) text += LineWriter("breach").AddText("text", b).Line();
    return text;
}

Parsed<SimState> DecodeState(std::string_view text) {
    SimState state;
    std::istringstream in{std::string(text)};
    std::string line;
    if (!std::getline(in, line) || line != Header)
        return Parsed<SimState>::Fail("the state file does not start with '" + std::string(Header) + "'");
    int number = 1;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty()) continue;
        LineReader r(line);
        bool ok = true;
        if (r.Kind() == "settings") {
            state.version = r.Signed("version");
            state.nextHandle = static_cast<uint32_t>(r.Number("next-handle", UINT32_MAX));
            state.nextScannerId = static_cast<uint32_t>(r.Number("next-scanner", UINT32_MAX));
            state.search.find = static_cast<uint32_t>(r.Number("find-fault", UINT32_MAX));
            state.breaches.dropped = r.OptionalNumber("breaches-dropped");
            state.windowThreadsAllowed = r.OptionalNumber("window-threads-allowed", 1) == 1;
        } else if (r.Kind() == "info-fault") {
            auto pass = static_cast<uint32_t>(r.Number("pass", UINT32_MAX));
            state.search.info[pass] = static_cast<uint32_t>(r.Number("result", UINT32_MAX));
        } else if (r.Kind() == "scanner") {
            SimScanner s;
            ok = DecodeScanner(r, s);
            state.scanners.push_back(std::move(s));
        } else if (r.Kind() == "handle") {
            SimHandle h;
            h.value = static_cast<uint32_t>(r.Number("value", UINT32_MAX));
            h.scannerId = static_cast<uint32_t>(r.Number("scanner", UINT32_MAX));
            h.pid = static_cast<uint32_t>(r.Number("pid", UINT32_MAX));
            h.processStart = r.Number("start");
            state.handles.push_back(h);
        } else if (r.Kind() == "breach") {
            state.breaches.texts.push_back(r.Text("text"));
        } else {
            ok = false;
        }
        if (!ok || r.Bad())
            return Parsed<SimState>::Fail("line " + std::to_string(number) + " of the state file is damaged");
    }
    return Parsed<SimState>::Ok(std::move(state));
}

// ------------------------------------------------------------------ log records

std::string EncodeLogRecord(std::string_view barcode) {
    auto n = static_cast<uint32_t>(barcode.size());
    std::string record;
    for (int i = 0; i < 4; ++i) record += static_cast<char>((n >> (8 * i)) & 0xFF);
    record += barcode;
    return record;
}

size_t LogRecordSize(size_t barcodeLength) { return 4 + barcodeLength; }

// ------------------------------------------------------------------ searches

std::vector<const SimScanner*> SerialScannersInRange(const SimState& state, int first, int last) {
    std::vector<const SimScanner*> found;
    for (const SimScanner& s : state.scanners) {
        if (s.transport != Transport::Serial || !s.plugged) continue;
        auto port = PortNumber(s.port);
        if (port && *port >= first && *port <= last) found.push_back(&s);
    }
    std::stable_sort(found.begin(), found.end(), [](const SimScanner* a, const SimScanner* b) {
        return PortNumber(a->port).value_or(0) < PortNumber(b->port).value_or(0);
    });
    return found;
}

std::vector<const SimScanner*> BluetoothScanners(const SimState& state) {
    std::vector<const SimScanner*> found;
    for (const SimScanner& s : state.scanners)
        if (s.transport == Transport::Bluetooth && s.plugged) found.push_back(&s);
    return found;
}

FoundDeviceRecord RecordOf(const SimScanner& s) {
    FoundDeviceRecord r;
    if (s.transport == Transport::Serial) {
        r.SetPortName(s.port);
        r.SetDeviceId(s.deviceId);
        r.SetBaudCode(s.baudCode);
        r.SetDeviceKind(0);
    } else {
        r.SetBluetoothAddress(s.address);
        r.SetBluetoothName(s.btName);
        r.SetBaudCode(BluetoothBaudCode);
        r.SetDeviceKind(s.kind);
    }
    return r;
}

const SimScanner* ScannerForConnection(const SimState& state, const FoundDeviceRecord& record,
                                       int mode) {
    for (const SimScanner& s : state.scanners) {
        if (mode == SerialConnectionMode && s.transport == Transport::Serial) {
            auto port = PortNumber(s.port);
            if (port && port == PortNumber(record.PortName()) && s.deviceId == record.DeviceId())
                return &s;
        } else if (mode == BluetoothConnectionMode && s.transport == Transport::Bluetooth) {
            if (s.address == record.BluetoothAddress()) return &s;
        }
    }
    return nullptr;
}

// ------------------------------------------------------------------ barcodes

void StoreScanned(SimScanner& s, const std::vector<std::string>& barcodes, bool open) {
    uint64_t bytes = 0;
    for (const std::string& b : barcodes) bytes += LogRecordSize(b.size());
    StoreScanned(s, barcodes.size(), bytes, open);
}

void StoreScanned(SimScanner& s, uint64_t count, uint64_t recordBytes, bool open) {
    s.stored += count;
    s.storedBytes += recordBytes;
    if (open && !s.TransferRunning()) {
        s.ready = s.stored;
        s.readyBytes = s.storedBytes;
    }
}

void StartDownload(SimScanner& s) {
    s.transferLeft = s.nextTransferQueries;
    s.nextTransferQueries = DefaultTransferQueries;
    if (!s.TransferRunning()) {
        s.ready = s.stored;
        s.readyBytes = s.storedBytes;
    }
}

CountAnswer QueryCount(SimScanner& s) {
    if (s.TransferRunning()) {
        if (--s.transferLeft == 0) {
            s.ready = s.stored;
            s.readyBytes = s.storedBytes;
        }
        return {ResultTransferInProgress, 0};
    }
    return {0, static_cast<int16_t>(std::min<uint64_t>(s.Waiting(), INT16_MAX))};
}

void MarkDelivered(SimScanner& s, size_t barcodeLength) {
    s.delivered += 1;
    s.deliveredBytes += LogRecordSize(barcodeLength);
}

void DiscardReady(SimScanner& s) {
    s.delivered = s.ready;
    s.deliveredBytes = s.readyBytes;
}

// ------------------------------------------------------------------ status line

ScannerStatus StatusOf(const SimScanner& s) {
    return {s.name, TransportName(s.transport), s.plugged, s.stored, s.ready, s.delivered, s.slowedCalls};
}

std::string FormatStatusLine(const ScannerStatus& st) {
    return st.name + " " + st.transport + (st.plugged ? " plugged" : " unplugged") +
           " stored=" + std::to_string(st.stored) + " ready=" + std::to_string(st.ready) +
           " delivered=" + std::to_string(st.delivered) +
           (st.slowed ? " slowed=" + std::to_string(st.slowed) : std::string());
}

std::optional<ScannerStatus> ParseStatusLine(std::string_view line) {
    std::istringstream in{std::string(line)};
    ScannerStatus st;
    std::string plugged, stored, ready, delivered, slowed, extra;
    if (!(in >> st.name >> st.transport >> plugged >> stored >> ready >> delivered)) return std::nullopt;
    const bool hasSlowed = static_cast<bool>(in >> slowed);
    if (in >> extra) return std::nullopt;
    if (st.transport != "serial" && st.transport != "bluetooth") return std::nullopt;
    if (plugged != "plugged" && plugged != "unplugged") return std::nullopt;
    st.plugged = plugged == "plugged";
    auto number = [](const std::string& field, const char* key, uint64_t& out) {
        std::string prefix = std::string(key) + "=";
        if (field.rfind(prefix, 0) != 0) return false;
        auto value = DecimalValue(std::string_view(field).substr(prefix.size()));
        if (!value) return false;
        out = *value;
        return true;
    };
    if (!number(stored, "stored", st.stored) || !number(ready, "ready", st.ready) ||
        !number(delivered, "delivered", st.delivered) || (hasSlowed && !number(slowed, "slowed", st.slowed)))
        return std::nullopt;
    return st;
}

std::vector<std::string> BreachLines(const Breaches& breaches) {
    std::vector<std::string> lines;
    for (const std::string& b : breaches.texts) lines.push_back(BreachLinePrefix + b);
    if (breaches.dropped)
        lines.push_back(BreachLinePrefix + std::to_string(breaches.dropped) + " more not kept");
    return lines;
}

}  // namespace sdksim
