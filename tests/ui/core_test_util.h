#pragma once
// Small controls and dialogs that record what reaches them, for the
// toolkit core's tests.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kelvo/control.h"
#include "kelvo/paint_manager.h"
#include "kelvo/window.h"
#include "ui/platform/headless/headless.h"

namespace kelvo::testing {

struct Note {
  unsigned id, code, wParam;
  long lParam;
};

// Collects notifications like a dialog would.
class Sink : public MObject {
 public:
  const wchar_t* GetClassNameW() const override { return L"MDialog"; }
  long OnBaseMessage(unsigned id, unsigned code, unsigned w, long l) override {
    notes.push_back({id, code, w, l});
    return 0;
  }
  long OnControlUpdate(CRect rect, int redraw, MControl* c) override {
    updates.push_back(rect);
    return 0;
  }
  std::vector<Note> notes;
  std::vector<CRect> updates;
};

// A control that fills its rect with one colour through the render cache
// and records the hooks that reach it.
class Probe : public MControlFont {
 public:
  Probe(MObject* parent, unsigned id, CRect rect, ARGB colour = 0xFF808080)
      : MControlFont(parent, id, rect, L"", 1, 1, 1), colour(colour) {}
  const wchar_t* GetClassNameW() const override { return L"Probe"; }
  void DrawControl(Canvas& dc, CRect clip) override {
    ++draws;
    DrawCached(dc, clip, 1, 0, [this](Canvas& c, const CRect& slot, int) {
      ++renders;
      c.FillRect(slot, colour);
    });
  }
  int OnControlMouseMove(unsigned, CPoint pt) override {
    ++moves;
    lastMove = pt;
    return rect_.PtInRect(pt) ? 1 : 0;
  }
  int OnControlLButtonDown(unsigned, CPoint pt) override {
    ++downs;
    lastDown = pt;
    SendMessageW(NOTIFY_LBUTTONDOWN, 0, 0);
    return 1;
  }
  int OnControlLButtonUp(unsigned, CPoint pt) override {
    ++ups;
    lastUp = pt;
    if (rect_.PtInRect(pt)) SendMessageW(NOTIFY_CLICK, 0, 0);
    return 1;
  }
  int OnControlLButtonDblClk(unsigned, CPoint) override {
    ++dblclks;
    return 1;
  }
  int OnControlScroll(int, unsigned direction, CPoint) override {
    if (!acceptWheel) return 0;
    wheel.push_back(direction);
    return 1;
  }
  int OnControlKeyDown(unsigned vk, unsigned repeat, unsigned mods) override {
    keys.push_back(vk);
    lastMods = mods;
    return takeKeys ? 1 : MControl::OnControlKeyDown(vk, repeat, mods);
  }
  int SetControlFocus(int focus) override {
    focused_ = focus;
    focusCalls.push_back(focus);
    return MControl::SetControlFocus(focus);
  }
  int OnControlTimer() override {
    ticks.fetch_add(1);
    return 1;
  }
  void SetDblClkFlag(int v) { dblClk_ = v; }
  void SetNotifyDblClk(int v) { notifyDblClk_ = v; }
  void SetNotifyKeyDown(int v) { notifyKeyDown_ = v; }

  ARGB colour;
  int draws = 0, renders = 0, moves = 0, downs = 0, ups = 0, dblclks = 0;
  CPoint lastMove{-99, -99}, lastDown{-99, -99}, lastUp{-99, -99};
  std::vector<unsigned> wheel;
  std::vector<unsigned> keys;
  unsigned lastMods = 0;
  bool takeKeys = false;
  bool acceptWheel = true;
  std::vector<int> focusCalls;
  std::atomic<int> ticks{0};
};

// A dialog that builds its controls through a callback and records notes.
class TestDialog : public MDialog {
 public:
  std::function<void(TestDialog&, CRect)> build;
  std::vector<Note> notes;
  void InitUI(CRect client) override {
    if (build) build(*this, client);
  }
  long OnMessage(unsigned id, unsigned code, unsigned w, long l) override {
    notes.push_back({id, code, w, l});
    return 0;
  }
  // Adds a hand-made control to the top level.
  template <class T, class... A>
  T* Add(A&&... args) {
    auto* c = new T(this, std::forward<A>(args)...);
    pm_.AddControl(1, c);
    return c;
  }
  HWND Open(CRect rect, unsigned long style = platform::WS_POPUP | platform::WS_VISIBLE) {
    return Create(nullptr, L"test", style, 0, rect);
  }
};

// The build tree's program directory: BRUMKEY_BIN_DIR, else bin/ beside
// the tests/ folder this executable runs from.
inline void UseBuiltSkins() {
  std::string dir;
  if (const char* bin = std::getenv("BRUMKEY_BIN_DIR")) {
    dir = bin;
  } else {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) dir = (exe.parent_path().parent_path() / "bin").string();
  }
  if (!dir.empty()) Manager::SetProgramDirectory(std::wstring(dir.begin(), dir.end()));
}

// Runs this thread's loop until nothing is pending now.
inline void Pump(int rounds = 3) {
  for (int r = 0; r < rounds; ++r) {
    platform::MSG m;
    while (platform::PeekMessage(&m, nullptr, 0, 0, platform::PM_REMOVE)) {
      if (m.message == platform::WM_QUIT) return;
      platform::TranslateMessage(&m);
      platform::DispatchMessage(&m);
    }
  }
}

}  // namespace kelvo::testing
