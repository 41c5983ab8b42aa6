// Windows, classes, per-thread message queues and input routing, shared by
// every backend. Backends only create native windows, present frames and
// report device input.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_set>

#include "ui/platform/common/internal.h"

namespace kelvo::platform {

namespace {

struct ClassRecord {
  std::wstring name;
  WNDCLASSEX wc;
};

// Registry shared by all threads. Lock order: g_mu, then a window's paintMu,
// then a queue's mu. No window procedure runs with g_mu held.
std::recursive_mutex g_mu;
std::unordered_set<WindowObject*> g_windows;
std::map<std::wstring, ClassRecord> g_classes;
std::map<DWORD, std::weak_ptr<ThreadQueue>> g_queues;
std::vector<HWND> g_z;  // visible or not, top-level only, front first
std::unique_ptr<Backend> g_backend;
std::mutex g_pumpMu;
HWND g_capture = nullptr, g_active = nullptr, g_focus = nullptr;
HWND g_mouseWin = nullptr;  // window under the pointer
POINT g_cursor;
BYTE g_async[256] = {};
HCURSOR g_cursorNow = nullptr;
// Double clicks.
HWND g_clickWin = nullptr;
int g_clickButton = 0;
DWORD g_clickTime = 0;
POINT g_clickPt;
bool g_clickWasDouble = false;
// Software window move (no window manager to do it).
HWND g_moveWin = nullptr;
POINT g_moveStart;
RECT g_moveRect;
MonitorObject g_monitor;

constexpr UINT kMinTimer = 10;
constexpr int kDoubleClickBox = 4;
constexpr int kHoverBox = 4;

std::uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD ThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

// Fails the sent messages still waiting when a thread's queue goes away.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> q;
  ~QueueHolder() {
    if (!q) return;
    std::deque<std::shared_ptr<SentMessage>> pending;
    {
      std::lock_guard lk(q->mu);
      q->alive = false;
      pending.swap(q->sent);
    }
    for (auto& sm : pending) {
      std::lock_guard lk(sm->sender->mu);
      sm->done = true;
      sm->sender->Wake();
    }
    std::lock_guard g(g_mu);
    g_queues.erase(q->tid);
  }
};
thread_local QueueHolder t_queue;

ThreadQueue* MyQueue() {
  if (!t_queue.q) {
    t_queue.q = std::make_shared<ThreadQueue>();
    std::lock_guard g(g_mu);
    g_queues[t_queue.q->tid] = t_queue.q;
  }
  return t_queue.q.get();
}
std::shared_ptr<ThreadQueue> MyQueueShared() {
  MyQueue();
  return t_queue.q;
}

bool AliveLocked(HWND w) { return w && g_windows.count(w) && !w->destroying; }
bool AliveAny(HWND w) {
  std::lock_guard g(g_mu);
  return w && g_windows.count(w);
}

HWND TopLevel(HWND w) {
  while (w && (w->style & WS_CHILD) && w->parent) w = w->parent;
  return w;
}

bool IsVisibleChain(HWND w) {
  for (; w; w = (w->style & WS_CHILD) ? w->parent : nullptr)
    if (!w->visible) return false;
  return true;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}
RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  return Empty(r) ? RECT{} : r;
}
bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Screen origin of a window's client area.
POINT Origin(HWND w) {
  POINT o{0, 0};
  for (HWND c = w; c; c = (c->style & WS_CHILD) ? c->parent : nullptr) {
    o.x += c->rect.left;
    o.y += c->rect.top;
  }
  return o;
}

LRESULT CallProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  WNDPROC p = w->proc;
  return p ? p(w, msg, wp, lp) : DefWindowProc(w, msg, wp, lp);
}

WORD MouseKeys() {
  std::lock_guard g(g_mu);
  WORD k = 0;
  if (g_async[VK_LBUTTON] & 0x80) k |= MK_LBUTTON;
  if (g_async[VK_RBUTTON] & 0x80) k |= MK_RBUTTON;
  if (g_async[VK_MBUTTON] & 0x80) k |= MK_MBUTTON;
  if (g_async[VK_SHIFT] & 0x80) k |= MK_SHIFT;
  if (g_async[VK_CONTROL] & 0x80) k |= MK_CONTROL;
  return k;
}

void PushInput(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD time, wchar_t chr = 0) {
  std::shared_ptr<ThreadQueue> q;
  POINT pt;
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return;
    q = w->queue;
    pt = g_cursor;
  }
  {
    std::lock_guard lk(q->mu);
    // Moves are coalesced like a real queue does: only the latest counts.
    if (msg == WM_MOUSEMOVE && !q->input.empty() && q->input.back().message == WM_MOUSEMOVE &&
        q->input.back().hwnd == w) {
      q->input.back().wParam = wp;
      q->input.back().lParam = lp;
      q->input.back().time = time;
      q->input.back().pt = pt;
    } else {
      MSG m;
      m.hwnd = w;
      m.message = msg;
      m.wParam = wp;
      m.lParam = lp;
      m.time = time;
      m.pt = pt;
      m.chr = chr;
      q->input.push_back(m);
    }
  }
  q->Wake();
}

void RunOn(const std::shared_ptr<ThreadQueue>& q, std::function<void()> fn) {
  {
    std::lock_guard lk(q->mu);
    q->tasks.push_back(std::move(fn));
  }
  q->Wake();
}

HWND HitTest(POINT p) {
  std::lock_guard g(g_mu);
  for (HWND w : g_z) {
    if (!w->visible || w->minimized || (w->exStyle & WS_EX_TRANSPARENT)) continue;
    if (!Contains(w->rect, p)) continue;
    if (w->region && !PtInRegion(w->region, p.x - w->rect.left, p.y - w->rect.top)) continue;
    HWND cur = w;
    for (bool deeper = true; deeper;) {
      deeper = false;
      POINT o = Origin(cur);
      for (auto it = cur->children.rbegin(); it != cur->children.rend(); ++it) {
        HWND c = *it;
        if (!c->visible) continue;
        RECT r = c->rect;
        if (Contains(r, POINT{p.x - o.x, p.y - o.y})) {
          cur = c;
          deeper = true;
          break;
        }
      }
    }
    return cur;
  }
  return nullptr;
}

void Raise(HWND top) {
  std::lock_guard g(g_mu);
  auto it = std::find(g_z.begin(), g_z.end(), top);
  if (it == g_z.end()) return;
  g_z.erase(it);
  // Topmost windows stay ahead of the others.
  auto pos = g_z.begin();
  if (!top->topmost)
    while (pos != g_z.end() && (*pos)->topmost) ++pos;
  g_z.insert(pos, top);
}

void Activate(HWND top, WORD how);

void EnsureBackBuffer(HWND w) {
  int cw = std::max(1, Width(w->rect)), ch = std::max(1, Height(w->rect));
  if (w->back && cairo_image_surface_get_width(w->back) == cw &&
      cairo_image_surface_get_height(w->back) == ch)
    return;
  cairo_surface_t* old = w->back;
  cairo_surface_t* s = core::Get()->CreateBackBuffer(w, cw, ch);
  if (old) {
    // Keep what was drawn so a grow repaints only where it must.
    cairo_t* cr = cairo_create(s);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, old, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    core::Get()->FreeBackBuffer(w, old);
  }
  cairo_surface_flush(s);
  std::lock_guard lk(w->paintMu);
  w->back = s;
}

void InvalidateAll(HWND w, bool erase) {
  if (!w) return;
  InvalidateRect(w, nullptr, erase);
}

