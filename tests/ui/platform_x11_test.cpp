// The X11 backend on a private Xvfb: presented pixels, XTest input arriving
// as Windows messages, layered windows with and without a compositor.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/ui/platform_test_util.h"
#include "tests/ui/xvfb_fixture.h"
#include "ui/platform/headless/headless.h"

// X headers last: their macros clash with gtest.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace kelvo::platform {
namespace {
using namespace testing;

// Paints a red field with a blue square at (10,10)-(20,20).
bool PaintPattern(HWND hw, UINT m, WPARAM, LPARAM, LRESULT* r) {
  if (m != WM_PAINT) return false;
  PAINTSTRUCT ps;
  cairo_t* cr = cairo_create(BeginPaint(hw, &ps));
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, 10, 10, 10, 10);
  cairo_fill(cr);
  cairo_destroy(cr);
  EndPaint(hw, &ps);
  *r = 0;
  return true;
}

class X11Platform : public kelvo::testing::XvfbTest {
 protected:
  void SetUp() override {
    XvfbTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(InitBackend("x11"));
    ASSERT_STREQ(BackendName(), "x11");
    probe_ = XOpenDisplay(Display().c_str());
    ASSERT_NE(probe_, nullptr);
    Log().clear();
    SetHook(nullptr);
  }
  void TearDown() override {
    SetHook(nullptr);
    if (probe_) XCloseDisplay(probe_);
    probe_ = nullptr;
    ShutdownBackend();
  }

  // Pumps the loop until pred holds (or 3 s pass).
  static bool PumpUntil(const std::function<bool()>& pred) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
      Drain(10);
      if (pred()) return true;
    }
    return pred();
  }

  // What the screen shows at a root position, as 0xRRGGBB.
  unsigned long RootPixel(int x, int y) {
    XSync(probe_, False);
    XImage* img = XGetImage(probe_, DefaultRootWindow(probe_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xDEADBEEF;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
  }

  void Click(int x, int y, unsigned button = 1) {
    XTestFakeMotionEvent(probe_, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(probe_, button, True, CurrentTime);
    XTestFakeButtonEvent(probe_, button, False, CurrentTime);
    XSync(probe_, False);
  }

  void Key(KeySym sym, bool down) {
    XTestFakeKeyEvent(probe_, XKeysymToKeycode(probe_, sym), down, CurrentTime);
    XSync(probe_, False);
  }

  // The X window of a top-level window of ours at a root position.
  Window TopAt(int x, int y) {
    Window root = DefaultRootWindow(probe_), parent, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    XQueryTree(probe_, root, &root, &parent, &kids, &n);
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(probe_, kids[i], &a) && a.map_state == IsViewable && a.x <= x &&
          a.y <= y && x < a.x + a.width && y < a.y + a.height && a.c_class == InputOutput)
        found = kids[i];
    }
    if (kids) XFree(kids);
    return found;
  }

  ::Display* probe_ = nullptr;
};

TEST_F(X11Platform, RealWindowShowsTheSameFrameAsTheHeadlessBackend) {
  SetHook(PaintPattern);
  HWND w = MakeWindow(100, 80, 64, 48);
  ASSERT_TRUE(w);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(100 + 12, 80 + 12) == 0x0000FF; }));
  EXPECT_EQ(RootPixel(100, 80), 0xFF0000u);
  EXPECT_EQ(RootPixel(100 + 63, 80 + 47), 0xFF0000u);
  EXPECT_EQ(RootPixel(99, 79), 0x000000u);  // root background outside
  // The headless backend gives the same pixels for the same painting.
  std::vector<unsigned long> onX;
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 7) onX.push_back(RootPixel(100 + x, 80 + y));
  ShutdownBackend();
  ASSERT_TRUE(InitBackend("headless"));
  HWND h = MakeWindow(100, 80, 64, 48);
  Drain();
  cairo_surface_t* f = headless::CopyFrame(h);
  ASSERT_NE(f, nullptr);
  std::vector<unsigned long> onHeadless;
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 7)
      onHeadless.push_back(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(f) +
                                                            y * cairo_image_surface_get_stride(f))[x] &
                           0xFFFFFF);
  cairo_surface_destroy(f);
  EXPECT_EQ(onX, onHeadless);
}

