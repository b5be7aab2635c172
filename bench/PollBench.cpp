// vask-bench-poll: figures of the polling thread, end to end from the
// simulated scanner into the keystroke receiver (a separate process).
//   latency     to the first key in the receiver, median and 99th percentile:
//               from the start of a `vask-sim scan` run, and from the moment a
//               barcode is stored (written by this program as vask-sim would,
//               without the cost of starting a process)
//   sustained   barcodes and characters per second for a batch of barcodes
//   idle CPU    processor time of the polling thread and of this process per
//               minute while connected with nothing to deliver
//   held CPU    the same with N barcodes waiting that must stay on the scanner
//               (our own window in front; then typing paused with another
//               program's window in front), measured in turns with an idle
//               connection, R rounds of S seconds each; medians side by side
//   against     the sustained run alternating with one SendInput call per
//               character of the same text into the same receiver, and with
//               that again plus the typist's proof of reading, R rounds
// Options: --latency N (200), --sustained N (1000), --length L (20), --idle S (20),
//          --held N (0 = not measured), --rounds R (5), --phase S (10), --against R (5).
#include "bench/Clock.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/Application.h"
#include "tests/poll/PollHarness.h"
#include "sdk/VantuSdk.h"
#include "sdksim/Store.h"
#include "tests/support/KeyReceiver.h"
#include "delivery/PollingThread.h"
#include "delivery/ScannerLink.h"

using namespace polltest;

namespace {

struct Options {
    int latencyBarcodes = 200;
    int sustainedBarcodes = 1000;
    int sustainedLength = 20;
    int idleSeconds = 20;
    int heldBarcodes = 0;
    int heldRounds = 5;
    int phaseSeconds = 10;
    int againstRounds = 5;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--latency")) o.latencyBarcodes = value;
        else if (!std::strcmp(argv[i], "--sustained")) o.sustainedBarcodes = value;
        else if (!std::strcmp(argv[i], "--length")) o.sustainedLength = value;
        else if (!std::strcmp(argv[i], "--idle")) o.idleSeconds = value;
        else if (!std::strcmp(argv[i], "--held")) o.heldBarcodes = value;
        else if (!std::strcmp(argv[i], "--rounds")) o.heldRounds = value;
        else if (!std::strcmp(argv[i], "--phase")) o.phaseSeconds = value;
        else if (!std::strcmp(argv[i], "--against")) o.againstRounds = value;
    }
    return o;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t rank = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size() - 1) + 0.5));
    return values[rank];
}

double Median(std::vector<double> values) { return Percentile(std::move(values), 50); }

// Waits for the first record after a Clear(), polling every millisecond.
bool AwaitFirstKey(testsupport::KeyReceiver& receiver, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (receiver.EventCount() == 0) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(1);
    }
    return true;
}

// Stores barcodes on the scanner as `vask-sim scan` does, in this process, so
// that the moment they are ready is known exactly.
bool StoreBarcodes(const std::vector<std::string>& barcodes) {
    using namespace sdksim;
    StateLock lock;
    if (!lock.Held()) return false;
    Parsed<SimState> state = LoadState();
    if (!state) return false;
    SimScanner* scanner = state.value->Find(ScannerName);
    if (!scanner || !AppendBarcodes(*scanner, barcodes)) return false;
    StoreScanned(*scanner, barcodes, state.value->IsOpen(scanner->id) && scanner->plugged);
    return SaveState(*state.value);
}

bool StoreBarcode(const std::string& barcode) { return StoreBarcodes({barcode}); }

// How many barcodes the scanner has handed over so far, read in this process.
uint64_t DeliveredNow() {
    using namespace sdksim;
    StateLock lock;
    if (!lock.Held()) return 0;
    Parsed<SimState> state = LoadState();
    const SimScanner* scanner = state ? state.value->Find(ScannerName) : nullptr;
    return scanner ? scanner->delivered : 0;
}

