// vask-bench-history: what the run's barcode history adds on the polling
// thread, side by side with the history turned off (a switch only this
// benchmark uses).
//   records     a barcode's record as it is fetched, scan log off and on
//   hand-over   the history's entry alone, per barcode, while a window on another
//               thread takes each notice and copies the new barcodes out
//   delivery    DeliverNextBarcode per barcode: count of one barcode, fetch
//               from the simulated scanner, type into the keystroke receiver
//   copy-out    how long the window's copy of a full history (500) takes,
//               the longest it can hold the history's lock
//   memory      VaskSW.exe's resident private memory (RssAnon, from /proc)
//               after a tenth, half and all of 10,000 barcodes typed into the
//               receiver, and with the Recent Barcodes window open
// History on and off alternate barcode by barcode, so the machine's load
// falls on both alike.
// Options: --handovers N (20000), --deliveries N (1000), --memory N (10000).
#include "bench/Clock.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <functional>
#include <optional>
#include <vector>

#include "config/Application.h"
#include "config/UserOptions.h"
#include "delivery/BarcodeRecords.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/ScanLog.h"
#include "delivery/Poller.h"
#include "tests/poll/PollHarness.h"
#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/UiDriver.h"

using namespace polltest;

namespace {

constexpr UINT NoticeMessage = WM_APP + 1;

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p / 100.0 * double(values.size() - 1) + 0.5))];
}

// The Recent Barcodes window's part: on each notice, copy the new barcodes out.
struct CopyingWindow {
    std::vector<RecentBarcode> copied;
    uint64_t newest = 0;
    size_t copies = 0;
};
CopyingWindow Copier;

LRESULT CALLBACK CopierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != NoticeMessage) return ::DefWindowProcA(window, message, wParam, lParam);
    BarcodeHistoryNoticed();
    BarcodeHistory().CopyNewerThan(Copier.newest, Copier.copied);
    if (!Copier.copied.empty()) Copier.newest = Copier.copied.front().sequence;
    ++Copier.copies;
    return 0;
}

void PrintSideBySide(const char* what, const std::vector<double>& on, const std::vector<double>& off, const char* unit,
                     double scale) {
    std::printf("%s, %zu + %zu barcodes: history on median %.2f %s (p99 %.2f), off median %.2f %s (p99 %.2f); "
                "added %.2f %s per barcode\n",
                what, on.size(), off.size(), Percentile(on, 50) * scale, unit, Percentile(on, 99) * scale,
                Percentile(off, 50) * scale, unit, Percentile(off, 99) * scale,
                (Percentile(on, 50) - Percentile(off, 50)) * scale, unit);
}

void MeasureHandOver(int count) {
    HWND window = nullptr;
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread ui([&] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CopierProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VaskHistoryBenchWindow";
        ::RegisterClassA(&wc);
        window = ::CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetEvent(ready);
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    });
    ::WaitForSingleObject(ready, INFINITE);
    SetBarcodeHistoryListener(window, NoticeMessage);

    const std::string text = "4006381333931-ABCDEFG";
    std::vector<double> on, off;
    const std::function<bool()> keepRunning = [] { return true; };
    for (int i = 0; i < count; ++i) {
        const bool enabled = i % 2 == 0;
        history_bench_seam::SetEnabled(enabled);
        const double start = SecondsNow();
        (void)AddToHistory("Vask Key Receiver", reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                           BarcodeFate::Typed);
        (enabled ? on : off).push_back(SecondsNow() - start);
    }
    history_bench_seam::SetEnabled(true);
    ::Sleep(200);
    SetBarcodeHistoryListener(nullptr, 0);
    ::PostMessageA(window, WM_QUIT, 0, 0);
    ui.join();
    ::CloseHandle(ready);
    PrintSideBySide("hand-over (AddToHistory)", on, off, "us", 1e6);
    std::printf("hand-over: the window copied out %zu times for %zu barcodes\n", Copier.copies, on.size());
}

