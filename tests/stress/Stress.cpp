#include "tests/stress/Stress.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "delivery/ScanLogText.h"
#include "res/resource.h"
#include "tests/support/KeyReceiver.h"
#include "tests/support/Process.h"
#include "tests/support/SimControl.h"
#include "tests/support/UiDriver.h"

namespace stresstest {
namespace {

namespace sim = testsupport::sim;

void ForgetPace();  // the typing pace back to none (below)
using testsupport::MessageBoxWindow;
using testsupport::Sheet;
using testsupport::VaskApp;
using testsupport::WaitUntil;

constexpr char ScannerName[] = "S1";
constexpr int ConnectionsPage = 1;
constexpr int ScannerList = IDC_SCANNER_LIST;
constexpr int ActivateButton = IDC_ACTIVATE;
constexpr int FindButton = IDC_FIND_SCANNERS;
constexpr int FromPort = IDC_FROM_PORT;
constexpr int ToPort = IDC_TO_PORT;
constexpr char ActivateCaption[] = "Ac&tivate";
constexpr char DeactivateCaption[] = "Deac&tivate";
constexpr char ConfirmExitCaption[] = "Confirm Exit";
constexpr DWORD SettleMs = 60000;   // a click not handled within this: the program hangs
constexpr DWORD ArrivalStallMs = 30000;
constexpr size_t MaxFailures = 20;
struct SlowCall {
    const char* call;
    int longestMs;
};
// Every SDK call runs beside the user-interface thread: searches as slow as a
// real Bluetooth one, opens and closes as slow as a scanner out of range.
constexpr SlowCall SlowCalls[] = {{"open", 3000},  {"idmode", 3000},  {"download", 1200}, {"count", 1200},
                                  {"fetch", 1200}, {"close", 3000},   {"search", 5000},   {"connection", 3000}};
constexpr int SlowCallCount = static_cast<int>(std::size(SlowCalls));
constexpr char RecentCaption[] = "Recent Barcodes";

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void UseOwnSimulatorFolder() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vask-stress-" + std::to_string(::GetCurrentProcessId());
    ::SetEnvironmentVariableA("VASK_SIM_DIR", folder.c_str());
}

// Sends WM_NULL to the program's main window (and the sheet) every 50 ms
// from a thread of its own and keeps the slowest answer: the user-interface
// thread must never be kept from its messages for long. A second thread
// probes a window of another process (the receiver) the same way: a late
// answer of the program's while the receiver's answers were late too is the
// machine stalling, not the program, and is counted apart.
class UiProbe {
public:
    UiProbe(HWND window, HWND control)
        : window_(window), control_(control), thread_([this] { Run(); }), controlThread_([this] { RunControl(); }) {}
    ~UiProbe() { Stop(); }
    UiProbe(const UiProbe&) = delete;
    UiProbe& operator=(const UiProbe&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (controlThread_.joinable()) controlThread_.join();
    }
    unsigned WorstMs() const { return worstMs_; }
    size_t Probes() const { return probes_; }
    // The late answers the machine's own stalls do not explain, and those they do.
    size_t Late() const { return Classified(false).size(); }
    size_t LateWhileTheMachineStalled() const { return Classified(true).size(); }
    // The slowest of the late answers the machine's stalls do not explain.
    unsigned WorstUnexplainedMs() const {
        unsigned worst = 0;
        for (const LateAnswer& late : Classified(false)) worst = std::max(worst, late.ms);
        return worst;
    }
    // What the driver was doing at the slowest answer.
    std::string WorstDuring() const {
        std::lock_guard lock(mutex_);
        return worstDuring_;
    }
    // What the driver was doing at each unexplained late answer, with its time.
    std::vector<std::string> LateDuring() const {
        std::vector<std::string> during;
        for (const LateAnswer& late : Classified(false)) during.push_back(late.during);
        return during;
    }
    void Doing(std::string what) {
        std::lock_guard lock(mutex_);
        doing_ = std::move(what);
    }

private:
    struct Span {
        LONGLONG from, to;
        bool Overlaps(const Span& other) const { return from < other.to && other.from < to; }
    };
    struct LateAnswer {
        Span span;
        unsigned ms;
        std::string during;
    };
    static constexpr unsigned ControlSlowMs = 100;

    static LONGLONG Now() {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    static unsigned Ms(const Span& span) {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<unsigned>((span.to - span.from) * 1000 / frequency.QuadPart);
    }

    // Sends WM_NULL; the span it took, or nullopt when the window is gone.
    static std::optional<Span> Probe(HWND window) {
        DWORD_PTR answer = 0;
        const LONGLONG from = Now();
        const bool answered = ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer) != 0;
        const Span span{from, Now()};
        if (!answered && !::IsWindow(window)) return std::nullopt;
        return span;
    }

    void Run() {
        while (!stop_) {
            const auto main = Probe(window_);
            if (!main) return;  // the program has ended
            Count(*main, "");
            if (const HWND sheet = Sheet::Find().window())
                if (const auto answer = Probe(sheet)) Count(*answer, " (the sheet)");
            ::Sleep(50);
        }
    }

    void RunControl() {
        while (!stop_ && control_) {
            const auto answer = Probe(control_);
            if (!answer) return;
            if (Ms(*answer) > ControlSlowMs) {
                std::lock_guard lock(mutex_);
                controlSlow_.push_back(*answer);
            }
            ::Sleep(20);
        }
    }

    void Count(const Span& span, const char* which) {
        const unsigned ms = Ms(span);
        ++probes_;
        std::lock_guard lock(mutex_);
        if (ms > ProbeLimitMs) late_.push_back({span, ms, doing_ + which + ": " + std::to_string(ms) + " ms"});
        if (ms > worstMs_) {
            worstMs_ = ms;
            worstDuring_ = doing_ + which;
        }
    }

