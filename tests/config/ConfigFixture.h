// Shared set-up of the configuration tests: each test runs in a fresh scratch
// folder as its current directory, with App at its defaults and the identity
// overrides off.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/SettingsRecord.h"

namespace configtest {

std::string ReadBytes(const std::string& path);        // whole file; empty when missing
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The record in App, and App back at its defaults (RunAtStartup 0).
SettingsRecord AppRecord();
void ResetApp();

// As an administrator (Admin section) or as the non-administrator name.
void ActAsAdministrator();
void ActAsUser(const std::string& logonName);

// Counts non-overlapping occurrences.
size_t CountOf(const std::string& text, const std::string& part);

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string folder_;

private:
    std::string previous_;
};

}  // namespace configtest
