// The start-with-Windows value, the SDK key, the identity of the caller and
// the start-up steps, against the prefix's real registry.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "config/Application.h"
#include "config/Identity.h"
#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/RunValueText.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "config/Startup.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/Process.h"
#include "win/Scoped.h"

using namespace configtest;

namespace {

// Reads the settings file back into record and sets runAtStartup from the
// Run value, as the start-up does; 1 when the settings file was read.
int LoadSettings(SettingsRecord& record, int& runAtStartup) {
    if (!LocateAndReadSettings(record)) return 0;
    runAtStartup = RunValueMatchesPathInfo(record.PathInfo) ? 1 : 0;
    return 1;
}

constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool ReadValue(HKEY root, const char* path, const char* name, std::string& text, DWORD& type) {
    char buffer[2048];
    DWORD size = sizeof buffer;
    if (::RegGetValueA(root, path, name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS) return false;
    text.assign(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
    return true;
}

std::string RunValue() {
    std::string text;
    DWORD type = 0;
    return ReadValue(HKEY_CURRENT_USER, RunKey, RunValueName, text, type) ? text : std::string("<none>");
}

void SetRunString(const std::string& data, DWORD type = REG_SZ) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, RunKey, RunValueName, type, data.c_str(),
                                static_cast<DWORD>(data.size() + 1)),
              ERROR_SUCCESS);
}

class Registry : public ScratchFolder {
protected:
    void TearDown() override {
        (void)DeleteRunValue(HKEY_CURRENT_USER);
        ScratchFolder::TearDown();
    }
};

}  // namespace

TEST_F(Registry, SetRunValueRecordsTheProgramFileNotTheCommandLine) {
    char program[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    // The test's command line carries arguments, which must not go into the value.
    ASSERT_STRNE(::GetCommandLineA(), program);
    ASSERT_EQ(SetRunValue(HKEY_CURRENT_USER, record), 1);
    EXPECT_EQ(record.PathInfo, program);
    EXPECT_EQ(RunValue(), RunValueData(program));  // quoted when it holds a blank
}

TEST_F(Registry, TheRunValueCountsWithOrWithoutQuotesInAnyCase) {
    record.PathInfo = "C:\\Program Files\\Brontel Vask\\VaskSW.exe";
    struct Case {
        std::string data;
        DWORD type;
        int runAtStartup;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Brontel Vask\\VaskSW.exe\"", REG_SZ, 1},
        {"C:\\Program Files\\Brontel Vask\\VaskSW.exe", REG_SZ, 1},  // written by earlier versions
        {"\"c:\\PROGRAM FILES\\brontel vask\\vasksw.EXE\"", REG_EXPAND_SZ, 1},
        {"\"C:\\Other\\VaskSW.exe\"", REG_SZ, 0},
        {"\"C:\\Program Files\\Brontel Vask\\VaskSW.exe", REG_SZ, 0},
        {"C:\\Program Files\\Brontel Vask\\VaskSW.exe", REG_BINARY, 0},
        {std::string(300, 'x'), REG_SZ, 0},
    };
    CreateSettingsFile(record);
    for (const Case& c : cases) {
        SetRunString(c.data, c.type);
        runAtStartup = 1 - c.runAtStartup;
        ASSERT_EQ(LoadSettings(record, runAtStartup), 1);
        EXPECT_EQ(runAtStartup, c.runAtStartup) << c.data;
        record.PathInfo = "C:\\Program Files\\Brontel Vask\\VaskSW.exe";  // the load read PathInfo from the file
        runAtStartup = 0;
        SaveSettingsFile(record, runAtStartup);
    }
}

TEST_F(Registry, SaveSettingsWritesOrDeletesTheValue) {
    record.PathInfo = "C:\\Program Files\\Brontel Vask\\VaskSW.exe";
    runAtStartup = 1;
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_SUCCESS);
    EXPECT_EQ(RunValue(), "\"C:\\Program Files\\Brontel Vask\\VaskSW.exe\"");
    ResetSettings();
    ASSERT_EQ(LoadSettings(record, runAtStartup), 1);
    EXPECT_EQ(runAtStartup, 1);
    EXPECT_EQ(record.PathInfo, "C:\\Program Files\\Brontel Vask\\VaskSW.exe");

    runAtStartup = 0;
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_SUCCESS);
    EXPECT_EQ(RunValue(), "<none>");

    record.PathInfo = "C:\\Vask\\VaskSW.exe";
    runAtStartup = 1;
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_SUCCESS);
    EXPECT_EQ(RunValue(), "C:\\Vask\\VaskSW.exe");

    // A program path far beyond MAX_PATH still reads back as set and stays.
    const std::string longPath = "C:\\" + std::string(1500, 'v') + "\\Brontel Vask\\VaskSW.exe";
    record.PathInfo = longPath;
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_SUCCESS);
    ASSERT_EQ(LoadSettings(record, runAtStartup), 1);
    EXPECT_EQ(runAtStartup, 1);
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_SUCCESS);
    EXPECT_EQ(RunValue(), RunValueData(longPath)) << "not taken for unset and deleted";
}

TEST_F(Registry, DeleteRunValueUnderBothHives) {
    SetRunString("x");
    EXPECT_EQ(DeleteRunValue(HKEY_CURRENT_USER), 1);
    EXPECT_EQ(RunValue(), "<none>");
    EXPECT_EQ(DeleteRunValue(HKEY_CURRENT_USER), 1);  // a missing value is no error
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, RunKey, RunValueName, REG_SZ, "x", 2), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRunValue(HKEY_LOCAL_MACHINE), 1);
    std::string text;
    DWORD type = 0;
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RunKey, RunValueName, text, type));
}

