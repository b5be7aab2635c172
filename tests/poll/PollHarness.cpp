#include "tests/poll/PollHarness.h"

#include <richedit.h>

#include <cstdio>

#include "config/Application.h"
#include "config/Registry.h"
#include "delivery/PollingThread.h"
#include "sdk/FoundDeviceRecord.h"
#include "sdk/VantuSdk.h"
#include "tests/support/Process.h"
#include "tests/support/SimControl.h"
#include "win/Scoped.h"

namespace polltest {
namespace {

constexpr char StandInClass[] = "VaskPollStandInSettings";
constexpr UINT TakeForegroundMessage = WM_APP + 21;

std::string TempFolder() {
    char dir[MAX_PATH] = {};
    const DWORD n = ::GetTempPathA(MAX_PATH, dir);
    return std::string(dir, n);
}

vantu::Result FindAndCreateConnection() {
    int16_t found = 0;
    (void)vantu::VantuFindAllOnCOMPorts(1, 16, &found);
    if (found < 1) return vantu::NoScannersInList;
    FoundDeviceRecord record{};
    if (vantu::Result r = vantu::VantuGetFoundDeviceInfo(&record); r != 0) return r;
    return vantu::VantuCreateConnection(&record, vantu::ConnectionName, SerialMode, SdkRegistryRoot);
}

// Activation waits like this until the download of stored barcodes has ended.
void FinishDownload(vantu::Handle handle) {
    (void)vantu::VantuRequestDownload(handle);
    int16_t count = 0;
    for (int i = 0; i < 400 && vantu::VantuGetBarCodeCount(handle, &count) == vantu::TransferInProgress; ++i)
        ::Sleep(25);
}

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case TakeForegroundMessage:
        ::SetForegroundWindow(window);
        ::SetActiveWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

::testing::AssertionResult PrepareSimulatedScanner() {
    char name[64];
    std::snprintf(name, sizeof name, "vask-poll-sim-%lu", static_cast<unsigned long>(::GetCurrentProcessId()));
    const std::string folder = TempFolder() + name;
    ::SetEnvironmentVariableA("VASK_SIM_DIR", folder.c_str());
    if (auto reset = testsupport::sim::Reset(); !reset) return reset;
    return testsupport::sim::AddSerial(ScannerName, "COM3", "VASK-POLL-1");
}

::testing::AssertionResult Scan(const std::vector<std::string>& barcodes) {
    return testsupport::sim::Scan(ScannerName, barcodes);
}

std::optional<uint64_t> Delivered() {
    const auto status = testsupport::sim::StatusOf(ScannerName);
    if (!status) return std::nullopt;
    return status->delivered;
}

std::wstring AsTyped(const std::string& bytes) {
    std::wstring text;
    for (char c : bytes) text += static_cast<wchar_t>(static_cast<uint8_t>(c));
    return text;
}

// ---------------------------------------------------------------- connection

ScannerConnection::ScannerConnection() {
    if (FindAndCreateConnection() != 0) return;
    vantu::Handle handle = 0;
    if (vantu::VantuConnectionOpen(&handle, vantu::ConnectionName, SdkRegistryRoot) != 0) return;
    handle_ = handle;
    FinishDownload(handle_);
}

ScannerConnection::~ScannerConnection() {
    (void)StopPolling();
    if (handle_) (void)vantu::VantuClose(handle_);
}

bool ScannerConnection::StartPolling() {
    return StartPollingThread(handle_, ActivationCause::User);
}

bool ScannerConnection::StopPolling() {
    PollingWorker.RequestStop();
    const bool ended = win::WaitForThreadEnd(PollingWorker.get(), 2000);
    if (ended) PollingWorker.reset();
    return ended;
}

// ---------------------------------------------------------------- stand-in settings window

StandInSettingsWindow::StandInSettingsWindow(const char* pageTitle)
    : ready_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), firstPage_(pageTitle) {
    thread_.reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (thread_) ::WaitForSingleObject(ready_.get(), 10000);
}

StandInSettingsWindow::~StandInSettingsWindow() {
    if (window_) ::PostMessageA(window_, WM_CLOSE, 0, 0);
    if (thread_) ::WaitForSingleObject(thread_.get(), 5000);
}

DWORD WINAPI StandInSettingsWindow::ThreadMain(void* self) {
    static_cast<StandInSettingsWindow*>(self)->Run();
    return 0;
}

void StandInSettingsWindow::Run() {
    const win::UniqueLibrary richEdit(::LoadLibraryA("Riched20.dll"));
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = StandInClass;
    ::RegisterClassA(&wc);
    window_ = ::CreateWindowA(StandInClass, "Brontel Vask", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 460,
                              300, nullptr, nullptr, instance, nullptr);
    if (window_)
        page_ = ::CreateWindowA("STATIC", firstPage_.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 440, 260, window_,
                                nullptr, instance, nullptr);
    if (page_)
        trace_ = ::CreateWindowExA(WS_EX_CLIENTEDGE, "RichEdit20A", "",
                                   WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                                       WS_VSCROLL,
                                   10, 10, 290, 200, page_, nullptr, instance, nullptr);
    ::SetEvent(ready_.get());
    if (!window_) return;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void StandInSettingsWindow::ShowPage(const char* pageTitle) { ::SetWindowTextA(page_, pageTitle); }

bool StandInSettingsWindow::BringToFront(DWORD timeoutMs) {
    ::PostMessageA(window_, TakeForegroundMessage, 0, 0);
    return testsupport::WaitUntil([&] { return ::GetForegroundWindow() == window_; }, timeoutMs);
}

std::string StandInSettingsWindow::TraceText() const {
    const LRESULT length = ::SendMessageA(trace_, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got = ::SendMessageA(trace_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got));
    return text;
}

}  // namespace polltest
