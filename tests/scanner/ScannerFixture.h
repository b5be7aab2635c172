// Shared set-up of the scanner link's tests and the Connections page's
// (tests/pages/): the simulated SDK (the real VantuPlusSDK_Win32_API.dll
// stand-in beside the test, driven by vask-sim.exe in a folder of its own),
// the settings and the scanner's state put back to their start-up values, and
// a Connections dialog made from template 145 of the program's resource script.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

// Puts the program's scanner state back as a fresh start leaves it, and sets
// what only a search through the SDK would.
struct ScannerStateTestAccess {
    static void Reset();
    static void SetScannersFound(bool found);
};

namespace scannertest {

// Runs vask-sim with args; fails the test when it does not succeed. Returns
// its output.
std::string Sim(const std::vector<std::string>& args);

// "stored=3 ready=2 delivered=1" of one scanner: the number after key.
long SimCounter(const std::string& scanner, const std::string& key);

// Handles messages for ms (worker threads send to the test's windows).
void Pump(DWORD ms);
// Handles messages until pred holds or timeoutMs passes.
template <typename Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= timeoutMs) return pred();
        Pump(10);
    }
    return true;
}

// The settings, the scanner's state and the sheet's page state as a fresh
// start leaves them.
void ResetApp();
// The last search's list entries become names, the rest are emptied; the
// selection goes back to the first.
void NameFoundScanners(std::initializer_list<std::string> names);

// Template 145 with a procedure that does nothing: the controls alone.
HWND CreatePlainConnectionsDialog();

std::string ItemText(HWND dialog, int id);
std::vector<std::string> ListEntries(HWND dialog);
int ListSelection(HWND dialog);
bool ItemEnabled(HWND dialog, int id);
std::string StatusText(HWND dialog);
std::string LastingStatus();  // Scanner.ConnectionStatusText

// Registry key of the connection the SDK stores under root.
bool ConnectionStored(HKEY root);

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a plugged serial scanner "name" on port (e.g. "COM3").
    static void AddSerial(const std::string& name, const std::string& port, const std::string& id);
    static void AddBluetooth(const std::string& name, const std::string& btName, const std::string& address,
                             int kind);
    // Searches ports first..last into dialog_ and creates the connection for
    // entry index (mode 4), as the page's Find Scanners and Activate do.
    void SearchAndConfigureSerial(int first, int last, int index);

    HWND dialog_ = nullptr;
};

}  // namespace scannertest
