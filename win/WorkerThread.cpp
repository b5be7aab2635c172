#include "win/WorkerThread.h"

namespace win {

void HandleSentMessages() {
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs) {
    if (!thread) return true;
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD remaining = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        HandleSentMessages();
    }
}

bool WorkerThread::Start(LPTHREAD_START_ROUTINE routine, void* parameter) {
    run_ = 1;
    DWORD id = 0;
    const HANDLE thread = ::CreateThread(nullptr, 0, routine, parameter, 0, &id);
    if (!thread) {
        run_ = 0;
        return false;
    }
    handle_.reset(thread);
    id_ = id;
    return true;
}

}  // namespace win
