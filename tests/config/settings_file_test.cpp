// The settings file as bytes: what the first save writes for an administrator
// and for a user, how a user's section joins an existing file, and what
// comes back from a load.
#include <gtest/gtest.h>

#include <vector>

#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "tests/config/ConfigFixture.h"

using namespace configtest;

namespace {

// The 19 elements of a section holding the defaults, as the file shows them.
const std::string DefaultSectionBody =
    "\n\t<strip>0</strip>"
    "\n\t<PrefixChar>None</PrefixChar>"
    "\n\t<PrefixCharCtrl>0</PrefixCharCtrl>"
    "\n\t<SuffixFirstChar>&lt;ENTER&gt;</SuffixFirstChar>"
    "\n\t<SuffixFirstCharCtrl>0</SuffixFirstCharCtrl>"
    "\n\t<SuffixSecondChar>None</SuffixSecondChar>"
    "\n\t<SuffixSecondCharCtrl>0</SuffixSecondCharCtrl>"
    "\n\t<Activate>0</Activate>"
    "\n\t<Minimize>0</Minimize>"
    "\n\t<Name> </Name>"
    "\n\t<Company> </Company>"
    "\n\t<PathInfo/>"
    "\n\t<DeviceInfo> </DeviceInfo>"
    "\n\t<mode>4</mode>"
    "\n\t<ActivatedScannerMode>0</ActivatedScannerMode>"
    "\n\t<FromPort>1</FromPort>"
    "\n\t<ToPort>16</ToPort>"
    "\n\t<LeftPosition>250</LeftPosition>"
    "\n\t<TopPosition>200</TopPosition>"
    "\n\t";

const std::string FirstLinesSingleQuoted =
    "<?xml version='1.0'?>\n"
    "<!--Configuration Settings created using XML DOM object.-->\n"
    "<Zantrovix created=\"using dom\">";
// A document that was loaded and saved again has its declaration re-quoted.
const std::string FirstLines =
    "<?xml version=\"1.0\"?>\n"
    "<!--Configuration Settings created using XML DOM object.-->\n"
    "<Zantrovix created=\"using dom\">";

std::string Section(const std::string& name, const std::string& body = DefaultSectionBody) {
    return "<" + name + ">" + body + "</" + name + ">";
}

std::string NewFile(const std::string& sectionName) {
    return FirstLinesSingleQuoted + "\n\t" + Section(sectionName) + "\n\t</Zantrovix>\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class SettingsFile : public ScratchFolder {};

}  // namespace

TEST_F(SettingsFile, FirstSaveByAnAdministratorWritesTheAdminSection) {
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), NewFile("Admin"));
}

TEST_F(SettingsFile, FirstSaveByAnnWritesHerSection) {
    ActAsUser("Ann");
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), NewFile("Ann"));
}

TEST_F(SettingsFile, AUsersSectionIsAppendedAfterAnUnchangedAdminSection) {
    CreateSettingsFile(record);
    std::string adminFile = ReadBytes("ConfigSettings.xml");
    ActAsUser("Ann");
    record.mode = 9;
    SaveSettingsFile(record, runAtStartup);
    std::string annBody = Replaced(DefaultSectionBody, "<mode>4<", "<mode>9<");
    std::string expected = Replaced(Replaced(adminFile, FirstLinesSingleQuoted, FirstLines), "</Zantrovix>",
                                    "\n\t" + Section("Ann", annBody) + "</Zantrovix>");
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), expected);

    // A second save changes her section in place.
    record.mode = 4;
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), Replaced(expected, "<mode>9<", "<mode>4<"));
}

TEST_F(SettingsFile, EachReaderGetsTheRightSection) {
    WriteBytes("ConfigSettings.xml",
               FirstLines + "\n\t" + Section("Admin", Replaced(DefaultSectionBody, "<strip>0<", "<strip>1<")) +
                   "\n\t" + Section("Ann", Replaced(DefaultSectionBody, "<strip>0<", "<strip>2<")) + "</Zantrovix>\n");
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.strip, 1);  // administrator: Admin

    ActAsUser("Ann");
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.strip, 2);

    ActAsUser("Bob");  // no section of his own: Admin
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.strip, 1);

    // An administrator who has a section of their own reads it.
    identity_test_seam::OverrideAdministrator(1);
    identity_test_seam::OverrideLogonName("Ann");
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.strip, 2);
}

