#include "app/CloseRequestWatch.h"

#include "win/Shielded.h"

#include <sddl.h>

namespace {

constexpr DWORD JoinMs = 5000;

// Creates the event with its access list, or opens the one that a copy in
// another session created, asking only for what waiting needs.
HANDLE OpenOrCreateRequestEvent() {
    win::UniqueLocal descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(
            CloseRequestEventAccess, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
            nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    HANDLE event = ::CreateEventA(&attributes, TRUE, FALSE, CloseRequestEventName);
    if (!event && ::GetLastError() == ERROR_ACCESS_DENIED)
        event = ::OpenEventA(SYNCHRONIZE, FALSE, CloseRequestEventName);
    return event;
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
