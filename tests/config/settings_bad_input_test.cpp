// Settings files that are missing, broken, hostile or locked: start-up and
// saving end with sound settings, and no user's section is lost (it is still
// in the file, or kept in ConfigSettings.xml.bad).
#include <gtest/gtest.h>

#include <random>

#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "config/Startup.h"
#include "tests/config/ConfigFixture.h"
#include "tests/support/Process.h"

using namespace configtest;

namespace {

const std::string Declaration = "<?xml version=\"1.0\"?>\n";

std::string TwoSectionFile(const std::string& adminDevice = "Admin scanner") {
    return Declaration + "<Zantrovix created=\"using dom\">\n\t<Admin>\n\t<strip>1</strip>\n\t<DeviceInfo>" +
           adminDevice + "</DeviceInfo>\n\t</Admin>\n\t<Bob>\n\t<strip>4</strip>\n\t<DeviceInfo>Bob's scanner</DeviceInfo>\n\t</Bob></Zantrovix>\n";
}

class BadInput : public ScratchFolder {
protected:
    // Start-up on the given file: the old bytes are kept as .bad and a new
    // file with the defaults is written and read.
    void ExpectReplacedAndKept(const std::string& bytes) {
        WriteBytes("ConfigSettings.xml", bytes);
        DWORD started = ::GetTickCount();
        EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
        EXPECT_LT(::GetTickCount() - started, 10000u);
        EXPECT_TRUE(ReadBytes("ConfigSettings.xml.bad") == bytes) << "the old bytes are kept";
        EXPECT_EQ(record, SettingsRecord{});
        EXPECT_NE(ReadBytes("ConfigSettings.xml").find("<Admin>"), std::string::npos);
        ResetSettings();
        EXPECT_EQ(LocateAndReadSettings(record), 1) << "the new file loads";

        // The same file met by a save instead: kept, then replaced by the record.
        ::DeleteFileA("ConfigSettings.xml.bad");
        WriteBytes("ConfigSettings.xml", bytes);
        record.mode = 9;
        SaveSettingsFile(record, runAtStartup);
        EXPECT_TRUE(ReadBytes("ConfigSettings.xml.bad") == bytes) << "the old bytes are kept by a save";
        ResetSettings();
        EXPECT_EQ(LocateAndReadSettings(record), 1);
        EXPECT_EQ(record.mode, 9);
        ResetSettings();
    }
};

}  // namespace

TEST_F(BadInput, MissingFileIsCreatedWithTheDefaults) {
    record.mode = 9;  // the record's current values go into the new file
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_FALSE(FileExists("ConfigSettings.xml.bad"));
    EXPECT_EQ(record.mode, 9);
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.mode, 9);
}

TEST_F(BadInput, FilesThatDoNotLoadAreKeptAsBadAndReplaced) {
    std::string truncated = TwoSectionFile().substr(0, TwoSectionFile().size() / 2);
    std::string junk(4096, '\0');
    std::mt19937 random(7);
    for (char& c : junk) c = static_cast<char>(random());
    for (const std::string& bytes : {std::string(), truncated, junk, std::string("<Zantrovix><Admin>"),
                                     std::string("\xEF\xBB\xBF"), std::string("<a></b>")}) {
        SCOPED_TRACE(bytes.substr(0, 40));
        ExpectReplacedAndKept(bytes);
    }
}

TEST_F(BadInput, AnOlderBadCopyIsReplaced) {
    WriteBytes("ConfigSettings.xml.bad", "older");
    ExpectReplacedAndKept("newer and broken");
}

TEST_F(BadInput, NoBadCopyNoReplacement) {
    ASSERT_TRUE(::CreateDirectoryA("ConfigSettings.xml.bad", nullptr));  // no file can be copied there
    WriteBytes("ConfigSettings.xml", "broken <Bob>");
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 0);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), "broken <Bob>");
    EXPECT_EQ(record, SettingsRecord{});
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), "broken <Bob>");
}

TEST_F(BadInput, EntityExpansionIsNeverParsed) {
    std::string bomb = Declaration + "<!DOCTYPE Zantrovix [\n<!ENTITY l0 \"lollollollollollollollol\">\n";
    for (int i = 1; i < 12; ++i) {
        bomb += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(i - 1) + ";";
        bomb += "\">\n";
    }
    bomb += "]>\n<Zantrovix><Admin><DeviceInfo>&l11;</DeviceInfo></Admin></Zantrovix>\n";
    ExpectReplacedAndKept(bomb);
}

TEST_F(BadInput, ExternalEntitiesAreNeverResolved) {
    WriteBytes("secret.txt", "SECRET");
    std::string file = Declaration + "<!DOCTYPE Zantrovix [<!ENTITY x SYSTEM \"secret.txt\">]>\n"
                       "<Zantrovix><Admin><DeviceInfo>&x;</DeviceInfo></Admin></Zantrovix>\n";
    ExpectReplacedAndKept(file);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml").find("SECRET"), std::string::npos);
}

TEST_F(BadInput, SeveralMegabytesLoadAndKeepEverySection) {
    std::string file = Declaration + "<Zantrovix created=\"using dom\">\n\t<Admin>\n\t<strip>1</strip>\n\t</Admin>";
    for (int i = 0; file.size() < 5 * 1024 * 1024; ++i)
        file += "\n\t<User" + std::to_string(i) + ">\n\t<strip>2</strip>\n\t<Name>" + std::string(200, 'n') +
                "</Name>\n\t</User" + std::to_string(i) + ">";
    file += "</Zantrovix>\n";
    WriteBytes("ConfigSettings.xml", file);
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(record.strip, 1);
    record.strip = 3;
    SaveSettingsFile(record, runAtStartup);
    std::string saved = ReadBytes("ConfigSettings.xml");
    EXPECT_EQ(saved.size(), file.size());
    EXPECT_EQ(CountOf(saved, "<strip>2</strip>"), CountOf(file, "<strip>2</strip>"));
    EXPECT_EQ(CountOf(saved, "<strip>3</strip>"), 1u);
}

