// Starting closed copies of the program again, each in its own session as
// its own user, from an action that runs in the system's context.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A copy the package closes: the session it ran in and its user's SID (empty
// when the installer could not read it).
struct ClosedCopy {
    DWORD session = 0;
    std::string user;
};

// The CustomActionData that hands the copies and the install folder to the
// action that starts them again: "<session> <sid>;...|<folder>" (a folder
// never holds "|").
std::string ClosedCopiesData(const std::vector<ClosedCopy>& copies, const std::string& folder);

// Reads that data back; false for anything else.
bool ReadClosedCopiesData(const std::string& data, std::vector<ClosedCopy>& copies, std::string& folder);

// Starts "<folder>VaskSW.exe" on the session's interactive desktop with the
// token of the user logged on there, not elevated; where that token is out of
// reach (the installer is not SYSTEM), in the installer's own session only.
// Returns the line for the installation's log.
std::string StartInSession(const ClosedCopy& copy, const std::string& folder, const char* program);
