#include "sdksim/SimCommand.h"

#include <map>
#include <set>

#include "sdk/FoundDeviceRecord.h"
#include "sdksim/SimState.h"

namespace sdksim {
namespace {

using Result = Parsed<SimCommand>;
using Args = std::vector<std::string>;

constexpr uint32_t MaxRepeat = 100000;
constexpr uint32_t MaxTransferQueries = 1000000;

// Longest texts that fit their fields of the found-device record, with the NUL.
constexpr size_t MaxPortName = FoundDeviceRecord::BaudCodeOffset - FoundDeviceRecord::PortNameOffset - 1;
constexpr size_t MaxDeviceId = FoundDeviceRecord::DeviceKindOffset - FoundDeviceRecord::DeviceIdOffset - 1;
constexpr size_t MaxBtName = FoundDeviceRecord::PortNameOffset - FoundDeviceRecord::BluetoothNameOffset - 1;

Result Fail(std::string why) { return Result::Fail(std::move(why)); }

bool Expect(const Args& args, size_t count) { return args.size() == count; }

Result NeedName(CommandKind kind, const Args& args, const char* usage, bool starAllowed = false) {
    if (args.size() != 2) return Fail(std::string("usage: vask-sim ") + usage);
    SimCommand c;
    c.kind = kind;
    c.name = args[1];
    if (!(starAllowed && c.name == "*") && !IsValidScannerName(c.name))
        return Fail("'" + c.name + "' is not a scanner name (1 to 64 printable characters, no blanks)");
    return Result::Ok(std::move(c));
}

// "--option value" pairs after the name; each known option at most once.
Parsed<std::map<std::string, std::string>> Options(const Args& args, size_t from,
                                                   const std::set<std::string>& known) {
    using P = Parsed<std::map<std::string, std::string>>;
    std::map<std::string, std::string> options;
    for (size_t i = from; i < args.size(); i += 2) {
        if (!known.count(args[i])) return P::Fail("unknown option '" + args[i] + "'");
        if (i + 1 >= args.size()) return P::Fail("option " + args[i] + " needs a value");
        if (!options.emplace(args[i], args[i + 1]).second)
            return P::Fail("option " + args[i] + " given twice");
    }
    return P::Ok(std::move(options));
}

Result CheckedName(CommandKind kind, const std::string& name) {
    if (!IsValidScannerName(name))
        return Fail("'" + name + "' is not a scanner name (1 to 64 printable characters, no blanks)");
    SimCommand c;
    c.kind = kind;
    c.name = name;
    return Result::Ok(std::move(c));
}

Result ParseAddSerial(const Args& args) {
    const char* usage = "usage: vask-sim add-serial NAME --port PORT --device-id ID [--baud-code N]";
    if (args.size() < 2) return Fail(usage);
    auto c = CheckedName(CommandKind::AddSerial, args[1]);
    if (!c) return c;
    auto options = Options(args, 2, {"--port", "--device-id", "--baud-code"});
    if (!options) return Fail(options.error + "; " + usage);
    auto& o = *options.value;
    if (!o.count("--port") || !o.count("--device-id")) return Fail(usage);
    c.value->port = o["--port"];
    c.value->deviceId = o["--device-id"];
    if (!PortNumber(c.value->port))
        return Fail("port '" + c.value->port + "' does not end in a port number (like COM3)");
    if (c.value->port.size() > MaxPortName)
        return Fail("port name longer than " + std::to_string(MaxPortName) + " characters");
    if (c.value->deviceId.empty() || c.value->deviceId.size() > MaxDeviceId)
        return Fail("device id must have 1 to " + std::to_string(MaxDeviceId) + " characters");
    if (o.count("--baud-code")) {
        auto baud = ParseSigned(o["--baud-code"]);
        if (!baud) return Fail("--baud-code: " + baud.error);
        c.value->baudCode = *baud.value;
    }
    return c;
}

Result ParseAddBluetooth(const Args& args) {
    const char* usage =
        "usage: vask-sim add-bluetooth NAME --bt-name TEXT --address XX:XX:XX:XX:XX:XX [--kind N]";
    if (args.size() < 2) return Fail(usage);
    auto c = CheckedName(CommandKind::AddBluetooth, args[1]);
    if (!c) return c;
    auto options = Options(args, 2, {"--bt-name", "--address", "--kind"});
    if (!options) return Fail(options.error + "; " + usage);
    auto& o = *options.value;
    if (!o.count("--bt-name") || !o.count("--address")) return Fail(usage);
    c.value->btName = o["--bt-name"];
    if (c.value->btName.size() > MaxBtName)
        return Fail("Bluetooth name longer than " + std::to_string(MaxBtName) + " characters");
    auto address = ParseBluetoothAddress(o["--address"]);
    if (!address) return Fail("--address: " + address.error);
    c.value->address = *address.value;
    if (o.count("--kind")) {
        auto kind = ParseSigned(o["--kind"]);
        if (!kind) return Fail("--kind: " + kind.error);
        c.value->deviceKind = *kind.value;
    }
    return c;
}

Parsed<std::string> CheckedBarcode(Parsed<std::string> bytes) {
    if (!bytes) return bytes;
    if (bytes.value->empty()) return Parsed<std::string>::Fail("a barcode needs at least one byte");
    if (bytes.value->size() > MaxBarcodeLength)
        return Parsed<std::string>::Fail("a barcode may have at most " +
                                         std::to_string(MaxBarcodeLength) + " bytes");
    return bytes;
}

// scan NAME [--hex] [--repeat N] [--] BARCODE...; the options may stand
// anywhere before "--".
Result ParseScan(const Args& args) {
    const char* usage = "usage: vask-sim scan NAME [--repeat N] BARCODE... | scan NAME --hex [--repeat N] HEX...";
    if (args.size() < 2) return Fail(usage);
    auto c = CheckedName(CommandKind::Scan, args[1]);
    if (!c) return c;
    bool hex = false, repeatSeen = false, optionsEnded = false;
    std::vector<std::string> texts;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") { optionsEnded = true; continue; }
        if (!optionsEnded && a == "--hex") { hex = true; continue; }
        if (!optionsEnded && a == "--repeat") {
            if (repeatSeen) return Fail("option --repeat given twice");
            if (i + 1 >= args.size()) return Fail("option --repeat needs a value");
            auto n = ParseCount(args[++i], MaxRepeat);
            if (!n || *n.value == 0) return Fail("--repeat: '" + args[i] + "' is not a number from 1 to " + std::to_string(MaxRepeat));
            c.value->repeat = *n.value;
            repeatSeen = true;
            continue;
        }
        texts.push_back(a);
    }
    if (texts.empty()) return Fail(std::string("no barcode given; ") + usage);
    for (const std::string& t : texts) {
        auto bytes = CheckedBarcode(hex ? ParseHexBytes(t) : UnescapeBarcode(t));
        if (!bytes) return Fail("barcode '" + t + "': " + bytes.error);
        c.value->barcodes.push_back(*bytes.value);
    }
    return c;
}

Result ParseScanFileCommand(const Args& args) {
    if (!Expect(args, 3)) return Fail("usage: vask-sim scan-file NAME PATH");
    auto c = CheckedName(CommandKind::ScanFile, args[1]);
    if (c) c.value->path = args[2];
    return c;
}

// fault NAME delay:CALL MS
Result ParseDelay(SimCommand c, const std::string& call, const std::string& ms) {
    bool known = false;
    for (size_t i = 0; i < SlowCallCount && !known; ++i) {
        known = call == SlowCallName(SlowCall(i));
        if (known) c.slowCall = SlowCall(i);
    }
    if (!known)
        return Fail("'delay:" + call + "': CALL is open, idmode, download, count, fetch, close, search or connection");
    auto n = ParseCount(ms, MaxDelayMs);
    if (!n) return Fail("MS: " + n.error);
    c.call = FaultCall::Delay;
    c.result = *n.value;
    return Result::Ok(std::move(c));
}

Result ParseFault(const Args& args) {
    const char* usage = "usage: vask-sim fault NAME open|idmode|count|close RESULT | fault NAME delay:CALL MS"
                        " | fault '*' find|info:I RESULT";
    if (!Expect(args, 4)) return Fail(usage);
    SimCommand c;
    c.kind = CommandKind::Fault;
    c.name = args[1];
    const std::string& call = args[2];
    if (c.name == "*") {
        if (call == "find") {
            c.call = FaultCall::Find;
        } else if (call.rfind("info:", 0) == 0) {
            auto pass = ParseCount(call.substr(5), 1000000);
            if (!pass) return Fail("info:I: " + pass.error);
            c.call = FaultCall::Info;
            c.infoPass = *pass.value;
        } else {
            return Fail("'" + call + "' is not a search call; for '*' CALL is find or info:I");
        }
    } else {
        if (!IsValidScannerName(c.name)) return Fail("'" + c.name + "' is not a scanner name");
        if (call.rfind("delay:", 0) == 0) return ParseDelay(std::move(c), call.substr(6), args[3]);
        static const std::map<std::string, FaultCall> calls = {
            {"open", FaultCall::Open}, {"idmode", FaultCall::IdMode},
            {"count", FaultCall::Count}, {"close", FaultCall::Close}};
        auto it = calls.find(call);
        if (it == calls.end())
            return Fail("'" + call + "' is not a scanner call; CALL is open, idmode, count or close");
        c.call = it->second;
    }
    auto result = ParseResultCode(args[3]);
    if (!result) return Fail(result.error);
    c.result = *result.value;
    return Result::Ok(std::move(c));
}

Result ParseTransfer(const Args& args) {
    if (!Expect(args, 3)) return Fail("usage: vask-sim transfer NAME QUERIES");
    auto c = CheckedName(CommandKind::Transfer, args[1]);
    if (!c) return c;
    auto n = ParseCount(args[2], MaxTransferQueries);
    if (!n) return Fail("QUERIES: " + n.error);
    c.value->queries = *n.value;
    return c;
}

Result ParseStatus(const Args& args) {
    if (args.size() == 1) {
        SimCommand c;
        c.kind = CommandKind::Status;
        return Result::Ok(std::move(c));
    }
    return NeedName(CommandKind::Status, args, "status [NAME]");
}

Result ParseVersion(const Args& args) {
    SimCommand c;
    c.kind = CommandKind::Version;
    if (args.size() == 1) return Result::Ok(std::move(c));
    if (!Expect(args, 2)) return Fail("usage: vask-sim version [N]");
    auto v = ParseSigned(args[1]);
    if (!v) return Fail(v.error);
    c.setVersion = true;
    c.version = *v.value;
    return Result::Ok(std::move(c));
}

Result ParseWindowThreads(const Args& args) {
    if (!Expect(args, 2) || (args[1] != "allow" && args[1] != "breach"))
        return Fail("usage: vask-sim window-threads allow|breach");
    SimCommand c;
    c.kind = CommandKind::WindowThreads;
    c.allowWindowThreads = args[1] == "allow";
    return Result::Ok(std::move(c));
}

Result ParseNoArguments(CommandKind kind, const Args& args, const char* usage) {
    if (!Expect(args, 1)) return Fail(std::string("usage: vask-sim ") + usage);
    SimCommand c;
    c.kind = kind;
    return Result::Ok(std::move(c));
}

}  // namespace