// Scans with `scan`, returns the milliseconds from its start to the first key.
template <typename ScanFn>
bool TimeOneBarcode(testsupport::KeyReceiver& receiver, const std::string& barcode, ScanFn scan, double& ms) {
    receiver.Clear();
    const double start = SecondsNow();
    if (!scan(barcode)) return std::printf("latency: the scan failed\n"), false;
    if (!AwaitFirstKey(receiver, 10000)) return std::printf("latency: a barcode did not arrive\n"), false;
    ms = (SecondsNow() - start) * 1000;
    const std::wstring typed = AsTyped(barcode) + L"\r";
    if (!receiver.WaitForText(typed, 10000) || receiver.Text() != typed)
        return std::printf("latency: a barcode arrived changed\n"), false;
    return true;
}

void PrintLatency(const char* what, const std::vector<double>& ms) {
    std::printf("latency, %zu barcodes, %s -> first key: median %.1f ms, p99 %.1f ms, max %.1f ms\n", ms.size(),
                what, Percentile(ms, 50), Percentile(ms, 99), Percentile(ms, 100));
}

bool MeasureLatency(testsupport::KeyReceiver& receiver, int count) {
    std::vector<double> throughTool, stored;
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pause(0, 100);  // so scans fall anywhere in the 100 ms cycle
    auto viaTool = [](const std::string& b) { return bool(Scan({b})); };
    for (int i = 0; i < count; ++i) {
        double ms = 0;
        if (!TimeOneBarcode(receiver, "LAT" + std::to_string(100000 + i), viaTool, ms)) return false;
        throughTool.push_back(ms);
        ::Sleep(DWORD(pause(rng)));
        if (!TimeOneBarcode(receiver, "STO" + std::to_string(100000 + i), StoreBarcode, ms)) return false;
        stored.push_back(ms);
        ::Sleep(DWORD(pause(rng)));
    }
    PrintLatency("`vask-sim scan` started", throughTool);
    PrintLatency("barcode stored on the scanner", stored);
    return true;
}

// The barcodes of a sustained run and the text they make in the receiver.
std::vector<std::string> SustainedBarcodes(int count, int length, std::wstring& expected) {
    std::vector<std::string> barcodes;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> digit(0, 35);
    for (int i = 0; i < count; ++i) {
        std::string b;
        for (int k = 0; k < length; ++k) {
            const int d = digit(rng);
            b += char(d < 10 ? '0' + d : 'A' + d - 10);
        }
        barcodes.push_back(b);
        expected += AsTyped(b) + L"\r";
    }
    return barcodes;
}

bool MeasureSustained(testsupport::KeyReceiver& receiver, int count, int length, double* charsPerSecond = nullptr) {
    ::Sleep(500);  // past the polling thread's first delay
    receiver.Clear();
    std::wstring expected;
    const std::vector<std::string> barcodes = SustainedBarcodes(count, length, expected);
    const uint64_t deliveredBefore = DeliveredNow();
    if (!StoreBarcodes(barcodes)) return std::printf("sustained: the barcodes could not be stored\n"), false;
    const double ready = SecondsNow();
    size_t seen = 0;
    double lastGrowth = ready, first = 0, firstFetched = 0, allFetched = 0, lastLook = ready;
    for (;;) {
        const size_t now = receiver.Text().size();
        if (now > 0 && first == 0) first = SecondsNow();
        // The simulator's lock is shared with the polling thread: look rarely.
        if (allFetched == 0 && SecondsNow() - lastLook > 0.05) {
            lastLook = SecondsNow();
            const uint64_t fetched = DeliveredNow();
            if (firstFetched == 0 && fetched > deliveredBefore) firstFetched = lastLook;
            if (fetched >= deliveredBefore + uint64_t(count)) allFetched = lastLook;
        }
        if (now != seen) seen = now, lastGrowth = SecondsNow();
        if (now >= expected.size() || SecondsNow() - lastGrowth > 20) break;
        ::Sleep(2);
    }
    const double done = SecondsNow();
    (void)receiver.WaitForQuiet(300, 5000);
    if (receiver.Text() != expected) return std::printf("sustained: the text arrived changed\n"), false;
    const double seconds = done - ready;
    if (charsPerSecond) {
        *charsPerSecond = double(expected.size()) / seconds;
        return true;
    }
    std::printf("sustained, %d barcodes of %d characters (+ Enter): %.2f s from ready to last key, "
                "%.0f barcodes/s, %.0f characters/s (first barcode fetched within %.0f ms, first key after %.0f ms)\n",
                count, length, seconds, count / seconds, double(expected.size()) / seconds,
                (firstFetched - ready) * 1000, (first - ready) * 1000);
    if (allFetched > 0) {
        const double sending = allFetched - ready;
        std::printf("sustained, the polling thread itself: all %d fetched and typed %.2f s after ready, "
                    "%.0f barcodes/s, %.0f characters/s (the receiver's handling of the keys is the limit above)\n",
                    count, sending, count / sending, double(expected.size()) / sending);
    }
    return true;
}