void MeasureCopyOut() {
    const uint8_t full[RecentBarcode::BarcodeCapacity] = {};
    for (size_t i = 0; i < RecentBarcodes::Capacity; ++i)
        BarcodeHistory().Add(ClockTime{}, std::string(RecentBarcode::DestinationCapacity, 'T'), full, sizeof full);
    std::vector<RecentBarcode> out;
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        const double start = SecondsNow();
        BarcodeHistory().CopyNewerThan(0, out);
        times.push_back(SecondsNow() - start);
    }
    std::printf("copy-out of a full history (%zu entries of %zu bytes, %zu bytes in all), 200 copies: median %.1f us, "
                "p99 %.1f us, max %.1f us\n", out.size(), sizeof(RecentBarcode), sizeof(RecentBarcodes),
                Percentile(times, 50) * 1e6, Percentile(times, 99) * 1e6, Percentile(times, 100) * 1e6);
}

bool MeasureDelivery(int count) {
    if (!PrepareSimulatedScanner()) return std::printf("the simulated scanner could not be prepared\n"), false;
    App.SetFormat(FormatSettings{});
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready() || !receiver.Focus()) return std::printf("the keystroke receiver did not start\n"), false;
    ScannerConnection connection;
    if (!connection.Opened()) return std::printf("the scanner connection did not open\n"), false;
    std::vector<std::string> barcodes;
    for (int i = 0; i < count; ++i) barcodes.push_back("B" + std::to_string(100000 + i) + "-4006381333931");
    if (!Scan(barcodes)) return std::printf("the barcodes could not be stored\n"), false;

    std::vector<double> on, off;
    const std::function<bool()> keepRunning = [] { return true; };
    for (int i = 0; i < count; ++i) {
        const bool enabled = i % 2 == 0;
        history_bench_seam::SetEnabled(enabled);
        const double start = SecondsNow();
        if (DeliverNextBarcode(App, connection.Handle(), keepRunning) != DeliveryOutcome::Delivered)
            return std::printf("delivery: barcode %d was not delivered\n", i), false;
        (enabled ? on : off).push_back(SecondsNow() - start);
    }
    history_bench_seam::SetEnabled(true);
    (void)receiver.WaitForQuiet(500, 60000);
    PrintSideBySide("delivery (DeliverNextBarcode: foreground check, fetch, type)", on, off, "ms", 1e3);
    return true;
}

// The program started, its scanner found and activated on the Connections
// page, its sheet closed.
bool StartActivatedProgram(testsupport::VaskApp& app) {
    testsupport::VaskSettings settings;
    testsupport::VaskApp::WriteSettings(settings);
    if (!app.Start()) return false;
    testsupport::Sheet sheet = testsupport::Sheet::WaitFor();
    if (!sheet || !sheet.SelectPage(1)) return false;
    if (!testsupport::ClickCommand(sheet.Item(IDC_FIND_SCANNERS)) || !testsupport::ClickCommand(sheet.Item(IDC_ACTIVATE))) return false;
    if (sheet.ItemText(IDC_ACTIVATE) != "Deac&tivate") return false;
    testsupport::PostClick(sheet.CloseButton());
    return testsupport::Sheet::WaitGone();
}