    std::vector<LateAnswer> Classified(bool machineStalled) const {
        std::lock_guard lock(mutex_);
        std::vector<LateAnswer> found;
        for (const LateAnswer& late : late_) {
            const bool stalled = std::any_of(controlSlow_.begin(), controlSlow_.end(),
                                             [&](const Span& slow) { return slow.Overlaps(late.span); });
            if (stalled == machineStalled) found.push_back(late);
        }
        return found;
    }

    HWND window_, control_;
    std::atomic<bool> stop_{false};
    std::atomic<unsigned> worstMs_{0};
    std::atomic<size_t> probes_{0};
    mutable std::mutex mutex_;
    std::string doing_, worstDuring_;
    std::vector<LateAnswer> late_;
    std::vector<Span> controlSlow_;
    std::thread thread_, controlThread_;
};

class Driver {
public:
    Driver(const StressOptions& options, StressResult& result)
        : options_(options), result_(result), rng_(options.seed) {}

    bool Start();
    void Round(size_t index);
    void Finish();
    // The program has gone, or so much has failed that more rounds say nothing new.
    bool Ended() const { return ended_ || result_.failures.size() >= MaxFailures; }

private:
    enum class Action {
        Find, Activate, Deactivate, PlugOrUnplug, TrayOpen, TrayAbout, ConfirmExit, SheetExit, CloseSheet,
        UserApp, SlowCall, TypeAgain, TypeAgainWaiting, SecondStart, Logoff, ClearRecent, Pace, ClickSheet
    };

    void Fail(const std::string& why) {
        const std::string when = finishing_ ? "at the end" : "round " + std::to_string(round_);
        result_.failures.push_back(when + " (" + doing_ + slowNote_ + "): " + why);
    }
    bool Chance(int percent) { return std::uniform_int_distribution<int>(1, 100)(rng_) <= percent; }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    Action PickAction();
    void Do(Action action);

    void ScanSome(int most);
    std::string NextBarcode();
    bool ProgramRunning();
    // Waits until the user-interface thread has handled what was posted.
    bool Settle();
    Sheet EnsureSheet();
    Sheet ConnectionsSheet();
    void ClickOnConnections(int id, const char* caption);
    void TrayPick(char accessKey, bool scanWhileOpen);
    void ConfirmExitThenCancel(bool fromSheet);
    void DismissStrayBoxes();
    void InjectOrClearSlowCall();
    void TypeAgainTheNewest(bool waitForOneOnItsWay = false);
    void TypeAgainAWaitingBarcode();
    void ClearRecentBarcodes();
    void SetARandomPace();
    void ClickTheSheetWhileTyping();
    void StartASecondCopy();
    void LogoffAndStartAgain();
    HWND OpenRecent();
    void NotePartlyTyped();
    void StartProbe();
    void StopProbe();
    bool ActivateForTheEnd();
    void CheckArrivals();
    bool TakeArrival(const std::wstring& arrived, size_t& at, size_t& next);
    void ReportKeysAround(size_t characterIndex);

    const StressOptions& options_;
    StressResult& result_;
    std::mt19937 rng_;
    VaskApp app_;
    testsupport::KeyReceiver receiver_;
    std::unique_ptr<UiProbe> probe_;
    // Of the probes of programs that have ended (a logoff), and the clicks.
    unsigned worstProbeMs_ = 0, worstClickMs_ = 0;
    size_t probes_ = 0, lateProbes_ = 0, stalledProbes_ = 0, clicks_ = 0, lateClicks_ = 0;
    std::string worstProbeDuring_;
    std::vector<std::string> lateDuring_;  // the first few unexplained late answers
    unsigned worstUnexplainedMs_ = 0;
    std::vector<std::string> scanned_;
    std::vector<testsupport::ChildProcess> secondCopies_;
    std::map<std::string, size_t> typedAgain_;     // copies Type Again typed, by barcode
    std::map<std::string, size_t> partlyTyped_;    // keys typed of barcodes listed as partly typed
    bool plugged_ = true;
    int slowRoundsLeft_ = 0;
    std::string slowNote_;  // the slow call in force, for the report
    bool ended_ = false;
    bool finishing_ = false;
    const bool trace_ = std::getenv("VASK_STRESS_TRACE") != nullptr;  // a line per round
    size_t round_ = 0;
    std::string doing_ = "start";
};

bool Driver::Start() {
    UseOwnSimulatorFolder();
    VaskApp::EndRunningInstances();
    VaskApp::ClearRunValues();
    VaskApp::ForgetUnfinishedBarcodes();
    ForgetPace();
    if (auto r = sim::Reset(); !r) return Fail(r.message()), false;
    if (auto r = sim::AddSerial(ScannerName, "COM3", "STRESS-1"); !r) return Fail(r.message()), false;
    if (!receiver_.Ready()) return Fail("the keystroke receiver did not start"), false;
    VaskApp::WriteSettings(testsupport::VaskSettings{});
    if (!app_.Start()) return Fail("the program did not start"), false;
    StartProbe();
    if (!Sheet::WaitFor(20000)) return Fail("the settings sheet did not open at start"), false;
    return true;
}

void Driver::StartProbe() { probe_ = std::make_unique<UiProbe>(app_.MainWindow(), receiver_.Window()); }

void Driver::StopProbe() {
    if (!probe_) return;
    probe_->Stop();
    probes_ += probe_->Probes();
    lateProbes_ += probe_->Late();
    stalledProbes_ += probe_->LateWhileTheMachineStalled();
    worstUnexplainedMs_ = std::max(worstUnexplainedMs_, probe_->WorstUnexplainedMs());
    for (std::string& late : probe_->LateDuring())
        if (lateDuring_.size() < 5) lateDuring_.push_back(std::move(late));
    if (probe_->WorstMs() > worstProbeMs_) {
        worstProbeMs_ = probe_->WorstMs();
        worstProbeDuring_ = probe_->WorstDuring();
    }
    probe_.reset();
}

std::string Driver::NextBarcode() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string barcode = "B" + std::to_string(scanned_.size() + 1) + "-";
    for (int n = Between(0, 10); n > 0; --n) barcode += letters[Between(0, 35)];
    return barcode;
}

