// Who runs the program: an administrator (whose settings go to the Admin
// section) or another user, known by logon name.
#pragma once

#include <optional>
#include <string>

// 1 when the process token lists the built-in Administrators group (also as a
// group present only for deny checks), else 0.
int IsAdministrator();

// The logon name of the calling thread's user, in the ANSI code page; empty
// when the system cannot tell.
std::string LogonName();

// For tests only: the machine fixes both answers (under Wine the user is
// always an administrator), so tests take the other side through these two
// overrides. Nothing in the program sets them; each is off until set, and
// std::nullopt turns it off again.
namespace identity_test_seam {
void OverrideAdministrator(std::optional<int> isAdministrator);
void OverrideLogonName(std::optional<std::string> logonName);
}  // namespace identity_test_seam