bool MeasureMemory(int total) {
    if (!PrepareSimulatedScanner()) return std::printf("memory: no simulated scanner\n"), false;
    testsupport::VaskApp app;
    if (!StartActivatedProgram(app)) return std::printf("memory: the program did not activate its scanner\n"), false;
    const std::string exe = testsupport::VaskApp::ExePath();
    if (testsupport::ResidentPrivateKiB(exe) < 0) return std::printf("memory: VaskSW.exe not found under /proc\n"), false;
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready() || !receiver.Focus()) return std::printf("memory: no keystroke receiver\n"), false;
    ::Sleep(1000);
    std::printf("memory: VaskSW.exe RssAnon %ld KiB activated, before any barcode\n", testsupport::ResidentPrivateKiB(exe));
    int scanned = 0;
    for (const int mark : {total / 10, total / 2, total}) {
        std::vector<std::string> batch;
        for (; scanned < mark; ++scanned) batch.push_back("M" + std::to_string(100000 + scanned));
        if (!batch.empty() && !Scan(batch)) return std::printf("memory: scan failed\n"), false;
        const std::wstring last = AsTyped(batch.empty() ? "" : batch.back()) + L"\r";
        if (!receiver.WaitForText(last, 600000)) return std::printf("memory: barcode %d did not arrive\n", mark), false;
        receiver.Clear();
        ::Sleep(1000);
        std::printf("memory: VaskSW.exe RssAnon %ld KiB after %d barcodes\n", testsupport::ResidentPrivateKiB(exe), scanned);
        std::fflush(stdout);
    }
    if (!app.OpenTrayMenu() || !app.PickTrayMenuItem('r')) return std::printf("memory: no tray menu\n"), false;
    HWND window = testsupport::WaitForTopWindow("#32770", "Recent Barcodes", 10000);
    if (!window) return std::printf("memory: the Recent Barcodes window did not open\n"), false;
    ::Sleep(1500);
    std::printf("memory: VaskSW.exe RssAnon %ld KiB after %d barcodes, Recent Barcodes window open (%ld entries)\n",
                testsupport::ResidentPrivateKiB(exe), scanned,
                static_cast<long>(::SendMessageA(::GetDlgItem(window, IDC_RECENT_LIST), LB_GETCOUNT, 0, 0)));
    return true;
}

}  // namespace

// A barcode record's cost on the polling thread (records::Fetched: the
// history's entry, the "fetched" row on disk in the file of unfinished
// barcodes, and in the scan log when it is on), with the log off and on,
// taking turns barcode by barcode; the option is set between two, untimed.
// Each record is then ended as typed, untimed, as the typist would. The log's
// folder keeps what was written for this run's day.
void MeasureRecords(int count) {
    const uint32_t before = ReadUserOption(scanlog::OnValue, 0).value;
    const std::string text = "4006381333931-ABCDEFG";
    FetchedBarcode barcode;
    barcode.length = static_cast<uint16_t>(text.size());
    std::memcpy(barcode.bytes, text.data(), text.size());
    std::vector<double> ways[2];
    for (int i = 0; i < count; ++i) {
        const int way = i % 2;
        (void)WriteUserOption(scanlog::OnValue, way);
        const double start = SecondsNow();
        const uint64_t sequence = records::Fetched(barcode);
        ways[way].push_back(SecondsNow() - start);
        records::Ended(sequence, "Bench", 1, 1);
    }
    (void)WriteUserOption(scanlog::OnValue, before);
    std::printf("record per fetched barcode, %d barcodes each: log off median %.1f us (p99 %.1f), log on %.1f us "
                "(p99 %.1f)\n",
                count / 2, Percentile(ways[0], 50) * 1e6, Percentile(ways[0], 99) * 1e6, Percentile(ways[1], 50) * 1e6,
                Percentile(ways[1], 99) * 1e6);
    if (const auto trouble = scanlog::TakeTrouble()) std::printf("scan log trouble: %s\n", trouble->c_str());
}

int main(int argc, char** argv) {
    MeasureRecords(OptionValue(argc, argv, "--log", 2000));
    std::fflush(stdout);
    MeasureHandOver(OptionValue(argc, argv, "--handovers", 20000));
    MeasureCopyOut();
    std::fflush(stdout);
    bool ok = MeasureDelivery(OptionValue(argc, argv, "--deliveries", 1000));
    std::fflush(stdout);
    if (const int memory = OptionValue(argc, argv, "--memory", 10000); memory > 0) ok &= MeasureMemory(memory);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