Parsed<SimCommand> ParseCommand(const std::vector<std::string>& args) {
    if (args.empty()) return Fail(std::string("no command given\n") + Usage());
    const std::string& verb = args[0];
    if (verb == "help" || verb == "--help" || verb == "-h" || verb == "/?")
        return ParseNoArguments(CommandKind::Help, args, "help");
    if (verb == "add-serial") return ParseAddSerial(args);
    if (verb == "add-bluetooth") return ParseAddBluetooth(args);
    if (verb == "remove") return NeedName(CommandKind::Remove, args, "remove NAME");
    if (verb == "unplug") return NeedName(CommandKind::Unplug, args, "unplug NAME");
    if (verb == "plug") return NeedName(CommandKind::Plug, args, "plug NAME");
    if (verb == "scan") return ParseScan(args);
    if (verb == "scan-file") return ParseScanFileCommand(args);
    if (verb == "fault") return ParseFault(args);
    if (verb == "clear-faults") return NeedName(CommandKind::ClearFaults, args, "clear-faults NAME|'*'", true);
    if (verb == "transfer") return ParseTransfer(args);
    if (verb == "status") return ParseStatus(args);
    if (verb == "reset") return ParseNoArguments(CommandKind::Reset, args, "reset");
    if (verb == "version") return ParseVersion(args);
    if (verb == "window-threads") return ParseWindowThreads(args);
    return Fail("unknown command '" + verb + "'\n" + Usage());
}

