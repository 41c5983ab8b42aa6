// X11 backend: Xlib windows, MIT-SHM presents, ARGB visual for layered
// windows when a compositor runs and a shape mask otherwise, EWMH hints.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/platform/common/internal.h"
#include "ui/platform/x11/keymap.h"
#include "util/text.h"

namespace kelvo::platform {
namespace {

int g_lastError = 0;
int IgnoreErrors(Display*, XErrorEvent* e) {
  g_lastError = e->error_code;
  return 0;
}

struct Buffer {
  cairo_surface_t* surface = nullptr;
  unsigned char* data = nullptr;
  XShmSegmentInfo shm{};
  bool useShm = false;
  int width = 0, height = 0;
};

struct XWin {
  Window win = 0;
  bool argb = false;
  Colormap cmap = 0;
  GC gc = nullptr;
  bool wantMapped = false;
  bool everMapped = false;
  unsigned long configSerial = 0;  // request serial of our last move/resize
  cairo_surface_t* stage = nullptr;  // unpremultiplied frame for shaped layered windows
  bool shapeFromPixels = false;
  bool shaped = false;
  bool clickThrough = false;
  std::vector<XRectangle> lastShape;  // reshaping exposes the window: only on change
};

class X11Backend : public Backend {
 public:
  explicit X11Backend(Display* d) : dpy_(d) {
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    int major, minor;
    Bool pixmaps;
    shm_ = XShmQueryVersion(dpy_, &major, &minor, &pixmaps);
    const char* noShm = std::getenv("KELVO_NO_SHM");
    if (noShm && *noShm == '1') shm_ = false;
    int ev, err;
    shape_ = XShapeQueryExtension(dpy_, &ev, &err);
    xtest_ = XTestQueryExtension(dpy_, &ev, &err, &major, &minor);
    Bool supported;
    XkbSetDetectableAutoRepeat(dpy_, True, &supported);
    XVisualInfo vi;
    if (XMatchVisualInfo(dpy_, screen_, 32, TrueColor, &vi)) argbVisual_ = vi.visual;
    auto atom = [&](const char* n) { return XInternAtom(dpy_, n, False); };
    wmProtocols_ = atom("WM_PROTOCOLS");
    wmDelete_ = atom("WM_DELETE_WINDOW");
    netWmName_ = atom("_NET_WM_NAME");
    utf8_ = atom("UTF8_STRING");
    netWmType_ = atom("_NET_WM_WINDOW_TYPE");
    typeNormal_ = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    typeDialog_ = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    typeUtility_ = atom("_NET_WM_WINDOW_TYPE_UTILITY");
    netWmState_ = atom("_NET_WM_STATE");
    stateAbove_ = atom("_NET_WM_STATE_ABOVE");
    stateSkipTaskbar_ = atom("_NET_WM_STATE_SKIP_TASKBAR");
    stateMaxH_ = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    stateMaxV_ = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    motifHints_ = atom("_MOTIF_WM_HINTS");
    netWmIcon_ = atom("_NET_WM_ICON");
    netWmPid_ = atom("_NET_WM_PID");
    opacity_ = atom("_NET_WM_WINDOW_OPACITY");
    moveResize_ = atom("_NET_WM_MOVERESIZE");
    netSupported_ = atom("_NET_SUPPORTED");
    workArea_ = atom("_NET_WORKAREA");
    clipboard_ = atom("CLIPBOARD");
    targets_ = atom("TARGETS");
    textAtom_ = atom("TEXT");
    clipProp_ = atom("KELVO_CLIPBOARD");
    cmAtom_ = atom(("_NET_WM_CM_S" + std::to_string(screen_)).c_str());
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    clipWin_ = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                             CopyFromParent, CWEventMask, &a);
    XFlush(dpy_);
  }

  ~X11Backend() override {
    for (auto& [id, c] : cursors_) XFreeCursor(dpy_, c);
    XDestroyWindow(dpy_, clipWin_);
    XCloseDisplay(dpy_);
  }

  const char* Name() const override { return "x11"; }

  bool HasCompositor() override {
    std::lock_guard lk(mu_);
    return XGetSelectionOwner(dpy_, cmAtom_) != None;
  }

  // ---- windows -----------------------------------------------------------------
  bool CreateNative(WindowObject* w) override {
    auto* x = new XWin;
    w->native = x;
    if (!MakeXWindow(w, x)) {
      delete x;
      w->native = nullptr;
      return false;
    }
    return true;
  }

  void DestroyNative(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    if (x->stage) FreeBackBuffer(w, x->stage);
    DropXWindow(x);
    delete x;
    w->native = nullptr;
  }

  void Show(WindowObject* w, bool show) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    x->wantMapped = show;
    if (show) {
      ApplyHints(w, x);
      XMapRaised(dpy_, x->win);
      x->everMapped = true;
      RaiseTopmost();
    } else if (w->style & WS_CHILD) {
      XUnmapWindow(dpy_, x->win);
    } else {
      XWithdrawWindow(dpy_, x->win, screen_);
    }
    XFlush(dpy_);
  }

