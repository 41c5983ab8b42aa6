// The message loop across threads, window timers, the periodic tick and
// descriptor watches, on the headless backend.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/ui/platform_test_util.h"

namespace kelvo::platform {
namespace {
using namespace testing;
using namespace std::chrono_literals;

class HeadlessLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitBackend("headless"));
    Log().clear();
    SetHook(nullptr);
  }
  void TearDown() override {
    SetHook(nullptr);
    ShutdownBackend();
  }
};

TEST_F(HeadlessLoop, PostedMessagesComeInOrderAndQuitAfterThem) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  PostMessage(w, WM_USER + 1, 1, 2);
  PostQuitMessage(5);
  PostMessage(w, WM_USER + 2, 3, 4);
  MSG m;
  std::vector<UINT> got;
  while (GetMessage(&m, nullptr, 0, 0)) {
    got.push_back(m.message);
    DispatchMessage(&m);
  }
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(m.message, UINT{WM_QUIT});
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(Last(w, WM_USER + 2)->lp, 4);
}

TEST_F(HeadlessLoop, PostFromAnotherThreadWakesAWaitingLoop) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  std::thread t([w] {
    std::this_thread::sleep_for(30ms);
    PostMessage(w, WM_USER + 7, 42, 0);
  });
  MSG m;
  ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
  t.join();
  EXPECT_EQ(m.message, UINT{WM_USER + 7});
  EXPECT_EQ(m.wParam, 42u);
}

TEST_F(HeadlessLoop, SendFromAnotherThreadRunsOnTheOwnerAndReturnsItsAnswer) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  DWORD ui = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  SetHook([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT* r) {
    if (m != WM_USER + 3) return false;
    ranOn = GetCurrentThreadId();
    EXPECT_TRUE(InSendMessage());
    *r = static_cast<LRESULT>(wp * 2);
    return true;
  });
  std::atomic<LRESULT> answer{0};
  std::atomic<bool> done{false};
  std::thread t([&] {
    answer = SendMessage(w, WM_USER + 3, 21, 0);
    done = true;
    PostMessage(w, WM_NULL, 0, 0);
  });
  MSG m;
  while (!done && GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);
  t.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(ranOn.load(), ui);
}

TEST_F(HeadlessLoop, TwoThreadsSendingToEachOtherDoNotLockUp) {
  HWND mine = MakeWindow(0, 0, 10, 10, WS_POPUP);
  std::atomic<HWND> theirs{nullptr};
  std::atomic<bool> stop{false};
  std::thread t([&] {
    HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
    theirs = w;
    MSG m;
    while (!stop) {
      if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
      else std::this_thread::sleep_for(1ms);
    }
    DestroyWindow(w);
  });
  while (!theirs) std::this_thread::sleep_for(1ms);
  // Their window answers by sending back to ours while we wait for it.
  SetHook([&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (h == theirs && m == WM_USER + 1) {
      *r = SendMessage(mine, WM_USER + 2, 0, 0) + 1;
      return true;
    }
    if (h == mine && m == WM_USER + 2) {
      *r = 10;
      return true;
    }
    return false;
  });
  EXPECT_EQ(SendMessage(theirs, WM_USER + 1, 0, 0), 11);
  stop = true;
  t.join();
}

TEST_F(HeadlessLoop, SendToAWindowThatDiesWhileWaitingReturnsZero) {
  std::atomic<HWND> theirs{nullptr};
  std::atomic<bool> go{false};
  std::thread t([&] {
    HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
    theirs = w;
    while (!go) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(30ms);
    DestroyWindow(w);  // never answers
  });
  while (!theirs) std::this_thread::sleep_for(1ms);
  go = true;
  EXPECT_EQ(SendMessage(theirs, WM_USER, 0, 0), 0);
  t.join();
}

TEST_F(HeadlessLoop, NestedLoopsShareOneQueue) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  std::vector<int> depthOf;
  int depth = 0;
  SetHook([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m != WM_USER) return false;
    depthOf.push_back(depth * 10 + static_cast<int>(wp));
    if (wp == 1) {
      // An inner (modal) loop until message 3 arrives.
      ++depth;
      PostMessage(nullptr, WM_USER + 50, 0, 0);
      MSG n;
      while (GetMessage(&n, nullptr, 0, 0)) {
        if (n.message == WM_USER + 50) {
          PostMessage(w, WM_USER, 2, 0);
          PostMessage(w, WM_USER, 3, 0);
          continue;
        }
        DispatchMessage(&n);
        if (n.message == WM_USER && n.wParam == 3) break;
      }
      --depth;
    }
    return false;
  });
  PostMessage(w, WM_USER, 1, 0);
  Drain();
  EXPECT_EQ(depthOf, (std::vector<int>{1, 12, 13}));
}

TEST_F(HeadlessLoop, WindowTimersTickRestartAndStop) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  ASSERT_EQ(SetTimer(w, 17, 20, nullptr), 17u);
  ASSERT_EQ(SetTimer(w, 18, 20, nullptr), 18u);
  Drain(75);
  int n17 = 0, n18 = 0;
  for (auto& s : Log())
    if (s.hwnd == w && s.msg == WM_TIMER) (s.wp == 17 ? n17 : n18)++;
  EXPECT_GE(n17, 2);
  EXPECT_GE(n18, 2);
  EXPECT_TRUE(KillTimer(w, 17));
  EXPECT_FALSE(KillTimer(w, 17));
  Log().clear();
  Drain(50);
  for (auto& s : Log())
    if (s.msg == WM_TIMER) EXPECT_EQ(s.wp, 18u);
  // A timer proc runs instead of the window procedure.
  static std::atomic<int> procCalls{0};
  procCalls = 0;
  SetTimer(w, 99, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (id == 99) ++procCalls;
  });
  Log().clear();
  Drain(40);
  EXPECT_GE(procCalls.load(), 1);
  for (auto& s : Log())
    if (s.msg == WM_TIMER) EXPECT_NE(s.wp, 99u);
  DestroyWindow(w);
  EXPECT_FALSE(KillTimer(w, 18));
}

