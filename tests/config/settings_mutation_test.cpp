// The start-up read of the settings, fed with damaged files: 2,000 mutations
// of valid settings files (VASK_MUTATION_COUNT others) go through
// LoadSettingsAtStartup in this one process, as an administrator and as
// users with and without a section of their own, each followed by a save.
// Every time: nothing crashes, and no other user's section is lost. A file
// that start-up replaces is first kept as ConfigSettings.xml.bad with exactly
// its old bytes; a file that it keeps is left as it was, and the save after
// it changes nothing in the other users' sections.
//
// The mutations come from a seed, printed first; VASK_MUTATION_SEED=N runs
// the same files again. A file that breaks the rule is written to
// build/settings-mutation-findings/; once the fault is fixed it goes into
// corpus/settings_startup/, which the replay test reads on every run.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config/Registry.h"
#include "config/SettingsStore.h"
#include "config/SettingsFile.h"
#include "config/SettingsLocation.h"
#include "config/Startup.h"
#include "config/XmlNames.h"
#include "tests/config/ConfigFixture.h"
#include "tests/config/SettingsMutator.h"
#include "win/WinText.h"

using namespace configtest;

namespace {

// Who starts the program: the section name it reads and writes, and the
// logon name (empty for an administrator).
struct Actor {
    const char* logonName;
    const wchar_t* section;
};
const Actor Actors[] = {{"", L"Admin"}, {"Bob", L"Bob"}, {"Cy", L"Cy"}, {"Ann Lee", L"Ann_x0020_Lee"}};

void ActAs(const Actor& actor) {
    if (*actor.logonName)
        ActAsUser(actor.logonName);
    else
        ActAsAdministrator();
}

// The sections of the file that another user owns: the elements under the
// root, each with its whole markup, leaving out the acting user's own and
// any that hold an element of that name (a save may write there). Names
// that no user's section can take (the root's, the settings') are left out
// as well; Admin stays in for the users.
struct OtherSections {
    bool loaded = false;
    std::vector<std::pair<std::wstring, std::wstring>> sections;
};

OtherSections ReadOtherSections(const Actor& actor) {
    OtherSections result;
    win::ComApartment com;
    win::ComPtr<IXMLDOMDocument> document = SettingsDocument();
    if (!document || LoadSettingsDocument(document.get()) != SettingsLoad::Loaded) return result;
    result.loaded = true;
    // The sections are under the first Zantrovix element, where the program
    // adds one, else under the document's element.
    win::ComPtr<IXMLDOMNode> root = SelectNode(document.get(), L"//Zantrovix");
    if (!root) root = SelectNode(document.get(), L"/*");
    if (!root) return result;
    win::ComPtr<IXMLDOMNode> child;
    (void)root->get_firstChild(child.put());
    const std::wstring own = actor.section;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        (void)child->get_nodeType(&type);
        win::Bstr name, xml;
        if (type == NODE_ELEMENT && SUCCEEDED(child->get_nodeName(name.put())) && name.get() &&
            SUCCEEDED(child->get_xml(xml.put())) && xml.get()) {
            const std::wstring text(name.get(), ::SysStringLen(name.get()));
            const std::u16string text16(text.begin(), text.end());
            win::Bstr inner((L".//" + own).c_str());
            win::ComPtr<IXMLDOMNode> holdsOwn;
            (void)child->selectSingleNode(inner.get(), holdsOwn.put());
            if (text != own && !holdsOwn && (text == L"Admin" || !settingsnames::IsReservedName(text16)))
                result.sections.emplace_back(text, std::wstring(xml.get(), ::SysStringLen(xml.get())));
        }
        win::ComPtr<IXMLDOMNode> next;
        (void)child->get_nextSibling(next.put());
        child = std::move(next);
    }
    return result;
}

// The sections of before that after no longer holds (each as often as before had it).
std::string LostSections(const OtherSections& before, const OtherSections& after) {
    std::vector<std::pair<std::wstring, std::wstring>> left = after.sections;
    std::string lost;
    for (const auto& section : before.sections) {
        auto found = std::find(left.begin(), left.end(), section);
        if (found != left.end())
            left.erase(found);
        else
            lost += " <" + win::WideToAnsi(section.first) + ">";
    }
    return lost;
}