void EndMove(DWORD) {
  HWND w = g_moveWin;
  g_moveWin = nullptr;
  if (w && core::Alive(w)) SendMessage(w, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace

// ---- ThreadQueue ---------------------------------------------------------------
ThreadQueue::ThreadQueue() : tid(ThreadId()), eventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
ThreadQueue::~ThreadQueue() {
  if (eventFd >= 0) ::close(eventFd);
}
void ThreadQueue::Wake() {
  std::uint64_t one = 1;
  if (eventFd >= 0) (void)!::write(eventFd, &one, sizeof one);
}

// ---- backend -----------------------------------------------------------------------
namespace core {

Backend* Get() {
  std::lock_guard g(g_mu);
  if (!g_backend) {
    const char* env = std::getenv("KELVO_PLATFORM");
    const char* disp = std::getenv("DISPLAY");
    bool wantX = env ? std::strcmp(env, "x11") == 0 : (disp && *disp);
    if (wantX) {
      g_backend = MakeX11Backend();
      if (!g_backend) std::fprintf(stderr, "kelvo: no X display, using the headless backend\n");
    }
    if (!g_backend) g_backend = MakeHeadlessBackend();
  }
  return g_backend.get();
}

std::uint64_t NowMs() { return SteadyMs(); }

bool Alive(HWND w) {
  std::lock_guard g(g_mu);
  return AliveLocked(w);
}

WindowObject* Capture() {
  std::lock_guard g(g_mu);
  return g_capture;
}

std::vector<HWND> ZOrder() {
  std::lock_guard g(g_mu);
  std::vector<HWND> out;
  for (HWND w : g_z)
    if (w->visible) out.push_back(w);
  return out;
}

BYTE AsyncKeyState(UINT vk) {
  std::lock_guard g(g_mu);
  return g_async[vk & 0xFF];
}

void MouseLeftAll(DWORD time) {
  HWND leave = nullptr;
  {
    std::lock_guard g(g_mu);
    if (AliveLocked(g_mouseWin) && (g_mouseWin->trackFlags & TME_LEAVE)) {
      leave = g_mouseWin;
      leave->trackFlags &= ~TME_LEAVE;
    }
    g_mouseWin = nullptr;
  }
  if (leave) PushInput(leave, WM_MOUSELEAVE, 0, 0, time);
}

void MouseMove(POINT screen, HWND hint, DWORD time) {
  HWND target, leave = nullptr, moveWin;
  {
    std::lock_guard g(g_mu);
    g_cursor = screen;
    moveWin = g_moveWin;
  }
  if (moveWin) {
    if (core::Alive(moveWin)) {
      RECT r = g_moveRect;
      MoveWindow(moveWin, r.left + screen.x - g_moveStart.x, r.top + screen.y - g_moveStart.y,
                 Width(r), Height(r), TRUE);
    }
    return;
  }
  HWND hit = hint ? hint : HitTest(screen);
  if (hint && !core::Alive(hint)) hit = HitTest(screen);
  {
    std::lock_guard g(g_mu);
    if (hit != g_mouseWin) {
      if (AliveLocked(g_mouseWin) && (g_mouseWin->trackFlags & TME_LEAVE)) {
        leave = g_mouseWin;
        leave->trackFlags &= ~TME_LEAVE;
      }
      g_mouseWin = hit;
    }
    target = AliveLocked(g_capture) ? g_capture : hit;
    if (target && target != g_capture && (target->style & WS_DISABLED)) target = nullptr;
  }
  if (leave) PushInput(leave, WM_MOUSELEAVE, 0, 0, time);
  if (!target) return;
  POINT o = Origin(target);
  PushInput(target, WM_MOUSEMOVE, MouseKeys(), MAKELPARAM(screen.x - o.x, screen.y - o.y), time);
}

void MouseButton(int button, bool down, POINT screen, HWND hint, DWORD time) {
  static const UINT vks[4] = {0, VK_LBUTTON, VK_MBUTTON, VK_RBUTTON};
  if (button < 1 || button > 3) return;
  {
    std::lock_guard g(g_mu);
    g_cursor = screen;
    if (down)
      g_async[vks[button]] |= 0x80;
    else
      g_async[vks[button]] &= 0x7F;
  }
  if (g_moveWin) {
    if (!down && button == 1) EndMove(time);
    return;
  }
  HWND hit = (hint && core::Alive(hint)) ? hint : HitTest(screen);
  HWND target;
  {
    std::lock_guard g(g_mu);
    target = AliveLocked(g_capture) ? g_capture : hit;
    if (target && target != g_capture && (target->style & WS_DISABLED)) target = nullptr;
  }
  if (!target) return;
  UINT base = button == 1 ? WM_LBUTTONDOWN : button == 3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
  UINT msg = down ? base : base + 1;
  if (down) {
    bool isDouble = false;
    if ((target->classStyle & CS_DBLCLKS) && g_clickWin == target && g_clickButton == button &&
        !g_clickWasDouble && time - g_clickTime <= GetDoubleClickTime() &&
        std::abs(screen.x - g_clickPt.x) <= kDoubleClickBox / 2 &&
        std::abs(screen.y - g_clickPt.y) <= kDoubleClickBox / 2)
      isDouble = true;
    if (isDouble) msg = base + 2;
    g_clickWin = target;
    g_clickButton = button;
    g_clickTime = time;
    g_clickPt = screen;
    g_clickWasDouble = isDouble;
  }
  POINT o = Origin(target);
  PushInput(target, msg, MouseKeys(), MAKELPARAM(screen.x - o.x, screen.y - o.y), time);
}

void MouseWheel(int delta, bool horizontal, POINT screen, HWND hint, DWORD time) {
  HWND hit = (hint && core::Alive(hint)) ? hint : HitTest(screen);
  HWND target;
  {
    std::lock_guard g(g_mu);
    g_cursor = screen;
    target = AliveLocked(g_capture) ? g_capture : hit;
    if (!target) target = g_focus;
    if (target && (target->style & WS_DISABLED)) target = nullptr;
  }
  if (!target) return;
  PushInput(target, horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL, MAKEWPARAM(MouseKeys(), delta),
            MAKELPARAM(screen.x, screen.y), time);
}

void Key(UINT vk, bool down, UINT scan, bool extended, wchar_t chr, DWORD time) {
  vk &= 0xFF;
  bool wasDown, alt;
  HWND target;
  {
    std::lock_guard g(g_mu);
    wasDown = g_async[vk] & 0x80;
    auto set = [&](UINT k) {
      if (down) {
        if (!(g_async[k] & 0x80)) g_async[k] ^= 0x01;
        g_async[k] |= 0x80;
      } else {
        g_async[k] &= 0x7F;
      }
    };
    set(vk);
    // The generic keys follow their left/right forms.
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) set(VK_SHIFT);
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) set(VK_CONTROL);
    if (vk == VK_LMENU || vk == VK_RMENU) set(VK_MENU);
    if (!down) {
      if (vk == VK_LSHIFT || vk == VK_RSHIFT) {
        if ((g_async[VK_LSHIFT] | g_async[VK_RSHIFT]) & 0x80) g_async[VK_SHIFT] |= 0x80;
      }
      if (vk == VK_LCONTROL || vk == VK_RCONTROL) {
        if ((g_async[VK_LCONTROL] | g_async[VK_RCONTROL]) & 0x80) g_async[VK_CONTROL] |= 0x80;
      }
    }
    alt = g_async[VK_MENU] & 0x80;
    target = AliveLocked(g_focus) ? g_focus : (AliveLocked(g_active) ? g_active : nullptr);
    if (target && (target->style & WS_DISABLED)) target = nullptr;
  }
  if (!target) return;
  // Windows reports the generic modifier codes in key messages.
  UINT msgVk = vk;
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) msgVk = VK_SHIFT;
  if (vk == VK_LCONTROL || vk == VK_RCONTROL) msgVk = VK_CONTROL;
  if (vk == VK_LMENU || vk == VK_RMENU) msgVk = VK_MENU;
  bool sys = alt || msgVk == VK_F1 + 9;
  if (msgVk == VK_MENU) sys = true;
  if (alt && (g_async[VK_CONTROL] & 0x80)) sys = false;
  if (vk == VK_RSHIFT) scan = 0x36;
  if (vk == VK_LSHIFT && scan == 0) scan = 0x2A;
  if (vk == VK_RCONTROL || vk == VK_RMENU) extended = true;
  UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM lp = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16) | (extended ? (1 << 24) : 0) |
              (alt ? (1 << 29) : 0);
  if (down && wasDown) lp |= (1 << 30);
  if (!down) lp |= static_cast<LPARAM>(0xC0000000u);
  PushInput(target, msg, msgVk, lp, time, down ? chr : 0);
}

void FocusLost() {
  std::lock_guard g(g_mu);
  HWND a = g_active;
  if (!AliveLocked(a)) return;
  RunOn(a->queue, [a] {
    if (g_active == a) Activate(nullptr, WA_INACTIVE);
  });
}

void FocusGained(HWND top) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(top) || g_active == top || (top->style & WS_DISABLED)) return;
  RunOn(top->queue, [top] {
    if (core::Alive(top) && g_active != top) Activate(top, WA_ACTIVE);
  });
}

void CloseRequested(HWND top) {
  if (core::Alive(top)) PostMessage(top, WM_SYSCOMMAND, 0xF060, 0);
}

void NativeGeometry(HWND w, const RECT& r, int minimized) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w)) return;
  RunOn(w->queue, [w, r, minimized] {
    if (!core::Alive(w)) return;
    bool sized = Width(r) != Width(w->rect) || Height(r) != Height(w->rect);
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    if (minimized >= 0 && (minimized != 0) != w->minimized) {
      { std::lock_guard g(g_mu); w->minimized = minimized != 0; }
      SendMessage(w, WM_SIZE, w->minimized ? SIZE_MINIMIZED : SIZE_RESTORED,
                  MAKELPARAM(Width(w->rect), Height(w->rect)));
      if (w->minimized && g_active == w) Activate(nullptr, WA_INACTIVE);
    }
    if (!sized && !moved) return;
    { std::lock_guard g(g_mu); w->rect = r; }
    WINDOWPOS wp{w, nullptr, r.left, r.top, Width(r), Height(r), SWP_NOZORDER | SWP_NOACTIVATE};
    if (!sized) wp.flags |= SWP_NOSIZE;
    if (!moved) wp.flags |= SWP_NOMOVE;
    if (sized) InvalidateAll(w, true);
    SendMessage(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  });
}

void Exposed(HWND w, const RECT& r) {
  if (core::Alive(w)) InvalidateRect(w, &r, FALSE);
}

}  // namespace core

// ---- activation and focus ------------------------------------------------------------
namespace {

void Activate(HWND top, WORD how) {
  HWND old;
  {
    std::lock_guard g(g_mu);
    if (top == g_active) return;
    old = g_active;
    g_active = top;
  }
  if (old && core::Alive(old)) {
    SendMessage(old, WM_NCACTIVATE, FALSE, 0);
    SendMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    HWND f;
    {
      std::lock_guard g(g_mu);
      f = g_focus;
    }
    if (f && TopLevel(f) == old) {
      {
        std::lock_guard g(g_mu);
        g_focus = nullptr;
      }
      if (core::Alive(f)) SendMessage(f, WM_KILLFOCUS, reinterpret_cast<WPARAM>(top), 0);
    }
  }
  if (top && core::Alive(top)) {
    Raise(top);
    core::Get()->Restack(top);
    core::Get()->Focus(top);
    SendMessage(top, WM_NCACTIVATE, TRUE, 0);
    SendMessage(top, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(old));
  }
}

// Owner to activate when a window goes away or hides.
void ActivateSuccessor(HWND gone) {
  HWND next = nullptr;
  {
    std::lock_guard g(g_mu);
    if (g_active != gone) return;
    HWND o = gone->owner;
    if (AliveLocked(o) && o->visible && !o->minimized && !(o->style & WS_DISABLED)) next = o;
  }
  Activate(next, WA_ACTIVE);
}

}  // namespace