void Driver::ScanSome(int most) {
    std::vector<std::string> batch;
    for (int n = Between(0, most); n > 0; --n) {
        batch.push_back(NextBarcode());
        scanned_.push_back(batch.back());
    }
    if (batch.empty()) return;
    if (auto r = sim::Scan(ScannerName, batch); !r) Fail(r.message());
}

// A real mouse click on the sheet (on its own background at the bottom left,
// clear of the receiver; a click on the title bar would start Wine's move
// loop) while the receiver in front takes barcodes: the sheet comes forward,
// and the barcodes' keys still arrive whole in the receiver (checked at the
// end).
void Driver::ClickTheSheetWhileTyping() {
    Sheet sheet = Sheet::Find();
    if (!sheet || !sheet.MoveTo(790, 60) || !receiver_.Focus(5000)) return;
    RECT client{};
    (void)::GetClientRect(sheet.window(), &client);
    POINT spot{6, client.bottom - 6};
    (void)::ClientToScreen(sheet.window(), &spot);
    if (::WindowFromPoint(spot) != sheet.window()) return;  // another window covers it
    // While a command of the Connections page runs, the sheet drops the
    // mouse by design: Find Scanners and Activate, both disabled, show it
    // (otherwise one of them takes clicks). A command may start at any
    // moment (one clicked in an earlier round is only posted), so it is
    // looked at up to the end of the wait.
    auto pageBusy = [&] {
        for (HWND page = ::FindWindowExA(sheet.window(), nullptr, "#32770", nullptr); page;
             page = ::FindWindowExA(sheet.window(), page, "#32770", nullptr)) {
            const HWND find = ::GetDlgItem(page, FindButton), activate = ::GetDlgItem(page, ActivateButton);
            if (find && activate && !::IsWindowEnabled(find) && !::IsWindowEnabled(activate)) return true;
        }
        return false;
    };
    const size_t before = scanned_.size(), arrived = receiver_.Text().size();
    ScanSome(3);
    // The click's moment: once keys of the scanned barcodes are arriving.
    if (scanned_.size() > before) (void)WaitUntil([&] { return receiver_.Text().size() > arrived; }, 3000);
    bool sawBusy = pageBusy();
    if (sawBusy) return;
    const bool clicked = testsupport::RealClickAt(spot);
    const bool forward = WaitUntil([&] {
        sawBusy |= pageBusy();
        return ::GetForegroundWindow() == sheet.window();
    }, 3000);
    // Under Wine a press that reaches the sheet does not always activate it
    // (seen after a failed Activate, with no key on its way): counted, and
    // the barcodes' keys are checked at the end all the same.
    const bool unanswered = !forward && clicked && !sawBusy && ProgramRunning() && ::IsWindow(sheet.window());
    ++result_.actions[unanswered ? "a click on the sheet that did not bring it forward" : doing_];
}

bool Driver::ProgramRunning() {
    if (app_.Running()) return true;
    if (!ended_) Fail("the program ended by itself, exit code " + std::to_string(app_.WaitForExit(0)));
    ended_ = true;
    return false;
}

bool Driver::Settle() {
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutA(app_.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, SettleMs, &answer)) return true;
    if (ProgramRunning()) Fail("the user-interface thread did not answer for a minute");
    return false;
}

Sheet Driver::EnsureSheet() {
    if (Sheet sheet = Sheet::Find()) return sheet;
    TrayPick('o', false);
    Sheet sheet = Sheet::WaitFor(15000);
    if (!sheet && ProgramRunning()) Fail("tray Open showed no sheet");
    return sheet;
}

// A sheet found as it closes (tray About replaces an open sheet) takes no
// page change: the user looks again, once.
Sheet Driver::ConnectionsSheet() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Sheet sheet = EnsureSheet();
        if (!sheet || sheet.PageIndex() == ConnectionsPage || sheet.SelectPage(ConnectionsPage)) return sheet;
        ::Sleep(200);
        (void)Settle();
    }
    if (ProgramRunning()) Fail("the Connections page did not show");
    return Sheet::Find();
}

// A click on an enabled button of the Connections page showing `caption`
// (any caption when null); other states offer no such click.
void Driver::ClickOnConnections(int id, const char* caption) {
    Sheet sheet = ConnectionsSheet();
    if (!sheet) return;
    HWND button = sheet.Item(id);
    if (!button || !testsupport::IsEnabled(button)) return;
    if (caption && testsupport::WindowTextOf(button) != caption) return;
    if (id == ActivateButton && caption == std::string(ActivateCaption) &&
        testsupport::ListSelection(sheet.Item(ScannerList)) < 0)
        return;
    // The click is taken at once: the command runs on the scanner worker.
    LARGE_INTEGER before, after;
    ::QueryPerformanceCounter(&before);
    DWORD_PTR answer = 0;
    const bool taken = ::SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, SettleMs, &answer) != 0;
    ::QueryPerformanceCounter(&after);
    const auto ms = static_cast<unsigned>(Seconds(before, after) * 1000.0);
    ++clicks_;
    worstClickMs_ = std::max(worstClickMs_, ms);
    if (!taken || ms > ProbeLimitMs) {
        ++lateClicks_;
        Fail("the click took " + std::to_string(ms) + " ms");
    }
    ++result_.actions[doing_];
    Settle();
}