// What the typist pays to know that its window has read its keys, as it
// does after a barcode once more than 96 events are unread: two messages
// sent to the window, each answered, per key event.
void ProveRead(HWND window, unsigned& unreadEvents) {
    if (unreadEvents <= 96) return;
    for (unsigned n = 0, probes = 2 * unreadEvents; n < probes; ++n) {
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 150, &answer)) break;
    }
    unreadEvents = 0;
}

// The same text typed by this process as one SendInput call per character
// (press and release), the fastest a program can hand keys over one by one;
// characters per second until the last arrived, 0 when it arrived changed.
// With `proveRead`, the typist's proof of reading after each barcode too.
double OneSendInputPerCharacter(testsupport::KeyReceiver& receiver, const std::wstring& text, bool proveRead = false) {
    receiver.Clear();
    const double start = SecondsNow();
    unsigned unreadEvents = 0;
    for (const wchar_t c : text) {
        INPUT events[2] = {};
        for (int k = 0; k < 2; ++k) {
            events[k].type = INPUT_KEYBOARD;
            if (c == L'\r') events[k].ki.wVk = VK_RETURN; else events[k].ki.wScan = c;
            events[k].ki.dwFlags = (c == L'\r' ? 0 : KEYEVENTF_UNICODE) | (k ? KEYEVENTF_KEYUP : 0);
        }
        unreadEvents += ::SendInput(2, events, sizeof(INPUT));
        if (proveRead && c == L'\r') ProveRead(receiver.Window(), unreadEvents);
    }
    while (receiver.Text().size() < text.size() && SecondsNow() - start < 60) ::Sleep(2);
    const double seconds = SecondsNow() - start;
    (void)receiver.WaitForQuiet(300, 5000);
    return receiver.Text() == text ? double(text.size()) / seconds : 0;
}

// The whole pipeline against one SendInput call per character into the same
// receiver, alternating, `rounds` of each; medians and their ratio.
bool MeasureAgainstSendInput(testsupport::KeyReceiver& receiver, int rounds, int count, int length) {
    std::wstring text;
    (void)SustainedBarcodes(count, length, text);
    std::vector<double> pipeline, direct, proved, ratios, provedRatios;
    for (int round = 0; round < rounds; ++round) {
        double through = 0;
        if (!MeasureSustained(receiver, count, length, &through)) return false;
        const double one = OneSendInputPerCharacter(receiver, text);
        const double oneProved = OneSendInputPerCharacter(receiver, text, true);
        if (one == 0 || oneProved == 0) return std::printf("against SendInput: the text arrived changed\n"), false;
        pipeline.push_back(through);
        direct.push_back(one);
        proved.push_back(oneProved);
        ratios.push_back(through / one);
        provedRatios.push_back(oneProved / one);
    }
    std::printf("whole pipeline vs one SendInput per character, %d rounds of %d barcodes of %d characters, "
                "alternating (medians): %.0f vs %.0f characters/s, ratio %.2f (median of the rounds' ratios %.2f)\n",
                rounds, count, length, Median(pipeline), Median(direct), Median(pipeline) / Median(direct),
                Median(ratios));
    std::printf("one SendInput per character with the proof of reading after each barcode (over 96 events unread), "
                "same rounds: %.0f characters/s, ratio to without %.2f (median of the rounds' ratios %.2f)\n",
                Median(proved), Median(proved) / Median(direct), Median(provedRatios));
    return true;
}

double Milliseconds(const FILETIME& kernel, const FILETIME& user) {
    auto ticks = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return double(ticks(kernel) + ticks(user)) / 10000.0;
}

