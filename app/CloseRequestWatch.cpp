#include "app/CloseRequestWatch.h"

#include <aclapi.h>
#include <sddl.h>

#include "win/Shielded.h"
#include "win/Token.h"

namespace {

constexpr DWORD JoinMs = 5000;

// Whether the event was made by this user, SYSTEM or the administrators:
// no other owner's event is waited on.
bool OwnedByTrustedOwner(HANDLE event, const std::string& user) {
    PSID owner = nullptr;
    win::UniqueLocal descriptor;
    if (::GetSecurityInfo(event, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put())) != ERROR_SUCCESS)
        return false;
    return ::IsWellKnownSid(owner, WinLocalSystemSid) || ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           win::SidText(owner) == user;
}

// Creates this user's event with its access list, or opens the one that a
// copy of the same user in another session created, asking only for what
// waiting and the owner check need.
HANDLE OpenOrCreateRequestEvent() {
    const std::string user = win::ProcessUserSidText(::GetCurrentProcess());
    if (user.empty()) return nullptr;
    const std::string name = CloseRequestEventNameFor(user);
    win::UniqueLocal descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(
            CloseRequestEventAccess, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
            nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    win::UniqueHandle event(::CreateEventA(&attributes, TRUE, FALSE, name.c_str()));
    const DWORD created = ::GetLastError();
    if (event && created != ERROR_ALREADY_EXISTS) return event.release();
    if (!event && created != ERROR_ACCESS_DENIED) return nullptr;
    if (!event) event.reset(::OpenEventA(SYNCHRONIZE | READ_CONTROL, FALSE, name.c_str()));
    if (!event || !OwnedByTrustedOwner(event.get(), user)) return nullptr;
    return event.release();
}

}  // namespace

CloseRequestWatch::CloseRequestWatch(HWND mainWindow)
    : window_(mainWindow), request_(OpenOrCreateRequestEvent()), stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!request_ || !stop_ || !window_) return;
    thread_.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

CloseRequestWatch::~CloseRequestWatch() {
    if (!thread_) return;
    ::SetEvent(stop_.get());
    (void)::WaitForSingleObject(thread_.get(), JoinMs);
}

DWORD WINAPI CloseRequestWatch::Run(void* self) {
    win::Shielded([self] {
        auto* watch = static_cast<CloseRequestWatch*>(self);
        const HANDLE events[] = {watch->stop_.get(), watch->request_.get()};
        // One request is enough: the program is on its way out after it.
        if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
            ::PostMessageA(watch->window_, WM_CLOSE, 0, 0);
    });
    return 0;
}