TEST_F(X11Platform, ExposeAndResizeRepaint) {
  SetHook(PaintPattern);
  HWND w = MakeWindow(50, 50, 40, 40);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(52, 52) == 0xFF0000; }));
  MoveWindow(w, 300, 200, 80, 60, TRUE);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(300 + 79, 200 + 59) == 0xFF0000; }));
  EXPECT_EQ(RootPixel(52, 52), 0x000000u);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.right, 380);
}

TEST_F(X11Platform, XTestClicksArriveAsButtonMessagesWithDoubleClicks) {
  HWND w = MakeWindow(200, 150, 100, 100);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_PAINT) > 0; }));
  Log().clear();
  Click(230, 170);
  Click(230, 170);
  Click(240, 190, 3);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_RBUTTONUP) == 1; }));
  EXPECT_EQ(MessagesOf(w, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                               WM_RBUTTONDOWN, WM_RBUTTONUP}));
  EXPECT_EQ(Last(w, WM_LBUTTONDBLCLK)->lp, MAKELPARAM(30, 20));
  EXPECT_EQ(Last(w, WM_RBUTTONDOWN)->lp, MAKELPARAM(40, 40));
  EXPECT_EQ(Last(w, WM_RBUTTONDOWN)->wp, WPARAM{MK_RBUTTON});
  EXPECT_EQ(Last(w, WM_MOUSEMOVE)->lp, MAKELPARAM(40, 40));
}

TEST_F(X11Platform, XTestWheelArrivesAsNotchesAtTheScreenPoint) {
  HWND w = MakeWindow(200, 150, 100, 100);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_PAINT) > 0; }));
  XTestFakeMotionEvent(probe_, -1, 250, 160, CurrentTime);
  for (unsigned b : {4u, 5u, 5u}) {
    XTestFakeButtonEvent(probe_, b, True, CurrentTime);
    XTestFakeButtonEvent(probe_, b, False, CurrentTime);
  }
  XSync(probe_, False);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_MOUSEWHEEL) == 3; }));
  std::vector<int> deltas;
  for (auto& s : Log())
    if (s.hwnd == w && s.msg == WM_MOUSEWHEEL) {
      deltas.push_back(GET_WHEEL_DELTA_WPARAM(s.wp));
      EXPECT_EQ(s.lp, MAKELPARAM(250, 160));
    }
  EXPECT_EQ(deltas, (std::vector<int>{120, -120, -120}));
  EXPECT_EQ(Count(w, WM_LBUTTONDOWN), 0);
}

TEST_F(X11Platform, XTestKeysArriveAsVirtualKeysAndCharacters) {
  HWND w = MakeWindow(200, 150, 100, 100);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_PAINT) > 0 && GetFocus() == w; }));
  XTestFakeMotionEvent(probe_, -1, 250, 200, CurrentTime);
  short shiftDuringA = 0;
  SetHook([&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT*) {
    if (m == WM_KEYDOWN && wp == 'A') shiftDuringA = GetKeyState(VK_SHIFT);
    return false;
  });
  Key(XK_Shift_L, true);
  Key(XK_a, true);
  Key(XK_a, false);
  Key(XK_Shift_L, false);
  Key(XK_Left, true);
  Key(XK_Left, false);
  Key(XK_F5, true);
  Key(XK_F5, false);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_KEYUP) == 4; }));
  std::vector<std::pair<UINT, WPARAM>> got;
  for (auto& s : Log())
    if (s.hwnd == w && (s.msg == WM_KEYDOWN || s.msg == WM_KEYUP || s.msg == WM_CHAR))
      got.push_back({s.msg, s.wp});
  std::vector<std::pair<UINT, WPARAM>> want{
      {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'A'},    {WM_CHAR, L'A'},     {WM_KEYUP, 'A'},
      {WM_KEYUP, VK_SHIFT},   {WM_KEYDOWN, VK_LEFT}, {WM_KEYUP, VK_LEFT}, {WM_KEYDOWN, VK_F1 + 4},
      {WM_KEYUP, VK_F1 + 4}};
  EXPECT_EQ(got, want);
  EXPECT_TRUE(shiftDuringA & 0x8000);
  for (auto& s : Log())
    if (s.msg == WM_KEYDOWN && s.wp == VK_LEFT) EXPECT_TRUE(s.lp & (1 << 24));
}