void Driver::TrayPick(char accessKey, bool scanWhileOpen) {
    if (!app_.OpenTrayMenu()) {
        if (ProgramRunning()) Fail("the tray menu did not open");
        return;
    }
    if (scanWhileOpen) {
        ScanSome(2);
        ::Sleep(Between(50, 400));
    }
    if (!app_.PickTrayMenuItem(accessKey) && ProgramRunning()) Fail("the tray menu did not take its item");
    ++result_.actions[doing_];
    Settle();
}

// The Confirm Exit box, with barcodes scanned while it is in front, then No.
void Driver::ConfirmExitThenCancel(bool fromSheet) {
    if (fromSheet) {
        Sheet sheet = EnsureSheet();
        if (!sheet) return;
            testsupport::PostClick(sheet.ExitButton());
    } else {
            if (!app_.OpenTrayMenu() || !app_.PickTrayMenuItem('e')) {
            if (ProgramRunning()) Fail("the tray menu did not offer Exit");
            return;
        }
    }
    MessageBoxWindow box = MessageBoxWindow::WaitFor(ConfirmExitCaption, 15000);
    if (!box) {
        if (ProgramRunning()) Fail("no Confirm Exit box");
        return;
    }
    ++result_.actions[doing_];
    ScanSome(2);
    ::Sleep(Between(100, 600));
    if (!ProgramRunning()) return;
    if (MessageBoxWindow::Exists(ConfirmExitCaption) && !box.Answer(IDNO) && ProgramRunning())
        Fail("the Confirm Exit box did not take No");
    Settle();
}

// Boxes of the program other than the sheet and Confirm Exit (an "Error"
// box, say) are acknowledged as a user would.
void Driver::DismissStrayBoxes() {
    for (HWND window : testsupport::VisibleTopWindows(testsupport::DialogClass)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        const std::string caption = testsupport::WindowTextOf(window);
        if (pid != app_.process().id() || caption == testsupport::SheetCaption) continue;
        if (caption == ConfirmExitCaption) {
            Fail("a Confirm Exit box was left open");
            testsupport::PostClick(::GetDlgItem(window, IDNO));
        } else {
            testsupport::PostClick(::GetDlgItem(window, IDOK));
        }
        Settle();
    }
}

void Driver::InjectOrClearSlowCall() {
    if (slowRoundsLeft_ > 0) return;
    const SlowCall& slow = SlowCalls[Between(0, SlowCallCount - 1)];
    const char* call = slow.call;
    const int ms = Between(50, slow.longestMs);
    if (auto r = sim::Delay(ScannerName, call, static_cast<uint32_t>(ms)); !r) Fail(r.message());
    ++result_.actions[doing_];
    slowNote_ = std::string(" (slow ") + call + " " + std::to_string(ms) + " ms)";
    slowRoundsLeft_ = Between(1, 6);
}

Driver::Action Driver::PickAction() {
    struct Weighted {
        Action action;
        int weight;
    };
    static const Weighted table[] = {
        {Action::Find, 10},       {Action::Activate, 16},    {Action::Deactivate, 10},
        {Action::PlugOrUnplug, 7}, {Action::TrayOpen, 8},     {Action::TrayAbout, 6},
        {Action::ConfirmExit, 6}, {Action::SheetExit, 3},    {Action::CloseSheet, 4},
        {Action::UserApp, 20},    {Action::SlowCall, 10},    {Action::TypeAgain, 5}, {Action::TypeAgainWaiting, 3},
        {Action::SecondStart, 3}, {Action::Logoff, 1},    {Action::ClearRecent, 2},
        {Action::Pace, 2},        {Action::ClickSheet, 6},
    };
    // VASK_STRESS_SECOND_STARTS=0 or VASK_STRESS_LOGOFFS=0 leaves those out.
    auto driven = [](const char* variable) {
        const char* value = std::getenv(variable);
        return !value || std::string(value) != "0";
    };
    static const bool secondStarts = driven("VASK_STRESS_SECOND_STARTS");
    static const bool logoffs = driven("VASK_STRESS_LOGOFFS");
    auto weight = [](const Weighted& w) {
        if (w.action == Action::SecondStart && !secondStarts) return 0;
        if (w.action == Action::Logoff && !logoffs) return 0;
        return w.weight;
    };
    int total = 0;
    for (const Weighted& w : table) total += weight(w);
    int pick = Between(1, total);
    for (const Weighted& w : table)
        if ((pick -= weight(w)) <= 0 && weight(w) > 0) return w.action;
    return Action::UserApp;
}

void Driver::Do(Action action) {
    switch (action) {
    case Action::Find: doing_ = "Find Scanners"; ClickOnConnections(FindButton, nullptr); break;
    case Action::Activate: doing_ = "Activate"; ClickOnConnections(ActivateButton, ActivateCaption); break;
    case Action::Deactivate: doing_ = "Deactivate"; ClickOnConnections(ActivateButton, DeactivateCaption); break;
    case Action::PlugOrUnplug: {
        doing_ = plugged_ ? "unplug" : "plug";
        auto r = plugged_ ? sim::Unplug(ScannerName) : sim::Plug(ScannerName);
        if (!r) Fail(r.message());
        ++result_.actions[doing_];
        plugged_ = !plugged_;
        break;
    }
    case Action::TrayOpen: doing_ = "tray Open"; TrayPick('o', Chance(50)); break;
    case Action::TrayAbout: doing_ = "tray About"; TrayPick('a', Chance(50)); break;
    case Action::ConfirmExit: doing_ = "tray Exit, No"; ConfirmExitThenCancel(false); break;
    case Action::SheetExit: doing_ = "sheet Exit, No"; ConfirmExitThenCancel(true); break;
    case Action::CloseSheet:
        doing_ = "sheet Close";
        if (Sheet sheet = Sheet::Find()) {
            testsupport::PostClick(sheet.CloseButton());
            ++result_.actions[doing_];
            Settle();
        }
        break;
    case Action::UserApp:
        doing_ = "the user's program in front";
        if (!receiver_.Focus(5000) && ProgramRunning()) Fail("the receiver could not be brought to the front");
        ++result_.actions[doing_];
        break;
    case Action::SlowCall: doing_ = "slow call"; InjectOrClearSlowCall(); break;
    case Action::TypeAgain: doing_ = "Type Again"; TypeAgainTheNewest(); break;
    case Action::TypeAgainWaiting: doing_ = "Type Again of a waiting barcode"; TypeAgainAWaitingBarcode(); break;
    case Action::SecondStart: doing_ = "second start"; StartASecondCopy(); break;
    case Action::Logoff: doing_ = "logoff"; LogoffAndStartAgain(); break;
    case Action::ClearRecent: doing_ = "Clear Recent Barcodes"; ClearRecentBarcodes(); break;
    case Action::Pace: doing_ = "typing pace"; SetARandomPace(); break;
    case Action::ClickSheet: doing_ = "a click on the sheet"; ClickTheSheetWhileTyping(); break;
    }
}