  void Geometry(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    if (w->minimized) {
      if (x->wantMapped) XIconifyWindow(dpy_, x->win, screen_);
      XFlush(dpy_);
      return;
    }
    if (x->wantMapped && x->everMapped) XMapWindow(dpy_, x->win);
    RECT r = w->rect;
    int width = std::max(1, static_cast<int>(r.right - r.left));
    int height = std::max(1, static_cast<int>(r.bottom - r.top));
    SetSizeHints(w, x);
    x->configSerial = NextRequest(dpy_);
    XMoveResizeWindow(dpy_, x->win, r.left, r.top, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    if (w->maximized != maximizedSent_[x]) {
      maximizedSent_[x] = w->maximized;
      SendState(x, w->maximized, stateMaxH_, stateMaxV_);
    }
    XFlush(dpy_);
  }

  void Title(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    std::string t = brumkey::WideToUtf8(w->title);
    XChangeProperty(dpy_, x->win, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(t.data()), static_cast<int>(t.size()));
    XStoreName(dpy_, x->win, t.c_str());
    XFlush(dpy_);
  }

  void Restack(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    if (x->wantMapped) {
      XRaiseWindow(dpy_, x->win);
      SendState(x, w->topmost, stateAbove_, 0);
      RaiseTopmost();
    }
    XFlush(dpy_);
  }

  void StyleChanged(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    bool wantArgb = (w->exStyle & WS_EX_LAYERED) && !(w->style & WS_CHILD) && argbVisual_ &&
                    HasCompositor();
    std::lock_guard lk(mu_);
    if (wantArgb != x->argb) {
      // The visual is fixed at creation: make the window again.
      bool mapped = x->wantMapped;
      if (x->stage) FreeBackBuffer(w, x->stage);
      DropXWindow(x);
      *x = XWin{};
      MakeXWindowLocked(w, x);
      if (mapped) {
        x->wantMapped = true;
        ApplyHints(w, x);
        XMapRaised(dpy_, x->win);
        x->everMapped = true;
      }
    } else {
      ApplyHints(w, x);
    }
    ShapeLocked(w, x);
    XFlush(dpy_);
  }

  // ---- buffers and presenting ----------------------------------------------------
  cairo_surface_t* CreateBackBuffer(WindowObject*, int width, int height) override {
    auto* b = new Buffer;
    b->width = width;
    b->height = height;
    size_t stride = static_cast<size_t>(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width));
    size_t bytes = stride * static_cast<size_t>(height);
    if (shm_) {
      std::lock_guard lk(mu_);
      int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
      if (id >= 0) {
        void* p = shmat(id, nullptr, 0);
        if (p != reinterpret_cast<void*>(-1)) {
          b->shm.shmid = id;
          b->shm.shmaddr = static_cast<char*>(p);
          b->shm.readOnly = False;
          g_lastError = 0;
          XShmAttach(dpy_, &b->shm);
          XSync(dpy_, False);
          if (g_lastError == 0) {
            b->useShm = true;
            b->data = static_cast<unsigned char*>(p);
          } else {
            shmdt(p);
            shm_ = false;  // a remote display: plain images from now on
          }
        }
        shmctl(id, IPC_RMID, nullptr);
      }
    }
    if (!b->data) b->data = static_cast<unsigned char*>(std::calloc(1, bytes));
    b->surface = cairo_image_surface_create_for_data(b->data, CAIRO_FORMAT_ARGB32, width, height,
                                                     static_cast<int>(stride));
    static cairo_user_data_key_t key;
    cairo_surface_set_user_data(b->surface, &key, b, nullptr);
    std::lock_guard lk(mu_);
    buffers_[b->surface] = b;
    return b->surface;
  }

  void FreeBackBuffer(WindowObject*, cairo_surface_t* s) override {
    Buffer* b;
    {
      std::lock_guard lk(mu_);
      auto it = buffers_.find(s);
      if (it == buffers_.end()) return;
      b = it->second;
      buffers_.erase(it);
      cairo_surface_destroy(s);
      if (b->useShm) {
        XShmDetach(dpy_, &b->shm);
        XSync(dpy_, False);
        shmdt(b->shm.shmaddr);
      } else {
        std::free(b->data);
      }
    }
    delete b;
  }