TEST_F(X11Platform, SynthesizedKeysComeBackThroughTheServer) {
  HWND w = MakeWindow(200, 150, 100, 100);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == w; }));
  XTestFakeMotionEvent(probe_, -1, 250, 200, CurrentTime);
  XSync(probe_, False);
  keybd_event('K', 0, 0, 0);
  keybd_event('K', 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_KEYUP) == 1; }));
  EXPECT_EQ(Last(w, WM_KEYDOWN)->wp, WPARAM{'K'});
  EXPECT_EQ(Last(w, WM_CHAR)->wp, WPARAM{L'k'});
}

TEST_F(X11Platform, CaptionPressMovesTheWindowWithoutAWindowManager) {
  SetHook([](HWND hw, UINT m, WPARAM wp, LPARAM lp, LRESULT* r) {
    if (m == WM_LBUTTONDOWN) {
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hw, &p);
      SendMessage(hw, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
      return false;
    }
    return PaintPattern(hw, m, wp, lp, r);
  });
  HWND w = MakeWindow(100, 100, 60, 40);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(101, 101) == 0xFF0000; }));
  XTestFakeMotionEvent(probe_, -1, 105, 105, CurrentTime);
  XTestFakeButtonEvent(probe_, 1, True, CurrentTime);
  XSync(probe_, False);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_ENTERSIZEMOVE) == 1; }));
  XTestFakeMotionEvent(probe_, -1, 205, 155, CurrentTime);
  XSync(probe_, False);
  ASSERT_TRUE(PumpUntil([&] {
    RECT r;
    GetWindowRect(w, &r);
    return r.left == 200 && r.top == 150;
  }));
  XTestFakeButtonEvent(probe_, 1, False, CurrentTime);
  XSync(probe_, False);
  ASSERT_TRUE(PumpUntil([&] { return Count(w, WM_EXITSIZEMOVE) == 1; }));
  EXPECT_TRUE(PumpUntil([&] { return RootPixel(201, 151) == 0xFF0000; }));
}

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

TEST_F(X11Platform, LayeredWindowWithoutCompositorIsShapedFromAlpha) {
  ASSERT_FALSE(HasCompositor());
  HWND w = MakeWindow(400, 300, 40, 20, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  cairo_surface_t* src = HalfRed(40, 20);
  ASSERT_TRUE(UpdateLayeredWindow(w, nullptr, nullptr, src, 255));
  cairo_surface_destroy(src);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(405, 305) == 0xFF0000; }));  // shown opaque
  EXPECT_EQ(RootPixel(430, 305), 0x000000u);  // outside the shape: the root shows
  Window xw = TopAt(405, 305);
  ASSERT_NE(xw, 0u);
  int n = 0, order;
  XRectangle* rects = XShapeGetRectangles(probe_, xw, ShapeBounding, &n, &order);
  int covered = 0;
  for (int i = 0; i < n; ++i) covered += rects[i].width * rects[i].height;
  if (rects) XFree(rects);
  EXPECT_EQ(covered, 20 * 20);
}

