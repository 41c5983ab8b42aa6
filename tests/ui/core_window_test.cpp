// Menus, window placement, the drop shadow and the splash window on the
// headless window system.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "kelvo/decorations.h"
#include "kelvo/menu.h"
#include "tests/ui/core_test_util.h"

namespace kelvo {
namespace {
namespace pf = kelvo::platform;
namespace hl = kelvo::platform::headless;
using testing::TestDialog;

constexpr unsigned kNotify = pf::WM_USER + 5;

// An owner that records the menu's notify messages.
class Owner : public TestDialog {
 public:
  LRESULT OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) override {
    if (msg == kNotify) {
      got.push_back({static_cast<unsigned>(w), static_cast<unsigned>(l)});
      return 0;
    }
    return TestDialog::OnWindowMessage(msg, w, l);
  }
  std::vector<std::pair<unsigned, unsigned>> got;  // (wParam, item id)
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pf::InitBackend("headless"));
    testing::UseBuiltSkins();
    hl::AdvanceInputClock(5000);
  }
  void TearDown() override { pf::ShutdownBackend(); }
  static void Click(int x, int y) {
    hl::AdvanceInputClock(1000);
    hl::MouseMove(x - 1, y);
    testing::Pump();
    hl::MouseMove(x, y);
    testing::Pump();
    hl::MouseButton(1, true);
    testing::Pump();
    hl::MouseButton(1, false);
    testing::Pump();
  }
  static int Height(HWND h) {
    pf::RECT r;
    pf::GetWindowRect(h, &r);
    return r.bottom - r.top;
  }
  static int Width(HWND h) {
    pf::RECT r;
    pf::GetWindowRect(h, &r);
    return r.right - r.left;
  }
};

TEST_F(WindowTest, MenuHeightFollowsItsItemsAndSeparators) {
  Owner owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 600, 500)), nullptr);
  auto* items = new MenuWnd(&owner);
  ASSERT_EQ(items->Create(owner.GetSafeHwnd(), CPoint(50, 60), kNotify), 1);
  items->AddMenu(L"Open", 1, L"");
  items->AddMenu(L"Exit", 2, L"");
  EXPECT_EQ(Height(items->GetSafeHwnd()), 6 + 35 + 35 + 6);
  EXPECT_EQ(Width(items->GetSafeHwnd()), 300);
  auto* seps = new MenuWnd(&owner);
  ASSERT_EQ(seps->Create(owner.GetSafeHwnd(), CPoint(400, 60), kNotify), 1);
  for (unsigned i = 0; i < 3; ++i) seps->AddSeparator(10 + i);
  EXPECT_EQ(Height(seps->GetSafeHwnd()), 6 + 3 * 4 + 6);
  items->DestroyWindow();  // menus free themselves with their window
  seps->DestroyWindow();
}

TEST_F(WindowTest, AMenuWidensForALongItem) {
  Owner owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 600, 500)), nullptr);
  auto* menu = new MenuWnd(&owner);
  ASSERT_EQ(menu->Create(owner.GetSafeHwnd(), CPoint(10, 10), kNotify), 1);
  const std::wstring text(60, L'W');
  menu->AddMenu(text, 1, L"");
  Canvas probe;
  const int textW = static_cast<int>(std::ceil(probe.MeasureText(text, FontSpec{Manager::GetFontName(), 14, 0}).width));
  EXPECT_GT(menu->GetMenuWidth(), 300);
  EXPECT_EQ(menu->GetMenuWidth(), textW + 5 + 4);
  EXPECT_EQ(Width(menu->GetSafeHwnd()), menu->GetMenuWidth());
  menu->DestroyWindow();
}

TEST_F(WindowTest, ClickingAnItemNotifiesTheOwnerAndClosesTheMenu) {
  Owner owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 600, 500)), nullptr);
  auto* menu = new MenuWnd(&owner);
  ASSERT_EQ(menu->Create(owner.GetSafeHwnd(), CPoint(100, 100), kNotify), 1);
  menu->AddMenu(L"Open", 31, L"");
  menu->AddMenu(L"Exit", 32, L"");
  HWND h = menu->GetSafeHwnd();
  testing::Pump();
  Click(150, 100 + 6 + 35 + 17);
  testing::Pump();
  EXPECT_FALSE(pf::IsWindow(h));
  ASSERT_FALSE(owner.got.empty());
  EXPECT_EQ(owner.got.back().second, 32u);
}

TEST_F(WindowTest, CheckableItemsToggleAndKeepTheMenuOpen) {
  Owner owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 600, 500)), nullptr);
  auto* menu = new MenuWnd(&owner);
  ASSERT_EQ(menu->Create(owner.GetSafeHwnd(), CPoint(100, 100), kNotify), 1);
  menu->AddMenu(L"Key tips", 41, L"");
  menu->AddMenu(L"Grouped", 42, L"");
  menu->SetItemCheck(L"41", 0);
  menu->SetItemCheck(L"42", 1);
  auto* toggle = dynamic_cast<MenuItem*>(menu->GetControl(41));
  auto* grouped = dynamic_cast<MenuItem*>(menu->GetControl(42));
  ASSERT_TRUE(toggle && grouped);
  toggle->SetGroupName(L"");  // no group: a plain on/off item
  HWND h = menu->GetSafeHwnd();
  testing::Pump();
  Click(150, 100 + 6 + 17);
  EXPECT_EQ(toggle->GetCheck(), 1);
  Click(150, 100 + 6 + 17);
  EXPECT_EQ(toggle->GetCheck(), 0);
  Click(150, 100 + 6 + 35 + 17);
  EXPECT_EQ(grouped->GetCheck(), 1) << "an item of a group stays checked";
  EXPECT_TRUE(pf::IsWindow(h));
  ASSERT_EQ(owner.got.size(), 3u);
  EXPECT_EQ(owner.got[0], std::make_pair(0u, 41u)) << "check value before the click";
  EXPECT_EQ(owner.got[1], std::make_pair(1u, 41u));
  menu->DestroyWindow();
}