TEST_F(SettingsFile, ASectionWithoutToPortKeepsItMissing) {
    std::string body = Replaced(DefaultSectionBody, "\n\t<ToPort>16</ToPort>", "");
    body = Replaced(body, "<FromPort>1<", "<FromPort>3<");
    std::string original = FirstLines + "\n\t" + Section("Admin", body) + "\n\t</Zantrovix>\n";
    WriteBytes("ConfigSettings.xml", original);
    record.ToPort = 12;
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.ToPort, 12);
    EXPECT_EQ(record.FromPort, 3);

    record.FromPort = 5;
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), Replaced(original, "<FromPort>3<", "<FromPort>5<"));
}

TEST_F(SettingsFile, NegativePositionRoundTrips) {
    record.LeftPosition = -12;
    record.TopPosition = -2147483647 - 1;
    SaveSettingsFile(record, runAtStartup);
    std::string file = ReadBytes("ConfigSettings.xml");
    EXPECT_NE(file.find("\n\t<LeftPosition>-12</LeftPosition>\n\t"), std::string::npos) << file;
    EXPECT_NE(file.find("<TopPosition>-2147483648</TopPosition>"), std::string::npos);
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.LeftPosition, -12);
    EXPECT_EQ(record.TopPosition, -2147483647 - 1);
}

TEST_F(SettingsFile, MarkupCharactersInTextsComeBackUnchanged) {
    record.DeviceInfo = "COM3 <Vantu & Co> \"x\" 'y' \xE9";  // ANSI e-acute
    record.Name = "";
    SaveSettingsFile(record, runAtStartup);
    std::string file = ReadBytes("ConfigSettings.xml");
    EXPECT_NE(file.find("<DeviceInfo>COM3 &lt;Vantu &amp; Co&gt; \"x\" 'y' \xC3\xA9</DeviceInfo>"), std::string::npos)
        << file;
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.DeviceInfo, "COM3 <Vantu & Co> \"x\" 'y' \xE9");
    EXPECT_EQ(record.Name, "");
}

TEST_F(SettingsFile, ControlCharactersAreLeftOutSoTheFileStillLoads) {
    record.DeviceInfo = std::string("A\x01" "B\x1b" "C");
    SaveSettingsFile(record, runAtStartup);
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.DeviceInfo, "ABC");
}

TEST_F(SettingsFile, WhitespaceSurvivesALoadAndASave) {
    std::string body = "\n  \t<strip>0</strip>  \n\n<PrefixChar>None</PrefixChar>\t"
                       "<DeviceInfo>  two  blanks  </DeviceInfo>\n        ";
    std::string original = FirstLines + "\n\n   " + Section("Admin", body) + "  \n</Zantrovix>\n";
    WriteBytes("ConfigSettings.xml", original);
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.DeviceInfo, "  two  blanks  ");
    SaveSettingsFile(record, runAtStartup);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), original);
}

TEST_F(SettingsFile, IntegersThatDoNotParseKeepTheCurrentValue) {
    std::string body = Replaced(DefaultSectionBody, "<strip>0</strip>", "<strip></strip>");
    body = Replaced(body, "<mode>4<", "<mode>Bluetooth<");
    body = Replaced(body, "<FromPort>1<", "<FromPort>99999999999<");
    body = Replaced(body, "<ToPort>16<", "<ToPort> 20 <");
    WriteBytes("ConfigSettings.xml", FirstLines + "\n\t" + Section("Admin", body) + "\n\t</Zantrovix>\n");
    record.strip = 3;
    record.mode = 9;
    record.FromPort = 2;
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record.strip, 3);
    EXPECT_EQ(record.mode, 9);
    EXPECT_EQ(record.FromPort, 2);
    EXPECT_EQ(record.ToPort, 20);
}

