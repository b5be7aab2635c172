// Reading an access token's information of one kind.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

#include "win/Scoped.h"

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

// The string form of a SID ("S-1-5-21-..."); empty when it cannot be made.
inline std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !::ConvertSidToStringSidA(sid, &text)) return {};
    const UniqueLocal owned(text);
    return text;
}

// The string form of the SID of the user the process runs as; empty when it
// cannot be read.
inline std::string ProcessUserSidText(HANDLE process) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    const UniqueHandle token(raw);
    const std::vector<BYTE> user = TokenInformation(token.get(), TokenUser);
    if (user.empty()) return {};
    return SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

}  // namespace win