// ---- backend control -----------------------------------------------------------------
bool InitBackend(const char* name) {
  std::lock_guard g(g_mu);
  if (g_backend) return name == nullptr || std::strcmp(name, g_backend->Name()) == 0;
  if (name && std::strcmp(name, "x11") == 0) {
    g_backend = MakeX11Backend();
    return g_backend != nullptr;
  }
  if (name && std::strcmp(name, "headless") == 0) {
    g_backend = MakeHeadlessBackend();
    return true;
  }
  return core::Get() != nullptr;
}

void ShutdownBackend() {
  std::vector<HWND> mine;
  {
    std::lock_guard g(g_mu);
    for (HWND w : g_windows)
      if (w->tid == ThreadId() && !(w->style & WS_CHILD)) mine.push_back(w);
  }
  for (HWND w : mine)
    if (core::Alive(w)) DestroyWindow(w);
  std::lock_guard g(g_mu);
  g_backend.reset();
  g_capture = g_active = g_focus = g_mouseWin = g_clickWin = g_moveWin = nullptr;
  std::memset(g_async, 0, sizeof g_async);
}

const char* BackendName() { return core::Get()->Name(); }
bool HasCompositor() { return core::Get()->HasCompositor(); }

// ---- classes --------------------------------------------------------------------------
ATOM RegisterClassEx(const WNDCLASSEX* wc) {
  if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc) return 0;
  std::lock_guard g(g_mu);
  std::wstring name = wc->lpszClassName;
  if (g_classes.count(name)) return 0;
  ClassRecord rec{name, *wc};
  g_classes[name] = rec;
  g_classes[name].wc.lpszClassName = g_classes[name].name.c_str();
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL GetClassInfoEx(HINSTANCE, const wchar_t* className, WNDCLASSEX* out) {
  if (!className || !out) return FALSE;
  std::lock_guard g(g_mu);
  auto it = g_classes.find(className);
  if (it == g_classes.end()) return FALSE;
  *out = it->second.wc;
  return TRUE;
}

BOOL UnregisterClass(const wchar_t* className, HINSTANCE) {
  if (!className) return FALSE;
  std::lock_guard g(g_mu);
  for (HWND w : g_windows)
    if (w->className == className) return FALSE;
  return g_classes.erase(className) ? TRUE : FALSE;
}

// ---- windows ----------------------------------------------------------------------------
HWND CreateWindowEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                    int x, int y, int w, int h, HWND parent, HMENU menu, HINSTANCE instance,
                    void* param) {
  if (!className) return nullptr;
  Backend* be = core::Get();
  auto* win = new WindowObject;
  {
    std::lock_guard g(g_mu);
    auto it = g_classes.find(className);
    if (it == g_classes.end() || ((style & WS_CHILD) && !AliveLocked(parent))) {
      delete win;
      return nullptr;
    }
    win->className = className;
    win->proc = it->second.wc.lpfnWndProc;
    win->classStyle = it->second.wc.style;
    win->classCursor = it->second.wc.hCursor;
  }
  win->tid = ThreadId();
  win->queue = MyQueueShared();
  win->instance = instance;
  win->style = style & ~WS_VISIBLE;
  win->exStyle = exStyle & ~WS_EX_TOPMOST;
  win->topmost = exStyle & WS_EX_TOPMOST;
  win->title = title ? title : L"";
  win->id = reinterpret_cast<LONG_PTR>(menu);
  if (x == CW_USEDEFAULT) x = y = 100;
  if (w == CW_USEDEFAULT) w = 640, h = 480;
  win->rect = RECT{x, y, x + std::max(0, w), y + std::max(0, h)};
  {
    std::lock_guard g(g_mu);
    if (style & WS_CHILD) {
      win->parent = parent;
      parent->children.push_back(win);
    } else {
      win->owner = TopLevel(parent);
      if (!AliveLocked(win->owner)) win->owner = nullptr;
      g_z.insert(g_z.begin(), win);
      Raise(win);
    }
    g_windows.insert(win);
    MyQueue()->windows.push_back(win);
  }
  auto fail = [&]() -> HWND {
    DestroyWindow(win);
    return nullptr;
  };
  if (!(style & WS_CHILD)) {
    RECT screen, work;
    be->Screen(&screen, &work);
    MINMAXINFO mmi;
    mmi.ptMaxSize = POINT{Width(work), Height(work)};
    mmi.ptMaxPosition = POINT{work.left, work.top};
    mmi.ptMinTrackSize = POINT{1, 1};
    mmi.ptMaxTrackSize = POINT{Width(screen) + 16, Height(screen) + 16};
    CallProc(win, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    int cw = std::clamp<int>(Width(win->rect), mmi.ptMinTrackSize.x,
                             std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
    int ch = std::clamp<int>(Height(win->rect), mmi.ptMinTrackSize.y,
                             std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
    win->rect.right = win->rect.left + cw;
    win->rect.bottom = win->rect.top + ch;
  }
  if (!be->CreateNative(win)) return fail();
  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.x = win->rect.left;
  cs.y = win->rect.top;
  cs.cx = Width(win->rect);
  cs.cy = Height(win->rect);
  cs.style = static_cast<LONG>(style);
  cs.lpszName = win->title.c_str();
  cs.lpszClass = win->className.c_str();
  cs.dwExStyle = exStyle;
  if (!CallProc(win, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) return fail();
  if (!core::Alive(win)) return nullptr;
  RECT nc = win->rect;
  CallProc(win, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&nc));
  if (CallProc(win, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) return fail();
  if (!core::Alive(win)) return nullptr;
  CallProc(win, WM_SIZE, SIZE_RESTORED, MAKELPARAM(Width(win->rect), Height(win->rect)));
  CallProc(win, WM_MOVE, 0, MAKELPARAM(win->rect.left, win->rect.top));
  if (!core::Alive(win)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(win, SW_SHOW);
  return win;
}

BOOL DestroyWindow(HWND w) {
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w) || w->tid != ThreadId()) return FALSE;
    w->destroying = true;
  }
  // Owned windows go first, completely.
  std::vector<HWND> owned;
  {
    std::lock_guard g(g_mu);
    for (HWND o : g_windows)
      if (o->owner == w && !o->destroying) owned.push_back(o);
  }
  for (HWND o : owned) DestroyWindow(o);
  if (w->visible) {
    { std::lock_guard g(g_mu); w->visible = false; }
    core::Get()->Show(w, false);
  }
  ActivateSuccessor(w);
  {
    std::lock_guard g(g_mu);
    if (g_moveWin == w) g_moveWin = nullptr;
  }
  CallProc(w, WM_DESTROY, 0, 0);
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) {
    {
      std::lock_guard g(g_mu);
      c->destroying = false;  // let the child's own destroy run
    }
    DestroyWindow(c);
  }
  HWND lostCapture = nullptr, lostFocus = nullptr;
  {
    std::lock_guard g(g_mu);
    if (g_capture == w) {
      g_capture = nullptr;
      lostCapture = w;
    }
    if (g_focus == w) {
      g_focus = nullptr;
      lostFocus = w;
    }
    if (g_mouseWin == w) g_mouseWin = nullptr;
    if (g_clickWin == w) g_clickWin = nullptr;
    if (g_active == w) g_active = nullptr;
  }
  if (lostCapture) {
    core::Get()->Capture(w, false);
    CallProc(w, WM_CAPTURECHANGED, 0, 0);
  }
  (void)lostFocus;
  ThreadQueue* q = MyQueue();
  q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                 [w](const TimerRecord& t) { return t.hwnd == w; }),
                  q->timers.end());
  core::Get()->DestroyNative(w);
  CallProc(w, WM_NCDESTROY, 0, 0);
  std::deque<std::shared_ptr<SentMessage>> orphans;
  {
    std::lock_guard g(g_mu);
    g_windows.erase(w);
    g_z.erase(std::remove(g_z.begin(), g_z.end(), w), g_z.end());
    if (w->parent) {
      auto& ch = w->parent->children;
      ch.erase(std::remove(ch.begin(), ch.end(), w), ch.end());
    }
    for (HWND o : g_windows)
      if (o->owner == w) o->owner = nullptr;
    q->windows.erase(std::remove(q->windows.begin(), q->windows.end(), w), q->windows.end());
    std::lock_guard lk(q->mu);
    auto drop = [w](const MSG& m) { return m.hwnd == w; };
    q->posted.erase(std::remove_if(q->posted.begin(), q->posted.end(), drop), q->posted.end());
    q->input.erase(std::remove_if(q->input.begin(), q->input.end(), drop), q->input.end());
  }
  if (w->back) core::Get()->FreeBackBuffer(w, w->back);
  if (w->region) DeleteObject(w->region);
  delete w;
  return TRUE;
}