  void Present(WindowObject* w, const RECT& r) override {
    auto* x = X(w);
    if (!x || !w->back) return;
    std::lock_guard lk(mu_);
    auto it = buffers_.find(w->back);
    if (it == buffers_.end()) return;
    Buffer* b = it->second;
    RECT c{std::max<LONG>(0, r.left), std::max<LONG>(0, r.top), std::min<LONG>(b->width, r.right),
           std::min<LONG>(b->height, r.bottom)};
    if (c.right <= c.left || c.bottom <= c.top) return;
    bool layered = w->exStyle & WS_EX_LAYERED;
    bool pixelShape = layered && (!x->argb || (w->lwaFlags & LWA_COLORKEY));
    int depth = x->argb ? 32 : DefaultDepth(dpy_, screen_);
    Visual* visual = x->argb ? argbVisual_ : DefaultVisual(dpy_, screen_);
    unsigned char* src = b->data;
    if (layered && !x->argb) {
      // No compositor: what is inside the shape is shown opaque, so undo the
      // premultiplication or half-transparent pixels would look dark.
      static const auto* lut = [] {
        // lut[a][v] = v * 255 / a, rounded and clamped.
        auto* t = new std::array<std::array<std::uint8_t, 256>, 256>;
        for (unsigned a = 0; a < 256; ++a)
          for (unsigned v = 0; v < 256; ++v)
            (*t)[a][v] = static_cast<std::uint8_t>(a ? std::min(255u, (v * 255 + a / 2) / a) : 0u);
        return t;
      }();
      if (x->stage && (cairo_image_surface_get_width(x->stage) != b->width ||
                       cairo_image_surface_get_height(x->stage) != b->height)) {
        FreeBackBuffer(w, x->stage);
        x->stage = nullptr;
      }
      if (!x->stage) {
        x->stage = CreateBackBuffer(w, b->width, b->height);
        c = RECT{0, 0, b->width, b->height};
      }
      Buffer* st = buffers_[x->stage];
      auto* in = reinterpret_cast<std::uint32_t*>(b->data);
      auto* out = reinterpret_cast<std::uint32_t*>(st->data);
      for (LONG yy = c.top; yy < c.bottom; ++yy) {
        size_t row = static_cast<size_t>(yy) * static_cast<size_t>(b->width);
        for (LONG xx = c.left; xx < c.right; ++xx) {
          std::uint32_t p = in[row + static_cast<size_t>(xx)];
          unsigned a = p >> 24;
          if (a == 0 || a == 255) {
            out[row + static_cast<size_t>(xx)] = p;
            continue;
          }
          const auto& u = (*lut)[a];
          out[row + static_cast<size_t>(xx)] = (p & 0xFF000000u) |
                                               (static_cast<std::uint32_t>(u[(p >> 16) & 0xFF]) << 16) |
                                               (static_cast<std::uint32_t>(u[(p >> 8) & 0xFF]) << 8) |
                                               u[p & 0xFF];
        }
      }
      b = st;
      src = st->data;
    }
    if (b->useShm) {
      XImage* img = XShmCreateImage(dpy_, visual, static_cast<unsigned>(depth), ZPixmap,
                                    reinterpret_cast<char*>(b->data), &b->shm,
                                    static_cast<unsigned>(b->width), static_cast<unsigned>(b->height));
      if (img) {
        XShmPutImage(dpy_, x->win, x->gc, img, c.left, c.top, c.left, c.top,
                     static_cast<unsigned>(c.right - c.left), static_cast<unsigned>(c.bottom - c.top), False);
        img->data = nullptr;
        XDestroyImage(img);
      }
    } else {
      XImage* img = XCreateImage(dpy_, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(src), static_cast<unsigned>(b->width),
                                 static_cast<unsigned>(b->height), 32,
                                 cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, b->width));
      if (img) {
        XPutImage(dpy_, x->win, x->gc, img, c.left, c.top, c.left, c.top,
                  static_cast<unsigned>(c.right - c.left), static_cast<unsigned>(c.bottom - c.top));
        img->data = nullptr;
        XDestroyImage(img);
      }
    }
    if (pixelShape || x->shapeFromPixels) {
      x->shapeFromPixels = pixelShape;
      ShapeLocked(w, x);
    }
    // The server reads shared memory after we return; the next frame may be
    // drawn into it right away.
    XSync(dpy_, False);
  }

  void ShapeChanged(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    double op = (w->exStyle & WS_EX_LAYERED) ? w->constAlpha / 255.0 : 1.0;
    if (op < 1.0) {
      unsigned long v = static_cast<unsigned long>(op * 0xFFFFFFFFu);
      XChangeProperty(dpy_, x->win, opacity_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&v), 1);
    } else {
      XDeleteProperty(dpy_, x->win, opacity_);
    }
    ShapeLocked(w, x);
    XFlush(dpy_);
  }

  void Cursor(WindowObject* w, HCURSOR c) override {
    auto* x = X(w);
    if (!x || !c) return;
    std::lock_guard lk(mu_);
    XDefineCursor(dpy_, x->win, FontCursor(c->id));
    XFlush(dpy_);
  }

  void Icon(WindowObject* w) override {
    auto* x = X(w);
    if (!x) return;
    std::lock_guard lk(mu_);
    std::vector<unsigned long> data;
    for (HICON i : {w->iconBig, w->iconSmall}) {
      if (!i || !i->image) continue;
      int iw = cairo_image_surface_get_width(i->image), ih = cairo_image_surface_get_height(i->image);
      int stride = cairo_image_surface_get_stride(i->image);
      unsigned char* d = cairo_image_surface_get_data(i->image);
      data.push_back(static_cast<unsigned long>(iw));
      data.push_back(static_cast<unsigned long>(ih));
      for (int yy = 0; yy < ih; ++yy)
        for (int xx = 0; xx < iw; ++xx) {
          std::uint32_t p = reinterpret_cast<std::uint32_t*>(d + yy * stride)[xx];
          unsigned a = p >> 24;
          auto un = [a](unsigned v) { return a ? std::min(255u, (v * 255 + a / 2) / a) : 0u; };
          data.push_back((static_cast<unsigned long>(a) << 24) | (un((p >> 16) & 0xFF) << 16) |
                         (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF));
        }
    }
    if (data.empty())
      XDeleteProperty(dpy_, x->win, netWmIcon_);
    else
      XChangeProperty(dpy_, x->win, netWmIcon_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    XFlush(dpy_);
  }

  bool BeginMove(WindowObject* w, POINT p) override {
    auto* x = X(w);
    if (!x || !Supports(moveResize_)) return false;
    std::lock_guard lk(mu_);
    XUngrabPointer(dpy_, CurrentTime);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x->win;
    e.xclient.message_type = moveResize_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = p.x;
    e.xclient.data.l[1] = p.y;
    e.xclient.data.l[2] = 8;  // move
    e.xclient.data.l[3] = Button1;
    e.xclient.data.l[4] = 1;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy_);
    return true;
  }

  void Capture(WindowObject* w, bool on) override {
    auto* x = X(w);
    std::lock_guard lk(mu_);
    if (on && x) {
      XGrabPointer(dpy_, x->win, False,
                   ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                       LeaveWindowMask,
                   GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
      grabbed_ = true;
    } else {
      XUngrabPointer(dpy_, CurrentTime);
      grabbed_ = false;
    }
    XFlush(dpy_);
  }

  void Focus(WindowObject* w) override {
    auto* x = X(w);
    if (!x || !x->wantMapped) return;
    std::lock_guard lk(mu_);
    XWindowAttributes attr;
    if (XGetWindowAttributes(dpy_, x->win, &attr) && attr.map_state == IsViewable)
      XSetInputFocus(dpy_, x->win, RevertToParent, CurrentTime);
    XFlush(dpy_);
  }

  void Screen(RECT* screen, RECT* work) override {
    std::lock_guard lk(mu_);
    *screen = RECT{0, 0, DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)};
    *work = *screen;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, root_, workArea_, 0, 4, False, XA_CARDINAL, &type, &format, &n,
                           &after, &data) == Success &&
        data && n >= 4 && format == 32) {
      auto* v = reinterpret_cast<long*>(data);
      *work = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
                   static_cast<LONG>(v[1] + v[3])};
    }
    if (data) XFree(data);
  }

  POINT CursorPos() override {
    std::lock_guard lk(mu_);
    Window r, c;
    int rx = 0, ry = 0, wx, wy;
    unsigned mask;
    XQueryPointer(dpy_, root_, &r, &c, &rx, &ry, &wx, &wy, &mask);
    return POINT{rx, ry};
  }

  void WarpCursor(int x, int y) override {
    std::lock_guard lk(mu_);
    XWarpPointer(dpy_, None, root_, 0, 0, 0, 0, x, y);
    XFlush(dpy_);
  }

  // X confines the pointer only to a window during a grab; keeping it inside
  // the rectangle by moving it back in is what stands in for it.
  void ClipCursor(const RECT* r) override {
    if (!r) return;
    POINT p = CursorPos();
    int cx = std::clamp<int>(p.x, r->left, std::max(r->left, r->right - 1));
    int cy = std::clamp<int>(p.y, r->top, std::max(r->top, r->bottom - 1));
    if (cx != p.x || cy != p.y) WarpCursor(cx, cy);
  }

  void SynthesizeKey(UINT vk, bool down) override {
    std::lock_guard lk(mu_);
    if (!xtest_) return;
    KeySym sym = x11::VkToKeysym(vk);
    if (sym == NoSymbol) return;
    KeyCode code = XKeysymToKeycode(dpy_, sym);
    if (!code) return;
    XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
    XFlush(dpy_);
  }

  // ---- clipboard ---------------------------------------------------------------------
  bool SetClipboard(const std::wstring& text) override {
    std::lock_guard lk(mu_);
    clipText_ = brumkey::WideToUtf8(text);
    XSetSelectionOwner(dpy_, clipboard_, clipWin_, CurrentTime);
    bool ok = XGetSelectionOwner(dpy_, clipboard_) == clipWin_;
    ownClip_ = ok;
    return ok;
  }

  bool GetClipboard(std::wstring* text) override {
    // mu_ is held throughout, so the pump cannot take the answer first.
    std::lock_guard lk(mu_);
    Window owner = XGetSelectionOwner(dpy_, clipboard_);
    if (owner == None) return false;
    if (owner == clipWin_) {
      *text = brumkey::Utf8ToWide(clipText_);
      return true;
    }
    XDeleteProperty(dpy_, clipWin_, clipProp_);
    XConvertSelection(dpy_, clipboard_, utf8_, clipProp_, clipWin_, CurrentTime);
    XFlush(dpy_);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    XEvent e;
    for (;;) {
      if (XCheckTypedWindowEvent(dpy_, clipWin_, SelectionNotify, &e)) break;
      if (std::chrono::steady_clock::now() > end) return false;
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      ::poll(&p, 1, 10);
    }
    if (e.xselection.property == None) return false;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    bool ok = false;
    if (XGetWindowProperty(dpy_, clipWin_, clipProp_, 0, 1 << 24, True, AnyPropertyType, &type,
                           &format, &n, &after, &data) == Success &&
        data && format == 8) {
      *text = brumkey::Utf8ToWide(std::string(reinterpret_cast<char*>(data), n));
      ok = true;
    }
    if (data) XFree(data);
    return ok;
  }

  int EventFd() override { return ConnectionNumber(dpy_); }
  bool HasQueued() override {
    std::lock_guard lk(mu_);
    return XEventsQueued(dpy_, QueuedAlready) > 0;
  }

  DWORD InputTime() override { return static_cast<DWORD>(core::NowMs()); }

  // ---- events ----------------------------------------------------------------------------
  void Pump() override {
    for (;;) {
      XEvent e;
      {
        std::lock_guard lk(mu_);
        if (!XPending(dpy_)) return;
        XNextEvent(dpy_, &e);
        // Only the latest of a run of moves matters.
        if (e.type == MotionNotify)
          while (XCheckTypedWindowEvent(dpy_, e.xmotion.window, MotionNotify, &e)) {
          }
      }
      Handle(e);
    }
  }

 private:
  XWin* X(WindowObject* w) { return w ? static_cast<XWin*>(w->native) : nullptr; }

  HWND Find(Window win) {
    std::lock_guard lk(mu_);
    auto it = byWindow_.find(win);
    return it == byWindow_.end() ? nullptr : it->second;
  }

  bool MakeXWindow(WindowObject* w, XWin* x) {
    std::lock_guard lk(mu_);
    return MakeXWindowLocked(w, x);
  }

  bool MakeXWindowLocked(WindowObject* w, XWin* x) {
    bool child = w->style & WS_CHILD;
    Window parent = root_;
    if (child && w->parent && w->parent->native) parent = static_cast<XWin*>(w->parent->native)->win;
    bool argb = (w->exStyle & WS_EX_LAYERED) && !child && argbVisual_ &&
                XGetSelectionOwner(dpy_, cmAtom_) != None;
    XSetWindowAttributes a{};
    unsigned long mask = CWEventMask | CWBackPixmap | CWBorderPixel | CWBitGravity;
    a.background_pixmap = None;
    a.border_pixel = 0;
    a.bit_gravity = NorthWestGravity;
    a.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                   PointerMotionMask | EnterWindowMask | LeaveWindowMask | KeyPressMask |
                   KeyReleaseMask | FocusChangeMask | PropertyChangeMask;
    Visual* visual = CopyFromParent;
    int depth = CopyFromParent;
    if (argb) {
      x->cmap = XCreateColormap(dpy_, root_, argbVisual_, AllocNone);
      a.colormap = x->cmap;
      mask |= CWColormap;
      visual = argbVisual_;
      depth = 32;
    }
    RECT r = w->rect;
    x->win = XCreateWindow(dpy_, parent, r.left, r.top,
                           static_cast<unsigned>(std::max<LONG>(1, r.right - r.left)),
                           static_cast<unsigned>(std::max<LONG>(1, r.bottom - r.top)), 0, depth,
                           InputOutput, visual, mask, &a);
    if (!x->win) return false;
    x->argb = argb;
    x->gc = XCreateGC(dpy_, x->win, 0, nullptr);
    byWindow_[x->win] = w;
    if (!child) {
      XSetWMProtocols(dpy_, x->win, &wmDelete_, 1);
      XClassHint ch;
      std::string cls = brumkey::WideToUtf8(w->className);
      std::string inst = "brumkey";
      ch.res_name = inst.data();
      ch.res_class = cls.data();
      XSetClassHint(dpy_, x->win, &ch);
      long pid = static_cast<long>(::getpid());
      XChangeProperty(dpy_, x->win, netWmPid_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&pid), 1);
      std::string t = brumkey::WideToUtf8(w->title);
      XChangeProperty(dpy_, x->win, netWmName_, utf8_, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(t.data()), static_cast<int>(t.size()));
      XStoreName(dpy_, x->win, t.c_str());
      ApplyHints(w, x);
    }
    XFlush(dpy_);
    return true;
  }

  void DropXWindow(XWin* x) {
    if (!x->win) return;
    byWindow_.erase(x->win);
    maximizedSent_.erase(x);
    if (x->gc) XFreeGC(dpy_, x->gc);
    XDestroyWindow(dpy_, x->win);
    if (x->cmap) XFreeColormap(dpy_, x->cmap);
    XFlush(dpy_);
    x->win = 0;
  }

  void SetSizeHints(WindowObject* w, XWin* x) {
    if (w->style & WS_CHILD) return;
    XSizeHints* h = XAllocSizeHints();
    h->flags = USPosition | PPosition | USSize | PSize;
    h->x = w->rect.left;
    h->y = w->rect.top;
    h->width = w->rect.right - w->rect.left;
    h->height = w->rect.bottom - w->rect.top;
    if (!(w->style & WS_THICKFRAME)) {
      // Only the program sizes windows without a sizing border.
      h->flags |= PMinSize | PMaxSize;
      h->min_width = h->max_width = h->width;
      h->min_height = h->max_height = h->height;
    }
    XSetWMNormalHints(dpy_, x->win, h);
    XFree(h);
  }

  // Window-manager hints from the Windows styles.
  void ApplyHints(WindowObject* w, XWin* x) {
    if (w->style & WS_CHILD) return;
    struct {
      unsigned long flags, functions, decorations;
      long input;
      unsigned long status;
    } motif{2, 0, (w->style & WS_CAPTION) == WS_CAPTION ? 1ul : 0ul, 0, 0};
    XChangeProperty(dpy_, x->win, motifHints_, motifHints_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);
    Atom type = (w->exStyle & WS_EX_TOOLWINDOW) ? typeUtility_ : (w->owner ? typeDialog_ : typeNormal_);
    XChangeProperty(dpy_, x->win, netWmType_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    if (w->owner && w->owner->native)
      XSetTransientForHint(dpy_, x->win, static_cast<XWin*>(w->owner->native)->win);
    if (!x->wantMapped || !x->everMapped) {
      std::vector<Atom> states;
      if (w->topmost) states.push_back(stateAbove_);
      if (w->exStyle & WS_EX_TOOLWINDOW) states.push_back(stateSkipTaskbar_);
      XChangeProperty(dpy_, x->win, netWmState_, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
    }
    XWMHints* wm = XAllocWMHints();
    wm->flags = InputHint;
    wm->input = (w->exStyle & WS_EX_NOACTIVATE) ? False : True;
    XSetWMHints(dpy_, x->win, wm);
    XFree(wm);
    SetSizeHints(w, x);
  }

  void SendState(XWin* x, bool on, Atom a, Atom b) {
    if (!x->everMapped) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x->win;
    e.xclient.message_type = netWmState_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0;
    e.xclient.data.l[1] = static_cast<long>(a);
    e.xclient.data.l[2] = static_cast<long>(b);
    e.xclient.data.l[3] = 1;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  }

  // Without a window manager nothing keeps topmost windows in front.
  void RaiseTopmost() {
    auto z = core::ZOrder();
    for (auto it = z.rbegin(); it != z.rend(); ++it)
      if ((*it)->topmost && (*it)->native) XRaiseWindow(dpy_, static_cast<XWin*>((*it)->native)->win);
  }

  // Bounding shape: the region, cut by the colour key, and by alpha when
  // there is no compositor to blend. Click-through windows take no input.
  void ShapeLocked(WindowObject* w, XWin* x) {
    if (!shape_) return;
    bool layered = w->exStyle & WS_EX_LAYERED;
    bool byPixels = layered && w->back && (!x->argb || (w->lwaFlags & LWA_COLORKEY));
    if (!byPixels && !w->region) {
      if (x->shaped) XShapeCombineMask(dpy_, x->win, ShapeBounding, 0, 0, None, ShapeSet);
      x->shaped = false;
      x->lastShape.clear();
    } else {
      std::vector<XRectangle> rects;
      int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
      if (byPixels) {
        cairo_surface_t* s = w->back;
        int bw = std::min(width, cairo_image_surface_get_width(s));
        int bh = std::min(height, cairo_image_surface_get_height(s));
        int stride = cairo_image_surface_get_stride(s);
        unsigned char* d = cairo_image_surface_get_data(s);
        COLORREF k = w->colorKey;
        std::uint32_t keyPix = ((k & 0xFF) << 16) | (k & 0xFF00) | ((k >> 16) & 0xFF);
        bool useKey = w->lwaFlags & LWA_COLORKEY;
        bool useAlpha = !x->argb;
        for (int yy = 0; yy < bh; ++yy) {
          auto* row = reinterpret_cast<std::uint32_t*>(d + yy * stride);
          int start = -1;
          for (int xx = 0; xx <= bw; ++xx) {
            bool in = false;
            if (xx < bw) {
              std::uint32_t p = row[xx];
              in = true;
              if (useAlpha && (p >> 24) < 128) in = false;
              if (useKey && (p & 0xFFFFFF) == keyPix && (p >> 24) == 255) in = false;
              if (in && w->region && !PtInRegion(w->region, xx, yy)) in = false;
            }
            if (in && start < 0) start = xx;
            if (!in && start >= 0) {
              rects.push_back(XRectangle{static_cast<short>(start), static_cast<short>(yy),
                                         static_cast<unsigned short>(xx - start), 1});
              start = -1;
            }
          }
        }
      } else {
        for (const RECT& r : w->region->rects)
          rects.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                                     static_cast<unsigned short>(r.right - r.left),
                                     static_cast<unsigned short>(r.bottom - r.top)});
      }
      auto same = [](const XRectangle& a, const XRectangle& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
      };
      if (!x->shaped || rects.size() != x->lastShape.size() ||
          !std::equal(rects.begin(), rects.end(), x->lastShape.begin(), same)) {
        XShapeCombineRectangles(dpy_, x->win, ShapeBounding, 0, 0, rects.data(),
                                static_cast<int>(rects.size()), ShapeSet, YXBanded);
        x->lastShape = std::move(rects);
        x->shaped = true;
      }
    }
    bool clickThrough = w->exStyle & WS_EX_TRANSPARENT;
    if (clickThrough != x->clickThrough) {
      if (clickThrough)
        XShapeCombineRectangles(dpy_, x->win, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
      else
        XShapeCombineMask(dpy_, x->win, ShapeInput, 0, 0, None, ShapeSet);
      x->clickThrough = clickThrough;
    }
  }

  ::Cursor FontCursor(std::uintptr_t id) {
    auto it = cursors_.find(id);
    if (it != cursors_.end()) return it->second;
    unsigned shape = XC_left_ptr;
    switch (id) {
      case IDC_IBEAM: shape = XC_xterm; break;
      case IDC_WAIT: shape = XC_watch; break;
      case IDC_CROSS: shape = XC_crosshair; break;
      case IDC_SIZENWSE: shape = XC_bottom_right_corner; break;
      case IDC_SIZENESW: shape = XC_bottom_left_corner; break;
      case IDC_SIZEWE: shape = XC_sb_h_double_arrow; break;
      case IDC_SIZENS: shape = XC_sb_v_double_arrow; break;
      case IDC_SIZEALL: shape = XC_fleur; break;
      case IDC_NO: shape = XC_X_cursor; break;
      case IDC_HAND: shape = XC_hand2; break;
      default: break;
    }
    ::Cursor c = XCreateFontCursor(dpy_, shape);
    cursors_[id] = c;
    return c;
  }

  bool Supports(Atom a) {
    std::lock_guard lk(mu_);
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(dpy_, root_, netSupported_, 0, 4096, False, XA_ATOM, &type, &format, &n,
                           &after, &data) == Success &&
        data) {
      auto* atoms = reinterpret_cast<Atom*>(data);
      for (unsigned long i = 0; i < n; ++i)
        if (atoms[i] == a) found = true;
    }
    if (data) XFree(data);
    return found;
  }

  void AnswerSelection(const XSelectionRequestEvent& r) {
    std::lock_guard lk(mu_);
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = None;
    Atom prop = r.property == None ? r.target : r.property;
    if (ownClip_ && r.selection == clipboard_) {
      if (r.target == targets_) {
        Atom list[] = {targets_, utf8_, XA_STRING, textAtom_};
        XChangeProperty(dpy_, r.requestor, prop, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list), 4);
        reply.xselection.property = prop;
      } else if (r.target == utf8_ || r.target == XA_STRING || r.target == textAtom_) {
        XChangeProperty(dpy_, r.requestor, prop, r.target == XA_STRING ? XA_STRING : utf8_, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(clipText_.data()),
                        static_cast<int>(clipText_.size()));
        reply.xselection.property = prop;
      }
    }
    XSendEvent(dpy_, r.requestor, False, 0, &reply);
    XFlush(dpy_);
  }

  void Handle(XEvent& e) {
    switch (e.type) {
      case SelectionRequest:
        AnswerSelection(e.xselectionrequest);
        return;
      case SelectionClear: {
        std::lock_guard lk(mu_);
        if (e.xselectionclear.selection == clipboard_) ownClip_ = false;
        return;
      }
      default:
        break;
    }
    HWND w = Find(e.xany.window);
    if (!w || !core::Alive(w)) return;
    auto* x = X(w);
    switch (e.type) {
      case Expose: {
        RECT r{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height};
        core::Exposed(w, r);
        break;
      }
      case ConfigureNotify: {
        if (w->style & WS_CHILD) break;
        int rx = e.xconfigure.x, ry = e.xconfigure.y;
        {
          std::lock_guard lk(mu_);
          Window child;
          XTranslateCoordinates(dpy_, x->win, root_, 0, 0, &rx, &ry, &child);
        }
        RECT r{rx, ry, rx + e.xconfigure.width, ry + e.xconfigure.height};
        // Events older than our last request would undo it; newer ones
        // (also a window manager's answer to it) are the truth.
        bool ours = false;
        {
          std::lock_guard lk(mu_);
          ours = e.xconfigure.serial < x->configSerial;
        }
        if (!ours) core::NativeGeometry(w, r, -1);
        break;
      }
      case MapNotify:
        if (w->minimized) core::NativeGeometry(w, w->rect, 0);
        break;
      case UnmapNotify:
        if (x->wantMapped && !w->minimized && !(w->style & WS_CHILD)) core::NativeGeometry(w, w->rect, 1);
        break;
      case MotionNotify:
        core::MouseMove(POINT{e.xmotion.x_root, e.xmotion.y_root}, grabbed_ ? nullptr : w,
                        static_cast<DWORD>(e.xmotion.time));
        break;
      case EnterNotify:
        if (e.xcrossing.mode == NotifyNormal)
          core::MouseMove(POINT{e.xcrossing.x_root, e.xcrossing.y_root}, grabbed_ ? nullptr : w,
                          static_cast<DWORD>(e.xcrossing.time));
        break;
      case LeaveNotify:
        if (e.xcrossing.mode == NotifyNormal && e.xcrossing.detail != NotifyInferior && !grabbed_)
          core::MouseLeftAll(static_cast<DWORD>(e.xcrossing.time));
        break;
      case ButtonPress:
      case ButtonRelease: {
        bool down = e.type == ButtonPress;
        POINT p{e.xbutton.x_root, e.xbutton.y_root};
        DWORD t = static_cast<DWORD>(e.xbutton.time);
        HWND hint = grabbed_ ? nullptr : w;
        unsigned b = e.xbutton.button;
        if (b == Button1) core::MouseButton(1, down, p, hint, t);
        else if (b == Button2) core::MouseButton(2, down, p, hint, t);
        else if (b == Button3) core::MouseButton(3, down, p, hint, t);
        else if (down && (b == Button4 || b == Button5))
          core::MouseWheel(b == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, false, p, hint, t);
        else if (down && (b == 6 || b == 7))
          core::MouseWheel(b == 7 ? WHEEL_DELTA : -WHEEL_DELTA, true, p, hint, t);
        break;
      }
      case KeyPress:
      case KeyRelease: {
        KeySym base, typed = NoSymbol;
        char buf[16];
        {
          std::lock_guard lk(mu_);
          base = XLookupKeysym(&e.xkey, 0);
          XLookupString(&e.xkey, buf, sizeof buf, &typed, nullptr);
        }
        UINT vk = x11::KeysymToVk(base);
        if (!vk) vk = x11::KeysymToVk(typed);
        if (!vk) break;
        wchar_t chr = 0;
        if (e.type == KeyPress && !(e.xkey.state & ControlMask)) chr = x11::KeysymToChar(typed);
        if (e.type == KeyPress && (e.xkey.state & ControlMask)) {
          // Control letters type their control codes, as on Windows.
          if (vk >= 'A' && vk <= 'Z') chr = static_cast<wchar_t>(vk - 'A' + 1);
        }
        core::Key(vk, e.type == KeyPress, e.xkey.keycode >= 8 ? e.xkey.keycode - 8 : 0,
                  x11::IsExtendedKeysym(base), chr, static_cast<DWORD>(e.xkey.time));
        break;
      }
      case FocusIn:
        if (e.xfocus.mode != NotifyGrab && e.xfocus.mode != NotifyUngrab &&
            e.xfocus.detail != NotifyPointer && !(w->style & WS_CHILD))
          core::FocusGained(w);
        break;
      case FocusOut: {
        if (e.xfocus.mode == NotifyGrab || e.xfocus.mode == NotifyUngrab ||
            e.xfocus.detail == NotifyInferior || e.xfocus.detail == NotifyPointer)
          break;
        Window f;
        int rev;
        {
          std::lock_guard lk(mu_);
          XGetInputFocus(dpy_, &f, &rev);
        }
        if (!Find(f)) core::FocusLost();
        break;
      }
      case ClientMessage:
        if (e.xclient.message_type == wmProtocols_ && static_cast<Atom>(e.xclient.data.l[0]) == wmDelete_)
          core::CloseRequested(w);
        break;
      default:
        break;
    }
  }

  Display* dpy_;
  int screen_;
  Window root_;
  Visual* argbVisual_ = nullptr;
  bool shm_ = false, shape_ = false, xtest_ = false, grabbed_ = false;
  std::recursive_mutex mu_;
  std::unordered_map<Window, HWND> byWindow_;
  std::unordered_map<cairo_surface_t*, Buffer*> buffers_;
  std::unordered_map<XWin*, bool> maximizedSent_;
  std::unordered_map<std::uintptr_t, ::Cursor> cursors_;
  Window clipWin_ = 0;
  std::string clipText_;
  bool ownClip_ = false;
  Atom wmProtocols_, wmDelete_, netWmName_, utf8_, netWmType_, typeNormal_, typeDialog_,
      typeUtility_, netWmState_, stateAbove_, stateSkipTaskbar_, stateMaxH_, stateMaxV_,
      motifHints_, netWmIcon_, netWmPid_, opacity_, moveResize_, netSupported_, workArea_,
      clipboard_, targets_, textAtom_, clipProp_, cmAtom_;
};

}  // namespace

std::unique_ptr<Backend> MakeX11Backend() {
  static bool threads = XInitThreads();
  (void)threads;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  XSetErrorHandler(IgnoreErrors);
  return std::make_unique<X11Backend>(d);
}

}  // namespace kelvo::platform