HWND Driver::OpenRecent() {
    TrayPick('r', false);
    HWND recent = nullptr;
    WaitUntil([&] {
        recent = testsupport::FindTopWindow(testsupport::DialogClass, RecentCaption);
        return recent && ::IsWindowVisible(recent);
    }, 15000);
    if (!recent && ProgramRunning()) Fail("Recent Barcodes did not open");
    return recent;
}

// "hh:mm:ss<tab>where<tab>barcode": the barcodes listed as "k of n
// characters into ..." are noted with k; so are those the user's file of
// unfinished barcodes holds as partly typed (Clear took them off the list).
void Driver::NotePartlyTyped() {
    std::ifstream file(VaskApp::UnfinishedBarcodesPath(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const scanlog::Row& row : scanlog::Unfinished(scanlog::ParseRows(text)))
        if (row.outcome == scanlog::PartlyTyped) partlyTyped_[row.barcode] = row.keysTyped;
    const HWND recent = OpenRecent();
    if (!recent) return;
    for (const std::string& line : testsupport::ListEntries(::GetDlgItem(recent, IDC_RECENT_LIST))) {
        const size_t tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
        if (tab == std::string::npos || tab2 == std::string::npos) continue;
        const std::string where = line.substr(tab + 1, tab2 - tab - 1);
        unsigned typed = 0, total = 0;
        if (where == "not typed" || std::sscanf(where.c_str(), "%u of %u characters into", &typed, &total) == 2)
            partlyTyped_[line.substr(tab2 + 1)] = typed;
    }
    testsupport::PostClick(::GetDlgItem(recent, IDCANCEL));
    Settle();
}

// Clear in Recent Barcodes, answered Yes: what was listed as partly typed is
// noted first; what ends afterwards is still in the user's file of
// unfinished barcodes.
void Driver::ClearRecentBarcodes() {
    NotePartlyTyped();
    const HWND recent = OpenRecent();
    if (!recent) return;
    ++result_.actions[doing_];
    if (testsupport::ListEntries(::GetDlgItem(recent, IDC_RECENT_LIST)).empty()) {
        testsupport::PostClick(::GetDlgItem(recent, IDCANCEL));
        Settle();
        return;
    }
    testsupport::PostClick(::GetDlgItem(recent, IDC_RECENT_CLEAR));
    const testsupport::MessageBoxWindow box = testsupport::MessageBoxWindow::WaitFor("Clear Recent Barcodes", 5000);
    if (!box || !box.Answer(IDYES)) {
        if (ProgramRunning()) Fail("Clear did not ask");
        return;
    }
    testsupport::PostClick(::GetDlgItem(recent, IDCANCEL));
    Settle();
}

// Back to the default pace (none).
void ForgetPace() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Brontel Vask", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(key, "KeyDelayMs");
    ::RegDeleteValueA(key, "BarcodeDelayMs");
    ::RegCloseKey(key);
}

// A random typing pace for the barcodes that follow (a third of the time
// none): up to 15 ms between keys and 300 ms after each barcode.
void Driver::SetARandomPace() {
    ++result_.actions[doing_];
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brontel Vask", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return Fail("the typing pace could not be set");
    const bool none = Chance(33);
    const DWORD keyDelay = none ? 0 : static_cast<DWORD>(Between(0, 15));
    const DWORD barcodeDelay = none ? 0 : static_cast<DWORD>(Between(0, 300));
    ::RegSetValueExA(key, "KeyDelayMs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&keyDelay), sizeof keyDelay);
    ::RegSetValueExA(key, "BarcodeDelayMs", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&barcodeDelay),
                     sizeof barcodeDelay);
    ::RegCloseKey(key);
}

// A barcode fetched for the receiver waits in the typist's hand when Recent
// Barcodes comes forward before its first key (a slow fetch makes the
// moment). Type Again of it takes it from the typist: it arrives once, which
// the end's count of every barcode checks.
void Driver::TypeAgainAWaitingBarcode() {
    if (slowRoundsLeft_ > 0 || !receiver_.Focus(5000)) return;
    const uint64_t slowed = sim::StatusOf(ScannerName).value_or(sim::Status{}).slowed;
    if (auto r = sim::Delay(ScannerName, "fetch", 1500); !r) return Fail(r.message());
    scanned_.push_back(NextBarcode());
    if (auto r = sim::Scan(ScannerName, {scanned_.back()}); !r) Fail(r.message());
    // Not fetched while the scanner is off or the receiver lost the front:
    // then the newest is typed again, or not, like any other. The barcode
    // fetched is the oldest the scanner holds, not always this one.
    const bool fetching =
        WaitUntil([&] { return sim::StatusOf(ScannerName).value_or(sim::Status{}).slowed > slowed; }, 3000);
    TypeAgainTheNewest(fetching);
    if (auto r = sim::Delay(ScannerName, "fetch", 0); !r) Fail(r.message());
}