LRESULT DefWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!core::Alive(w)) return 0;
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(w);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w, &ps);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 0;
    case WM_NCACTIVATE:
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !(w->style & WS_CHILD)) SetFocus(w);
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_ACTIVATE;
    case WM_SETCURSOR:
      if (w->classCursor) SetCursor(w->classCursor);
      return w->classCursor ? TRUE : FALSE;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->title.size());
    case WM_GETTEXT: {
      if (!lp || wp == 0) return 0;
      auto* buf = reinterpret_cast<wchar_t*>(lp);
      size_t n = std::min<size_t>(w->title.size(), wp - 1);
      std::wmemcpy(buf, w->title.data(), n);
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
      w->title = lp ? reinterpret_cast<const wchar_t*>(lp) : L"";
      core::Get()->Title(w);
      return TRUE;
    case WM_SETICON: {
      HICON old = wp == ICON_BIG ? w->iconBig : w->iconSmall;
      (wp == ICON_BIG ? w->iconBig : w->iconSmall) = reinterpret_cast<HICON>(lp);
      core::Get()->Icon(w);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOMOVE)) CallProc(w, WM_MOVE, 0, MAKELPARAM(w->rect.left, w->rect.top));
      if (!(pos->flags & SWP_NOSIZE))
        CallProc(w, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MAKELPARAM(Width(w->rect), Height(w->rect)));
      return 0;
    }
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case 0xF060: SendMessage(w, WM_CLOSE, 0, 0); break;
        case 0xF020: ShowWindow(w, SW_MINIMIZE); break;
        case 0xF030: ShowWindow(w, SW_MAXIMIZE); break;
        case 0xF120: ShowWindow(w, SW_RESTORE); break;
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wp == HTCAPTION) {
        HWND top = TopLevel(w);
        ReleaseCapture();
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        {
          std::lock_guard g(g_mu);
          if (g_async[VK_LBUTTON] & 0x80) p = g_cursor;
        }
        if (!core::Get()->BeginMove(top, p)) {
          std::lock_guard g(g_mu);
          if (!(g_async[VK_LBUTTON] & 0x80)) return 0;
          g_moveWin = top;
          g_moveStart = p;
          g_moveRect = top->rect;
        }
        CallProc(top, WM_ENTERSIZEMOVE, 0, 0);
      }
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProc(WNDPROC p, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!p) return DefWindowProc(w, msg, wp, lp);
  return p(w, msg, wp, lp);
}

BOOL IsWindow(HWND w) { return core::Alive(w) ? TRUE : FALSE; }

LONG_PTR GetWindowLongPtr(HWND w, int index) {
  if (!AliveAny(w)) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWL_STYLE: {
      DWORD s = w->style;
      if (w->visible) s |= WS_VISIBLE;
      if (w->minimized) s |= WS_MINIMIZE;
      if (w->maximized) s |= WS_MAXIMIZE;
      return static_cast<LONG_PTR>(s);
    }
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle | (w->topmost ? DWORD{WS_EX_TOPMOST} : DWORD{0}));
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtr(HWND w, int index, LONG_PTR v) {
  if (!AliveAny(w)) return 0;
  LONG_PTR old = GetWindowLongPtr(w, index);
  switch (index) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(v); break;
    case GWLP_ID: w->id = v; break;
    case GWLP_USERDATA: w->userData = v; break;
    case GWL_STYLE: {
      DWORD s = static_cast<DWORD>(v) & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
      DWORD keep = w->style & WS_CHILD;
      w->style = (s & ~WS_CHILD) | keep;
      core::Get()->StyleChanged(w);
      break;
    }
    case GWL_EXSTYLE: {
      DWORD before = w->exStyle;
      w->exStyle = static_cast<DWORD>(v) & ~WS_EX_TOPMOST;
      if ((before ^ w->exStyle) & WS_EX_LAYERED) {
        w->lwaFlags = 0;
        w->constAlpha = 255;
      }
      core::Get()->StyleChanged(w);
      if ((before ^ w->exStyle) & WS_EX_LAYERED) InvalidateAll(w, true);
      break;
    }
    default: return 0;
  }
  return old;
}

BOOL SetProp(HWND w, const wchar_t* name, void* data) {
  if (!AliveAny(w) || !name) return FALSE;
  std::lock_guard g(g_mu);
  w->props[name] = data;
  return TRUE;
}
void* GetProp(HWND w, const wchar_t* name) {
  if (!name) return nullptr;
  std::lock_guard g(g_mu);
  if (!g_windows.count(w)) return nullptr;
  auto it = w->props.find(name);
  return it == w->props.end() ? nullptr : it->second;
}
void* RemoveProp(HWND w, const wchar_t* name) {
  if (!name) return nullptr;
  std::lock_guard g(g_mu);
  if (!g_windows.count(w)) return nullptr;
  auto it = w->props.find(name);
  if (it == w->props.end()) return nullptr;
  void* d = it->second;
  w->props.erase(it);
  return d;
}

HWND GetWindow(HWND w, UINT cmd) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w) || cmd != GW_OWNER) return nullptr;
  return w->owner;
}
HWND GetParent(HWND w) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w)) return nullptr;
  return (w->style & WS_CHILD) ? w->parent : w->owner;
}
DWORD GetWindowThreadProcessId(HWND w, DWORD* pid) {
  if (pid) *pid = static_cast<DWORD>(::getpid());
  std::lock_guard g(g_mu);
  return AliveLocked(w) ? w->tid : 0;
}

BOOL SetWindowText(HWND w, const wchar_t* t) {
  if (!core::Alive(w)) return FALSE;
  return static_cast<BOOL>(SendMessage(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)));
}
int GetWindowText(HWND w, wchar_t* buf, int max) {
  if (!core::Alive(w) || !buf || max <= 0) return 0;
  return static_cast<int>(SendMessage(w, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buf)));
}
int GetWindowTextLength(HWND w) {
  if (!core::Alive(w)) return 0;
  return static_cast<int>(SendMessage(w, WM_GETTEXTLENGTH, 0, 0));
}
std::wstring GetWindowTextString(HWND w) {
  int n = GetWindowTextLength(w);
  if (n <= 0) return L"";
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  int got = GetWindowText(w, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(0, got)));
  return s;
}

