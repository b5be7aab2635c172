#include "delivery/KeyTurn.h"

KeyTurn& TheKeyTurn() {
    static KeyTurn turn;
    return turn;
}

void KeyTurn::AnnounceUnderLock(DWORD now) {
    announcedAt_ = now | 1;
    wantedAt_ = 0;
}

bool KeyTurn::TryAnnounce() {
    const std::lock_guard<std::mutex> hold(lock_);
    const DWORD now = ::GetTickCount();
    if (keysOnTheirWay_) {
        wantedAt_ = now | 1;
        return false;
    }
    AnnounceUnderLock(now);
    return true;
}

void KeyTurn::NoteActivation() {
    const std::lock_guard<std::mutex> hold(lock_);
    announcedAt_ = ::GetTickCount() | 1;
}

void KeyTurn::Forget() {
    const std::lock_guard<std::mutex> hold(lock_);
    announcedAt_ = wantedAt_ = 0;
}

bool KeyTurn::TakeForKey() {
    const std::lock_guard<std::mutex> hold(lock_);
    const DWORD now = ::GetTickCount();
    if (WantedNow(now) || ComingNow(now)) return false;
    announcedAt_ = wantedAt_ = 0;  // what was announced never came, or its ask was never repeated
    keysOnTheirWay_ = true;
    return true;
}

void KeyTurn::OursInFront() {
    const std::lock_guard<std::mutex> hold(lock_);
    announcedAt_ = 0;
}

bool KeyTurn::OursWaiting() {
    const std::lock_guard<std::mutex> hold(lock_);
    const DWORD now = ::GetTickCount();
    return WantedNow(now) || ComingNow(now);
}

void KeyTurn::Release() {
    const std::lock_guard<std::mutex> hold(lock_);
    keysOnTheirWay_ = false;
}

bool KeyTurn::HeldByTypist() {
    const std::lock_guard<std::mutex> hold(lock_);
    return keysOnTheirWay_;
}
