// Shared set-up of the configuration tests: each test runs in a fresh scratch
// folder as its current directory, with a settings record of its own at the
// defaults and the identity overrides off.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/SettingsRecord.h"

namespace configtest {

std::string ReadBytes(const std::string& path);        // whole file; empty when missing
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// As an administrator (Admin section) or as the non-administrator name.
void ActAsAdministrator();
void ActAsUser(const std::string& logonName);

// Counts non-overlapping occurrences.
size_t CountOf(const std::string& text, const std::string& part);

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The record and RunAtStartup back at their defaults, and no unread
    // section left from an earlier load.
    void ResetSettings();

    std::string folder_;
    // What the load and save entries work on, as App's are in the program.
    SettingsRecord record;
    int runAtStartup = 0;

private:
    std::string previous_;
};

}  // namespace configtest
