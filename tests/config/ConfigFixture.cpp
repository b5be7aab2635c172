#include "tests/config/ConfigFixture.h"


#include <fstream>
#include <sstream>

#include "config/Identity.h"
#include "config/SettingsFile.h"
#include "config/SettingsStore.h"
#include "config/Startup.h"

namespace configtest {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ActAsAdministrator() {
    identity_test_seam::OverrideAdministrator(1);
    identity_test_seam::OverrideLogonName(std::nullopt);
}

void ActAsUser(const std::string& logonName) {
    identity_test_seam::OverrideAdministrator(0);
    identity_test_seam::OverrideLogonName(logonName);
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

namespace {

std::string CurrentDirectory() {
    char buffer[MAX_PATH];
    DWORD n = ::GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, n);
}

void RemoveFolder(const std::string& folder) {
    // Clear read-only marks first: the tests leave some.
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (name != "." && name != "..") RemoveFolder(path);
            } else {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

void ScratchFolder::SetUp() {
    previous_ = CurrentDirectory();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string(temp) + "vask-config-" + info->test_suite_name() + "-" + info->name() + "-" +
              std::to_string(::GetCurrentProcessId());
    RemoveFolder(folder_);
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
    ResetSettings();
    ActAsAdministrator();
}

void ScratchFolder::TearDown() {
    identity_test_seam::OverrideAdministrator(std::nullopt);
    identity_test_seam::OverrideLogonName(std::nullopt);
    ::SetCurrentDirectoryA(previous_.c_str());
    RemoveFolder(folder_);
    ResetSettings();
}

void ScratchFolder::ResetSettings() {
    record = SettingsRecord{};
    runAtStartup = 0;
    ForgetUnreadSection();
}

}  // namespace configtest
