// The texts of the start-with-Windows value: the value's data for PathInfo
// (the program's own file, as the system names it: never the command line,
// whose arguments would go into the value) and how a stored value is read.
//
// Plain C++: no windows.h.
#pragma once

#include <string>
#include <string_view>

// The data written as the Run value for this PathInfo: a path that holds a
// blank goes in double quotes, so the system cannot split it at the blank and
// start some other program; any other path is written as it is.
std::string RunValueData(std::string_view pathInfo);

// A stored Run value without one pair of surrounding double quotes, or the
// value itself when it is not quoted. Together with the value as it is, the
// forms that count as "PathInfo" when they match it.
std::string WithoutSurroundingQuotes(std::string_view value);
