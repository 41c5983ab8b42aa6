#pragma once
// Internals shared by the common window layer and its backends.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/platform/common/platform.h"

namespace kelvo::platform {

struct ThreadQueue;

struct RegionObject {
  std::vector<RECT> rects;  // disjoint spans
};

struct CursorObject {
  std::uintptr_t id = IDC_ARROW;
  void* native = nullptr;
};

struct IconObject {
  cairo_surface_t* image = nullptr;
};

struct MonitorObject {};

struct WindowObject {
  DWORD tid = 0;
  std::shared_ptr<ThreadQueue> queue;
  std::wstring className;
  WNDPROC proc = nullptr;
  UINT classStyle = 0;
  HCURSOR classCursor = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0, exStyle = 0;
  LONG_PTR userData = 0, id = 0;
  HWND parent = nullptr;  // WS_CHILD windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;
  std::wstring title;
  RECT rect;  // screen coordinates, or parent client coordinates for children
  bool visible = false, minimized = false, maximized = false, topmost = false;
  bool destroying = false;
  std::map<std::wstring, void*> props;
  // Mouse tracking (TrackMouseEvent).
  DWORD trackFlags = 0;
  DWORD hoverTime = 400;
  POINT hoverOrigin;
  DWORD hoverStart = 0;
  // Painting: guarded by paintMu (InvalidateRect comes from any thread).
  std::mutex paintMu;
  bool dirty = false, erase = false;
  RECT dirtyRect;
  cairo_surface_t* back = nullptr;
  bool inPaint = false;
  HRGN region = nullptr;
  COLORREF colorKey = 0;
  BYTE constAlpha = 255;
  DWORD lwaFlags = 0;
  HICON iconBig = nullptr, iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  void* native = nullptr;  // backend data
};

// A message sent from another thread, waiting for its answer.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  const std::function<void()>* fn = nullptr;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<ThreadQueue> sender;
};

struct TimerRecord {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  std::uint64_t due;  // ms, steady clock
};

struct FdWatch {
  UINT id;
  int fd;
  short events;
  FdCallback cb;
};

struct ThreadQueue {
  ThreadQueue();
  ~ThreadQueue();
  void Wake();
  DWORD tid = 0;
  int eventFd = -1;
  std::mutex mu;  // posted, input, sent, quit
  std::deque<MSG> posted;
  std::deque<MSG> input;
  std::deque<std::shared_ptr<SentMessage>> sent;
  bool quit = false;
  int quitCode = 0;
  bool alive = true;
  // Loop-thread only:
  std::vector<TimerRecord> timers;
  std::vector<FdWatch> watches;
  std::vector<HWND> windows;  // created on this thread, creation order
  int inSend = 0;             // depth of sent messages being answered
  DWORD lastMessageTime = 0;
  BYTE keyState[256] = {};  // as of the last retrieved message
  std::deque<std::function<void()>> tasks;  // run on this thread (guarded by mu)
};

// What a window system provides. Called with no core lock held, on the
// window's thread unless noted.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;
  virtual bool HasCompositor() = 0;
  virtual bool CreateNative(WindowObject* w) = 0;
  virtual void DestroyNative(WindowObject* w) = 0;
  virtual void Show(WindowObject* w, bool show) = 0;
  virtual void Geometry(WindowObject* w) = 0;  // rect, minimized, maximized changed
  virtual void Title(WindowObject* w) = 0;
  virtual void Restack(WindowObject* w) = 0;    // raise / topmost changed
  virtual void StyleChanged(WindowObject* w) = 0;  // style or exStyle changed
  // A back buffer of the given size; the backend may place it in shared memory.
  virtual cairo_surface_t* CreateBackBuffer(WindowObject* w, int width, int height) = 0;
  virtual void FreeBackBuffer(WindowObject* w, cairo_surface_t* s) = 0;
  virtual void Present(WindowObject* w, const RECT& r) = 0;
  virtual void ShapeChanged(WindowObject* w) = 0;  // region, colour key or alpha
  virtual void Cursor(WindowObject* w, HCURSOR c) = 0;
  virtual void Icon(WindowObject* w) = 0;
  // True when the window system moves the window itself.
  virtual bool BeginMove(WindowObject* w, POINT screen) = 0;
  virtual void Capture(WindowObject* w, bool on) = 0;
  virtual void Focus(WindowObject* w) = 0;
  virtual void Screen(RECT* screen, RECT* work) = 0;
  virtual POINT CursorPos() = 0;
  virtual void WarpCursor(int x, int y) = 0;
  virtual void ClipCursor(const RECT* r) = 0;
  virtual void SynthesizeKey(UINT vk, bool down) = 0;
  virtual bool SetClipboard(const std::wstring& text) = 0;
  virtual bool GetClipboard(std::wstring* text) = 0;
  // Descriptor the home thread's loop watches; Pump() then reads events.
  virtual int EventFd() = 0;
  virtual void Pump() = 0;
  // Events already read from the descriptor but not pumped yet.
  virtual bool HasQueued() = 0;
  // Clock of input events (double clicks, hover), in ms.
  virtual DWORD InputTime() = 0;
};

std::unique_ptr<Backend> MakeHeadlessBackend();
std::unique_ptr<Backend> MakeX11Backend();  // null without a display

// ---- entry points for backends ------------------------------------------------
namespace core {
Backend* Get();              // starts the backend on first use
std::uint64_t NowMs();        // steady clock
bool Alive(HWND);
// Device input in screen coordinates. hint: the window the window system
// says is under the pointer (null = find it), time: event time in ms.
void MouseMove(POINT screen, HWND hint, DWORD time);
void MouseButton(int button, bool down, POINT screen, HWND hint, DWORD time);
void MouseWheel(int delta, bool horizontal, POINT screen, HWND hint, DWORD time);
void MouseLeftAll(DWORD time);
void Key(UINT vk, bool down, UINT scan, bool extended, wchar_t chr, DWORD time);
void FocusLost();            // focus went to another program
void FocusGained(HWND top);  // the window system activated one of ours
void CloseRequested(HWND top);
// The window system moved or resized a top-level window (screen rect).
void NativeGeometry(HWND w, const RECT& r, int minimized);
void Exposed(HWND w, const RECT& r);
BYTE AsyncKeyState(UINT vk);
WindowObject* Capture();
std::vector<HWND> ZOrder();
void ApplyRegion(cairo_surface_t* frame, WindowObject* w);
}  // namespace core

}  // namespace kelvo::platform