// Type Again of the newest barcode listed (with `waitForOneOnItsWay`, once it
// is listed as still on its way), into the receiver: the status line says
// whether it was typed, and that copy is then expected too.
void Driver::TypeAgainTheNewest(bool waitForOneOnItsWay) {
    if (!receiver_.Focus(5000)) return;
    const HWND recent = OpenRecent();
    if (!recent) return;
    const HWND list = ::GetDlgItem(recent, IDC_RECENT_LIST);
    // "hh:mm:ss<tab>where<tab>barcode"; nowhere yet while on its way.
    auto listedOnItsWay = [](const std::string& line) {
        const size_t tab1 = line.find('\t');
        return tab1 != std::string::npos && line.compare(tab1, 2, "\t\t") == 0;
    };
    std::vector<std::string> lines = testsupport::ListEntries(list);
    if (waitForOneOnItsWay && WaitUntil([&] {
            lines = testsupport::ListEntries(list);
            return !lines.empty() && listedOnItsWay(lines[0]);
        }, 5000))
        ++result_.actions["a waiting barcode listed"];
    const size_t tab2 = lines.empty() ? std::string::npos : lines[0].find('\t', lines[0].find('\t') + 1);
    if (tab2 == std::string::npos) {
        testsupport::PostClick(::GetDlgItem(recent, IDCANCEL));
        Settle();
        return;
    }
    const std::string barcode = lines[0].substr(tab2 + 1);
    // Listed without a window: it is still on its way. Type Again then takes
    // it from the typist (its copy is the barcode itself), or refuses while
    // its keys are being typed.
    const bool onItsWay = listedOnItsWay(lines[0]);
    testsupport::SelectListRow(list, -1, false);
    testsupport::SelectListRow(list, 0);
    testsupport::PostClick(::GetDlgItem(recent, IDC_RECENT_TYPE_AGAIN));
    ++result_.actions[doing_];
    Settle();
    std::string status;
    const bool said = WaitUntil([&] {
        // No window to type into: the offer of the next window clicked is declined.
        if (testsupport::MessageBoxWindow::Exists("Type Again"))
            (void)testsupport::MessageBoxWindow::WaitFor("Type Again", 1000).Answer(IDNO);
        status = testsupport::WindowTextOf(::GetDlgItem(recent, IDC_RECENT_STATUS));
        return status.rfind("Typed", 0) == 0 || status.find("nothing typed") != std::string::npos ||
               status.find("is being typed right now") != std::string::npos;
    }, 30000);
    if (!said && ProgramRunning()) Fail("Type Again said nothing: \"" + status + "\"");
    if (status == "Typed 1 barcode again." && !onItsWay) ++typedAgain_[barcode];
    if (status == "Typed 1 barcode again." && onItsWay) ++result_.actions["a barcode on its way typed again"];
    if (::IsWindowVisible(recent)) {
        testsupport::PostClick(::GetDlgItem(recent, IDCANCEL));
        Settle();
    }
}

// A second start hands over to the running program: its sheet comes
// forward, or one opens (and the second copy ends once that sheet has
// closed). The run waits until the hand-over has taken effect, so that a
// logoff right after it never finds the copy still starting (it would then
// be the next logon's program). Every second copy must have ended with 0 by
// the end of the run.
void Driver::StartASecondCopy() {
    const bool sheetWasOpen = static_cast<bool>(Sheet::Find());
    secondCopies_.emplace_back(testsupport::BinPath("VaskSW.exe"), std::vector<std::string>{}, testsupport::BinDir());
    testsupport::ChildProcess& copy = secondCopies_.back();
    if (!copy.started()) return Fail("a second copy did not start");
    ++result_.actions[doing_];
    const bool handedOver = WaitUntil([&] {
        return copy.Wait(0) != 0xFFFFFFFF || (!sheetWasOpen && static_cast<bool>(Sheet::Find()));
    }, 15000);
    if (!handedOver && ProgramRunning()) Fail("a second start neither ended nor opened the sheet");
    Settle();
}

// The session ends: answered within 2 s, the program ends with 0, and a new
// start (as at the next logon) takes over; barcodes left on the scanner wait
// for its activation.
void Driver::LogoffAndStartAgain() {
    if (!receiver_.Focus(5000)) return;
    NotePartlyTyped();  // the list goes with the program
    (void)receiver_.Focus(5000);
    ++result_.actions[doing_];
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(app_.MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 2000,
                               &answer))
        Fail("WM_QUERYENDSESSION was not answered within 2 s");
    const DWORD start = ::GetTickCount();
    if (!::SendMessageTimeoutA(app_.MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer) ||
        ::GetTickCount() - start > 2000)
        Fail("WM_ENDSESSION took " + std::to_string(::GetTickCount() - start) + " ms");
    const DWORD code = app_.WaitForExit(30000);
    if (code != 0) Fail("the program did not end with 0 at logoff: " + std::to_string(code));
    StopProbe();
    if (!app_.Start()) {
        ended_ = true;
        return Fail("the program did not start again after the logoff");
    }
    StartProbe();
    if (!Sheet::WaitFor(20000)) Fail("the settings sheet did not open after the logoff");
}

void Driver::Round(size_t index) {
    round_ = index;
    doing_ = "scan";
    if (probe_) probe_->Doing("round " + std::to_string(index) + slowNote_);
    if (slowRoundsLeft_ > 0 && --slowRoundsLeft_ == 0) {
        if (auto r = sim::ClearFaults(ScannerName); !r) Fail(r.message());
        slowNote_.clear();
    }
    ScanSome(2);
    if (!ProgramRunning()) return;
    DismissStrayBoxes();
    const Action action = PickAction();
    Do(action);
    if (probe_) probe_->Doing("round " + std::to_string(index) + ": " + doing_ + slowNote_);
    ProgramRunning();
    if (trace_) {
        Sheet sheet = Sheet::Find();
        std::printf("%lu round %zu: %s; %zu scanned, %zu characters arrived; sheet %s, %s\n", ::GetTickCount(), index, doing_.c_str(),
                    scanned_.size(), receiver_.Text().size(),
                    sheet ? sheet.PageTitle().c_str() : "closed",
                    sheet ? testsupport::StoredText(sheet.Item(ActivateButton)).c_str() : "");
        std::fflush(stdout);
    }
}