TEST_F(X11Platform, ShapedLayeredWindowPaintedOnRequestDoesNotRepaintItself) {
  SetHook([](HWND hw, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    cairo_t* cr = cairo_create(BeginPaint(hw, &ps));
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 0, 1, 0, 1);
    cairo_arc(cr, 20, 20, 15, 0, 6.3);
    cairo_fill(cr);
    cairo_destroy(cr);
    EndPaint(hw, &ps);
    *r = 0;
    return true;
  });
  HWND w = MakeWindow(600, 100, 40, 40, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  ASSERT_TRUE(PumpUntil([&] { return RootPixel(620, 120) == 0x00FF00; }));
  EXPECT_EQ(RootPixel(601, 101), 0x000000u);
  Drain(200);
  // The reshape after the first frame may expose once; then it settles.
  EXPECT_LE(Count(w, WM_PAINT), 2);
}

TEST_F(X11Platform, LayeredWindowWithCompositorGetsAnArgbVisual) {
  // Stand in for a compositing manager by owning its selection.
  Atom cm = XInternAtom(probe_, "_NET_WM_CM_S0", False);
  Window owner = XCreateSimpleWindow(probe_, DefaultRootWindow(probe_), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(probe_, cm, owner, CurrentTime);
  XSync(probe_, False);
  ASSERT_TRUE(HasCompositor());
  HWND w = MakeWindow(500, 300, 40, 20, WS_POPUP | WS_VISIBLE);
  SetWindowLongPtr(w, GWL_EXSTYLE, GetWindowLongPtr(w, GWL_EXSTYLE) | WS_EX_LAYERED);
  cairo_surface_t* src = HalfRed(40, 20);
  ASSERT_TRUE(UpdateLayeredWindow(w, nullptr, nullptr, src, 255));
  cairo_surface_destroy(src);
  Drain(50);
  XSync(probe_, False);
  Window xw = TopAt(505, 305);
  ASSERT_NE(xw, 0u);
  XWindowAttributes a;
  XGetWindowAttributes(probe_, xw, &a);
  EXPECT_EQ(a.depth, 32);
  XImage* img = XGetImage(probe_, xw, 0, 0, 40, 20, AllPlanes, ZPixmap);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(XGetPixel(img, 2, 2), 0x80800000ul);  // premultiplied half red with its alpha
  EXPECT_EQ(XGetPixel(img, 30, 2), 0ul);
  XDestroyImage(img);
  XDestroyWindow(probe_, owner);
  XSync(probe_, False);
}

TEST_F(X11Platform, ClipboardTextGoesOutAndComesBack) {
  HWND w = MakeWindow(10, 10, 20, 20);
  (void)w;
  ASSERT_TRUE(SetClipboardText(L"Tastatur ÄÖÜ"));
  // Another client asks for it while our loop runs.
  std::string got;
  std::thread reader([&] {
    ::Display* d = XOpenDisplay(Display().c_str());
    Window me = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    Atom clip = XInternAtom(d, "CLIPBOARD", False), utf8 = XInternAtom(d, "UTF8_STRING", False),
         prop = XInternAtom(d, "GOT", False);
    XConvertSelection(d, clip, utf8, prop, me, CurrentTime);
    XFlush(d);
    XEvent e;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
      if (XCheckTypedWindowEvent(d, me, SelectionNotify, &e)) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        if (e.xselection.property != None &&
            XGetWindowProperty(d, me, prop, 0, 1024, False, AnyPropertyType, &type, &format, &n,
                               &after, &data) == Success && data)
          got.assign(reinterpret_cast<char*>(data), n);
        if (data) XFree(data);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XCloseDisplay(d);
  });
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (got.empty() && std::chrono::steady_clock::now() < end) Drain(10);
  reader.join();
  EXPECT_EQ(got, "Tastatur \xC3\x84\xC3\x96\xC3\x9C");
  std::wstring back;
  ASSERT_TRUE(GetClipboardText(&back));
  EXPECT_EQ(back, L"Tastatur ÄÖÜ");
}

}  // namespace
}  // namespace kelvo::platform