Parsed<std::vector<std::string>> ParseScanFile(std::string_view content) {
    using P = Parsed<std::vector<std::string>>;
    std::vector<std::string> barcodes;
    size_t lineNumber = 0;
    while (!content.empty()) {
        size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        auto bytes = CheckedBarcode(UnescapeBarcode(line));
        if (!bytes) return P::Fail("line " + std::to_string(lineNumber) + ": " + bytes.error);
        barcodes.push_back(std::move(*bytes.value));
    }
    return P::Ok(std::move(barcodes));
}

const char* Usage() {
    return "vask-sim: control of the simulated scanners of VantuPlusSDK_Win32_API.dll\n"
           "  vask-sim add-serial NAME --port PORT --device-id ID [--baud-code N]\n"
           "  vask-sim add-bluetooth NAME --bt-name TEXT --address XX:XX:XX:XX:XX:XX [--kind N]\n"
           "  vask-sim remove NAME | unplug NAME | plug NAME\n"
           "  vask-sim scan NAME [--repeat N] BARCODE...   (escapes \\r \\n \\t \\\\ \\xHH)\n"
           "  vask-sim scan NAME --hex [--repeat N] HEX...\n"
           "  vask-sim scan-file NAME PATH                 (one escaped barcode per line)\n"
           "  vask-sim fault NAME open|idmode|count|close RESULT\n"
           "  vask-sim fault NAME delay:CALL MS             (CALL open|idmode|download|count|fetch|close|\n"
           "                                                 search|connection)\n"
           "  vask-sim fault '*' find|info:I RESULT         (RESULT decimal or 0x hex; 0 clears)\n"
           "  vask-sim clear-faults NAME|'*'\n"
           "  vask-sim transfer NAME QUERIES\n"
           "  vask-sim status [NAME]\n"
           "  vask-sim version [N]\n"
           "  vask-sim window-threads allow|breach          (an SDK call from a window's thread)\n"
           "  vask-sim reset\n";
}

}  // namespace sdksim
