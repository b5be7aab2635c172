// What every end-to-end test of the program starts from: no running
// instance, a known settings file, no start-with-Windows value and a
// simulator without scanners. The program is then driven like a user would.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/Process.h"
#include "tests/support/SimControl.h"
#include "tests/support/UiDriver.h"

namespace apptest {

using testsupport::Sheet;
using testsupport::VaskApp;
using testsupport::VaskSettings;

inline constexpr int AboutPage = 0;
inline constexpr int ConnectionsPage = 1;
inline constexpr int OptionsPage = 2;
inline constexpr int TracePage = 3;
inline constexpr int FormatPage = 4;

// Runs vask-sim.exe with args; its output, or a test failure when it fails.
inline std::string Sim(const std::vector<std::string>& args) {
    testsupport::RunResult r = testsupport::RunProgram(testsupport::BinPath("vask-sim.exe"), args);
    std::string line = "vask-sim";
    for (const std::string& a : args) line += " " + a;
    EXPECT_EQ(r.exitCode, 0u) << line << "\n" << r.output;
    return r.output;
}

// The program's per-user options (DWORD values under HKEY_CURRENT_USER\Software\Brontel Vask)
// while it lives; the key goes with it.
class UserOptions {
public:
    explicit UserOptions(std::initializer_list<std::pair<const char*, DWORD>> values) {
        HKEY key = nullptr;
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, Key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, value] : values)
            EXPECT_EQ(::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
                      ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    ~UserOptions() { (void)::RegDeleteKeyA(HKEY_CURRENT_USER, Key); }
    UserOptions(const UserOptions&) = delete;
    UserOptions& operator=(const UserOptions&) = delete;

private:
    static constexpr char Key[] = "Software\\Brontel Vask";
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        VaskApp::EndRunningInstances();
        VaskApp::ClearRunValues();
        VaskApp::ForgetUnfinishedBarcodes();
        Sim({"reset"});
        VaskApp::RemoveSettingsFile();
    }

    // Leaves nothing behind for the next test or program: no instance, no
    // settings file, no start-with-Windows value, no simulated scanner. The
    // program must not have misused the scanner SDK meanwhile.
    void TearDown() override {
        EXPECT_TRUE(testsupport::sim::NoBreaches());
        VaskApp::EndRunningInstances();
        VaskApp::RemoveSettingsFile();
        ::DeleteFileA((VaskApp::SettingsPath() + ".bad").c_str());
        VaskApp::ClearRunValues();
        VaskApp::ForgetUnfinishedBarcodes();
        Sim({"reset"});
    }

    // Starts the program with these settings in its file.
    void StartWith(const VaskSettings& settings) {
        VaskApp::WriteSettings(settings);
        ASSERT_TRUE(app.Start()) << "no main window";
    }

    // A start that shows the sheet; returns it.
    Sheet StartWithSheet(const VaskSettings& settings = {}) {
        StartWith(settings);
        Sheet sheet = Sheet::WaitFor();
        EXPECT_TRUE(sheet) << "the sheet did not open";
        return sheet;
    }

    // The program with the scanner "s1" found and activated on its
    // Connections page; the sheet stays open.
    Sheet StartActivated() {
        Sim({"add-serial", "s1", "--port", "com3", "--device-id", "1001"});
        Sheet sheet = StartWithSheet();
        EXPECT_TRUE(sheet.SelectPage(ConnectionsPage));
        EXPECT_TRUE(testsupport::ClickCommand(sheet.Item(IDC_FIND_SCANNERS)));
        EXPECT_TRUE(testsupport::ClickCommand(sheet.Item(IDC_ACTIVATE)));
        EXPECT_EQ(sheet.ItemText(IDC_ACTIVATE), "Deac&tivate");
        return sheet;
    }

    // Closes the sheet with "&Close" and waits until it is gone.
    static void CloseSheet(const Sheet& sheet) {
        testsupport::PostClick(sheet.CloseButton());
        ASSERT_TRUE(Sheet::WaitGone()) << "the sheet did not close";
    }

    std::map<std::string, std::string> SavedSettings() const {
        return testsupport::ReadSettingsElements(VaskApp::SettingsPath());
    }

    VaskApp app;
};

}  // namespace apptest
