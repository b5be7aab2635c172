// Reading an access token's information of one kind.
#pragma once

#include <windows.h>

#include <vector>

namespace win {

// The token's information of one kind, in a buffer sized as the token asks
// (a member of many groups would not fit a fixed one); empty when it cannot
// be read.
inline std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD needed = 0;
    (void)::GetTokenInformation(token, kind, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    if (!::GetTokenInformation(token, kind, buffer.data(), needed, &needed)) return {};
    return buffer;
}

}  // namespace win
