// A skinned pop-up menu on a real X server: an XTest click on an item posts
// the owner the menu's notify message with the item id and closes the menu;
// a click elsewhere takes activation away and closes it without a choice.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "kelvo/menu.h"
#include "tests/ui/platform_test_util.h"
#include "tests/ui/xvfb_fixture.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace kelvo::platform {
namespace {
using namespace testing;

constexpr UINT kNotify = WM_USER + 77;

class X11Menu : public kelvo::testing::XvfbTest {
 protected:
  void SetUp() override {
    XvfbTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(InitBackend("x11"));
    probe_ = XOpenDisplay(Display().c_str());
    ASSERT_NE(probe_, nullptr);
    Log().clear();
  }
  void TearDown() override {
    if (probe_) XCloseDisplay(probe_);
    probe_ = nullptr;
    ShutdownBackend();
  }
  static bool PumpUntil(const std::function<bool()>& pred) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
      Drain(10);
      if (pred()) return true;
    }
    return pred();
  }
  void MoveAndClick(int x, int y) {
    // Two moves: the first makes the item the hover control.
    XTestFakeMotionEvent(probe_, -1, x - 1, y, CurrentTime);
    XSync(probe_, False);
    Drain(30);
    XTestFakeMotionEvent(probe_, -1, x, y, CurrentTime);
    XSync(probe_, False);
    Drain(30);
    XTestFakeButtonEvent(probe_, 1, True, CurrentTime);
    XTestFakeButtonEvent(probe_, 1, False, CurrentTime);
    XSync(probe_, False);
  }
  // Opens a two-item menu at (300, 200) owned by owner; returns its window.
  HWND OpenMenu(HWND owner) {
    auto* menu = new MenuWnd(nullptr);  // deletes itself when its window goes
    EXPECT_EQ(menu->Create(owner, CPoint(300, 200), kNotify), 1);
    menu->AddMenu(L"Open", 1, L"");
    menu->AddMenu(L"Exit", 2, L"");
    HWND hwnd = menu->GetSafeHwnd();
    EXPECT_TRUE(PumpUntil([&] { return IsWindow(hwnd) && GetActiveWindow() == hwnd; }));
    return hwnd;
  }
  ::Display* probe_ = nullptr;
};

TEST_F(X11Menu, ClickingAnItemNotifiesTheOwnerAndClosesTheMenu) {
  HWND owner = MakeWindow(100, 100, 600, 500);
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == owner; }));
  HWND menu = OpenMenu(owner);
  RECT r;
  ASSERT_TRUE(GetWindowRect(menu, &r));
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 6 + 35 + 35 + 6);
  MoveAndClick(350, 200 + 6 + 35 + 17);  // the second item
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(menu); }));
  const Seen* n = Last(owner, kNotify);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->lp, 2);
  EXPECT_EQ(Count(owner, kNotify), 1);
  EXPECT_EQ(GetActiveWindow(), owner);
}

TEST_F(X11Menu, ClickingOutsideClosesTheMenuWithoutAChoice) {
  HWND owner = MakeWindow(100, 100, 600, 500);
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == owner; }));
  HWND menu = OpenMenu(owner);
  MoveAndClick(150, 150);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(menu); }));
  EXPECT_EQ(Count(owner, kNotify), 0);
  EXPECT_EQ(GetActiveWindow(), owner);
}

}  // namespace
}  // namespace kelvo::platform
