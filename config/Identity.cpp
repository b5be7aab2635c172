#include "config/Identity.h"

#include <windows.h>

#include <vector>

#include "win/Scoped.h"
#include "win/Token.h"

namespace {

std::optional<int> AdministratorOverride;
std::optional<std::string> LogonNameOverride;

struct SidFreer { void operator()(PSID sid) const { ::FreeSid(sid); } };
using UniqueSid = win::UniqueResource<PSID, nullptr, SidFreer>;

UniqueSid AdministratorsGroupSid() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid sid;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                    0, 0, 0, 0, 0, 0, sid.put()))
        return {};
    return sid;
}

int ProcessTokenListsAdministrators() {
    win::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_READ, token.put())) return 0;
    std::vector<BYTE> buffer = win::TokenInformation(token.get(), TokenGroups);
    UniqueSid administrators = AdministratorsGroupSid();
    if (buffer.empty() || !administrators) return 0;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (::EqualSid(groups->Groups[i].Sid, administrators.get())) return 1;
    return 0;
}

}  // namespace

int IsAdministrator() {
    if (AdministratorOverride) return *AdministratorOverride;
    return ProcessTokenListsAdministrators();
}

std::string LogonName() {
    if (LogonNameOverride) return *LogonNameOverride;
    constexpr DWORD Capacity = 32767;
    std::string name(Capacity, '\0');
    DWORD size = Capacity;
    if (!::GetUserNameA(name.data(), &size) || size == 0) return {};
    name.resize(std::char_traits<char>::length(name.c_str()));
    return name;
}

namespace identity_test_seam {
void OverrideAdministrator(std::optional<int> isAdministrator) { AdministratorOverride = isAdministrator; }
void OverrideLogonName(std::optional<std::string> logonName) { LogonNameOverride = std::move(logonName); }
}  // namespace identity_test_seam