// Plugged in, no slow call, the scanner activated afresh: barcodes scanned
// while it was unplugged stay on it until an activation downloads them.
bool Driver::ActivateForTheEnd() {
    Sheet sheet = ConnectionsSheet();
    if (!sheet) return false;
    if (sheet.ItemText(ActivateButton) == DeactivateCaption) {
        testsupport::PostClick(sheet.Item(ActivateButton));
        Settle();
        if (!WaitUntil([&] { return sheet.ItemText(ActivateButton) == ActivateCaption; }, 30000)) {
            Fail("Deactivate did not end the connection: " + sheet.ItemText(1056));
            return false;
        }
    }
    if (testsupport::IsEnabled(sheet.Item(FindButton))) {
        testsupport::PostClick(sheet.Item(FindButton));
        Settle();
        WaitUntil([&] { return testsupport::ListEntries(sheet.Item(ScannerList)).size() == 1; }, 15000);
    }
    if (testsupport::ListSelection(sheet.Item(ScannerList)) < 0)
        testsupport::SelectListEntry(sheet.Item(ScannerList), 0);
    testsupport::PostClick(sheet.Item(ActivateButton));
    Settle();
    const bool active = WaitUntil([&] { return sheet.ItemText(ActivateButton) == DeactivateCaption; }, 30000);
    if (!active) Fail("the scanner could not be activated at the end: " + sheet.ItemText(1056));
    return active;
}

// The receiver's messages from a few before the first character that did
// not arrive as scanned: what came instead (system keys, modifiers held).
void Driver::ReportKeysAround(size_t characterIndex) {
    const std::vector<KeyRecord> records = receiver_.Records();
    size_t chars = 0, first = 0;
    for (; first < records.size() && chars < characterIndex; ++first)
        if (records[first].message == KeyMessage::Char) ++chars;
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const HWND front = ::GetForegroundWindow();
    DWORD frontProcess = 0;
    ::GetWindowThreadProcessId(front, &frontProcess);
    const bool focus = ::GetGUIThreadInfo(0, &gui) && gui.hwndFocus;
    std::string lines = "in front: \"" + testsupport::WindowTextOf(front) + "\" of " +
                        (frontProcess == receiver_.ProcessId() ? "the receiver"
                         : frontProcess == app_.process().id() ? "the program"
                                                              : "process " + std::to_string(frontProcess)) +
                        (focus ? ", with a focus" : ", no focus") + "; the receiver's messages from character " +
                        std::to_string(characterIndex) + ":";
    for (size_t i = first >= 6 ? first - 6 : 0; i < records.size() && i < first + 120; ++i)
        lines += "\n    " + FormatKeyRecord(records[i]);
    Fail(lines);
}

// One piece of the receiver's text at `at`: the next scanned barcode whole,
// its first keys when it is listed as partly typed, or a copy that Type
// Again typed.
bool Driver::TakeArrival(const std::wstring& arrived, size_t& at, size_t& next) {
    auto take = [&](const std::string& text) {
        const std::wstring wide(text.begin(), text.end());
        if (arrived.compare(at, wide.size(), wide) != 0) return false;
        at += wide.size();
        return true;
    };
    if (next < scanned_.size()) {
        const std::string& barcode = scanned_[next];
        if (take(barcode + "\r")) {
            ++next;
            ++result_.arrived;
            return true;
        }
        const auto partly = partlyTyped_.find(barcode);
        if (partly != partlyTyped_.end() && take(barcode.substr(0, partly->second))) {
            ++next;
            ++result_.partlyTyped;
            return true;
        }
    }
    for (auto& [barcode, copies] : typedAgain_) {
        if (copies > 0 && take(barcode + "\r")) {
            --copies;
            ++result_.typedAgain;
            return true;
        }
    }
    return false;
}

void Driver::CheckArrivals() {
    size_t expectedLength = 0;
    for (const std::string& b : scanned_) {
        const auto partly = partlyTyped_.find(b);
        expectedLength += partly != partlyTyped_.end() ? partly->second : b.size() + 1;
    }
    for (const auto& [barcode, copies] : typedAgain_) expectedLength += copies * (barcode.size() + 1);
    if (!receiver_.Focus(5000)) Fail("the receiver could not be brought to the front");
    std::wstring arrived = receiver_.Text();
    DWORD lastGrowth = ::GetTickCount();
    while (arrived.size() < expectedLength && ::GetTickCount() - lastGrowth < ArrivalStallMs) {
        ::Sleep(50);
        if (receiver_.Text().size() != arrived.size()) lastGrowth = ::GetTickCount();
        arrived = receiver_.Text();
    }
    (void)receiver_.WaitForQuiet(500, 5000);
    arrived = receiver_.Text();
    size_t at = 0, next = 0;
    while ((at < arrived.size() || next < scanned_.size()) && TakeArrival(arrived, at, next)) {
    }
    if (trace_) std::printf("arrived: %s\n", std::string(arrived.begin(), arrived.end()).c_str());
    size_t copiesLeft = 0;
    std::string copiesMissing;  // which copies, so that a failure says what Type Again was believed to type
    for (const auto& [barcode, copies] : typedAgain_) {
        copiesLeft += copies;
        if (copies > 0) copiesMissing += " " + barcode + " x" + std::to_string(copies);
    }
    if (at != arrived.size() || next != scanned_.size() || copiesLeft != 0) {
        Fail("barcode " + std::to_string(next + 1) + " of " + std::to_string(scanned_.size()) +
             (next < scanned_.size() ? " (" + scanned_[next] + ")" : std::string()) +
             " did not arrive as scanned: " + std::to_string(expectedLength) + " characters expected, " +
             std::to_string(arrived.size()) + " arrived, " + std::to_string(copiesLeft) +
             " copies of Type Again missing" + (copiesMissing.empty() ? "" : " (" + copiesMissing.substr(1) + ")") +
             "; from there: \"" +
             std::string(arrived.begin() + static_cast<std::ptrdiff_t>(std::min(at, arrived.size())),
                         arrived.begin() + static_cast<std::ptrdiff_t>(std::min(at + 40, arrived.size()))) +
             "\"");
        ReportKeysAround(at);
    }
    // The simulator's state is read under its lock, which a loaded machine
    // may keep from the status command for a while.
    std::optional<sim::Status> status;
    (void)WaitUntil([&] { return (status = sim::StatusOf(ScannerName)).has_value(); }, 20000);
    if (!status || status->delivered != scanned_.size() || status->stored != scanned_.size())
        Fail("the scanner did not hand over every barcode exactly once: " +
             (status ? "stored " + std::to_string(status->stored) + ", ready " + std::to_string(status->ready) +
                           ", handed over or discarded " + std::to_string(status->delivered)
                     : std::string("no status")));
}