BOOL ShowWindow(HWND w, int cmd) {
  if (!core::Alive(w)) return FALSE;
  BOOL was = w->visible ? TRUE : FALSE;
  Backend* be = core::Get();
  bool child = w->style & WS_CHILD;
  switch (cmd) {
    case SW_HIDE:
      if (!w->visible) return was;
      CallProc(w, WM_SHOWWINDOW, FALSE, 0);
      { std::lock_guard g(g_mu); w->visible = false; }
      be->Show(w, false);
      if (w->parent) InvalidateAll(w->parent, true);
      if (!child) ActivateSuccessor(w);
      return was;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      if (child) return was;
      if (!w->visible) {
        CallProc(w, WM_SHOWWINDOW, TRUE, 0);
        { std::lock_guard g(g_mu); w->visible = true; }
        be->Show(w, true);
      }
      if (!w->minimized) {
        { std::lock_guard g(g_mu); w->minimized = true; }
        be->Geometry(w);
        CallProc(w, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      {
        std::lock_guard g(g_mu);
        if (g_active != w) return was;
      }
      Activate(nullptr, WA_INACTIVE);
      return was;
    default:
      break;
  }
  bool activate = cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && !child &&
                  !(w->exStyle & WS_EX_NOACTIVATE);
  if (!w->visible) {
    CallProc(w, WM_SHOWWINDOW, TRUE, 0);
    if (!core::Alive(w)) return was;
    { std::lock_guard g(g_mu); w->visible = true; }
    if (!child) Raise(w);
    be->Show(w, true);
    InvalidateAll(w, true);
  }
  if (w->minimized && (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL || cmd == SW_SHOW)) {
    { std::lock_guard g(g_mu); w->minimized = false; }
    be->Geometry(w);
    CallProc(w, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
             MAKELPARAM(Width(w->rect), Height(w->rect)));
    InvalidateAll(w, true);
  }
  if (!child && cmd == SW_MAXIMIZE && !w->maximized) {
    RECT screen, work;
    be->Screen(&screen, &work);
    w->props[L"kelvo.restore.l"] = reinterpret_cast<void*>(static_cast<intptr_t>(w->rect.left));
    w->props[L"kelvo.restore.t"] = reinterpret_cast<void*>(static_cast<intptr_t>(w->rect.top));
    w->props[L"kelvo.restore.r"] = reinterpret_cast<void*>(static_cast<intptr_t>(w->rect.right));
    w->props[L"kelvo.restore.b"] = reinterpret_cast<void*>(static_cast<intptr_t>(w->rect.bottom));
    w->maximized = true;
    SetWindowPos(w, nullptr, work.left, work.top, Width(work), Height(work), SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (!child && (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) && w->maximized) {
    w->maximized = false;
    auto get = [&](const wchar_t* k) { return static_cast<int>(reinterpret_cast<intptr_t>(w->props[k])); };
    int l = get(L"kelvo.restore.l"), t = get(L"kelvo.restore.t");
    SetWindowPos(w, nullptr, l, t, get(L"kelvo.restore.r") - l, get(L"kelvo.restore.b") - t,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (activate) Activate(w, WA_ACTIVE);
  return was;
}

BOOL IsWindowVisible(HWND w) {
  std::lock_guard g(g_mu);
  return AliveLocked(w) && IsVisibleChain(w) ? TRUE : FALSE;
}
BOOL IsIconic(HWND w) {
  std::lock_guard g(g_mu);
  return AliveLocked(w) && w->minimized ? TRUE : FALSE;
}
BOOL IsZoomed(HWND w) {
  std::lock_guard g(g_mu);
  return AliveLocked(w) && w->maximized ? TRUE : FALSE;
}

BOOL EnableWindow(HWND w, BOOL enable) {
  if (!core::Alive(w)) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (!!enable == !wasDisabled) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    bool hadCapture, hadFocus;
    {
      std::lock_guard g(g_mu);
      hadCapture = g_capture == w;
      hadFocus = g_focus == w;
    }
    if (hadCapture) ReleaseCapture();
    if (hadFocus) SetFocus(nullptr);
  }
  CallProc(w, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND w) {
  std::lock_guard g(g_mu);
  return AliveLocked(w) && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND w, HWND after, int x, int y, int cx, int cy, UINT flags) {
  if (!core::Alive(w)) return FALSE;
  WINDOWPOS wp{w, after, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) wp.x = w->rect.left, wp.y = w->rect.top;
  if (flags & SWP_NOSIZE) wp.cx = Width(w->rect), wp.cy = Height(w->rect);
  bool child = w->style & WS_CHILD;
  bool zChange = !(flags & SWP_NOZORDER) && !child;
  bool show = (flags & SWP_SHOWWINDOW) && !w->visible;
  bool hide = (flags & SWP_HIDEWINDOW) && w->visible;
  bool moved = wp.x != w->rect.left || wp.y != w->rect.top;
  bool sized = wp.cx != Width(w->rect) || wp.cy != Height(w->rect);
  if (flags & SWP_FRAMECHANGED) {
    RECT nc = w->rect;
    CallProc(w, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&nc));
  }
  // A call that changes nothing sends nothing (a handler re-applying its
  // frame from WM_WINDOWPOSCHANGED would otherwise recurse forever).
  if (!moved && !sized && !zChange && !show && !hide) return TRUE;
  CallProc(w, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
  if (!core::Alive(w)) return FALSE;
  if (flags & SWP_NOMOVE) wp.x = w->rect.left, wp.y = w->rect.top;
  if (flags & SWP_NOSIZE) wp.cx = Width(w->rect), wp.cy = Height(w->rect);
  moved = wp.x != w->rect.left || wp.y != w->rect.top;
  sized = wp.cx != Width(w->rect) || wp.cy != Height(w->rect);
  { std::lock_guard g(g_mu); w->rect = RECT{wp.x, wp.y, wp.x + std::max(0, wp.cx), wp.y + std::max(0, wp.cy)}; }
  if (zChange) {
    std::lock_guard g(g_mu);
    if (after == HWND_TOPMOST) w->topmost = true;
    if (after == HWND_NOTOPMOST) w->topmost = false;
    if (after == HWND_BOTTOM) {
      g_z.erase(std::remove(g_z.begin(), g_z.end(), w), g_z.end());
      g_z.push_back(w);
    } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
      Raise(w);
    } else if (AliveLocked(after)) {
      g_z.erase(std::remove(g_z.begin(), g_z.end(), w), g_z.end());
      auto it = std::find(g_z.begin(), g_z.end(), after);
      g_z.insert(it == g_z.end() ? it : it + 1, w);
    }
  }
  Backend* be = core::Get();
  if (moved || sized) be->Geometry(w);
  if (zChange) be->Restack(w);
  if (sized) {
    InvalidateAll(w, true);
    if (child && w->parent) InvalidateAll(w->parent, true);
  }
  if (show) ShowWindow(w, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (hide) ShowWindow(w, SW_HIDE);
  WINDOWPOS done = wp;
  done.flags = flags | (moved ? 0u : UINT{SWP_NOMOVE}) | (sized ? 0u : UINT{SWP_NOSIZE});
  CallProc(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  if (!(flags & SWP_NOACTIVATE) && !child && w->visible && !(w->exStyle & WS_EX_NOACTIVATE) &&
      (zChange || show))
    Activate(w, WA_ACTIVE);
  return TRUE;
}

BOOL MoveWindow(HWND w, int x, int y, int cw, int ch, BOOL repaint) {
  return SetWindowPos(w, nullptr, x, y, cw, ch,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : UINT{SWP_NOREDRAW}));
}

BOOL GetClientRect(HWND w, RECT* r) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w) || !r) return FALSE;
  *r = RECT{0, 0, Width(w->rect), Height(w->rect)};
  return TRUE;
}
BOOL GetWindowRect(HWND w, RECT* r) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w) || !r) return FALSE;
  POINT o = Origin(w);
  *r = RECT{o.x, o.y, o.x + Width(w->rect), o.y + Height(w->rect)};
  return TRUE;
}
BOOL ClientToScreen(HWND w, POINT* p) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w) || !p) return FALSE;
  POINT o = Origin(w);
  p->x += o.x;
  p->y += o.y;
  return TRUE;
}
BOOL ScreenToClient(HWND w, POINT* p) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w) || !p) return FALSE;
  POINT o = Origin(w);
  p->x -= o.x;
  p->y -= o.y;
  return TRUE;
}
int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count) {
  std::lock_guard g(g_mu);
  POINT a = AliveLocked(from) ? Origin(from) : POINT{0, 0};
  POINT b = AliveLocked(to) ? Origin(to) : POINT{0, 0};
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; pts && i < count; ++i) {
    pts[i].x += dx;
    pts[i].y += dy;
  }
  return static_cast<int>(MAKELPARAM(dx, dy));
}
HWND WindowFromPoint(POINT p) { return HitTest(p); }

// ---- activation, focus, capture -----------------------------------------------------------
HWND GetActiveWindow() {
  std::lock_guard g(g_mu);
  return AliveLocked(g_active) ? g_active : nullptr;
}
HWND SetActiveWindow(HWND w) {
  HWND old = GetActiveWindow();
  if (w && (!core::Alive(w) || (w->style & WS_CHILD))) return nullptr;
  if (w && w->tid != ThreadId()) {
    RunOnWindowThread(w, [w] { Activate(w, WA_ACTIVE); });
    return old;
  }
  Activate(w, WA_ACTIVE);
  return old;
}
HWND GetForegroundWindow() { return GetActiveWindow(); }
BOOL SetForegroundWindow(HWND w) {
  if (!core::Alive(w)) return FALSE;
  HWND top = TopLevel(w);
  if (!top->visible || top->minimized) ShowWindow(top, top->minimized ? SW_RESTORE : SW_SHOW);
  SetActiveWindow(top);
  return TRUE;
}
BOOL AllowSetForegroundWindow(DWORD) { return TRUE; }
// Input state is process-wide here, so threads already share it.
BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }

