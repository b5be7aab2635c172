#include "config/FileAccess.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>

#include "win/Scoped.h"

namespace {

constexpr DWORD SidBufferBytes = 256;
constexpr DWORD DomainBufferChars = 256;

// The entry types that carry an object GUID need the directory-service
// revision of the list.
bool IsObjectEntry(BYTE type) {
    return type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
           type == SYSTEM_AUDIT_OBJECT_ACE_TYPE || type == SYSTEM_ALARM_OBJECT_ACE_TYPE;
}

bool IsEntryWeAdd(const ACE_HEADER* header, PSID sid, DWORD mask) {
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || header->AceFlags != GrantedEntryFlags) return false;
    const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    return allowed->Mask == mask && ::EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid);
}

BYTE CopiedEntryFlags(BYTE original) {
    return static_cast<BYTE>(GrantedEntryFlags | (original & INHERIT_ONLY_ACE));
}

// A SID string is taken as it is; a name is looked up on this machine.
DWORD AccountSid(const char* account, BYTE (&sid)[SidBufferBytes]) {
    if (std::strncmp(account, "S-1-", 4) == 0) {
        win::UniqueLocal converted;
        if (!::ConvertStringSidToSidA(account, reinterpret_cast<PSID*>(converted.put()))) return ::GetLastError();
        return ::CopySid(SidBufferBytes, sid, converted.get()) ? ERROR_SUCCESS : ::GetLastError();
    }
    DWORD sidBytes = SidBufferBytes;
    char domain[DomainBufferChars];
    DWORD domainChars = DomainBufferChars;
    SID_NAME_USE use;
    return ::LookupAccountNameA(nullptr, account, sid, &sidBytes, domain, &domainChars, &use) ? ERROR_SUCCESS
                                                                                              : ::GetLastError();
}

GrantedAcl Failed(DWORD error) {
    GrantedAcl result;
    result.error = error;
    return result;
}

}  // namespace

GrantedAcl BuildGrantedAcl(const ACL* current, PSID sid, DWORD mask) {
    GrantedAcl result;
    if (!current) {
        result.unchanged = true;
        return result;
    }
    ACL* list = const_cast<ACL*>(current);
    ACL_SIZE_INFORMATION sizes{};
    if (!::GetAclInformation(list, &sizes, sizeof sizes, AclSizeInformation)) return Failed(::GetLastError());

    DWORD revision = ACL_REVISION;
    for (DWORD i = 0; i < sizes.AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(list, i, &entry)) return Failed(::GetLastError());
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (IsEntryWeAdd(header, sid, mask)) {
            result.unchanged = true;
            return result;
        }
        if (IsObjectEntry(header->AceType)) revision = ACL_REVISION_DS;
    }

    DWORD newEntryBytes = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
    result.buffer.assign(sizes.AclBytesInUse + newEntryBytes, 0);
    if (!::InitializeAcl(result.acl(), static_cast<DWORD>(result.buffer.size()), revision))
        return Failed(::GetLastError());

    std::vector<BYTE> copy;
    for (DWORD i = 0; i < sizes.AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(list, i, &entry)) return Failed(::GetLastError());
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        copy.assign(static_cast<const BYTE*>(entry), static_cast<const BYTE*>(entry) + header->AceSize);
        reinterpret_cast<ACE_HEADER*>(copy.data())->AceFlags = CopiedEntryFlags(header->AceFlags);
        if (!::AddAce(result.acl(), revision, MAXDWORD, copy.data(), header->AceSize))
            return Failed(::GetLastError());
    }
    if (!::AddAccessAllowedAceEx(result.acl(), revision, GrantedEntryFlags, mask, sid))
        return Failed(::GetLastError());
    return result;
}

DWORD GrantFileAccess(const char* path, const char* account, DWORD mask) {
    if (mask == 0 || !path || !*path || !account || !*account) return ERROR_INVALID_PARAMETER;

    BYTE sid[SidBufferBytes];
    if (DWORD error = AccountSid(account, sid); error != ERROR_SUCCESS) return error;

    ACL* currentList = nullptr;
    win::UniqueLocal descriptor;
    DWORD error = ::GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &currentList, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()));
    if (error != ERROR_SUCCESS) return error;

    GrantedAcl granted = BuildGrantedAcl(currentList, sid, mask);
    if (granted.error != ERROR_SUCCESS) return granted.error;
    if (granted.unchanged) return ERROR_SUCCESS;
    // Not protected: the folder's inheritable entries still apply to the file.
    return ::SetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   granted.acl(), nullptr);
}
