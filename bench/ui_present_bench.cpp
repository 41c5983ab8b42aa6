// Present time of the window layer on a private Xvfb: a full 1280x720 frame
// and a small hover rectangle through PresentRect, each against a raw
// XShmPutImage of the same surface in the same run (counter "vs_raw").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/ui/xvfb_server.h"
#include "ui/platform/common/platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {
using namespace kelvo::platform;

LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProc(w, m, wp, lp); }

// Raw Xlib: one shared-memory image put to a plain window, then a sync.
double RawPutMs(int width, int height, int pw, int ph, int rounds) {
  ::Display* d = XOpenDisplay(nullptr);
  if (!d) return 0;
  int s = DefaultScreen(d);
  Window win = XCreateSimpleWindow(d, RootWindow(d, s), 0, 0, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, 0, 0);
  XMapWindow(d, win);
  GC gc = XCreateGC(d, win, 0, nullptr);
  XShmSegmentInfo shm{};
  XImage* img = XShmCreateImage(d, DefaultVisual(d, s), static_cast<unsigned>(DefaultDepth(d, s)), ZPixmap,
                                nullptr, &shm, static_cast<unsigned>(width), static_cast<unsigned>(height));
  shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(height),
                     IPC_CREAT | 0600);
  shm.shmaddr = img->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
  XShmAttach(d, &shm);
  XSync(d, False);
  shmctl(shm.shmid, IPC_RMID, nullptr);
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    XShmPutImage(d, win, gc, img, 0, 0, 0, 0, static_cast<unsigned>(pw), static_cast<unsigned>(ph), False);
    XSync(d, False);
  }
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / rounds;
  XShmDetach(d, &shm);
  shmdt(shm.shmaddr);
  img->data = nullptr;
  XDestroyImage(img);
  XFreeGC(d, gc);
  XDestroyWindow(d, win);
  XCloseDisplay(d);
  return ms;
}

HWND MakePresentWindow(int w, int h, DWORD ex) {
  static bool registered = [] {
    WNDCLASSEX wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = L"KelvoBench";
    return RegisterClassEx(&wc) != 0;
  }();
  (void)registered;
  HWND hwnd = CreateWindowEx(ex, L"KelvoBench", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr,
                             nullptr, nullptr, nullptr);
  HDC dc = GetDC(hwnd);
  cairo_t* cr = cairo_create(dc);
  cairo_set_source_rgba(cr, 0.1, 0.5, 0.9, 0.8);
  cairo_paint(cr);
  cairo_destroy(cr);
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
  return hwnd;
}

void Present(benchmark::State& state, int w, int h, int pw, int ph, DWORD ex) {
  HWND hwnd = MakePresentWindow(w, h, ex);
  RECT r{100, 100, 100 + pw, 100 + ph};
  if (pw == w) r = RECT{0, 0, w, h};
  for (auto _ : state) {
    PresentRect(hwnd, &r);
  }
  double ours = 0;
  {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i) PresentRect(hwnd, &r);
    ours = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / 50;
  }
  double raw = RawPutMs(w, h, pw, ph, 50);
  state.counters["ms_per_present"] = ours;
  state.counters["raw_ms"] = raw;
  state.counters["vs_raw"] = raw > 0 ? ours / raw : 0;
  DestroyWindow(hwnd);
}

void BM_PresentFull1280x720(benchmark::State& s) { Present(s, 1280, 720, 1280, 720, 0); }
void BM_PresentHover120x40(benchmark::State& s) { Present(s, 1280, 720, 120, 40, 0); }
// A layered window without a compositor: unpremultiplied and shaped each frame.
void BM_PresentLayeredShaped400x300(benchmark::State& s) { Present(s, 400, 300, 400, 300, WS_EX_LAYERED); }
BENCHMARK(BM_PresentFull1280x720)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentHover120x40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentLayeredShaped400x300)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  kelvo::testing::XvfbServer server;
  std::string why;
  if (!server.Start(&why, "1920x1080x24")) {
    std::fprintf(stderr, "no Xvfb: %s\n", why.c_str());
    return 0;
  }
  ::setenv("DISPLAY", server.display().c_str(), 1);
  if (!InitBackend("x11")) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ShutdownBackend();
  return 0;
}