// Logon names that are not element names get a section all the same.
TEST_F(SettingsFile, UsersWithAwkwardLogonNamesSaveAndLoad) {
    CreateSettingsFile(record);
    struct Case {
        const char* logon;
        const char* element;
        int strip;
    };
    const Case cases[] = {{"Ann Lee", "Ann_x0020_Lee", 1}, {"1st", "_x0031_st", 2}, {"and", "and", 3},
                          {"strip", "_x0073_trip", 4},     {"J\xFCrgen", "J\xC3\xBCrgen", 5}, {"a:b", "a_x003A_b", 6},
                          {"Admin", "_x0041_dmin", 7}};
    for (const Case& c : cases) {
        ActAsUser(c.logon);
        ResetSettings();
        record.strip = c.strip;
        SaveSettingsFile(record, runAtStartup);
        SaveSettingsFile(record, runAtStartup);  // the second save finds the section and does not add another
    }
    std::string file = ReadBytes("ConfigSettings.xml");
    for (const Case& c : cases) {
        EXPECT_EQ(CountOf(file, std::string("<") + c.element + ">"), 1u) << c.logon << "\n" << file;
        ActAsUser(c.logon);
        ResetSettings();
        ASSERT_EQ(LocateAndReadSettings(record), 1) << c.logon;
        EXPECT_EQ(record.strip, c.strip) << c.logon;
    }
    // Not even a standard user called Admin touched the administrators' section.
    ActAsAdministrator();
    ResetSettings();
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(record, SettingsRecord{});
}

TEST_F(SettingsFile, UserWithoutSectionGetsTheInstalledFileCopiedOnce) {
    const std::string user = "VaskCopyTest";
    const std::string installedFolder = "C:\\Program Files\\Brontel Vask";
    const std::string target = PerUserSettingsCopyPath(user);
    const std::string targetFolder = target.substr(0, target.rfind('\\'));
    // The folder name ends in a blank, which only the \\?\ form keeps.
    const std::vector<std::string> folders = {
        "C:\\users\\VaskCopyTest", "C:\\users\\VaskCopyTest\\AppData", "C:\\users\\VaskCopyTest\\AppData\\local",
        "\\\\?\\C:\\users\\VaskCopyTest\\AppData\\local\\virtual program files ", targetFolder};
    bool hadInstalled = FileExists(InstalledSettingsFile);
    ::CreateDirectoryA(installedFolder.c_str(), nullptr);
    if (!hadInstalled) WriteBytes(InstalledSettingsFile, "installed");
    for (const std::string& folder : folders) ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(FileExists(targetFolder)) << targetFolder;
    ::DeleteFileA(target.c_str());

    CreateSettingsFile(record);
    ActAsUser(user);
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(ReadBytes(target), ReadBytes(InstalledSettingsFile));

    WriteBytes(target, "the user's own");  // an existing copy is not overwritten
    ASSERT_EQ(LocateAndReadSettings(record), 1);
    EXPECT_EQ(ReadBytes(target), "the user's own");

    ::DeleteFileA(target.c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) ::RemoveDirectoryA(folder->c_str());
    if (!hadInstalled) {
        ::DeleteFileA(InstalledSettingsFile);
        ::RemoveDirectoryA(installedFolder.c_str());
    }
}

TEST_F(SettingsFile, SelectNodeUsesPatternsOnTheDocument) {
    CreateSettingsFile(record);
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    ASSERT_TRUE(document);
    ASSERT_EQ(LoadSettingsDocument(document.get()), SettingsLoad::Loaded);
    EXPECT_TRUE(SelectNode(document.get(), L"//Admin/strip"));
    EXPECT_TRUE(SelectNode(document.get(), L"//Zantrovix"));
    EXPECT_FALSE(SelectNode(document.get(), L"//Ann"));
    EXPECT_FALSE(SelectNode(document.get(), L"//Admin/Nothing"));
}

TEST_F(SettingsFile, TheDocumentIsConfiguredForSettingsFiles) {
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    ASSERT_TRUE(document);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(document->get_async(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ASSERT_EQ(document->get_validateOnParse(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ASSERT_EQ(document->get_resolveExternals(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ASSERT_EQ(document->get_preserveWhiteSpace(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);

    const IID iidDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    win::ComPtr<IXMLDOMDocument2> document2;
    ASSERT_EQ(document->QueryInterface(iidDocument2, document2.put_void()), S_OK);
    win::Bstr name(L"SelectionLanguage");
    VARIANT language;
    ::VariantInit(&language);
    ASSERT_EQ(document2->getProperty(name.get(), &language), S_OK);
    ASSERT_EQ(language.vt, VT_BSTR);
    EXPECT_STREQ(language.bstrVal, L"XPath");
    ::VariantClear(&language);
}