void Driver::Finish() {
    result_.barcodes = scanned_.size();
    finishing_ = true;
    doing_ = "activating";
    if (probe_) probe_->Doing("the end: activation, arrivals and exit");
    if (auto r = sim::ClearFaults(ScannerName); !r) Fail(r.message());
    slowNote_.clear();
    if (auto r = sim::Plug(ScannerName); !r) Fail(r.message());
    if (ProgramRunning()) {
        DismissStrayBoxes();
        if (ActivateForTheEnd()) {
            (void)receiver_.Focus(5000);
            (void)receiver_.WaitForQuiet(1000, ArrivalStallMs);
            NotePartlyTyped();
            CheckArrivals();
        }
        // Nothing typed into our own windows: the port boxes are as they started.
        if (Sheet sheet = Sheet::Find()) {
            if (sheet.SelectPage(ConnectionsPage) &&
                (testsupport::ComboText(sheet.Item(FromPort)) != "1" ||
                 testsupport::ComboText(sheet.Item(ToPort)) != "16"))
                Fail("the port boxes changed: keystrokes reached the settings sheet");
        }
        doing_ = "tray Exit, Yes";
        const DWORD code = app_.ExitThroughTray(30000);
        if (code != 0) Fail("the program did not exit cleanly through the tray: code " + std::to_string(code));
    }
    for (testsupport::ChildProcess& second : secondCopies_)
        if (second.Wait(30000) != 0) Fail("a second start did not end with 0");
    StopProbe();
    result_.worstProbeMs = worstProbeMs_;
    result_.probes = probes_;
    result_.worstClickMs = worstClickMs_;
    result_.clicks = clicks_;
    result_.probesLateWhileTheMachineStalled = stalledProbes_;
    // A wait built into the program shows again and again over the rounds;
    // an answer late now and then, on a shared machine under Wine, does not
    // tell one. Either fails: more late answers than LateProbesAllowedPer
    // allows, or one that took longer than HungProbeMs.
    if (lateProbes_ > probes_ / LateProbesAllowedPer || worstUnexplainedMs_ > HungProbeMs) {
        std::string during;
        for (const std::string& late : lateDuring_) during += "; " + late;
        Fail(std::to_string(lateProbes_) + " of " + std::to_string(probes_) + " WM_NULL probes took over " +
             std::to_string(ProbeLimitMs) + " ms while the receiver answered in time (the slowest " +
             std::to_string(worstUnexplainedMs_) + " ms)" + during);
    }
    for (const std::string& breach : sim::Breaches()) Fail("SDK misuse: " + breach);
    VaskApp::EndRunningInstances();
    ForgetPace();
    (void)sim::Reset();
}

}  // namespace

StressResult RunStress(const StressOptions& options) {
    StressResult result;
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    {
        Driver driver(options, result);
        if (driver.Start()) {
            for (size_t i = 1; i <= options.rounds && !driver.Ended(); ++i) {
                driver.Round(i);
                result.rounds = i;
                if (options.progress && i % 50 == 0) {
                    ::QueryPerformanceCounter(&end);
                    std::printf("  round %zu, %.0f s, %zu failures so far\n", i, Seconds(start, end),
                                result.failures.size());
                    std::fflush(stdout);
                }
            }
            driver.Finish();
        }
    }
    ::QueryPerformanceCounter(&end);
    result.seconds = Seconds(start, end);
    return result;
}

std::string Summary(const StressOptions& options, const StressResult& result) {
    char text[600];
    std::snprintf(text, sizeof text,
                  "stress seed %u: %zu rounds, %zu barcodes scanned, %zu arrived whole in order, %zu partly typed "
                  "and listed, %zu typed again, %.0f s, worst WM_NULL answer %u ms over %zu probes, worst page "
                  "click %u ms over %zu clicks, %zu late answers while the machine stalled, %zu failures",
                  options.seed, result.rounds, result.barcodes, result.arrived, result.partlyTyped,
                  result.typedAgain, result.seconds, result.worstProbeMs, result.probes, result.worstClickMs,
                  result.clicks, result.probesLateWhileTheMachineStalled, result.failures.size());
    std::string summary = text;
    summary += "\n  actions:";
    for (const auto& [name, count] : result.actions) summary += " " + name + " " + std::to_string(count) + ",";
    summary.pop_back();
    for (const std::string& f : result.failures) summary += "\n  " + f;
    return summary;
}

}  // namespace stresstest