class SettingsMutation : public ScratchFolder {
protected:
    // Start-up and one save on bytes as actor; the broken rule, or empty.
    std::string Check(const std::string& bytes, const Actor& actor, bool olderBadCopy) {
        ActAs(actor);
        ::DeleteFileA("ConfigSettings.xml.bad");
        if (olderBadCopy) WriteBytes("ConfigSettings.xml.bad", "older");
        WriteBytes("ConfigSettings.xml", bytes);
        const OtherSections before = ReadOtherSections(actor);

        ResetSettings();
        const DWORD started = ::GetTickCount();
        const int read = LoadSettingsAtStartup(record, runAtStartup);
        if (::GetTickCount() - started > 10000) return "start-up took over 10 s";
        const std::string afterStartup = ReadBytes("ConfigSettings.xml");
        if (afterStartup == bytes) {
            if (!before.loaded) return "a file that does not load was neither replaced nor kept as .bad";
            if (read != 1) return "a file that loads was not read";
            if (ReadBytes("ConfigSettings.xml.bad") != (olderBadCopy ? "older" : ""))
                return "a file that loads was copied to .bad";
        } else {
            if (before.loaded) return "a file that loads was replaced";
            if (ReadBytes("ConfigSettings.xml.bad") != bytes) return "replaced without the old bytes in .bad";
            if (read != 1) return "the new file was not read";
        }

        // A change saved right after: every other section stays as it was.
        const std::string beforeSave = afterStartup;
        record.mode = record.mode == 9 ? 4 : 9;
        SaveSettingsFile(record, runAtStartup);
        const std::string afterSave = ReadBytes("ConfigSettings.xml");
        if (!before.loaded || afterSave == beforeSave) return {};
        const OtherSections after = ReadOtherSections(actor);
        if (!after.loaded) {
            if (ReadBytes("ConfigSettings.xml.bad") != beforeSave) return "the save wrote a file that does not load";
            return {};
        }
        const std::string lost = LostSections(before, after);
        if (!lost.empty()) return "the save lost or changed sections" + lost;
        return {};
    }

