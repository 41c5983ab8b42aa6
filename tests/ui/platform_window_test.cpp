// Windows, painting and input on the headless backend.
#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/platform_test_util.h"
#include "ui/platform/headless/headless.h"

namespace kelvo::platform {
namespace {
using namespace testing;

class HeadlessWindows : public ::testing::Test {
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
  // Click at a screen point, with time passing between clicks.
  static void Click(int x, int y, int button = 1, DWORD gap = 1000) {
    headless::AdvanceInputClock(gap);
    headless::MouseMove(x, y);
    headless::MouseButton(button, true);
    headless::MouseButton(button, false);
  }
};

TEST_F(HeadlessWindows, CreationSendsTheMessagesInWindowsOrder) {
  HWND w = MakeWindow(10, 20, 300, 200, WS_POPUP);
  ASSERT_TRUE(IsWindow(w));
  EXPECT_EQ(MessagesOf(w), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                              WM_CREATE, WM_SIZE, WM_MOVE}));
  EXPECT_EQ(Last(w, WM_SIZE)->lp, MAKELPARAM(300, 200));
  RECT r;
  ASSERT_TRUE(GetWindowRect(w, &r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 220);
  EXPECT_FALSE(IsWindowVisible(w));
  DestroyWindow(w);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(HeadlessWindows, CreateFailsWhenCreateAnswersMinusOne) {
  SetHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_CREATE) return false;
    *r = -1;
    return true;
  });
  EXPECT_EQ(MakeWindow(0, 0, 10, 10), nullptr);
  EXPECT_EQ(CreateWindowEx(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
}

TEST_F(HeadlessWindows, OwnedWindowsAreTornDownBeforeTheirOwner) {
  HWND owner = MakeWindow(0, 0, 100, 100);
  HWND owned = MakeWindow(10, 10, 50, 50, WS_POPUP | WS_VISIBLE, 0, owner);
  HWND grand = MakeWindow(20, 20, 20, 20, WS_POPUP | WS_VISIBLE, 0, owned);
  HWND child = MakeWindow(1, 1, 5, 5, WS_CHILD | WS_VISIBLE, 0, owner);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  EXPECT_EQ(GetParent(child), owner);
  Log().clear();
  DestroyWindow(owner);
  std::vector<std::pair<HWND, UINT>> order;
  for (auto& s : Log())
    if (s.msg == WM_DESTROY || s.msg == WM_NCDESTROY) order.push_back({s.hwnd, s.msg});
  std::vector<std::pair<HWND, UINT>> want{{grand, WM_DESTROY}, {grand, WM_NCDESTROY},
                                          {owned, WM_DESTROY}, {owned, WM_NCDESTROY},
                                          {owner, WM_DESTROY}, {child, WM_DESTROY},
                                          {child, WM_NCDESTROY}, {owner, WM_NCDESTROY}};
  EXPECT_EQ(order, want);
  for (HWND w : {owner, owned, grand, child}) EXPECT_FALSE(IsWindow(w));
}

TEST_F(HeadlessWindows, CloseDestroysByDefaultAndMessagesForDeadWindowsAreDropped) {
  HWND w = MakeWindow(0, 0, 50, 50);
  PostMessage(w, WM_CLOSE, 0, 0);
  PostMessage(w, WM_USER + 1, 0, 0);
  Drain();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(Count(w, WM_USER + 1), 0);
  EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
  EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 0);
}

TEST_F(HeadlessWindows, InvalidationsCoalesceIntoOnePaintOfTheUnion) {
  HWND w = MakeWindow(0, 0, 200, 100);
  Drain();  // first paint after showing
  int before = Count(w, WM_PAINT);
  RECT a{10, 10, 20, 20}, b{50, 40, 60, 90};
  InvalidateRect(w, &a, FALSE);
  InvalidateRect(w, &b, FALSE);
  RECT u;
  ASSERT_TRUE(GetUpdateRect(w, &u, FALSE));
  EXPECT_EQ(u.left, 10);
  EXPECT_EQ(u.top, 10);
  EXPECT_EQ(u.right, 60);
  EXPECT_EQ(u.bottom, 90);
  Drain();
  EXPECT_EQ(Count(w, WM_PAINT), before + 1);
  EXPECT_FALSE(GetUpdateRect(w, &u, FALSE));
  // Hidden windows are not painted.
  ShowWindow(w, SW_HIDE);
  InvalidateRect(w, nullptr, FALSE);
  Drain();
  EXPECT_EQ(Count(w, WM_PAINT), before + 1);
}