TEST_F(WindowTest, DisabledItemsIgnoreClicksAndShowTheDisabledState) {
  Owner owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 600, 500)), nullptr);
  auto* menu = new MenuWnd(&owner);
  ASSERT_EQ(menu->Create(owner.GetSafeHwnd(), CPoint(100, 100), kNotify), 1);
  menu->AddMenu(L"Off", 51, L"");
  menu->SetItemEnable(L"51", 0);
  auto* item = dynamic_cast<MenuItem*>(menu->GetControl(51));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetState(), 3);
  Click(150, 100 + 6 + 17);
  EXPECT_TRUE(owner.got.empty());
  EXPECT_TRUE(pf::IsWindow(menu->GetSafeHwnd()));
  menu->DestroyWindow();
}

TEST_F(WindowTest, CenteringKeepsALargeWindowAtTheWorkAreaOrigin) {
  hl::SetScreen(800, 600, pf::RECT{100, 80, 700, 520});
  struct {
    CRect start;
    int wantX, wantY;
  } cases[] = {
      {CRect(0, 0, 700, 500), 100, 80},   // larger than the 600 x 440 area
      {CRect(0, 0, 200, 100), 300, 250},  // centred in the work area
  };
  for (auto& c : cases) {
    TestDialog dlg;
    ASSERT_NE(dlg.Open(c.start), nullptr);
    dlg.CenterWindow();
    CRect r;
    dlg.GetWindowRect(r);
    EXPECT_EQ(r.left, c.wantX);
    EXPECT_EQ(r.top, c.wantY);
    EXPECT_EQ(r.Width(), c.start.Width()) << "moved, not resized";
  }
}

TEST_F(WindowTest, ShadowRefusesValuesOutsideItsRanges) {
  TestDialog dlg;
  ASSERT_NE(dlg.Open(CRect(100, 100, 300, 250)), nullptr);
  ASSERT_EQ(dlg.CreateShadow(1), 1);
  struct {
    int (*set)(MDialog&, int);
    int value;
    int ok;
  } cases[] = {
      {[](MDialog& d, int v) { return d.SetSize(v); }, 35, 1},
      {[](MDialog& d, int v) { return d.SetSize(v); }, -36, 0},
      {[](MDialog& d, int v) { return d.SetSharpness(static_cast<unsigned>(v)); }, 36, 0},
      {[](MDialog& d, int v) { return d.SetDarkness(static_cast<unsigned>(v)); }, 256, 0},
      {[](MDialog& d, int v) { return d.SetDarkness(static_cast<unsigned>(v)); }, 200, 1},
      {[](MDialog& d, int v) { return d.SetPosition(v, 0); }, -36, 0},
  };
  for (auto& c : cases) EXPECT_EQ(c.set(dlg, c.value), c.ok) << c.value;
  MShadow* s = dlg.GetPaintManager().GetShadow();
  ASSERT_NE(s, nullptr);
  dlg.SetSize(0);
  dlg.SetSharpness(5);
  Canvas bmp = s->RenderShadow(100, 50);
  EXPECT_EQ(bmp.Width(), 110);
  EXPECT_EQ(AlphaOf(bmp.PixelAt(55, 25)), 200u) << "solid core at the darkness";
  EXPECT_EQ(AlphaOf(bmp.PixelAt(0, 0)), 0u) << "faded out at the edge";
  EXPECT_TRUE(pf::IsWindowVisible(s->GetHwnd()));
  dlg.SetShadowShow(0);
  EXPECT_FALSE(pf::IsWindowVisible(s->GetHwnd()));
}

TEST_F(WindowTest, SplashWindowAnimatesTheGifFrames) {
  LoadingWnd splash;
  ASSERT_NE(splash.Create(nullptr, CRect(100, 100, 400, 300), L"Loading"), nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (splash.GetFrame() < 2 && std::chrono::steady_clock::now() < end) {
    testing::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_GE(splash.GetFrame(), 2);
  EXPECT_GT(AlphaOf(splash.Frame().PixelAt(150, 100)), 200u);
}

// A move or resize reaches the window once as WM_MOVE and once as WM_SIZE
// with the new values, whoever asked for it.
class PlaceRecorder : public TestDialog {
 public:
  LRESULT OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) override {
    if (msg == pf::WM_MOVE) moves.push_back({pf::GET_X_LPARAM(l), pf::GET_Y_LPARAM(l)});
    if (msg == pf::WM_SIZE) sizes.push_back({pf::GET_X_LPARAM(l), pf::GET_Y_LPARAM(l)});
    return TestDialog::OnWindowMessage(msg, w, l);
  }
  std::vector<std::pair<int, int>> moves, sizes;
};

TEST_F(WindowTest, WindowPosChangedReportsPlaceAndSizeOnce) {
  PlaceRecorder w;
  ASSERT_NE(w.Open(CRect(0, 0, 300, 200)), nullptr);
  testing::Pump();
  w.moves.clear();
  w.sizes.clear();
  pf::SetWindowPos(w.GetSafeHwnd(), nullptr, 40, 30, 320, 240, pf::SWP_NOZORDER);
  testing::Pump();
  ASSERT_EQ(w.moves.size(), 1u);
  EXPECT_EQ(w.moves[0], std::make_pair(40, 30));
  ASSERT_EQ(w.sizes.size(), 1u);
  EXPECT_EQ(w.sizes[0], std::make_pair(320, 240));
  pf::DestroyWindow(w.GetSafeHwnd());
}

}  // namespace
}  // namespace kelvo
