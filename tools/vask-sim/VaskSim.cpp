// vask-sim: changes the simulated scanners' shared state from the command
// line (see Usage() in sdksim/SimCommand.h and the README). Exit codes:
// 0 done, 1 the command could not be carried out, 2 the command line is wrong.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sdksim/Connections.h"
#include "sdksim/SimCommand.h"
#include "sdksim/Store.h"
#include "win/Scoped.h"

using namespace sdksim;

namespace {

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

// The outcome of one command: an error text, or lines to print.
struct Outcome {
    std::string error;
    std::string output;
};

Outcome Error(std::string text) { return {std::move(text), {}}; }

std::string Unknown(const std::string& name) { return "no scanner named '" + name + "'"; }

Outcome AddScanner(SimState& state, const SimCommand& c, bool& changed) {
    if (state.Find(c.name)) return Error("a scanner named '" + c.name + "' exists already");
    SimScanner s;
    s.name = c.name;
    if (c.kind == CommandKind::AddSerial) {
        for (const SimScanner& other : state.scanners)
            if (other.transport == Transport::Serial && PortNumber(other.port) == PortNumber(c.port))
                return Error("port " + c.port + " is taken by scanner '" + other.name + "'");
        s.transport = Transport::Serial;
        s.port = c.port;
        s.deviceId = c.deviceId;
        s.baudCode = c.baudCode;
    } else {
        for (const SimScanner& other : state.scanners)
            if (other.transport == Transport::Bluetooth && other.address == c.address)
                return Error("address " + FormatBluetoothAddress(c.address) + " is taken by scanner '" +
                             other.name + "'");
        s.transport = Transport::Bluetooth;
        s.btName = c.btName;
        s.address = c.address;
        s.kind = c.deviceKind;
    }
    s.id = state.nextScannerId++;
    RemoveBarcodeLog(s.id);  // in case an earlier state left one behind
    state.scanners.push_back(std::move(s));
    changed = true;
    return {};
}

Outcome RemoveScanner(SimState& state, const std::string& name, bool& changed) {
    SimScanner* s = state.Find(name);
    if (!s) return Error(Unknown(name));
    RemoveBarcodeLog(s->id);
    std::erase_if(state.scanners, [&](const SimScanner& x) { return x.name == name; });
    changed = true;
    return {};
}

Outcome Scan(SimState& state, const std::string& name, const std::vector<std::string>& barcodes,
             uint32_t repeat, bool& changed) {
    SimScanner* s = state.Find(name);
    if (!s) return Error(Unknown(name));
    changed = DropEndedHandles(state);
    // Each barcode is written `repeat` times straight into the log: however
    // many that are, only one piece of the log is in memory at a time.
    auto written = AppendBarcodes(*s, barcodes, repeat);
    if (!written) return Error("cannot write the barcode log of '" + name + "'");
    StoreScanned(*s, static_cast<uint64_t>(barcodes.size()) * repeat, *written, state.IsOpen(s->id) && s->plugged);
    changed = true;
    return {};
}

Outcome ScanFile(SimState& state, const SimCommand& c, bool& changed) {
    win::UniqueFile file(::CreateFileA(c.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 256 * 1024 * 1024)
        return Error("cannot read '" + c.path + "'");
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!content.empty() &&
        (!::ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &got, nullptr) ||
         got != content.size()))
        return Error("cannot read '" + c.path + "'");
    auto barcodes = ParseScanFile(content);
    if (!barcodes) return Error(c.path + ": " + barcodes.error);
    if (barcodes.value->empty()) return Error(c.path + " holds no barcode");
    return Scan(state, c.name, *barcodes.value, 1, changed);
}

Outcome SetFault(SimState& state, const SimCommand& c, bool& changed) {
    changed = true;
    if (c.call == FaultCall::Find) {
        state.search.find = c.result;
        return {};
    }
    if (c.call == FaultCall::Info) {
        if (c.result == 0) state.search.info.erase(c.infoPass);
        else state.search.info[c.infoPass] = c.result;
        return {};
    }
    SimScanner* s = state.Find(c.name);
    if (!s) return Error(Unknown(c.name));
    if (c.call == FaultCall::Delay) {
        s->delays[c.slowCall] = c.result;
        return {};
    }
    switch (c.call) {
    case FaultCall::Open: s->faults.open = c.result; break;
    case FaultCall::IdMode: s->faults.idmode = c.result; break;
    case FaultCall::Count: s->faults.count = c.result; break;
    default: s->faults.close = c.result; break;
    }
    return {};
}

Outcome ClearFaults(SimState& state, const std::string& name, bool& changed) {
    changed = true;
    if (name == "*") {
        state.search = {};
        return {};
    }
    SimScanner* s = state.Find(name);
    if (!s) return Error(Unknown(name));
    s->faults = {};
    s->delays = {};
    return {};
}