HWND GetFocus() {
  std::lock_guard g(g_mu);
  return AliveLocked(g_focus) ? g_focus : nullptr;
}
HWND SetFocus(HWND w) {
  HWND old;
  {
    std::lock_guard g(g_mu);
    if (w && (!AliveLocked(w) || (w->style & WS_DISABLED))) return nullptr;
    old = AliveLocked(g_focus) ? g_focus : nullptr;
    if (w == old) return old;
  }
  if (w) {
    HWND top = TopLevel(w);
    if (GetActiveWindow() != top) Activate(top, WA_ACTIVE);
    std::lock_guard g(g_mu);
    old = AliveLocked(g_focus) ? g_focus : nullptr;
    if (old == w) return old;
  }
  {
    std::lock_guard g(g_mu);
    g_focus = w;
  }
  if (old && core::Alive(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(w), 0);
  if (w && core::Alive(w)) SendMessage(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND SetCapture(HWND w) {
  HWND old;
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return nullptr;
    old = AliveLocked(g_capture) ? g_capture : nullptr;
    g_capture = w;
  }
  if (old == w) return old;
  if (old) {
    core::Get()->Capture(old, false);
    SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(w));
  }
  core::Get()->Capture(w, true);
  return old;
}
BOOL ReleaseCapture() {
  HWND old;
  {
    std::lock_guard g(g_mu);
    old = AliveLocked(g_capture) ? g_capture : nullptr;
    g_capture = nullptr;
  }
  if (old) {
    core::Get()->Capture(old, false);
    SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}
HWND GetCapture() {
  std::lock_guard g(g_mu);
  return AliveLocked(g_capture) ? g_capture : nullptr;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* t) {
  if (!t || !core::Alive(t->hwndTrack)) return FALSE;
  HWND w = t->hwndTrack;
  bool outside;
  {
    std::lock_guard g(g_mu);
    if (t->dwFlags & TME_CANCEL) {
      w->trackFlags &= ~(t->dwFlags & (TME_HOVER | TME_LEAVE));
      return TRUE;
    }
    w->trackFlags |= t->dwFlags & (TME_HOVER | TME_LEAVE);
    if (t->dwFlags & TME_HOVER) {
      w->hoverTime = t->dwHoverTime == HOVER_DEFAULT ? 400 : t->dwHoverTime;
      w->hoverOrigin = g_cursor;
      w->hoverStart = core::Get()->InputTime();
    }
    outside = g_mouseWin != w;
    if (outside && (t->dwFlags & TME_LEAVE)) w->trackFlags &= ~TME_LEAVE;
  }
  // Asking while the pointer is already elsewhere answers at once.
  if (outside && (t->dwFlags & TME_LEAVE)) PushInput(w, WM_MOUSELEAVE, 0, 0, core::Get()->InputTime());
  return TRUE;
}

short GetKeyState(int vk) {
  BYTE s = MyQueue()->keyState[vk & 0xFF];
  return static_cast<short>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}
short GetAsyncKeyState(int vk) {
  BYTE s = core::AsyncKeyState(static_cast<UINT>(vk));
  return static_cast<short>((s & 0x80) ? 0x8000 : 0);
}
BOOL GetCursorPos(POINT* p) {
  if (!p) return FALSE;
  *p = core::Get()->CursorPos();
  return TRUE;
}
BOOL SetCursorPos(int x, int y) {
  core::Get()->WarpCursor(x, y);
  return TRUE;
}
void keybd_event(BYTE vk, BYTE, DWORD flags, DWORD_PTR) {
  core::Get()->SynthesizeKey(vk, !(flags & KEYEVENTF_KEYUP));
}

// ---- cursors, icons, regions ------------------------------------------------------------
HCURSOR LoadCursor(HINSTANCE, std::uintptr_t idc) {
  static std::map<std::uintptr_t, CursorObject> cursors;
  std::lock_guard g(g_mu);
  auto& c = cursors[idc];
  c.id = idc;
  return &c;
}
HCURSOR SetCursor(HCURSOR c) {
  HCURSOR old;
  HWND where;
  {
    std::lock_guard g(g_mu);
    old = g_cursorNow;
    g_cursorNow = c;
    where = AliveLocked(g_capture) ? g_capture : g_mouseWin;
    if (!AliveLocked(where)) where = nullptr;
    if (where) where->cursor = c;
  }
  if (where) core::Get()->Cursor(where, c);
  return old;
}
BOOL ClipCursor(const RECT* r) {
  core::Get()->ClipCursor(r);
  return TRUE;
}

HICON CreateIconFromSurface(cairo_surface_t* s) {
  if (!s || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
  int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  if (w <= 0 || h <= 0) return nullptr;
  auto* icon = new IconObject;
  icon->image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(icon->image);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, s, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(icon->image);
  return icon;
}
BOOL DestroyIcon(HICON i) {
  if (!i) return FALSE;
  cairo_surface_destroy(i->image);
  delete i;
  return TRUE;
}

HRGN CreateRectRgn(int l, int t, int r, int b) {
  auto* rg = new RegionObject;
  RECT rc{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
  if (!Empty(rc)) rg->rects.push_back(rc);
  return rg;
}
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int ew, int eh) {
  auto* rg = new RegionObject;
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  int w = r - l, h = b - t;
  ew = std::clamp(ew, 0, w);
  eh = std::clamp(eh, 0, h);
  if (w <= 0 || h <= 0) return rg;
  double rx = ew / 2.0, ry = eh / 2.0;
  for (int y = 0; y < h; ++y) {
    int inset = 0;
    double cy = y + 0.5;
    double dy = 0;
    if (ry > 0 && cy < ry) dy = ry - cy;
    if (ry > 0 && cy > h - ry) dy = cy - (h - ry);
    if (dy > 0 && rx > 0) {
      double f = 1.0 - (dy * dy) / (ry * ry);
      double dx = rx * std::sqrt(std::max(0.0, f));
      inset = static_cast<int>(std::lround(rx - dx));
    }
    RECT row{l + inset, t + y, r - inset, t + y + 1};
    if (Empty(row)) continue;
    // Merge rows of equal span.
    if (!rg->rects.empty() && rg->rects.back().left == row.left && rg->rects.back().right == row.right &&
        rg->rects.back().bottom == row.top)
      rg->rects.back().bottom = row.bottom;
    else
      rg->rects.push_back(row);
  }
  return rg;
}
BOOL DeleteObject(HRGN r) {
  if (!r) return FALSE;
  delete r;
  return TRUE;
}
BOOL PtInRegion(HRGN r, int x, int y) {
  if (!r) return FALSE;
  for (const RECT& rc : r->rects)
    if (Contains(rc, POINT{x, y})) return TRUE;
  return FALSE;
}
int SetWindowRgn(HWND w, HRGN r, BOOL redraw) {
  if (!core::Alive(w)) return 0;
  if (w->region) DeleteObject(w->region);
  w->region = r;
  core::Get()->ShapeChanged(w);
  if (redraw) InvalidateAll(w, true);
  return 1;
}
BOOL SetLayeredWindowAttributes(HWND w, COLORREF key, BYTE alpha, DWORD flags) {
  if (!core::Alive(w) || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
  w->colorKey = key;
  w->constAlpha = (flags & LWA_ALPHA) ? alpha : 255;
  w->lwaFlags = flags;
  core::Get()->ShapeChanged(w);
  InvalidateAll(w, false);
  return TRUE;
}

BOOL UpdateLayeredWindow(HWND w, const POINT* dst, const SIZE* size, cairo_surface_t* src, BYTE alpha) {
  if (!core::Alive(w) || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
  if (dst || size) {
    int x = dst ? dst->x : w->rect.left, y = dst ? dst->y : w->rect.top;
    int cx = size ? size->cx : Width(w->rect), cy = size ? size->cy : Height(w->rect);
    SetWindowPos(w, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  bool shapeChange = w->lwaFlags != 0 || w->constAlpha != alpha;
  w->lwaFlags = 0;
  w->constAlpha = alpha;
  if (shapeChange) core::Get()->ShapeChanged(w);
  EnsureBackBuffer(w);
  if (src) {
    cairo_surface_flush(src);
    cairo_t* cr = cairo_create(w->back);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(w->back);
  }
  {
    std::lock_guard lk(w->paintMu);
    w->dirty = false;
    w->erase = false;
    w->dirtyRect = RECT{};
  }
  RECT all{0, 0, Width(w->rect), Height(w->rect)};
  if (w->visible) core::Get()->Present(w, all);
  return TRUE;
}

// ---- painting ---------------------------------------------------------------------------
BOOL InvalidateRect(HWND w, const RECT* r, BOOL erase) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return FALSE;
    RECT client{0, 0, Width(w->rect), Height(w->rect)};
    RECT add = r ? Intersect(*r, client) : client;
    std::lock_guard lk(w->paintMu);
    if (Empty(add)) {
      if (erase) w->erase = w->erase || w->dirty;
      return TRUE;
    }
    w->dirtyRect = w->dirty ? Union(w->dirtyRect, add) : add;
    w->dirty = true;
    if (erase) w->erase = true;
    q = w->queue;
  }
  q->Wake();
  return TRUE;
}
BOOL ValidateRect(HWND w, const RECT* r) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w)) return FALSE;
  std::lock_guard lk(w->paintMu);
  if (!r) {
    w->dirty = false;
    w->erase = false;
    w->dirtyRect = RECT{};
    return TRUE;
  }
  // A bounding box can only shrink when r covers a whole side of it.
  RECT d = w->dirtyRect;
  if (r->left <= d.left && r->right >= d.right) {
    if (r->top <= d.top && r->bottom > d.top) d.top = std::min(r->bottom, d.bottom);
    else if (r->bottom >= d.bottom && r->top < d.bottom) d.bottom = std::max(r->top, d.top);
  } else if (r->top <= d.top && r->bottom >= d.bottom) {
    if (r->left <= d.left && r->right > d.left) d.left = std::min(r->right, d.right);
    else if (r->right >= d.right && r->left < d.right) d.right = std::max(r->left, d.left);
  }
  w->dirtyRect = d;
  if (Empty(d)) {
    w->dirty = false;
    w->erase = false;
  }
  return TRUE;
}
BOOL GetUpdateRect(HWND w, RECT* r, BOOL) {
  std::lock_guard g(g_mu);
  if (!AliveLocked(w)) return FALSE;
  std::lock_guard lk(w->paintMu);
  if (r) *r = w->dirty ? w->dirtyRect : RECT{};
  return w->dirty ? TRUE : FALSE;
}
HDC BeginPaint(HWND w, PAINTSTRUCT* ps) {
  if (!core::Alive(w) || !ps) return nullptr;
  EnsureBackBuffer(w);
  bool erase;
  {
    std::lock_guard lk(w->paintMu);
    ps->rcPaint = w->dirty ? w->dirtyRect : RECT{};
    erase = w->erase;
    w->dirty = false;
    w->erase = false;
    w->dirtyRect = RECT{};
    w->inPaint = true;
  }
  ps->hdc = w->back;
  ps->fErase = erase ? TRUE : FALSE;
  if (erase) ps->fErase = CallProc(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(w->back), 0) ? FALSE : TRUE;
  return w->back;
}
BOOL EndPaint(HWND w, const PAINTSTRUCT* ps) {
  if (!core::Alive(w) || !ps) return FALSE;
  w->inPaint = false;
  if (w->back) cairo_surface_flush(w->back);
  if (IsVisibleChain(w) && !Empty(ps->rcPaint)) core::Get()->Present(w, ps->rcPaint);
  return TRUE;
}
BOOL UpdateWindow(HWND w) {
  if (!core::Alive(w)) return FALSE;
  bool dirty;
  {
    std::lock_guard lk(w->paintMu);
    dirty = w->dirty;
  }
  if (dirty && IsVisibleChain(w)) CallProc(w, WM_PAINT, 0, 0);
  return TRUE;
}
HDC GetDC(HWND w) {
  if (!core::Alive(w)) return nullptr;
  EnsureBackBuffer(w);
  return w->back;
}
int ReleaseDC(HWND w, HDC) { return core::Alive(w) ? 1 : 0; }
BOOL PresentRect(HWND w, const RECT* r) {
  if (!core::Alive(w) || !w->back) return FALSE;
  cairo_surface_flush(w->back);
  RECT all{0, 0, Width(w->rect), Height(w->rect)};
  RECT p = r ? Intersect(*r, all) : all;
  if (IsVisibleChain(w) && !Empty(p)) core::Get()->Present(w, p);
  return TRUE;
}

// ---- message loop -----------------------------------------------------------------------------
namespace {

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (filter && m.hwnd != filter) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

// Answers messages sent from other threads and runs queued tasks.
void DispatchSent(ThreadQueue* q) {
  for (;;) {
    std::shared_ptr<SentMessage> sm;
    std::function<void()> task;
    {
      std::lock_guard lk(q->mu);
      if (!q->sent.empty()) {
        sm = q->sent.front();
        q->sent.pop_front();
      } else if (!q->tasks.empty()) {
        task = std::move(q->tasks.front());
        q->tasks.pop_front();
      } else {
        return;
      }
    }
    if (task) {
      task();
      continue;
    }
    ++q->inSend;
    LRESULT r = 0;
    if (sm->fn) {
      (*sm->fn)();
      r = 1;
    } else if (core::Alive(sm->hwnd)) {
      r = CallProc(sm->hwnd, sm->message, sm->wParam, sm->lParam);
    }
    --q->inSend;
    std::lock_guard lk(sm->sender->mu);
    sm->result = r;
    sm->done = true;
    sm->sender->Wake();
  }
}

void PumpBackend(ThreadQueue* q) {
  if (q->windows.empty() && !g_backend) return;
  Backend* be = core::Get();
  if (be->EventFd() < 0) return;
  std::unique_lock lk(g_pumpMu, std::try_to_lock);
  if (lk.owns_lock()) be->Pump();
}

void CheckHover(ThreadQueue* q) {
  DWORD now = core::Get()->InputTime();
  std::vector<std::pair<HWND, POINT>> fire;
  {
    std::lock_guard g(g_mu);
    for (HWND w : q->windows) {
      if (!(w->trackFlags & TME_HOVER)) continue;
      if (g_mouseWin != w) continue;
      if (std::abs(g_cursor.x - w->hoverOrigin.x) > kHoverBox / 2 ||
          std::abs(g_cursor.y - w->hoverOrigin.y) > kHoverBox / 2) {
        w->hoverOrigin = g_cursor;
        w->hoverStart = now;
        continue;
      }
      if (now - w->hoverStart >= w->hoverTime) {
        w->trackFlags &= ~TME_HOVER;
        POINT o = Origin(w);
        fire.push_back({w, POINT{g_cursor.x - o.x, g_cursor.y - o.y}});
      }
    }
  }
  for (auto& [w, p] : fire) PushInput(w, WM_MOUSEHOVER, MouseKeys(), MAKELPARAM(p.x, p.y), now);
}

void NoteKeyState(ThreadQueue* q, const MSG& m) {
  auto set = [&](UINT vk, bool down) {
    BYTE& s = q->keyState[vk & 0xFF];
    if (down) {
      if (!(s & 0x80)) s ^= 0x01;
      s |= 0x80;
    } else {
      s &= 0x7F;
    }
  };
  switch (m.message) {
    case WM_KEYDOWN: case WM_SYSKEYDOWN: case WM_KEYUP: case WM_SYSKEYUP: {
      bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
      UINT vk = static_cast<UINT>(m.wParam);
      set(vk, down);
      // The side of a modifier is in the scan code or the extended bit.
      bool ext = m.lParam & (1 << 24);
      if (vk == VK_SHIFT) set(((m.lParam >> 16) & 0xFF) == 0x36 ? VK_RSHIFT : VK_LSHIFT, down);
      if (vk == VK_CONTROL) set(ext ? VK_RCONTROL : VK_LCONTROL, down);
      if (vk == VK_MENU) set(ext ? VK_RMENU : VK_LMENU, down);
      break;
    }
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: set(VK_LBUTTON, true); break;
    case WM_LBUTTONUP: set(VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: set(VK_RBUTTON, true); break;
    case WM_RBUTTONUP: set(VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: set(VK_MBUTTON, true); break;
    case WM_MBUTTONUP: set(VK_MBUTTON, false); break;
    default: break;
  }
}

bool Retrieve(MSG* out, HWND filter, UINT lo, UINT hi, bool remove) {
  ThreadQueue* q = MyQueue();
  DispatchSent(q);
  PumpBackend(q);
  CheckHover(q);
  {
    std::unique_lock lk(q->mu);
    for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
      if (!Matches(*it, filter, lo, hi)) continue;
      *out = *it;
      if (remove) q->posted.erase(it);
      q->lastMessageTime = out->time;
      return true;
    }
    if (q->quit && (!filter) && (lo == 0 || (WM_QUIT >= lo && WM_QUIT <= hi))) {
      *out = MSG{};
      out->message = WM_QUIT;
      out->wParam = static_cast<WPARAM>(q->quitCode);
      if (remove) q->quit = false;
      return true;
    }
    for (auto it = q->input.begin(); it != q->input.end(); ++it) {
      if (!Matches(*it, filter, lo, hi)) continue;
      MSG m = *it;
      if (remove) q->input.erase(it);
      lk.unlock();
      if (!core::Alive(m.hwnd)) {
        if (!remove) return false;
        return Retrieve(out, filter, lo, hi, remove);
      }
      if (remove) {
        NoteKeyState(q, m);
        q->lastMessageTime = m.time;
        bool press = m.message == WM_LBUTTONDOWN || m.message == WM_RBUTTONDOWN ||
                     m.message == WM_MBUTTONDOWN || m.message == WM_LBUTTONDBLCLK ||
                     m.message == WM_RBUTTONDBLCLK;
        if (press) {
          // A click activates its window the way the window system would.
          HWND top = TopLevel(m.hwnd);
          if (top && GetActiveWindow() != top && !(top->exStyle & WS_EX_NOACTIVATE)) {
            LRESULT ma = CallProc(m.hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                  MAKELPARAM(HTCLIENT, m.message));
            if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) Activate(top, WA_CLICKACTIVE);
            if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT)
              return Retrieve(out, filter, lo, hi, remove);
            if (!core::Alive(m.hwnd)) return Retrieve(out, filter, lo, hi, remove);
          }
        }
      }
      *out = m;
      return true;
    }
  }
  // Paint, then timers.
  for (HWND w : q->windows) {
    if (filter && w != filter) continue;
    if (lo != 0 || hi != 0)
      if (WM_PAINT < lo || WM_PAINT > hi) break;
    bool dirty;
    {
      std::lock_guard lk(w->paintMu);
      dirty = w->dirty;
    }
    if (dirty && IsWindowVisible(w) && !w->destroying) {
      *out = MSG{};
      out->hwnd = w;
      out->message = WM_PAINT;
      return true;
    }
  }
  std::uint64_t now = SteadyMs();
  for (auto& t : q->timers) {
    if (t.due > now) continue;
    if (filter && t.hwnd != filter) continue;
    if ((lo != 0 || hi != 0) && (WM_TIMER < lo || WM_TIMER > hi)) break;
    *out = MSG{};
    out->hwnd = t.hwnd;
    out->message = WM_TIMER;
    out->wParam = t.id;
    out->lParam = reinterpret_cast<LPARAM>(t.proc);
    out->time = static_cast<DWORD>(now);
    if (remove) {
      t.due = now + t.elapse;
      // Rotate so that equal timers take turns.
      auto it = std::find_if(q->timers.begin(), q->timers.end(),
                             [&](const TimerRecord& r) { return &r == &t; });
      std::rotate(it, it + 1, q->timers.end());
    }
    return true;
  }
  return false;
}

// Sleeps until something may be ready: a wake, a watched descriptor, the
// window system, or the next timer.
void Wait(ThreadQueue* q, int maxMs) {
  std::vector<pollfd> fds;
  fds.push_back(pollfd{q->eventFd, POLLIN, 0});
  int beFd = -1;
  if (!q->windows.empty()) beFd = core::Get()->EventFd();
  if (beFd >= 0) fds.push_back(pollfd{beFd, POLLIN, 0});
  // Events another call already read off the socket would not wake poll.
  if (beFd >= 0 && core::Get()->HasQueued()) maxMs = 0;
  size_t watchStart = fds.size();
  std::vector<FdWatch> watches = q->watches;
  for (auto& w : watches) fds.push_back(pollfd{w.fd, w.events, 0});
  int timeout = maxMs;
  std::uint64_t now = SteadyMs();
  for (auto& t : q->timers) {
    int d = t.due <= now ? 0 : static_cast<int>(t.due - now);
    timeout = timeout < 0 ? d : std::min(timeout, d);
  }
  bool hovering = false;
  {
    std::lock_guard g(g_mu);
    for (HWND w : q->windows)
      if (w->trackFlags & TME_HOVER) hovering = true;
  }
  if (hovering) timeout = timeout < 0 ? 25 : std::min(timeout, 25);
  int n = ::poll(fds.data(), fds.size(), timeout);
  if (n <= 0) return;
  if (fds[0].revents & POLLIN) {
    std::uint64_t v;
    (void)!::read(q->eventFd, &v, sizeof v);
  }
  for (size_t i = watchStart; i < fds.size(); ++i) {
    if (!fds[i].revents) continue;
    const FdWatch& w = watches[i - watchStart];
    bool still = std::any_of(q->watches.begin(), q->watches.end(),
                             [&](const FdWatch& x) { return x.id == w.id; });
    if (still && w.cb) w.cb(w.fd, fds[i].revents);
  }
}

}  // namespace

BOOL GetMessage(MSG* m, HWND filter, UINT lo, UINT hi) {
  if (!m) return -1;
  ThreadQueue* q = MyQueue();
  for (;;) {
    if (Retrieve(m, filter, lo, hi, true)) return m->message == WM_QUIT ? FALSE : TRUE;
    Wait(q, -1);
  }
}

BOOL PeekMessage(MSG* m, HWND filter, UINT lo, UINT hi, UINT remove) {
  if (!m) return FALSE;
  ThreadQueue* q = MyQueue();
  // Let ready descriptors in without blocking.
  Wait(q, 0);
  return Retrieve(m, filter, lo, hi, remove & PM_REMOVE) ? TRUE : FALSE;
}

BOOL WaitMessage() {
  ThreadQueue* q = MyQueue();
  MSG m;
  if (Retrieve(&m, nullptr, 0, 0, false)) return TRUE;
  Wait(q, -1);
  return TRUE;
}

BOOL TranslateMessage(const MSG* m) {
  if (!m || !m->chr) return FALSE;
  if (m->message != WM_KEYDOWN && m->message != WM_SYSKEYDOWN) return FALSE;
  ThreadQueue* q = MyQueue();
  MSG c = *m;
  c.message = m->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  c.wParam = static_cast<WPARAM>(m->chr);
  c.chr = 0;
  std::lock_guard lk(q->mu);
  q->posted.push_front(c);
  return TRUE;
}

LRESULT DispatchMessage(const MSG* m) {
  if (!m || !m->hwnd) return 0;
  if (!core::Alive(m->hwnd)) return 0;
  if (m->message == WM_TIMER && m->lParam) {
    reinterpret_cast<TIMERPROC>(m->lParam)(m->hwnd, WM_TIMER, m->wParam, m->time);
    return 0;
  }
  if (m->message == WM_MOUSEMOVE) {
    CallProc(m->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(m->hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    if (!core::Alive(m->hwnd)) return 0;
  }
  return CallProc(m->hwnd, m->message, m->wParam, m->lParam);
}

void PostQuitMessage(int code) {
  ThreadQueue* q = MyQueue();
  std::lock_guard lk(q->mu);
  q->quit = true;
  q->quitCode = code;
}

BOOL PostMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  std::shared_ptr<ThreadQueue> q;
  if (!w) {
    q = MyQueueShared();
  } else {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return FALSE;
    q = w->queue;
  }
  MSG m;
  m.hwnd = w;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = static_cast<DWORD>(SteadyMs());
  {
    std::lock_guard g(g_mu);
    m.pt = g_cursor;
  }
  {
    std::lock_guard lk(q->mu);
    if (!q->alive) return FALSE;
    q->posted.push_back(m);
  }
  q->Wake();
  return TRUE;
}

BOOL PostThreadMessage(DWORD tid, UINT msg, WPARAM wp, LPARAM lp) {
  std::shared_ptr<ThreadQueue> q;
  {
    std::lock_guard g(g_mu);
    auto it = g_queues.find(tid);
    if (it == g_queues.end()) return FALSE;
    q = it->second.lock();
  }
  if (!q) return FALSE;
  MSG m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = static_cast<DWORD>(SteadyMs());
  {
    std::lock_guard lk(q->mu);
    if (!q->alive) return FALSE;
    q->posted.push_back(m);
  }
  q->Wake();
  return TRUE;
}

namespace {
LRESULT SendAcross(HWND w, UINT msg, WPARAM wp, LPARAM lp, const std::function<void()>* fn) {
  std::shared_ptr<ThreadQueue> target;
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return 0;
    target = w->queue;
  }
  auto sm = std::make_shared<SentMessage>();
  sm->hwnd = w;
  sm->message = msg;
  sm->wParam = wp;
  sm->lParam = lp;
  sm->fn = fn;
  sm->sender = MyQueueShared();
  {
    std::lock_guard lk(target->mu);
    if (!target->alive) return 0;
    target->sent.push_back(sm);
  }
  target->Wake();
  ThreadQueue* me = sm->sender.get();
  for (;;) {
    {
      std::lock_guard lk(me->mu);
      if (sm->done) return sm->result;
    }
    // Messages sent to this thread meanwhile are answered, so two threads
    // sending to each other do not lock up.
    DispatchSent(me);
    {
      std::lock_guard lk(me->mu);
      if (sm->done) return sm->result;
    }
    if (!core::Alive(w)) {
      std::lock_guard lk(target->mu);
      auto it = std::find(target->sent.begin(), target->sent.end(), sm);
      if (it != target->sent.end()) {
        target->sent.erase(it);
        return 0;
      }
    }
    pollfd p{me->eventFd, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) {
      std::uint64_t v;
      (void)!::read(me->eventFd, &v, sizeof v);
    }
  }
}
}  // namespace

LRESULT SendMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) {
      // Teardown messages still reach a window being destroyed on its thread.
      if (!(w && g_windows.count(w) && w->tid == ThreadId())) return 0;
    }
  }
  if (w->tid == ThreadId()) return CallProc(w, msg, wp, lp);
  return SendAcross(w, msg, wp, lp, nullptr);
}