    // Valid files, written by the program's own code for several users, and
    // variations that a person or another tool might have made of them (the
    // mutations make UTF-16 ones).
    std::vector<std::string> ValidFiles() {
        std::vector<std::string> files;
        ::DeleteFileA("ConfigSettings.xml");
        ActAsAdministrator();
        SettingsRecord admin;
        admin.strip = 2;
        admin.Name = "J\xFCrgen";  // ANSI: the file holds it as UTF-8
        admin.DeviceInfo = "Admin <scanner> & co";
        CreateSettingsFile(admin);
        for (const char* user : {"Bob", "Ann Lee", "Zo\xEB", "1st", "_x0041_"}) {
            ActAsUser(user);
            SettingsRecord own;
            own.DeviceInfo = std::string(user) + "'s scanner";
            own.mode = 9;
            WriteSettingsFile(own);
        }
        const std::string written = ReadBytes("ConfigSettings.xml");
        files.push_back(written);

        std::string crlf;
        for (char c : written) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        crlf.replace(0, crlf.find("?>") + 2, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        files.push_back(crlf);

        files.push_back(
            "<?xml version='1.0'?>\n<Zantrovix created=\"using dom\">\n\t<Admin>\n\t<strip>1</strip>\n\t"
            "<DeviceInfo><![CDATA[a <b> c]]></DeviceInfo>\n\t</Admin>\n\t<!-- Bob's -->\n\t<Bob>\n\t"
            "<strip>4</strip>\n\t<Name>B&#233;b</Name>\n\t</Bob>\n\t<Cy/>\n\t<Dee><strip>3</strip></Dee></Zantrovix>\n");
        return files;
    }
};

uint32_t SeedFromEnvironment() {
    if (const char* given = std::getenv("VASK_MUTATION_SEED")) return static_cast<uint32_t>(std::strtoul(given, nullptr, 10));
    return std::random_device{}();
}

// What the run is at, for the report of a crash.
uint32_t CurrentSeed = 0;
int CurrentCase = -1;
const std::string* CurrentBytes = nullptr;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "CRASH (code 0x%08lx) in case %d of seed %u\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode), CurrentCase, CurrentSeed);
    if (CurrentBytes) {
        const std::string path = std::string(VASK_MUTATION_FINDINGS) + "/crash-" + std::to_string(CurrentSeed) +
                                 "-" + std::to_string(CurrentCase) + ".xml";
        ::CreateDirectoryA(VASK_MUTATION_FINDINGS, nullptr);
        WriteBytes(path, *CurrentBytes);
        std::fprintf(stderr, "file: %s\n", path.c_str());
    }
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

TEST_F(SettingsMutation, MutatedFilesNeverCrashStartUpNorLoseASection) {
    const uint32_t seed = SeedFromEnvironment();
    const char* countText = std::getenv("VASK_MUTATION_COUNT");
    const int count = countText ? std::atoi(countText) : 2000;
    std::printf("settings mutation run: %d files, seed %u (replay: VASK_MUTATION_SEED=%u)\n", count, seed, seed);
    std::fflush(stdout);
    CurrentSeed = seed;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(ReportCrash);

    const std::vector<std::string> valid = ValidFiles();
    SettingsMutator mutator(seed);
    int failures = 0, replaced = 0;
    const DWORD started = ::GetTickCount();
    for (int i = 0; i < count; ++i) {
        const std::string& base = valid[mutator.Below(valid.size())];
        std::string description;
        const std::string bytes = mutator.Mutate(base, description);
        const Actor& actor = Actors[mutator.Below(std::size(Actors))];
        const bool olderBadCopy = mutator.Below(2) == 0;
        CurrentCase = i;
        CurrentBytes = &bytes;
        const std::string broken = Check(bytes, actor, olderBadCopy);
        if (ReadBytes("ConfigSettings.xml.bad") == bytes) ++replaced;
        if (broken.empty()) continue;
        ++failures;
        ::CreateDirectoryA(VASK_MUTATION_FINDINGS, nullptr);
        const std::string path = std::string(VASK_MUTATION_FINDINGS) + "/case-" + std::to_string(seed) + "-" +
                                 std::to_string(i) + ".xml";
        WriteBytes(path, bytes);
        WriteBytes(path + ".left", ReadBytes("ConfigSettings.xml"));  // as the program left it
        ADD_FAILURE() << "case " << i << " of seed " << seed << " (" << (*actor.logonName ? actor.logonName : "Admin")
                      << ", mutations:" << description << "): " << broken << "\nfile: " << path;
        if (failures >= 10) break;
    }
    CurrentBytes = nullptr;
    ::SetUnhandledExceptionFilter(previous);
    std::printf("settings mutation run: %d files in %lu ms, %d replaced (old bytes kept as .bad), %d kept\n", count,
                static_cast<unsigned long>(::GetTickCount() - started), replaced, count - replaced);
    EXPECT_EQ(failures, 0) << "seed " << seed;
}

// Files that once broke the rule, and seeds of the kinds above, every run.
TEST_F(SettingsMutation, CorpusFilesNeverCrashStartUpNorLoseASection) {
    WIN32_FIND_DATAA found;
    const std::string folder = VASK_SETTINGS_CORPUS;
    std::vector<std::string> names;
    HANDLE search = ::FindFirstFileA((folder + "/*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << folder;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    ASSERT_FALSE(names.empty()) << "no corpus files in " << folder;
    for (const std::string& name : names) {
        const std::string bytes = ReadBytes(folder + "/" + name);
        for (const Actor& actor : Actors)
            EXPECT_EQ(Check(bytes, actor, false), "") << name << " left as:\n" << ReadBytes("ConfigSettings.xml") << "\n" << " as " << (*actor.logonName ? actor.logonName : "Admin");
    }
}