Outcome Status(SimState& state, const std::string& name, bool& changed) {
    changed = DropEndedHandles(state);
    Outcome out;
    for (const SimScanner& s : state.scanners)
        if (name.empty() || s.name == name) out.output += FormatStatusLine(StatusOf(s)) + "\n";
    if (!name.empty() && out.output.empty()) return Error(Unknown(name));
    if (name.empty())
        for (const std::string& line : BreachLines(state.breaches)) out.output += line + "\n";
    return out;
}

Outcome WithScanner(SimState& state, const std::string& name, bool& changed,
                    void (*change)(SimScanner&, const SimCommand&), const SimCommand& c) {
    SimScanner* s = state.Find(name);
    if (!s) return Error(Unknown(name));
    change(*s, c);
    changed = true;
    return {};
}

Outcome Carry(SimState& state, const SimCommand& c, bool& changed) {
    switch (c.kind) {
    case CommandKind::AddSerial:
    case CommandKind::AddBluetooth: return AddScanner(state, c, changed);
    case CommandKind::Remove: return RemoveScanner(state, c.name, changed);
    case CommandKind::Unplug:
        return WithScanner(state, c.name, changed, [](SimScanner& s, const SimCommand&) { s.plugged = false; }, c);
    case CommandKind::Plug:
        return WithScanner(state, c.name, changed, [](SimScanner& s, const SimCommand&) { s.plugged = true; }, c);
    case CommandKind::Scan: return Scan(state, c.name, c.barcodes, c.repeat, changed);
    case CommandKind::ScanFile: return ScanFile(state, c, changed);
    case CommandKind::Fault: return SetFault(state, c, changed);
    case CommandKind::ClearFaults: return ClearFaults(state, c.name, changed);
    case CommandKind::Transfer:
        return WithScanner(state, c.name, changed,
                           [](SimScanner& s, const SimCommand& cmd) { s.nextTransferQueries = cmd.queries; }, c);
    case CommandKind::Status: return Status(state, c.name, changed);
    case CommandKind::Version:
        if (!c.setVersion) return {{}, std::to_string(state.version) + "\n"};
        state.version = c.version;
        changed = true;
        return {};
    case CommandKind::WindowThreads:
        state.windowThreadsAllowed = c.allowWindowThreads;
        changed = true;
        return {};
    default: return Error("unexpected command");
    }
}

// Reset works also on a damaged state file, which it replaces. The handle
// and scanner numbers keep counting up, and the handles of processes still
// running stay theirs (their scanners are gone), so a running program that
// closes its handle later breaks no rule.
Outcome Reset() {
    StateLock lock;
    if (!lock.Held()) return Error("the simulator's state is locked by another process");
    SimState fresh;
    if (auto old = LoadState()) {
        fresh.nextHandle = old.value->nextHandle;
        fresh.nextScannerId = old.value->nextScannerId;
        fresh.handles = old.value->handles;
        (void)DropEndedHandles(fresh, true);
    }
    RemoveAllBarcodeLogs();
    RemoveAllConnections();
    if (!SaveState(fresh)) {
        // Whatever stands in the way (a damaged or read-only file) goes.
        ::SetFileAttributesA((StateFolder() + "\\state.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA((StateFolder() + "\\state.txt").c_str());
        if (!SaveState(fresh)) return Error("cannot write the state in " + StateFolder());
    }
    return {};
}

Outcome Run(const SimCommand& c) {
    if (c.kind == CommandKind::Help) return {{}, Usage()};
    if (c.kind == CommandKind::Reset) return Reset();
    StateLock lock;
    if (!lock.Held()) return Error("the simulator's state is locked by another process");
    auto loaded = LoadState();
    if (!loaded) return Error(loaded.error + " in " + StateFolder() + "; 'vask-sim reset' starts afresh");
    bool changed = false;
    Outcome out = Carry(*loaded.value, c, changed);
    if (out.error.empty() && changed && !SaveState(*loaded.value))
        return Error("cannot write the state in " + StateFolder());
    return out;
}

int RunCommandLine(const std::vector<std::string>& args) {
    auto command = ParseCommand(args);
    if (!command) {
        std::fprintf(stderr, "vask-sim: %s\n", command.error.c_str());
        return ExitUsage;
    }
    Outcome out = Run(*command.value);
    if (!out.error.empty()) {
        std::fprintf(stderr, "vask-sim: %s\n", out.error.c_str());
        return ExitFailed;
    }
    std::fputs(out.output.c_str(), stdout);
    return ExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vask-sim: the command failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "vask-sim: the command failed\n");
    }
    return ExitFailed;
}