TEST_F(BadInput, FilesBeyondTheSizeBoundAreKeptAsBadAndReplaced) {
    std::string file = Declaration + "<Zantrovix><Admin><strip>1</strip></Admin><!--" +
                       std::string(17 * 1024 * 1024, '-').replace(0, 1, " ") + " --></Zantrovix>";
    ExpectReplacedAndKept(file);
}

TEST_F(BadInput, TextsOfTenThousandCharacters) {
    std::string longText(10000, 'x');
    longText[0] = 'A';
    WriteBytes("ConfigSettings.xml", Declaration + "<Zantrovix>\n\t<Admin>\n\t<DeviceInfo>" + longText +
                                         "</DeviceInfo>\n\t<Name>" + longText + "</Name>\n\t</Admin></Zantrovix>\n");
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(record.DeviceInfo, longText);
    record.Company = std::string(10000, 'c');
    record.Name = "short";
    SaveSettingsFile(record, runAtStartup);
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.DeviceInfo, longText);
    EXPECT_EQ(record.Name, "short");
    EXPECT_EQ(record.Company, " ");  // no Company element in that section
}

TEST_F(BadInput, UnknownElementsAndSectionsAreKept) {
    std::string file = Declaration + "<Zantrovix created=\"using dom\">\n\t<Admin>\n\t<Colour>red</Colour>\n\t"
                       "<strip>2</strip>\n\t</Admin>\n\t<Zed><strip>5</strip><Extra a=\"1\"/></Zed></Zantrovix>\n";
    WriteBytes("ConfigSettings.xml", file);
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(record.strip, 2);
    record.strip = 1;
    SaveSettingsFile(record, runAtStartup);
    std::string expected = file;
    expected.replace(expected.find("<strip>2<"), 9, "<strip>1<");
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), expected);
}

TEST_F(BadInput, ASectionWithoutElementsReadsNothingAndIsLeftAsItIs) {
    std::string file = TwoSectionFile();
    file.replace(file.find("</Zantrovix>"), 0, "\n\t<Ann/>");
    WriteBytes("ConfigSettings.xml", file);
    ActAsUser("Ann");
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(record, SettingsRecord{});
    record.mode = 9;
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), file);
}

TEST_F(BadInput, AReadOnlyFileIsReadAndLeftUnchanged) {
    WriteBytes("ConfigSettings.xml", TwoSectionFile());
    ::SetFileAttributesA("ConfigSettings.xml", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 1);
    EXPECT_EQ(record.strip, 1);
    record.mode = 9;
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), TwoSectionFile());
    EXPECT_EQ(record.mode, 9);  // the record in memory stays
    EXPECT_FALSE(FileExists("ConfigSettings.xml.bad"));
}

TEST_F(BadInput, AFileHeldOpenByAnotherProgramIsNeitherReplacedNorLost) {
    WriteBytes("ConfigSettings.xml", TwoSectionFile());
    testsupport::ChildProcess holder(testsupport::BinPath("vask-config-helper.exe"),
                                     {"hold", folder_ + "\\ConfigSettings.xml", "60000"});
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(testsupport::WaitUntil(
        [] {
            HANDLE h = ::CreateFileA("ConfigSettings.xml", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
            return h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
        },
        10000));

    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                RunValueName, REG_SZ, "C:\\Vask\\VaskSW.exe", sizeof "C:\\Vask\\VaskSW.exe"),
              ERROR_SUCCESS);
    EXPECT_EQ(LoadSettingsAtStartup(record, runAtStartup), 0);
    EXPECT_EQ(record, SettingsRecord{});
    record.DeviceInfo = "New scanner";  // the user's own change
    // A page change while the file is still held: nothing is saved.
    EXPECT_EQ(SaveSettings(record, runAtStartup), ERROR_NOT_READY);
    std::string runValue(64, '\0');
    DWORD size = static_cast<DWORD>(runValue.size());
    EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             RunValueName, RRF_RT_REG_SZ, nullptr, runValue.data(), &size),
              ERROR_SUCCESS)
        << "the Run value was left alone";
    holder.Kill();
    holder.Wait(5000);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), TwoSectionFile());
    EXPECT_FALSE(FileExists("ConfigSettings.xml.bad"));

    // Once it is free again, the next save reads the section first: the stored
    // values that the user never saw survive, and the user's change lands.
    SaveSettings(record, runAtStartup);
    EXPECT_NE(ReadBytes("ConfigSettings.xml").find("<Bob>"), std::string::npos);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(record.strip, 1) << pass;
        EXPECT_EQ(record.DeviceInfo, "New scanner") << pass;
        ResetSettings();
        ASSERT_EQ(LocateAndReadSettings(record), 1);  // the second pass: what the file now holds
    }
    (void)DeleteRunValue(HKEY_CURRENT_USER);
}

TEST_F(BadInput, AFileThatBreaksWhileRunningIsKeptBeforeASave) {
    WriteBytes("ConfigSettings.xml", "<Zantrovix><Admin><strip>1</strip></Admin><Bob>");
    record.mode = 9;
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml.bad"), "<Zantrovix><Admin><strip>1</strip></Admin><Bob>");
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.mode, 9);
}