// Without the Run key the file was still read: no rebuild, no section lost.
TEST_F(Registry, AMissingRunKeyOnlyLeavesRunAtStartupClear) {
    std::string file = "<?xml version=\"1.0\"?>\n<Zantrovix>\n\t<Admin><strip>1</strip></Admin>\n\t"
                       "<Bob><strip>4</strip></Bob></Zantrovix>\n";
    WriteBytes("ConfigSettings.xml", file);
    SetRunString("anything");
    ASSERT_EQ(::RegDeleteTreeA(HKEY_CURRENT_USER, RunKey), ERROR_SUCCESS);
    runAtStartup = 1;
    EXPECT_EQ(LoadSettings(record, runAtStartup), 1);
    EXPECT_EQ(runAtStartup, 0);
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(runAtStartup, 0);
    EXPECT_EQ(record.strip, 1);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), file);

    // A save still writes the file and reports the key's error.
    record.strip = 2;
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(ReadBytes("ConfigSettings.xml").find("<Admin><strip>2</strip></Admin>"), std::string::npos);
    EXPECT_NE(ReadBytes("ConfigSettings.xml").find("<Bob><strip>4</strip></Bob>"), std::string::npos);
    win::UniqueKey recreated;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_WRITE, nullptr, recreated.put(), nullptr),
              ERROR_SUCCESS);
}

TEST_F(Registry, SdkKeyIsCopiedToTheCurrentUserOnce) {
    win::UniqueKey machine;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, SdkKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, machine.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueA(machine.get(), nullptr, "Licence", REG_SZ, "machine", 8), ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueA(machine.get(), "Ports", "COM3", REG_SZ, "9600", 5), ERROR_SUCCESS);
    (void)::RegDeleteTreeA(HKEY_CURRENT_USER, SdkKeyPath);

    EXPECT_EQ(EnsureSdkRegistryKey(), HKEY_CURRENT_USER);
    std::string text;
    DWORD type = 0;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, SdkKeyPath, "Licence", text, type));
    EXPECT_EQ(text, "machine");
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, (std::string(SdkKeyPath) + "\\Ports").c_str(), "COM3", text, type));
    EXPECT_EQ(text, "9600");

    // Present already: opened, not copied again.
    ASSERT_EQ(::RegSetKeyValueA(machine.get(), nullptr, "Licence", REG_SZ, "changed", 8), ERROR_SUCCESS);
    EXPECT_EQ(EnsureSdkRegistryKey(), HKEY_CURRENT_USER);
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, SdkKeyPath, "Licence", text, type));
    EXPECT_EQ(text, "machine");

    // Neither hive has it: the root is the current user's all the same.
    (void)::RegDeleteTreeA(HKEY_LOCAL_MACHINE, SdkKeyPath);
    (void)::RegDeleteTreeA(HKEY_CURRENT_USER, SdkKeyPath);
    EXPECT_EQ(EnsureSdkRegistryKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(SdkRegistryRoot, HKEY_CURRENT_USER);
}

// Linking the configuration writes nothing to the registry: the key is copied
// when the program asks at its start, with App already constructed.
TEST_F(Registry, TheSdkKeyIsCopiedWhenTheProgramAsksAndNotBefore) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, SdkKeyPath, "Licence", REG_SZ, "static", 7), ERROR_SUCCESS);
    (void)::RegDeleteTreeA(HKEY_CURRENT_USER, SdkKeyPath);
    testsupport::RunResult run = testsupport::RunProgram(testsupport::BinPath("vask-config-helper.exe"), {"sdkroot"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.output.find("before=absent"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("hkcu mode=4"), std::string::npos) << run.output;
    std::string text;
    DWORD type = 0;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, SdkKeyPath, "Licence", text, type));
    EXPECT_EQ(text, "static");
    (void)::RegDeleteTreeA(HKEY_LOCAL_MACHINE, SdkKeyPath);
}

TEST_F(Registry, IdentityComesFromTheSystemUnlessATestOverridesIt) {
    identity_test_seam::OverrideAdministrator(std::nullopt);
    identity_test_seam::OverrideLogonName(std::nullopt);
    EXPECT_EQ(IsAdministrator(), 1);  // the Wine user's token lists Administrators
    char name[256];
    DWORD size = sizeof name;
    ASSERT_TRUE(::GetUserNameA(name, &size));
    EXPECT_EQ(LogonName(), std::string(name));
    ActAsUser("Ann");
    EXPECT_EQ(IsAdministrator(), 0);
    EXPECT_EQ(LogonName(), "Ann");
}

TEST_F(Registry, TheProgramFolderBecomesTheCurrentDirectory) {
    ASSERT_TRUE(UseProgramFolderAsCurrentDirectory());
    char current[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, current);
    char module[MAX_PATH];
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string folder(module);
    folder.resize(folder.rfind('\\'));
    EXPECT_EQ(::lstrcmpiA(current, folder.c_str()), 0) << current << " / " << folder;
    EXPECT_TRUE(FileExists("vask-config-helper.exe"));
}

TEST_F(Registry, DebugPrintCutsLongLines) {
    testing::internal::CaptureStdout();
    DebugPrint("\t%s\n\n", std::string(5000, 'd').c_str());
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.size(), 1023u);
    EXPECT_EQ(printed.substr(0, 3), "\tdd");
}
