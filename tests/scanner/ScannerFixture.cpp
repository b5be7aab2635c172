#include "tests/scanner/ScannerFixture.h"

#include <cstdlib>

#include "config/Application.h"
#include "config/Identity.h"
#include "res/resource.h"
#include "scanner/Activation.h"
#include "pages/ConnectionsPage.h"
#include "pages/PageProtocol.h"
#include "pages/ScannerView.h"
#include "tests/support/Process.h"
#include "tests/support/SimControl.h"
#include "delivery/PollingThread.h"

namespace scannertest {
namespace {

constexpr char ConnectionKey[] = "Software\\Zantrovix\\VantuPlus SDK\\1.0\\Connections\\Brontel Vask";

// The retry thread's reports are shown as the Connections page shows them.
INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == RetryReportMessage) ShowRetryReport(dialog, static_cast<RetryReport>(wParam), lParam);
    return message == WM_INITDIALOG || message == RetryReportMessage;
}

// The simulator's state lives in a folder of the test's own, so that no
// other user of the prefix's simulator is disturbed.
void UseOwnSimulatorFolder() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vask-scanner-tests";
    ::SetEnvironmentVariableA("VASK_SIM_DIR", folder.c_str());
}

}  // namespace

std::string Sim(const std::vector<std::string>& args) {
    const auto run = testsupport::RunProgram(testsupport::BinPath("vask-sim.exe"), args, 30000);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(run.exitCode, 0u) << "vask-sim " << line << ": " << run.output;
    return run.output;
}

long SimCounter(const std::string& scanner, const std::string& key) {
    const std::string out = Sim({"status", scanner});
    const size_t at = out.find(key + "=");
    if (at == std::string::npos) return -1;
    return std::strtol(out.c_str() + at + key.size() + 1, nullptr, 10);
}

void Pump(DWORD ms) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

}  // namespace scannertest

void ScannerStateTestAccess::Reset() {
    Scanner.connection_ = 0;
    Scanner.pending_ = ConnectionState::NothingPending;
    Scanner.statusText_.Set(" ");
    Scanner.statusIsError_ = false;
    Scanner.polled_ = false;
    Scanner.foundNames_ = {};
    Scanner.foundRecords_ = {};
    Scanner.selectedSlot_ = 0;
    Scanner.scannersFound_ = false;
}

void ScannerStateTestAccess::SetScannersFound(bool found) { Scanner.scannersFound_ = found; }

namespace scannertest {

void NameFoundScanners(std::initializer_list<std::string> names) {
    Scanner.ForgetFound();
    size_t slot = 0;
    for (const std::string& name : names) Scanner.NameFound(slot++, name);
}

void ResetApp() {
    App.Settings.Update([](SettingsRecord& s) {
        s.ActivatedScannerMode = 0;
        s.DeviceInfo = " ";
        s.mode = SerialMode;
        s.Activate = 0;
        s.Minimize = 0;
        s.FromPort = 1;
        s.ToPort = 16;
    });
    Sheet.StartPage = 0;
    Sheet.Cancelled = false;
    RetryWorker.RequestStop();
    PollingWorker.RequestStop();
    ScannerStateTestAccess::Reset();
    ConnectionsWindow = nullptr;
}

HWND CreatePlainConnectionsDialog() {
    return ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONNECTIONS), nullptr,
                                PlainDialogProc, 0);
}

std::string ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    char text[512] = {};
    ::SendMessageA(item, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> ListEntries(HWND dialog) {
    HWND list = ::GetDlgItem(dialog, IDC_SCANNER_LIST);
    std::vector<std::string> entries;
    const LRESULT n = ::SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        std::string text(static_cast<size_t>(::SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        const LRESULT got = ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        entries.push_back(text);
    }
    return entries;
}

int ListSelection(HWND dialog) {
    return static_cast<int>(::SendDlgItemMessageA(dialog, IDC_SCANNER_LIST, LB_GETCURSEL, 0, 0));
}

bool ItemEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
std::string StatusText(HWND dialog) { return ItemText(dialog, IDC_STATUS_LINE); }
std::string LastingStatus() { return Scanner.StatusText(); }

bool ConnectionStored(HKEY root) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, ConnectionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

void ScannerTest::SetUp() {
    UseOwnSimulatorFolder();
    identity_test_seam::OverrideAdministrator(std::nullopt);
    Sim({"reset"});
    // These tests drive the scanner code straight from the thread that owns
    // their dialog; the program itself never calls the SDK from such a thread.
    Sim({"window-threads", "allow"});
    ResetApp();
    dialog_ = CreatePlainConnectionsDialog();
    ASSERT_NE(dialog_, nullptr) << "template 145 missing from the test's resources";
    ConnectionsWindow = dialog_;
}

void ScannerTest::TearDown() {
    // Leave nothing running or open for the next test in this process.
    EXPECT_TRUE(StopActivationRetry(10000));
    EXPECT_TRUE(StopPollingThread(10000));
    (void)DeactivateScanner();
    EXPECT_TRUE(testsupport::sim::NoBreaches());
    if (dialog_) ::DestroyWindow(dialog_);
    ResetApp();
    identity_test_seam::OverrideAdministrator(std::nullopt);
}

void ScannerTest::AddSerial(const std::string& name, const std::string& port, const std::string& id) {
    Sim({"add-serial", name, "--port", port, "--device-id", id});
}

void ScannerTest::AddBluetooth(const std::string& name, const std::string& btName, const std::string& address,
                               int kind) {
    Sim({"add-bluetooth", name, "--bt-name", btName, "--address", address, "--kind", std::to_string(kind)});
}

void ScannerTest::SearchAndConfigureSerial(int first, int last, int index) {
    SearchSerialPorts(dialog_, first, last);
    ::SendDlgItemMessageA(dialog_, IDC_SCANNER_LIST, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ConfigureConnection(dialog_, SerialMode);
    ASSERT_EQ(LastingStatus(), "Activating, please wait...");
}

}  // namespace scannertest