BOOL InSendMessage() { return MyQueue()->inSend > 0 ? TRUE : FALSE; }
DWORD GetCurrentThreadId() { return ThreadId(); }
DWORD GetMessageTime() { return MyQueue()->lastMessageTime; }

UINT WatchFd(int fd, short events, FdCallback cb) {
  static std::atomic<UINT> next{1};
  if (fd < 0 || !cb) return 0;
  UINT id = next++;
  MyQueue()->watches.push_back(FdWatch{id, fd, events, std::move(cb)});
  return id;
}
BOOL UnwatchFd(UINT id) {
  auto& v = MyQueue()->watches;
  auto it = std::find_if(v.begin(), v.end(), [id](const FdWatch& w) { return w.id == id; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

BOOL RunOnWindowThread(HWND w, const std::function<void()>& fn) {
  {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w)) return FALSE;
  }
  if (w->tid == ThreadId()) {
    fn();
    return TRUE;
  }
  return SendAcross(w, WM_NULL, 0, 0, &fn) ? TRUE : FALSE;
}

// ---- window timers ---------------------------------------------------------------------------
UINT_PTR SetTimer(HWND w, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  ThreadQueue* q = MyQueue();
  if (w) {
    std::lock_guard g(g_mu);
    if (!AliveLocked(w) || w->tid != ThreadId()) return 0;
  } else {
    static std::atomic<UINT_PTR> nextFree{0x7FFF0000};
    id = nextFree++;
  }
  elapse = std::max(elapse, kMinTimer);
  std::uint64_t due = SteadyMs() + elapse;
  for (auto& t : q->timers)
    if (t.hwnd == w && t.id == id) {
      t.elapse = elapse;
      t.proc = proc;
      t.due = due;
      return id ? id : 1;
    }
  q->timers.push_back(TimerRecord{w, id, elapse, proc, due});
  return id ? id : 1;
}
BOOL KillTimer(HWND w, UINT_PTR id) {
  ThreadQueue* q = MyQueue();
  auto it = std::find_if(q->timers.begin(), q->timers.end(),
                         [&](const TimerRecord& t) { return t.hwnd == w && t.id == id; });
  if (it == q->timers.end()) return FALSE;
  q->timers.erase(it);
  return TRUE;
}
UINT GetCaretBlinkTime() { return 530; }
UINT GetDoubleClickTime() { return 500; }

// ---- system -----------------------------------------------------------------------------------
int GetSystemMetrics(int index) {
  RECT screen, work;
  core::Get()->Screen(&screen, &work);
  switch (index) {
    case SM_CXSCREEN: return Width(screen);
    case SM_CYSCREEN: return Height(screen);
    case SM_CXICON: case SM_CYICON: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return kDoubleClickBox;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    default: return 0;
  }
}
HMONITOR MonitorFromWindow(HWND w, DWORD flags) {
  if (!core::Alive(w) && flags == MONITOR_DEFAULTTONULL) return nullptr;
  return &g_monitor;
}
HMONITOR MonitorFromPoint(POINT p, DWORD flags) {
  RECT screen, work;
  core::Get()->Screen(&screen, &work);
  if (!Contains(screen, p) && flags == MONITOR_DEFAULTTONULL) return nullptr;
  return &g_monitor;
}
BOOL GetMonitorInfo(HMONITOR m, MONITORINFO* mi) {
  if (m != &g_monitor || !mi) return FALSE;
  core::Get()->Screen(&mi->rcMonitor, &mi->rcWork);
  mi->dwFlags = 1;
  return TRUE;
}

// ---- clipboard --------------------------------------------------------------------------------
bool SetClipboardText(const std::wstring& text) { return core::Get()->SetClipboard(text); }
bool GetClipboardText(std::wstring* text) { return text && core::Get()->GetClipboard(text); }

// ---- region helper for backends ------------------------------------------------------------------
namespace core {
void ApplyRegion(cairo_surface_t* frame, WindowObject* w) {
  if (!w->region) return;
  int width = cairo_image_surface_get_width(frame), height = cairo_image_surface_get_height(frame);
  int stride = cairo_image_surface_get_stride(frame);
  cairo_surface_flush(frame);
  unsigned char* data = cairo_image_surface_get_data(frame);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x)
      if (!PtInRegion(w->region, x, y)) row[x] = 0;
  }
  cairo_surface_mark_dirty(frame);
}
}  // namespace core

}  // namespace kelvo::platform