TEST_F(HeadlessWindows, PaintedPixelsArePresentedAndReadable) {
  HWND w = MakeWindow(0, 0, 40, 30);
  SetHook([](HWND hw, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hw, &ps);
    cairo_t* cr = cairo_create(dc);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_rectangle(cr, 10, 10, 5, 5);
    cairo_fill(cr);
    cairo_destroy(cr);
    EndPaint(hw, &ps);
    *r = 0;
    return true;
  });
  Drain();
  ASSERT_EQ(headless::FrameCount(w), 1);
  cairo_surface_t* f = headless::CopyFrame(w);
  ASSERT_NE(f, nullptr);
  auto px = [&](int x, int y) {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(f) +
                                            y * cairo_image_surface_get_stride(f))[x];
  };
  EXPECT_EQ(px(0, 0), 0xFFFF0000u);
  EXPECT_EQ(px(12, 12), 0xFF0000FFu);
  EXPECT_EQ(cairo_image_surface_get_width(f), 40);
  cairo_surface_destroy(f);
  // A partial repaint presents only its rectangle.
  RECT part{5, 5, 8, 9};
  InvalidateRect(w, &part, FALSE);
  Drain();
  RECT got = headless::LastPresentRect(w);
  EXPECT_EQ(got.left, 5);
  EXPECT_EQ(got.bottom, 9);
}

