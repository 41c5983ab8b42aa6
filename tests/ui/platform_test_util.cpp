#include "tests/ui/platform_test_util.h"

#include <algorithm>
#include <chrono>

namespace kelvo::platform::testing {
namespace {
Hook g_hook;
LRESULT CALLBACKish(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  Log().push_back(Seen{w, m, wp, lp});
  if (g_hook) {
    LRESULT r = 0;
    if (g_hook(w, m, wp, lp, &r)) return r;
  }
  return DefWindowProc(w, m, wp, lp);
}
}  // namespace

std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}
void SetHook(Hook h) { g_hook = std::move(h); }

void RegisterClasses() {
  WNDCLASSEX wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = CALLBACKish;
  wc.lpszClassName = L"KelvoTestWindow";
  RegisterClassEx(&wc);
  wc.style = 0;
  wc.lpszClassName = L"KelvoTestPlain";
  RegisterClassEx(&wc);
}

HWND MakeWindow(int x, int y, int w, int h, DWORD style, DWORD exStyle, HWND owner, bool dblclks) {
  RegisterClasses();
  return CreateWindowEx(exStyle, dblclks ? L"KelvoTestWindow" : L"KelvoTestPlain", L"test", style, x,
                        y, w, h, owner, nullptr, nullptr, nullptr);
}

void Drain(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        return;
      }
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
    if (ms > 0) {
      MSG peek;
      if (!PeekMessage(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
        auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0)) break;
        // Sleep in the loop until something arrives or the time is up.
        UINT_PTR t = SetTimer(nullptr, 0, static_cast<UINT>(std::max<long>(
                                              10, std::chrono::duration_cast<std::chrono::milliseconds>(left).count())),
                              nullptr);
        WaitMessage();
        KillTimer(nullptr, t);
      }
    }
  } while (std::chrono::steady_clock::now() < end);
}

std::vector<UINT> MessagesOf(HWND w, std::initializer_list<UINT> only) {
  std::vector<UINT> out;
  for (auto& s : Log())
    if (s.hwnd == w && (only.size() == 0 || std::find(only.begin(), only.end(), s.msg) != only.end()))
      out.push_back(s.msg);
  return out;
}
int Count(HWND w, UINT msg) {
  int n = 0;
  for (auto& s : Log())
    if (s.hwnd == w && s.msg == msg) ++n;
  return n;
}
const Seen* Last(HWND w, UINT msg) {
  for (auto it = Log().rbegin(); it != Log().rend(); ++it)
    if (it->hwnd == w && it->msg == msg) return &*it;
  return nullptr;
}

}  // namespace kelvo::platform::testing
