// The polling thread's life: one at a time, stopped by its run flag or by a
// newer start, and a wait on the user-interface thread that keeps handling
// the messages a worker sends it. No scanner is open here (Connection 0 never
// reaches the SDK), so the thread only cycles. Also the two things the
// polling thread shares with "Type Again": the history's hand-over and the
// question whether a window may be typed into.
#include <gtest/gtest.h>

#include <cstring>

#include <atomic>
#include <iostream>
#include <string>
#include <thread>

#include "config/Application.h"
#include "delivery/BarcodeHistory.h"
#include "delivery/Poller.h"
#include "delivery/PollingThread.h"
#include "tests/support/KeyReceiver.h"
#include "win/Scoped.h"

namespace {

constexpr UINT PingMessage = WM_APP + 7;

LRESULT CALLBACK PingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PingMessage) return 42;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// A window owned by the test's thread, as the trace control is owned by the
// user-interface thread.
class PingWindow {
public:
    PingWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PingWindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VaskPollPingWindow";
        ::RegisterClassA(&wc);
        window_ = ::CreateWindowA("VaskPollPingWindow", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~PingWindow() { ::DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

struct PingJob {
    HWND window;
    std::atomic<LRESULT> answer{0};
};

DWORD WINAPI SendPingThenEnd(void* parameter) {
    auto* job = static_cast<PingJob*>(parameter);
    job->answer = ::SendMessageA(job->window, PingMessage, 0, 0);
    return 0;
}

DWORD WINAPI SleepLong(void*) {
    ::Sleep(5000);
    return 0;
}

win::UniqueHandle Duplicate(HANDLE handle) {
    win::UniqueHandle copy;
    ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), copy.put(), SYNCHRONIZE, FALSE, 0);
    return copy;
}

bool Ended(HANDLE thread) { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

class PollingThreadLife : public ::testing::Test {
protected:
    void TearDown() override {
        PollingWorker.RequestStop();
        EXPECT_TRUE(win::WaitForThreadEnd(PollingWorker.get(), 2000));
        PollingWorker.reset();
    }
};

}  // namespace

TEST(WaitForThreadEnd, HandlesAWorkersSentMessageInsteadOfDeadlocking) {
    PingWindow window;
    ASSERT_NE(window.get(), nullptr);

    PingJob blocked{window.get()};
    win::UniqueHandle first(::CreateThread(nullptr, 0, SendPingThenEnd, &blocked, 0, nullptr));
    // A plain wait cannot end: the worker waits for this thread to answer.
    EXPECT_EQ(::WaitForSingleObject(first.get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(win::WaitForThreadEnd(first.get(), 5000));
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(blocked.answer.load(), 42);
}

TEST(WaitForThreadEnd, GivesUpAfterItsTimeoutAndAcceptsNoThread) {
    win::UniqueHandle sleeper(::CreateThread(nullptr, 0, SleepLong, nullptr, 0, nullptr));
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(win::WaitForThreadEnd(sleeper.get(), 300));
    const DWORD waited = ::GetTickCount() - start;
    EXPECT_GE(waited, 250u);
    EXPECT_LT(waited, 2000u);
    EXPECT_TRUE(win::WaitForThreadEnd(nullptr, 0));
}

TEST_F(PollingThreadLife, RunsUntilTheRunFlagIsClearedThenEndsWithinACycle) {
    ASSERT_TRUE(StartPollingThread(0, ActivationCause::User));
    const win::UniqueHandle thread = Duplicate(PollingWorker.get());
    ASSERT_TRUE(thread);
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 600), static_cast<DWORD>(WAIT_TIMEOUT));

    PollingWorker.RequestStop();
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(win::WaitForThreadEnd(thread.get(), 5000));
    std::cout << "[ measured ] the polling thread ended " << ::GetTickCount() - start
              << " ms after it was asked (a cycle is 100 ms)\n";
}

TEST_F(PollingThreadLife, ANewStartEndsThePreviousThreadAlthoughTheFlagStaysSet) {
    ASSERT_TRUE(StartPollingThread(0, ActivationCause::User));
    const win::UniqueHandle first = Duplicate(PollingWorker.get());
    ::Sleep(400);  // well into its cycles
    ASSERT_FALSE(Ended(first.get()));

    // A new activation while the flag is still set: the newer start alone
    // tells the first thread to stop.
    ASSERT_TRUE(StartPollingThread(0, ActivationCause::User));
    EXPECT_TRUE(Ended(first.get())) << "two polling threads would run at once";
    const win::UniqueHandle second = Duplicate(PollingWorker.get());
    EXPECT_EQ(::WaitForSingleObject(second.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));

    // A start right after the previous one, still in its first delay.
    ASSERT_TRUE(StartPollingThread(0, ActivationCause::User));
    EXPECT_TRUE(Ended(second.get()));
    const win::UniqueHandle third = Duplicate(PollingWorker.get());
    EXPECT_FALSE(Ended(third.get()));
}

// The polling thread hands a barcode to the history while the listening
// window's thread is busy (it does not pump for 3 s): the hand-over does not
// wait for it, and however many barcodes arrive, one notice waits in its queue.
TEST(BarcodeHistoryHandOver, NeverWaitsForTheListenersThread) {
    constexpr UINT NoticeMessage = WM_APP + 9;
    HWND listener = nullptr;
    win::UniqueHandle created(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    int notices = 0;
    std::thread busyThread([&] {
        listener = ::CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetEvent(created.get());
        ::Sleep(3000);
        MSG msg;
        while (::PeekMessageA(&msg, listener, NoticeMessage, NoticeMessage, PM_REMOVE)) ++notices;
        ::DestroyWindow(listener);
    });
    ASSERT_EQ(::WaitForSingleObject(created.get(), 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(listener);
    SetBarcodeHistoryListener(listener, NoticeMessage);
    BarcodeHistory().Clear();

    const DWORD start = ::GetTickCount();
    const uint8_t barcode[] = {'4', '0', '0', '6', 0xE9};
    for (int i = 0; i < 100; ++i) AddToHistory("Receiver", barcode, sizeof barcode, BarcodeFate::Typed);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_LT(elapsed, 1000u) << "the hand-over waited for the busy thread";
    EXPECT_EQ(BarcodeHistory().Size(), 100u);
    busyThread.join();
    EXPECT_EQ(notices, 1);
    SetBarcodeHistoryListener(nullptr, 0);
}

// "Type Again" asks the polling thread's question of the window it would type
// into: it must exist, be another program's and not outrank us.
TEST(TypingTarget, OnlyAnExistingWindowOfAnotherProgramThatDoesNotOutrankUs) {
    testsupport::KeyReceiver other;
    ASSERT_TRUE(other.Ready());
    PingWindow ours;
    EXPECT_EQ(CheckTypingTarget(other.Window()), TypingTarget::Fine);
    EXPECT_EQ(CheckTypingTarget(ours.get()), TypingTarget::Ours);
    EXPECT_EQ(CheckTypingTarget(nullptr), TypingTarget::Gone);
    SetIntegrityProbe([](HWND) { return true; });  // as an elevated program
    EXPECT_EQ(CheckTypingTarget(other.Window()), TypingTarget::HigherIntegrity);
    SetIntegrityProbe(nullptr);
    const HWND closed = other.Window();
    other.Stop();
    EXPECT_EQ(CheckTypingTarget(closed), TypingTarget::Gone);
}

// Every key leaves from the typist: a polled barcode and a "Type Again"
// batch handed over at the same moment arrive whole, one after the other,
// never mixed.
TypingJob JobFor(const std::string& barcode) {
    TypingJob typing;
    typing.barcode.length = static_cast<uint16_t>(barcode.size());
    std::memcpy(typing.barcode.bytes, barcode.data(), barcode.size());
    return typing;
}

TEST(Typist, APolledBarcodeAndATypeAgainBatchNeverMix) {
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    ASSERT_TRUE(receiver.Focus());
    auto job = [](char c) { return JobFor(std::string(150, c)); };
    std::thread pollingThread([&] { (void)SoleTypist.Type(job('a'), [] { return true; }); });
    std::vector<TypingJob> again{job('b')};
    SoleTypist.TypeAgain(std::move(again), receiver.Window(), nullptr);
    pollingThread.join();
    const std::wstring a(150, L'a'), b(150, L'b');
    ASSERT_TRUE(receiver.WaitForEvents(2 * 3 * 151, 20000));
    const std::wstring text = receiver.Text();
    EXPECT_TRUE(text == a + L"\r" + b + L"\r" || text == b + L"\r" + a + L"\r") << text.size();
}

// A polled barcode paused (a window of this process in front) does not hold
// up "Type Again": every barcode of the batch is typed whole, and so is the
// paused one, before or after the batch (whichever finds the window first).
TEST(Typist, ATypeAgainBatchBesideAPausedBarcodeTypesEveryBarcode) {
    testsupport::KeyReceiver receiver;
    ASSERT_TRUE(receiver.Ready());
    const win::UniqueWindow ours(::CreateWindowA("STATIC", "ours", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, nullptr,
                                                 nullptr, ::GetModuleHandleA(nullptr), nullptr));
    ::SetForegroundWindow(ours.get());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ::GetForegroundWindow() == ours.get(); }, 5000));
    std::thread pollingThread([] { (void)SoleTypist.Type(JobFor("POLLED"), [] { return true; }); });
    ASSERT_TRUE(testsupport::WaitUntil([] { return !SoleTypist.Idle(); }, 5000));
    std::vector<TypingJob> again{JobFor("B1"), JobFor("B2"), JobFor("B3")};
    SoleTypist.TypeAgain(std::move(again), receiver.Window(), nullptr);
    ASSERT_TRUE(receiver.Focus());
    pollingThread.join();
    ASSERT_TRUE(receiver.WaitForEvents(3 * (3 * 3 + 7), 10000)) << receiver.Text().size();
    ASSERT_TRUE(receiver.WaitForQuiet(300, 5000));
    const std::wstring text = receiver.Text();
    EXPECT_TRUE(text == L"B1\rB2\rB3\rPOLLED\r" || text == L"POLLED\rB1\rB2\rB3\r") << text.size();
}