TEST_F(HeadlessWindows, ResizeKeepsContentAndRepaintsAll) {
  HWND w = MakeWindow(0, 0, 20, 20);
  Drain();
  HDC dc = GetDC(w);
  ASSERT_EQ(cairo_image_surface_get_width(dc), 20);
  SetWindowPos(w, nullptr, 0, 0, 64, 48, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(Last(w, WM_SIZE)->lp, MAKELPARAM(64, 48));
  RECT u;
  ASSERT_TRUE(GetUpdateRect(w, &u, FALSE));
  EXPECT_EQ(u.right, 64);
  Drain();
  EXPECT_EQ(cairo_image_surface_get_width(GetDC(w)), 64);
}

TEST_F(HeadlessWindows, ReapplyingTheFrameFromPosChangedDoesNotRecurse) {
  HWND w = MakeWindow(0, 0, 20, 20);
  int depth = 0;
  SetHook([&](HWND hw, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_WINDOWPOSCHANGED && ++depth < 50)
      SetWindowPos(hw, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    return false;
  });
  MoveWindow(w, 5, 5, 20, 20, TRUE);
  EXPECT_EQ(depth, 1);
}

struct ClickCase {
  const char* name;
  bool dblclks;
  DWORD gap;
  int dx;
  std::vector<UINT> want;
};

TEST_F(HeadlessWindows, SecondClickBecomesDoubleClickOnlyWhenClose) {
  const ClickCase cases[] = {
      {"quick", true, 200, 0, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
      {"slow", true, 700, 0, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
      {"moved", true, 100, 6, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
      {"no class style", false, 100, 0, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND w = MakeWindow(100, 100, 200, 200, WS_POPUP | WS_VISIBLE, 0, nullptr, c.dblclks);
    Drain();
    Log().clear();
    Click(150, 150);
    Click(150 + c.dx, 150, 1, c.gap);
    Drain();
    EXPECT_EQ(MessagesOf(w, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}), c.want);
    EXPECT_EQ(Last(w, WM_LBUTTONUP)->lp, MAKELPARAM(50 + c.dx, 50));
    DestroyWindow(w);
  }
  // A third quick click starts a new pair.
  HWND w = MakeWindow(100, 100, 200, 200);
  Drain();
  Log().clear();
  Click(150, 150);
  Click(150, 150, 1, 100);
  Click(150, 150, 1, 100);
  Drain();
  EXPECT_EQ(MessagesOf(w, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(HeadlessWindows, RightButtonAndKeyFlags) {
  HWND w = MakeWindow(0, 0, 100, 100);
  Drain();
  headless::Key(VK_CONTROL, true);
  headless::MouseMove(10, 20);
  headless::MouseButton(3, true);
  Drain();
  const Seen* down = Last(w, WM_RBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->wp, WPARAM{MK_RBUTTON | MK_CONTROL});
  EXPECT_EQ(down->lp, MAKELPARAM(10, 20));
  headless::MouseButton(3, false);
  headless::Key(VK_CONTROL, false);
  Drain();
  EXPECT_EQ(Last(w, WM_RBUTTONUP)->wp, WPARAM{MK_CONTROL});
}

TEST_F(HeadlessWindows, CaptureKeepsTheMouseOutsideTheWindow) {
  HWND a = MakeWindow(0, 0, 100, 100);
  HWND b = MakeWindow(200, 0, 100, 100);
  Drain();
  headless::MouseMove(50, 50);
  headless::MouseButton(1, true);
  Drain();
  SetCapture(a);
  EXPECT_EQ(GetCapture(), a);
  headless::MouseMove(250, 30);
  headless::MouseButton(1, false);
  Drain();
  EXPECT_EQ(Last(a, WM_MOUSEMOVE)->lp, MAKELPARAM(250, 30));
  EXPECT_EQ(Last(a, WM_LBUTTONUP)->lp, MAKELPARAM(250, 30));
  EXPECT_EQ(Count(b, WM_LBUTTONUP), 0);
  ReleaseCapture();
  EXPECT_EQ(Count(a, WM_CAPTURECHANGED), 1);
  headless::MouseMove(260, 30);
  Drain();
  EXPECT_EQ(Last(b, WM_MOUSEMOVE)->lp, MAKELPARAM(60, 30));
}

TEST_F(HeadlessWindows, LeaveAndHoverArriveOnceEachWhenTracked) {
  HWND a = MakeWindow(0, 0, 100, 100);
  HWND b = MakeWindow(100, 0, 100, 100);
  Drain();
  headless::MouseMove(10, 10);
  Drain();
  TRACKMOUSEEVENT t;
  t.dwFlags = TME_LEAVE | TME_HOVER;
  t.hwndTrack = a;
  t.dwHoverTime = 400;
  ASSERT_TRUE(TrackMouseEvent(&t));
  headless::AdvanceInputClock(399);
  Drain();
  EXPECT_EQ(Count(a, WM_MOUSEHOVER), 0);
  headless::AdvanceInputClock(1);
  Drain();
  EXPECT_EQ(Count(a, WM_MOUSEHOVER), 1);
  EXPECT_EQ(Last(a, WM_MOUSEHOVER)->lp, MAKELPARAM(10, 10));
  headless::AdvanceInputClock(1000);
  Drain();
  EXPECT_EQ(Count(a, WM_MOUSEHOVER), 1);
  headless::MouseMove(150, 10);
  headless::MouseMove(20, 10);
  headless::MouseMove(150, 10);
  Drain();
  EXPECT_EQ(Count(a, WM_MOUSELEAVE), 1);
  EXPECT_EQ(Count(b, WM_MOUSELEAVE), 0);
  // Asking while the pointer is elsewhere answers at once.
  t.hwndTrack = a;
  t.dwFlags = TME_LEAVE;
  TrackMouseEvent(&t);
  Drain();
  EXPECT_EQ(Count(a, WM_MOUSELEAVE), 2);
}

TEST_F(HeadlessWindows, WheelCarriesSignedDeltaAndScreenPoint) {
  HWND w = MakeWindow(300, 200, 100, 100);
  Drain();
  headless::MouseMove(310, 220);
  for (int d : {120, -240, -119}) headless::MouseWheel(d);
  Drain();
  std::vector<int> deltas;
  for (auto& s : Log())
    if (s.hwnd == w && s.msg == WM_MOUSEWHEEL) {
      deltas.push_back(GET_WHEEL_DELTA_WPARAM(s.wp));
      EXPECT_EQ(s.lp, MAKELPARAM(310, 220));
    }
  EXPECT_EQ(deltas, (std::vector<int>{120, -240, -119}));
}

TEST_F(HeadlessWindows, KeysGoToTheFocusWithStateAndCharacters) {
  HWND w = MakeWindow(0, 0, 100, 100);
  Drain();
  ASSERT_EQ(GetFocus(), w);
  short shiftSeen = 0;
  SetHook([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m == WM_KEYDOWN && wp == 'A') shiftSeen = GetKeyState(VK_SHIFT);
    return false;
  });
  headless::Key(VK_LSHIFT, true);
  headless::Key('A', true, L'A');
  headless::Key('A', true, L'A');  // auto-repeat
  headless::Key('A', false);
  headless::Key(VK_LSHIFT, false);
  headless::Key(VK_MENU, true);
  headless::Key(VK_F1 + 3, true);
  headless::Key(VK_F1 + 3, false);
  headless::Key(VK_MENU, false);
  Drain();
  EXPECT_TRUE(shiftSeen & 0x8000);
  EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
  std::vector<std::pair<UINT, WPARAM>> got;
  for (auto& s : Log())
    if (s.hwnd == w && s.msg >= WM_KEYDOWN && s.msg <= WM_SYSCHAR) got.push_back({s.msg, s.wp});
  std::vector<std::pair<UINT, WPARAM>> want{
      {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'A'},       {WM_CHAR, L'A'},
      {WM_KEYDOWN, 'A'},      {WM_CHAR, L'A'},         {WM_KEYUP, 'A'},
      {WM_KEYUP, VK_SHIFT},   {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, VK_F1 + 3},
      {WM_SYSKEYUP, VK_F1 + 3}, {WM_SYSKEYUP, VK_MENU}};
  EXPECT_EQ(got, want);
  // Repeat and transition bits.
  std::vector<LPARAM> aDowns;
  for (auto& s : Log())
    if (s.msg == WM_KEYDOWN && s.wp == 'A') aDowns.push_back(s.lp);
  ASSERT_EQ(aDowns.size(), 2u);
  EXPECT_FALSE(aDowns[0] & (1 << 30));
  EXPECT_TRUE(aDowns[1] & (1 << 30));
}

TEST_F(HeadlessWindows, ActivationMovesWithShowAndClicks) {
  HWND main = MakeWindow(0, 0, 300, 300);
  Drain();
  EXPECT_EQ(GetActiveWindow(), main);
  HWND popup = MakeWindow(50, 50, 100, 100, WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, main);
  EXPECT_EQ(GetActiveWindow(), popup);
  const Seen* nc = Last(main, WM_NCACTIVATE);
  ASSERT_NE(nc, nullptr);
  EXPECT_EQ(nc->wp, WPARAM{FALSE});
  Click(250, 250);  // on the main window, outside the popup
  Drain();
  EXPECT_EQ(GetActiveWindow(), main);
  EXPECT_EQ(Last(popup, WM_NCACTIVATE)->wp, WPARAM{FALSE});
  // Destroying the active owned window gives activation back to its owner.
  SetActiveWindow(popup);
  DestroyWindow(popup);
  EXPECT_EQ(GetActiveWindow(), main);
  EXPECT_EQ(GetFocus(), main);
}

TEST_F(HeadlessWindows, DisabledWindowsGetNoInput) {
  HWND owner = MakeWindow(0, 0, 300, 300);
  Drain();
  EnableWindow(owner, FALSE);
  EXPECT_FALSE(IsWindowEnabled(owner));
  EXPECT_EQ(Last(owner, WM_ENABLE)->wp, WPARAM{FALSE});
  Click(10, 10);
  headless::Key('X', true);
  Drain();
  EXPECT_EQ(Count(owner, WM_LBUTTONDOWN), 0);
  EXPECT_EQ(Count(owner, WM_KEYDOWN), 0);
  EnableWindow(owner, TRUE);
  Click(10, 10);
  Drain();
  EXPECT_EQ(Count(owner, WM_LBUTTONDOWN), 1);
}

TEST_F(HeadlessWindows, CaptionPressMovesTheWindowWithThePointer) {
  HWND w = MakeWindow(100, 100, 200, 100);
  SetHook([](HWND hw, UINT m, WPARAM, LPARAM lp, LRESULT*) {
    if (m == WM_LBUTTONDOWN) {
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hw, &p);
      SendMessage(hw, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
    }
    return false;
  });
  Drain();
  headless::MouseMove(110, 110);
  headless::MouseButton(1, true);
  Drain();
  EXPECT_EQ(headless::CaptionDragCount(w), 1);
  headless::MouseMove(160, 140);
  headless::MouseButton(1, false);
  Drain();
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 150);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(Count(w, WM_LBUTTONUP), 0);
  EXPECT_EQ(Count(w, WM_EXITSIZEMOVE), 1);
  headless::MouseMove(300, 300);
  Drain();
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 150);
}

std::uint32_t Pixel(cairo_surface_t* s, int x, int y) {
  return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s) +
                                          y * cairo_image_surface_get_stride(s))[x];
}

// A layered frame: left half half-transparent red, right half clear.
cairo_surface_t* HalfRed(int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgba(cr, 1, 0, 0, 0.5);
  cairo_rectangle(cr, 0, 0, w / 2, h);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

TEST_F(HeadlessWindows, LayeredWindowKeepsPerPixelAlphaWithACompositor) {
  headless::SetCompositor(true);
  HWND w = MakeWindow(0, 0, 20, 10, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  cairo_surface_t* src = HalfRed(20, 10);
  ASSERT_TRUE(UpdateLayeredWindow(w, nullptr, nullptr, src, 255));
  cairo_surface_t* f = headless::CopyFrame(w);
  EXPECT_EQ(Pixel(f, 2, 2), 0x80800000u);  // premultiplied half red
  EXPECT_EQ(Pixel(f, 15, 2), 0u);
  cairo_surface_destroy(f);
  // An opaque window shows the same buffer without alpha.
  HWND o = MakeWindow(0, 0, 20, 10);
  EXPECT_FALSE(UpdateLayeredWindow(o, nullptr, nullptr, src, 255));
  cairo_surface_destroy(src);
}

TEST_F(HeadlessWindows, LayeredWindowGetsAOneBitShapeWithoutACompositor) {
  headless::SetCompositor(false);
  HWND w = MakeWindow(0, 0, 20, 10, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  cairo_surface_t* src = HalfRed(20, 10);
  UpdateLayeredWindow(w, nullptr, nullptr, src, 255);
  cairo_surface_t* f = headless::CopyFrame(w);
  EXPECT_EQ(Pixel(f, 2, 2), 0xFFFF0000u);  // alpha 128 is inside, shown opaque
  EXPECT_EQ(Pixel(f, 15, 2), 0u);
  cairo_surface_destroy(f);
  cairo_surface_destroy(src);
}

TEST_F(HeadlessWindows, ColourKeyAndRoundRegionCutTheWindow) {
  HWND w = MakeWindow(0, 0, 40, 40, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  ASSERT_TRUE(SetLayeredWindowAttributes(w, RGB(0, 255, 0), 255, LWA_COLORKEY));
  SetWindowRgn(w, CreateRoundRectRgn(0, 0, 40, 40, 20, 20), TRUE);
  SetHook([](HWND hw, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    cairo_t* cr = cairo_create(BeginPaint(hw, &ps));
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 1, 0);
    cairo_rectangle(cr, 15, 15, 10, 10);
    cairo_fill(cr);
    cairo_destroy(cr);
    EndPaint(hw, &ps);
    *r = 0;
    return true;
  });
  Drain();
  cairo_surface_t* f = headless::CopyFrame(w);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Pixel(f, 0, 0), 0u);            // corner cut by the region
  EXPECT_EQ(Pixel(f, 20, 2), 0xFF0000FFu);  // edge middle kept
  EXPECT_EQ(Pixel(f, 20, 20), 0u);          // colour key
  cairo_surface_destroy(f);
  EXPECT_EQ(WindowFromPoint(POINT{0, 0}), nullptr);
  EXPECT_EQ(WindowFromPoint(POINT{20, 20}), w);
}

TEST_F(HeadlessWindows, TopmostWindowsStayInFront) {
  HWND top = MakeWindow(0, 0, 50, 50, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
  HWND normal = MakeWindow(0, 0, 50, 50);
  EXPECT_EQ(headless::ZOrder().front(), top);
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), top);
  SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(normal, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), normal);
  EXPECT_FALSE(GetWindowLongPtr(top, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(HeadlessWindows, PropertiesTextStylesAndIcons) {
  HWND w = MakeWindow(0, 0, 50, 50, WS_POPUP);
  int value = 7;
  SetProp(w, L"Control", &value);
  EXPECT_EQ(GetProp(w, L"Control"), &value);
  EXPECT_EQ(RemoveProp(w, L"Control"), &value);
  EXPECT_EQ(GetProp(w, L"Control"), nullptr);
  SetWindowText(w, L"Menu Window");
  EXPECT_EQ(GetWindowTextLength(w), 11);
  EXPECT_EQ(GetWindowTextString(w), L"Menu Window");
  LONG_PTR style = GetWindowLongPtr(w, GWL_STYLE);
  SetWindowLongPtr(w, GWL_STYLE, (style & 0xFF3BFFFF) | 0x6000008);
  EXPECT_EQ(GetWindowLongPtr(w, GWL_STYLE) & 0x6000008, 0x6000008);
  ShowWindow(w, SW_SHOW);
  EXPECT_TRUE(GetWindowLongPtr(w, GWL_STYLE) & WS_VISIBLE);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
  HICON icon = CreateIconFromSurface(img);
  cairo_surface_destroy(img);
  EXPECT_EQ(SendMessage(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
  EXPECT_EQ(headless::WindowIcon(w, true), icon);
  DestroyWindow(w);
  DestroyIcon(icon);
  EXPECT_EQ(GetProp(w, L"Control"), nullptr);
}

TEST_F(HeadlessWindows, MonitorWorkAreaAndMetrics) {
  headless::SetScreen(1280, 720, RECT{0, 0, 1280, 690});
  HWND w = MakeWindow(0, 0, 50, 50);
  MONITORINFO mi;
  ASSERT_TRUE(GetMonitorInfo(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi));
  EXPECT_EQ(mi.rcWork.bottom, 690);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
  ShowWindow(w, SW_MAXIMIZE);
  EXPECT_TRUE(IsZoomed(w));
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.bottom, 690);
  ShowWindow(w, SW_RESTORE);
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right, 50);
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_EQ(Last(w, WM_SIZE)->wp, WPARAM{SIZE_MINIMIZED});
}

TEST_F(HeadlessWindows, ClipboardAndCursor) {
  std::wstring text;
  EXPECT_FALSE(GetClipboardText(&text));
  ASSERT_TRUE(SetClipboardText(L"Grüße"));
  ASSERT_TRUE(GetClipboardText(&text));
  EXPECT_EQ(text, L"Grüße");
  HWND w = MakeWindow(0, 0, 50, 50);
  headless::MouseMove(5, 5);
  Drain();
  HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  EXPECT_EQ(hand, LoadCursor(nullptr, IDC_HAND));
  SetCursor(hand);
  EXPECT_EQ(headless::CurrentCursor(w), hand);
}

}  // namespace
}  // namespace kelvo::platform
