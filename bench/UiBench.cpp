// The user-interface thread under load, measured against the real program:
//   typeagain  Type Again of N barcodes of 256 bytes: how long the typing
//              takes, and the slowest WM_NULL answer of the main window and
//              the Recent Barcodes window meanwhile (probes every 20 ms);
//   endsession WM_ENDSESSION while a count query is stuck for 8 s: how long
//              the program takes to answer, median of R runs.
// Run by bench/parts/ui.sh.
#include <windows.h>

#include "bench/Clock.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/SimControl.h"
#include "tests/support/UiDriver.h"

namespace {

namespace sim = testsupport::sim;
constexpr char Scanner[] = "s1";

// The program started, its scanner found and activated, its sheet closed.
bool StartActivated(testsupport::VaskApp& app) {
    testsupport::VaskApp::EndRunningInstances();
    if (!sim::Reset() || !sim::AddSerial(Scanner, "COM3", "1001")) return false;
    testsupport::VaskApp::WriteSettings(testsupport::VaskSettings{});
    if (!app.Start()) return false;
    testsupport::Sheet sheet = testsupport::Sheet::WaitFor();
    if (!sheet || !sheet.SelectPage(1)) return false;
    if (!testsupport::ClickCommand(sheet.Item(IDC_FIND_SCANNERS)) ||
        !testsupport::ClickCommand(sheet.Item(IDC_ACTIVATE)))
        return false;
    testsupport::PostClick(sheet.CloseButton());
    return testsupport::Sheet::WaitGone();
}

// The slowest WM_NULL answer of the windows while it runs.
class Probe {
public:
    explicit Probe(std::vector<HWND> windows) : windows_(std::move(windows)), thread_([this] { Run(); }) {}
    ~Probe() { Stop(); }
    unsigned Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return worstMs_;
    }
    size_t Count() const { return count_; }

private:
    void Run() {
        while (!stop_) {
            for (HWND window : windows_) {
                const DWORD start = ::GetTickCount();
                DWORD_PTR answer = 0;
                (void)::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
                worstMs_ = std::max<unsigned>(worstMs_, ::GetTickCount() - start);
                ++count_;
            }
            ::Sleep(20);
        }
    }
    std::vector<HWND> windows_;
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> worstMs_{0};
    std::atomic<size_t> count_{0};
    std::thread thread_;
};

std::string Long(int i) {
    std::string barcode = "T" + std::to_string(100000 + i) + "-";
    while (barcode.size() < 256) barcode += static_cast<char>('A' + barcode.size() % 26);
    return barcode;
}

bool MeasureTypeAgain(int count) {
    testsupport::VaskApp app;
    if (!StartActivated(app)) return std::printf("typeagain: the program did not activate\n"), false;
    testsupport::KeyReceiver receiver;
    if (!receiver.Ready() || !receiver.Focus()) return std::printf("typeagain: no receiver\n"), false;
    std::vector<std::string> barcodes;
    size_t characters = 0;
    for (int i = 0; i < count; ++i) {
        barcodes.push_back(Long(i));
        characters += barcodes.back().size() + 1;
    }
    if (!sim::Scan(Scanner, barcodes)) return std::printf("typeagain: scan failed\n"), false;
    const std::wstring last = std::wstring(barcodes.back().begin(), barcodes.back().end()) + L"\r";
    if (!receiver.WaitForText(last, 900000)) return std::printf("typeagain: the barcodes were not typed\n"), false;
    (void)receiver.WaitForQuiet(500, 10000);
    receiver.Clear();

    if (!app.OpenTrayMenu() || !app.PickTrayMenuItem('r')) return std::printf("typeagain: no tray menu\n"), false;
    const HWND recent = testsupport::WaitForTopWindow("#32770", "Recent Barcodes", 10000);
    if (!recent) return std::printf("typeagain: no Recent Barcodes window\n"), false;
    ::SendMessageA(::GetDlgItem(recent, IDC_RECENT_LIST), LB_SETSEL, TRUE, -1);
    Probe probe({app.MainWindow(), recent});
    const DWORD start = ::GetTickCount();
    DWORD_PTR answer = 0;
    (void)::SendMessageTimeoutA(::GetDlgItem(recent, IDC_RECENT_TYPE_AGAIN), BM_CLICK, 0, 0, SMTO_NORMAL, 30000,
                                &answer);
    const DWORD clickMs = ::GetTickCount() - start;
    const bool typed = receiver.WaitForText(last, 900000);
    const DWORD typingMs = ::GetTickCount() - start;
    const unsigned worst = probe.Stop();
    std::printf("typeagain: %d barcodes of 256 bytes (%zu keys) typed again %s in %lu ms; the click took %lu ms; "
                "worst WM_NULL answer of the main and Recent Barcodes windows %u ms over %zu probes\n",
                count, characters, typed ? "whole" : "NOT all", static_cast<unsigned long>(typingMs),
                static_cast<unsigned long>(clickMs), worst, probe.Count());
    (void)app.ExitThroughTray(60000);
    return typed;
}

bool MeasureEndSession(int runs) {
    std::vector<unsigned> times;
    for (int run = 0; run < runs; ++run) {
        testsupport::VaskApp app;
        if (!StartActivated(app)) return std::printf("endsession: the program did not activate\n"), false;
        if (!sim::DelayUnderWay(Scanner, "count", 8000)) return std::printf("endsession: no delay\n"), false;
        const DWORD start = ::GetTickCount();
        DWORD_PTR answer = 0;
        (void)::SendMessageTimeoutA(app.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000,
                                    &answer);
        times.push_back(::GetTickCount() - start);
        (void)app.WaitForExit(30000);
    }
    std::sort(times.begin(), times.end());
    std::printf("endsession: WM_ENDSESSION with a count query stuck for 8 s answered in median %u ms, slowest %u ms "
                "(%d runs)\n", times[times.size() / 2], times.back(), runs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    if (const int runs = OptionValue(argc, argv, "--endsession", 5); runs > 0) ok &= MeasureEndSession(runs);
    std::fflush(stdout);
    if (const int count = OptionValue(argc, argv, "--typeagain", 500); count > 0) ok &= MeasureTypeAgain(count);
    std::fflush(stdout);
    (void)sim::Reset();
    return ok ? 0 : 1;
}
