// Without the SDK's DLL beside the program no search or connection can
// succeed, whatever is plugged in. Once a load found it missing, the status
// line says so and names the file and the folder, so the helpdesk looks for
// the file, not at the cable.
#pragma once

#include <string>

// usual, or "Scanner SDK missing: <DLL> is not in <program folder>." once a
// load of the SDK found no DLL beside the program. Never loads the SDK.
std::string StatusUnlessSdkMissing(const std::string& usual);