bool ThreadCpuMs(HANDLE thread, double& ms) {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user)) return false;
    ms = Milliseconds(kernel, user);
    return true;
}

bool ProcessCpuMs(double& ms) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return false;
    ms = Milliseconds(kernel, user);
    return true;
}

// Wine opens files in wineserver, so /proc/self there is wineserver itself:
// its user and system time in clock ticks (1/100 s).
double WineserverCpuMs() {
    FILE* stat = std::fopen("Z:\\proc\\self\\stat", "r");
    if (!stat) return -1;
    char line[1024] = {};
    (void)std::fread(line, 1, sizeof line - 1, stat);  // stays terminated
    std::fclose(stat);
    const char* fields = std::strrchr(line, ')');  // after the command name
    unsigned long utime = 0, stime = 0;
    if (!fields || std::sscanf(fields, ") %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) * 10.0;
}

bool MeasureIdleCpu(int seconds) {
    double thread0, thread1, process0, process1;
    ::Sleep(500);  // past the thread's first delay and any delivery
    if (!ThreadCpuMs(PollingWorker.get(), thread0) || !ProcessCpuMs(process0))
        return std::printf("idle CPU: the thread times cannot be read\n"), false;
    const double server0 = WineserverCpuMs();
    const double start = SecondsNow();
    ::Sleep(DWORD(seconds) * 1000);
    const double elapsed = SecondsNow() - start;
    (void)ThreadCpuMs(PollingWorker.get(), thread1);
    (void)ProcessCpuMs(process1);
    const double server1 = WineserverCpuMs();
    const double scale = 60.0 / elapsed;
    std::printf("idle CPU while connected, over %.1f s, per minute: polling thread %.0f ms, this process %.0f ms "
                "(the simulated SDK runs inside it)",
                elapsed, (thread1 - thread0) * scale, (process1 - process0) * scale);
    if (server0 >= 0 && server1 >= 0) std::printf(", wineserver %.0f ms", (server1 - server0) * scale);
    std::printf("\n");
    return true;
}

// CPU per minute of one polling phase: the polling thread, this process, wineserver.
struct CpuPerMinute {
    double thread = 0, process = 0, server = -1;
};

bool MeasurePhase(ScannerConnection& connection, int seconds, CpuPerMinute& cpu) {
    if (!connection.StartPolling()) return false;
    ::Sleep(500);  // past the thread's first delay and the download
    double thread0 = 0, thread1 = 0, process0 = 0, process1 = 0;
    const HANDLE thread = PollingWorker.get();
    if (!ThreadCpuMs(thread, thread0) || !ProcessCpuMs(process0)) return false;
    const double server0 = WineserverCpuMs();
    const double start = SecondsNow();
    ::Sleep(DWORD(seconds) * 1000);
    const double elapsed = SecondsNow() - start;
    (void)ThreadCpuMs(thread, thread1);
    (void)ProcessCpuMs(process1);
    const double server1 = WineserverCpuMs();
    const double scale = 60.0 / elapsed;
    cpu.thread = (thread1 - thread0) * scale;
    cpu.process = (process1 - process0) * scale;
    cpu.server = server0 >= 0 && server1 >= 0 ? (server1 - server0) * scale : -1;
    return connection.StopPolling();
}

bool ClearReadyBarcodes(const ScannerConnection& connection) {
    // The polling thread has ended: nobody else calls the SDK with the handle.
    return vantu::VantuSDKClearStoredBarcodes(connection.Handle()) == 0;
}


void PrintHeldLine(const char* what, const std::vector<CpuPerMinute>& idle, const std::vector<CpuPerMinute>& held,
                   const std::vector<CpuPerMinute>& paused, double CpuPerMinute::*field) {
    std::vector<double> a, b, c;
    for (const CpuPerMinute& x : idle) a.push_back(x.*field);
    for (const CpuPerMinute& x : held) b.push_back(x.*field);
    for (const CpuPerMinute& x : paused) c.push_back(x.*field);
    std::printf("  %-15s idle %6.0f   held %6.0f   paused %6.0f ms/min   (per round, idle/held/paused:", what,
                Median(a), Median(b), Median(c));
    for (size_t i = 0; i < a.size(); ++i) std::printf(" %.0f/%.0f/%.0f", a[i], b[i], c[i]);
    std::printf(")\n");
}

// Barcodes that must stay on the scanner against an idle connection, in
// turns, so all see the same load from the rest of the machine: held while
// a window of ours is in front, and paused (Pause Typing) while another
// program's window is.
bool MeasureHeldCpu(ScannerConnection& connection, testsupport::KeyReceiver& receiver, const Options& options) {
    StandInSettingsWindow ours("About");  // a window of this process in front holds every barcode
    if (!ours.Ready()) return std::printf("held CPU: no window of ours\n"), false;
    std::vector<std::string> barcodes(size_t(options.heldBarcodes));
    for (size_t i = 0; i < barcodes.size(); ++i) barcodes[i] = "HELD" + std::to_string(100000 + i);
    if (!connection.StopPolling()) return std::printf("held CPU: the polling thread did not stop\n"), false;
    std::vector<CpuPerMinute> idle, held, paused;
    for (int round = 0; round < options.heldRounds; ++round) {
        CpuPerMinute cpu;
        if (!receiver.Focus()) return std::printf("held CPU: the receiver did not come forward\n"), false;
        if (!MeasurePhase(connection, options.phaseSeconds, cpu)) return std::printf("held CPU: idle phase failed\n"), false;
        idle.push_back(cpu);
        if (!StoreBarcodes(barcodes)) return std::printf("held CPU: the barcodes could not be stored\n"), false;
        const uint64_t deliveredBefore = DeliveredNow();
        if (!ours.BringToFront()) return std::printf("held CPU: no window of ours in front\n"), false;
        if (!MeasurePhase(connection, options.phaseSeconds, cpu)) return std::printf("held CPU: held phase failed\n"), false;
        held.push_back(cpu);
        Link.Paused = true;
        const bool focused = receiver.Focus();
        const bool measured = focused && MeasurePhase(connection, options.phaseSeconds, cpu);
        Link.Paused = false;
        if (!measured) return std::printf("held CPU: paused phase failed\n"), false;
        paused.push_back(cpu);
        if (DeliveredNow() != deliveredBefore) return std::printf("held CPU: a held barcode was fetched\n"), false;
        if (!ClearReadyBarcodes(connection)) return std::printf("held CPU: the barcodes could not be cleared\n"), false;
    }
    std::printf("held CPU, %d barcodes waiting vs an idle connection, medians of %d rounds of %d s, per minute:\n",
                options.heldBarcodes, options.heldRounds, options.phaseSeconds);
    PrintHeldLine("polling thread", idle, held, paused, &CpuPerMinute::thread);
    PrintHeldLine("this process", idle, held, paused, &CpuPerMinute::process);
    if (idle.front().server >= 0) PrintHeldLine("wineserver", idle, held, paused, &CpuPerMinute::server);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (!PrepareSimulatedScanner()) return std::printf("the simulated scanner could not be prepared\n"), 1;
    App.SetFormat(FormatSettings{});
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready()) return std::printf("the keystroke receiver did not start\n"), 1;
    ScannerConnection connection;
    if (!connection.Opened() || !connection.StartPolling())
        return std::printf("the scanner connection did not open\n"), 1;

    bool ok = true;
    if (options.heldBarcodes > 0) ok &= MeasureHeldCpu(connection, receiver, options);
    std::fflush(stdout);
    if (options.heldBarcodes > 0 && !connection.StartPolling()) return std::printf("polling did not restart\n"), 1;
    if (options.idleSeconds > 0) ok &= MeasureIdleCpu(options.idleSeconds);
    std::fflush(stdout);
    if (options.latencyBarcodes > 0) ok &= MeasureLatency(receiver, options.latencyBarcodes);
    std::fflush(stdout);
    if (options.sustainedBarcodes > 0) ok &= MeasureSustained(receiver, options.sustainedBarcodes, options.sustainedLength);
    std::fflush(stdout);
    if (options.sustainedBarcodes > 0 && options.againstRounds > 0)
        ok &= MeasureAgainstSendInput(receiver, options.againstRounds, options.sustainedBarcodes, options.sustainedLength);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