TEST_F(HeadlessLoop, PaintAndTimerWaitForPostedAndInput) {
  HWND w = MakeWindow(0, 0, 10, 10);
  SetTimer(w, 1, 10, nullptr);
  std::this_thread::sleep_for(15ms);
  InvalidateRect(w, nullptr, FALSE);
  PostMessage(w, WM_USER, 0, 0);
  MSG m;
  std::vector<UINT> order;
  for (int i = 0; i < 3 && PeekMessage(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
    order.push_back(m.message);
    DispatchMessage(&m);
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_PAINT, WM_TIMER}));
}

TEST_F(HeadlessLoop, InvalidateFromATickThreadWakesThePaint) {
  HWND w = MakeWindow(0, 0, 10, 10);
  Drain();
  int before = Count(w, WM_PAINT);
  std::thread t([w] {
    std::this_thread::sleep_for(20ms);
    RECT r{1, 1, 2, 2};
    InvalidateRect(w, &r, FALSE);
  });
  MSG m;
  ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
  t.join();
  EXPECT_EQ(m.message, UINT{WM_PAINT});
  DispatchMessage(&m);
  EXPECT_EQ(Count(w, WM_PAINT), before + 1);
}

TEST_F(HeadlessLoop, WatchedDescriptorsRunInsideTheLoop) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  std::string got;
  UINT id = WatchFd(p[0], POLLIN, [&](int fd, short) {
    char buf[16];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    PostQuitMessage(0);
  });
  ASSERT_NE(id, 0u);
  std::thread t([&] {
    std::this_thread::sleep_for(20ms);
    (void)!::write(p[1], "hid", 3);
  });
  MSG m;
  while (GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);
  t.join();
  EXPECT_EQ(got, "hid");
  EXPECT_TRUE(UnwatchFd(id));
  EXPECT_FALSE(UnwatchFd(id));
  ::close(p[0]);
  ::close(p[1]);
}

TEST_F(HeadlessLoop, RunOnWindowThreadWaitsForTheOwner) {
  HWND w = MakeWindow(0, 0, 10, 10, WS_POPUP);
  DWORD ui = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  std::atomic<bool> done{false};
  std::thread t([&] {
    RunOnWindowThread(w, [&] { ranOn = GetCurrentThreadId(); });
    done = true;
    PostMessage(w, WM_NULL, 0, 0);
  });
  MSG m;
  while (!done && GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);
  t.join();
  EXPECT_EQ(ranOn.load(), ui);
}

// ---- periodic tick -------------------------------------------------------------

struct TickProbe {
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  int sleepMs = 0;
};

void CALLBACK_Tick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* p = reinterpret_cast<TickProbe*>(user);
  p->inside = true;
  if (p->sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(p->sleepMs));
  ++p->calls;
  p->inside = false;
  p->finished = true;
}

TEST(Tick, PeriodicEventsFireOnAnotherThreadAtTheirPeriod) {
  TIMECAPS caps;
  ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  ASSERT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  TickProbe p;
  UINT id = timeSetEvent(10, 1, CALLBACK_Tick, reinterpret_cast<DWORD_PTR>(&p), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  std::this_thread::sleep_for(205ms);
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  int n = p.calls;
  // 20 deadlines in 205 ms; a loaded machine may skip late ones, but a
  // periodic event never fires more often than its period.
  EXPECT_GE(n, 6);
  EXPECT_LE(n, 21);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(p.calls.load(), n);
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOCANDO);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
}

TEST(Tick, KillWaitsForACallbackInFlight) {
  auto p = std::make_unique<TickProbe>();
  p->sleepMs = 60;
  UINT id = timeSetEvent(5, 1, CALLBACK_Tick, reinterpret_cast<DWORD_PTR>(p.get()), TIME_PERIODIC);
  while (!p->inside) std::this_thread::sleep_for(1ms);
  timeKillEvent(id);
  // Without the wait the probe would be freed under a running callback.
  EXPECT_FALSE(p->inside.load());
  EXPECT_TRUE(p->finished.load());
  p.reset();
  std::this_thread::sleep_for(20ms);
}

TEST(Tick, ACallbackMayKillItsOwnEvent) {
  struct Self {
    std::atomic<UINT> id{0};
    std::atomic<int> calls{0};
  } self;
  UINT id = timeSetEvent(
      5, 1,
      [](UINT tid, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
        auto* s = reinterpret_cast<Self*>(user);
        ++s->calls;
        timeKillEvent(tid);
      },
      reinterpret_cast<DWORD_PTR>(&self), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(self.calls.load(), 1);
}

TEST(Tick, OneShotFiresOnce) {
  TickProbe p;
  UINT id = timeSetEvent(5, 1, CALLBACK_Tick, reinterpret_cast<DWORD_PTR>(&p), TIME_ONESHOT);
  ASSERT_NE(id, 0u);
  auto end = std::chrono::steady_clock::now() + 2s;
  while (!p.finished && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(p.calls.load(), 1);
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOCANDO);  // already gone
  EXPECT_EQ(timeSetEvent(5, 1, nullptr, 0, TIME_PERIODIC), 0u);
}

}  // namespace
}  // namespace kelvo::platform
