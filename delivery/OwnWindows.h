// Keys and our own windows take turns. A key on its way to another program
// is routed by the system to whatever window is in front when it gets there:
// were one of our windows to come forward at that moment, an Enter meant for
// the user's spreadsheet would answer our "Confirm Exit". So a window of ours
// comes forward only between two keys, and no key leaves while one of ours
// is coming forward.
//
// Threads: AnnounceOwnWindow and OwnWindowWatch run on the thread that owns
// our windows; KeyTurn is taken by whichever thread types (the polling
// thread, or the user-interface thread for "Type Again").
#pragma once

#include <windows.h>

#include <mutex>

// Held from the decision that a key may go until it has been sent, and by
// an announcement while it is made.
std::unique_lock<std::recursive_mutex> TakeKeyTurn();

// A window of ours is about to come forward: waits for the key on its way,
// if any, then holds the keys that follow until one of our windows has been
// seen in front, or OwnWindowPatienceMs have passed (it did not come).
void AnnounceOwnWindow();
constexpr DWORD OwnWindowPatienceMs = 2000;

// Announces, then brings our window to the front.
void BringOwnWindowForward(HWND window);

// Under the key turn: whether keys typed by this thread must still wait for
// a window of ours that another thread announced. `oursInFront`: a window of ours is in front now, which ends
// the wait (from then on the window in front decides).
bool OwnWindowComing(bool oursInFront);

// Announces every window of the calling thread just before it is activated,
// whatever activates it (a box, the sheet, a click): a thread-local hook.
class OwnWindowWatch {
public:
    OwnWindowWatch();
    ~OwnWindowWatch();
    OwnWindowWatch(const OwnWindowWatch&) = delete;
    OwnWindowWatch& operator=(const OwnWindowWatch&) = delete;

private:
    HHOOK hook_ = nullptr;
};
