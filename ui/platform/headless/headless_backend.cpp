// Headless backend: windows are surfaces in memory on a virtual screen.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/platform/common/internal.h"
#include "ui/platform/headless/headless.h"

namespace kelvo::platform {
namespace {

struct HeadlessWindow {
  cairo_surface_t* frame = nullptr;  // what was last presented, raw
  int frames = 0;
  RECT lastPresent;
  int captionDrags = 0;
  HCURSOR cursor = nullptr;
};

std::mutex g_hmu;
RECT g_screen{0, 0, 1920, 1080};
RECT g_work{0, 0, 1920, 1080};
bool g_compositor = true;
DWORD g_inputClock = 1000;
POINT g_pointer;
std::wstring g_clipboard;
bool g_hasClipboard = false;

HeadlessWindow* H(WindowObject* w) { return static_cast<HeadlessWindow*>(w->native); }

class HeadlessBackend : public Backend {
 public:
  const char* Name() const override { return "headless"; }
  bool HasCompositor() override {
    std::lock_guard lk(g_hmu);
    return g_compositor;
  }
  bool CreateNative(WindowObject* w) override {
    w->native = new HeadlessWindow;
    return true;
  }
  void DestroyNative(WindowObject* w) override {
    auto* h = H(w);
    if (!h) return;
    if (h->frame) cairo_surface_destroy(h->frame);
    delete h;
    w->native = nullptr;
  }
  void Show(WindowObject*, bool) override {}
  void Geometry(WindowObject*) override {}
  void Title(WindowObject*) override {}
  void Restack(WindowObject*) override {}
  void StyleChanged(WindowObject*) override {}
  cairo_surface_t* CreateBackBuffer(WindowObject*, int width, int height) override {
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  }
  void FreeBackBuffer(WindowObject*, cairo_surface_t* s) override { cairo_surface_destroy(s); }
  void Present(WindowObject* w, const RECT& r) override {
    auto* h = H(w);
    if (!h || !w->back) return;
    int bw = cairo_image_surface_get_width(w->back), bh = cairo_image_surface_get_height(w->back);
    std::lock_guard lk(g_hmu);
    if (!h->frame || cairo_image_surface_get_width(h->frame) != bw ||
        cairo_image_surface_get_height(h->frame) != bh) {
      if (h->frame) cairo_surface_destroy(h->frame);
      h->frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bw, bh);
    }
    cairo_t* cr = cairo_create(h->frame);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, w->back, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(h->frame);
    ++h->frames;
    h->lastPresent = r;
  }
  void ShapeChanged(WindowObject*) override {}
  void Cursor(WindowObject* w, HCURSOR c) override {
    if (H(w)) H(w)->cursor = c;
  }
  void Icon(WindowObject*) override {}
  bool BeginMove(WindowObject* w, POINT) override {
    if (H(w)) ++H(w)->captionDrags;
    return false;  // moved by the core as the pointer moves
  }
  void Capture(WindowObject*, bool) override {}
  void Focus(WindowObject*) override {}
  void Screen(RECT* screen, RECT* work) override {
    std::lock_guard lk(g_hmu);
    *screen = g_screen;
    *work = g_work;
  }
  POINT CursorPos() override {
    std::lock_guard lk(g_hmu);
    return g_pointer;
  }
  void WarpCursor(int x, int y) override { headless::MouseMove(x, y); }
  void ClipCursor(const RECT*) override {}
  void SynthesizeKey(UINT vk, bool down) override { headless::Key(vk, down); }
  bool SetClipboard(const std::wstring& text) override {
    std::lock_guard lk(g_hmu);
    g_clipboard = text;
    g_hasClipboard = true;
    return true;
  }
  bool GetClipboard(std::wstring* text) override {
    std::lock_guard lk(g_hmu);
    if (!g_hasClipboard) return false;
    *text = g_clipboard;
    return true;
  }
  int EventFd() override { return -1; }
  void Pump() override {}
  bool HasQueued() override { return false; }
  DWORD InputTime() override {
    std::lock_guard lk(g_hmu);
    return g_inputClock;
  }
};

DWORD Now() {
  std::lock_guard lk(g_hmu);
  return g_inputClock;
}

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() {
  std::lock_guard lk(g_hmu);
  g_screen = RECT{0, 0, 1920, 1080};
  g_work = g_screen;
  g_compositor = true;
  g_pointer = POINT{};
  g_hasClipboard = false;
  return std::make_unique<HeadlessBackend>();
}

namespace headless {

void SetScreen(int width, int height, RECT work) {
  core::Get();
  std::lock_guard lk(g_hmu);
  g_screen = RECT{0, 0, width, height};
  g_work = work;
}

void SetCompositor(bool on) {
  core::Get();
  std::lock_guard lk(g_hmu);
  g_compositor = on;
}

void MouseMove(int x, int y) {
  {
    std::lock_guard lk(g_hmu);
    g_pointer = POINT{x, y};
  }
  core::MouseMove(POINT{x, y}, nullptr, Now());
}

void MouseButton(int button, bool down) {
  POINT p;
  {
    std::lock_guard lk(g_hmu);
    p = g_pointer;
  }
  core::MouseButton(button, down, p, nullptr, Now());
}

void MouseWheel(int delta) {
  POINT p;
  {
    std::lock_guard lk(g_hmu);
    p = g_pointer;
  }
  core::MouseWheel(delta, false, p, nullptr, Now());
}

void Key(UINT vk, bool down, wchar_t chr) { core::Key(vk, down, 0, false, chr, Now()); }

void AdvanceInputClock(DWORD ms) {
  std::lock_guard lk(g_hmu);
  g_inputClock += ms;
}

cairo_surface_t* CopyFrame(HWND w) {
  if (!core::Alive(w) || !H(w)) return nullptr;
  bool compositor;
  cairo_surface_t* out;
  {
    std::lock_guard lk(g_hmu);
    if (!H(w)->frame) return nullptr;
    compositor = g_compositor;
    cairo_surface_t* f = H(w)->frame;
    out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(f),
                                     cairo_image_surface_get_height(f));
    cairo_t* cr = cairo_create(out);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, f, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  cairo_surface_flush(out);
  // What a screen would show: an opaque window ignores alpha; a layered
  // window keeps it (or gets a 1-bit shape without a compositor); colour key
  // and constant alpha apply to layered windows.
  int wd = cairo_image_surface_get_width(out), ht = cairo_image_surface_get_height(out);
  int stride = cairo_image_surface_get_stride(out);
  unsigned char* data = cairo_image_surface_get_data(out);
  bool layered = w->exStyle & WS_EX_LAYERED;
  COLORREF key = w->colorKey;
  std::uint32_t keyPix = 0xFF000000u | ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
  for (int y = 0; y < ht; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
    for (int x = 0; x < wd; ++x) {
      std::uint32_t p = row[x];
      if (!layered) {
        row[x] = p | 0xFF000000u;
        continue;
      }
      if ((w->lwaFlags & LWA_COLORKEY) && (p | 0xFF000000u) == keyPix) {
        row[x] = 0;
        continue;
      }
      if (!compositor) {
        unsigned a = p >> 24;
        if (a < 128) {
          row[x] = 0;
          continue;
        }
        // Shown opaque: undo the premultiplication.
        auto un = [a](unsigned c) { return std::min(255u, (c * 255 + a / 2) / a); };
        row[x] = 0xFF000000u | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
        continue;
      }
      if (w->constAlpha != 255) {
        unsigned ca = w->constAlpha;
        auto sc = [ca](unsigned c) { return (c * ca + 127) / 255; };
        row[x] = (sc(p >> 24) << 24) | (sc((p >> 16) & 0xFF) << 16) | (sc((p >> 8) & 0xFF) << 8) | sc(p & 0xFF);
      }
    }
  }
  cairo_surface_mark_dirty(out);
  core::ApplyRegion(out, w);
  return out;
}

int FrameCount(HWND w) {
  if (!core::Alive(w) || !H(w)) return 0;
  std::lock_guard lk(g_hmu);
  return H(w)->frames;
}

RECT LastPresentRect(HWND w) {
  if (!core::Alive(w) || !H(w)) return RECT{};
  std::lock_guard lk(g_hmu);
  return H(w)->lastPresent;
}

int CaptionDragCount(HWND w) {
  if (!core::Alive(w) || !H(w)) return 0;
  return H(w)->captionDrags;
}

HCURSOR CurrentCursor(HWND w) {
  if (!core::Alive(w) || !H(w)) return nullptr;
  return H(w)->cursor;
}

HICON WindowIcon(HWND w, bool big) {
  if (!core::Alive(w)) return nullptr;
  return big ? w->iconBig : w->iconSmall;
}

bool IsTopmost(HWND w) { return core::Alive(w) && w->topmost; }

std::vector<HWND> ZOrder() { return core::ZOrder(); }

}  // namespace headless
}  // namespace kelvo::platform
