// Paint manager and dialogs on the headless window system: routing, hover,
// capture, focus order, wheel, timers, the periodic tick and modal results.
#include <gtest/gtest.h>

#include <cairo.h>

#include <chrono>
#include <thread>

#include "tests/ui/core_test_util.h"

namespace kelvo {
namespace {
namespace pf = kelvo::platform;
namespace hl = kelvo::platform::headless;
using testing::Probe;
using testing::TestDialog;

class ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pf::InitBackend("headless"));
    testing::UseBuiltSkins();
    hl::AdvanceInputClock(5000);
  }
  void TearDown() override { pf::ShutdownBackend(); }

  // The loop of a dialog: pre-translation first, as ShowModal does.
  static void Pump(MWindow& w) {
    for (int round = 0; round < 3; ++round) {
      pf::MSG m;
      while (pf::PeekMessage(&m, nullptr, 0, 0, pf::PM_REMOVE)) {
        if (m.message == pf::WM_QUIT) return;
        if (!w.PreTranslateMessage(&m)) {
          pf::TranslateMessage(&m);
          pf::DispatchMessage(&m);
        }
      }
    }
  }
  static void Move(MWindow& w, int x, int y) {
    hl::MouseMove(x, y);
    Pump(w);
  }
  static void Button(MWindow& w, bool down, int button = 1) {
    hl::MouseButton(button, down);
    Pump(w);
  }
  template <class Pred>
  static bool WaitFor(MWindow& w, Pred pred, int ms = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      Pump(w);
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pred();
  }
};

TEST_F(ManagerTest, PressAndReleaseReachTheControlAndItsReportReachesOnMessage) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(41, CRect(20, 20, 120, 60)); };
  ASSERT_NE(dlg.Open(CRect(100, 100, 500, 400)), nullptr);
  Move(dlg, 150, 140);
  EXPECT_EQ(dlg.GetPaintManager().GetHoverControl(), p);
  Button(dlg, true);
  Button(dlg, false);
  EXPECT_EQ(p->lastDown, CPoint(50, 40));
  ASSERT_EQ(dlg.notes.size(), 2u);
  EXPECT_EQ(dlg.notes[0].id, 41u);
  EXPECT_EQ(dlg.notes[0].code, NOTIFY_LBUTTONDOWN);
  EXPECT_EQ(dlg.notes[1].code, NOTIFY_CLICK);
  EXPECT_EQ(hl::CaptionDragCount(dlg.GetSafeHwnd()), 0);
}

TEST_F(ManagerTest, APressOnTheBackgroundMovesTheWindowOnlyWhenDragIsOn) {
  for (int drag : {1, 0}) {
    TestDialog dlg;
    dlg.build = [&](TestDialog& d, CRect) { d.Add<Probe>(41, CRect(20, 20, 120, 60)); };
    ASSERT_NE(dlg.Open(CRect(0, 0, 300, 200)), nullptr);
    dlg.EnableWndDrag(drag);
    Move(dlg, 200, 150);
    Button(dlg, true);
    Button(dlg, false);
    EXPECT_EQ(hl::CaptionDragCount(dlg.GetSafeHwnd()), drag) << "drag " << drag;
    EXPECT_TRUE(dlg.notes.empty());
  }
}

TEST_F(ManagerTest, LeavingTheWindowSendsTheHoverControlAMoveToMinusOne) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(5, CRect(0, 0, 100, 100)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  Move(dlg, 50, 50);
  ASSERT_EQ(dlg.GetPaintManager().GetHoverControl(), p);
  ASSERT_EQ(dlg.GetPaintManager().IsTracking(), 1);
  Move(dlg, 800, 800);
  EXPECT_EQ(p->lastMove, CPoint(-1, -1));
  EXPECT_EQ(dlg.GetPaintManager().GetHoverControl(), nullptr);
  EXPECT_EQ(dlg.GetPaintManager().IsTracking(), 0);
}

TEST_F(ManagerTest, CaptureKeepsTheReleaseWithThePressedControl) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(5, CRect(0, 0, 100, 100)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  Move(dlg, 50, 50);
  Button(dlg, true);
  EXPECT_EQ(dlg.GetPaintManager().IsCaptured(), 1);
  Move(dlg, 600, 500);  // outside the window
  Button(dlg, false);
  EXPECT_EQ(p->downs, 1);
  EXPECT_EQ(p->ups, 1);
  EXPECT_EQ(p->lastUp, CPoint(600, 500));
  EXPECT_EQ(dlg.GetPaintManager().IsCaptured(), 0);
  ASSERT_EQ(dlg.notes.size(), 1u) << "a release outside is no click";
}

TEST_F(ManagerTest, DeactivationWhileHeldReleasesAtMinusOne) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(5, CRect(0, 0, 100, 100)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  Move(dlg, 50, 50);
  Button(dlg, true);
  dlg.GetPaintManager().OnNcActivate(0);
  EXPECT_EQ(p->lastUp, CPoint(-1, -1));
  EXPECT_EQ(dlg.GetPaintManager().IsLeftPressed(), 0);
  EXPECT_EQ(dlg.GetPaintManager().GetHoverControl(), nullptr);
}

TEST_F(ManagerTest, TabAndShiftTabWalkEligibleControlsAndWrap) {
  TestDialog dlg;
  Probe *a = nullptr, *b = nullptr, *hidden = nullptr, *c = nullptr, *noStop = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    a = d.Add<Probe>(1, CRect(0, 0, 10, 10));
    noStop = d.Add<Probe>(2, CRect(0, 20, 10, 30));
    b = d.Add<Probe>(3, CRect(0, 40, 10, 50));
    hidden = d.Add<Probe>(4, CRect(0, 60, 10, 70));
    c = d.Add<Probe>(5, CRect(0, 80, 10, 90));
    for (Probe* p : {a, b, hidden, c}) p->SetTabStop(1);
    hidden->SetControlVisible(0);
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  auto& pm = dlg.GetPaintManager();
  auto tab = [&](bool shift, bool ctrl = false) {
    if (shift) hl::Key(pf::VK_SHIFT, true);
    if (ctrl) hl::Key(pf::VK_CONTROL, true);
    hl::Key(pf::VK_TAB, true);
    hl::Key(pf::VK_TAB, false);
    if (ctrl) hl::Key(pf::VK_CONTROL, false);
    if (shift) hl::Key(pf::VK_SHIFT, false);
    Pump(dlg);
    return pm.GetFocusControl();
  };
  EXPECT_EQ(tab(false), a);
  EXPECT_EQ(tab(false), b);
  EXPECT_EQ(tab(false), c);
  EXPECT_EQ(tab(false), a) << "wraps to the first";
  EXPECT_EQ(tab(true), c) << "Shift+Tab wraps backwards";
  EXPECT_EQ(tab(true), b);
  EXPECT_EQ(tab(false, true), b) << "Ctrl+Tab does not move focus";
  EXPECT_EQ(b->focusCalls.back(), 1);
  EXPECT_EQ(a->focusCalls.back(), 0);
}

TEST_F(ManagerTest, WheelDeltasBecomeWholeNotches) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(5, CRect(0, 0, 100, 100)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  struct {
    short delta;
    std::vector<unsigned> notches;
    int handled;
  } cases[] = {{119, {}, 0}, {-119, {}, 0}, {120, {0}, 1}, {-240, {1, 1}, 1}, {360, {0, 0, 0}, 1}};
  for (auto& c : cases) {
    p->wheel.clear();
    EXPECT_EQ(dlg.GetPaintManager().OnMouseWheel(0, c.delta, CPoint(50, 50)), c.handled) << c.delta;
    EXPECT_EQ(p->wheel, c.notches) << c.delta;
  }
}

TEST_F(ManagerTest, ControlTimerIdentifiersSkipTheBannerTimersAndWrap) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(5, CRect(0, 0, 10, 10)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  auto& pm = dlg.GetPaintManager();
  std::vector<unsigned> ids;
  for (unsigned key = 0; key < 237; ++key) {
    ASSERT_EQ(pm.SetTimer(p, key, 60000), 1) << key;
    ids.push_back(pm.GetTimerIdentifier(p, key));
  }
  EXPECT_EQ(ids.front(), 17u);
  EXPECT_EQ(ids[1], 18u);
  for (unsigned id : ids) {
    EXPECT_NE(id, 66u);
    EXPECT_NE(id, 88u);
    EXPECT_NE(id, 99u);
  }
  const auto zero = std::find(ids.begin(), ids.end(), 0u);
  ASSERT_NE(zero, ids.end());
  EXPECT_EQ(*(zero - 1), 239u) << "239 is followed by 0";
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "no identifier is handed out twice";
  EXPECT_EQ(pm.SetTimer(p, 999, 60000), 0) << "every identifier is in use";
}

TEST_F(ManagerTest, RestartingAKilledTimerReusesItsIdentifier) {
  TestDialog dlg;
  Probe *p = nullptr, *q = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    p = d.Add<Probe>(5, CRect(0, 0, 10, 10));
    q = d.Add<Probe>(6, CRect(0, 0, 10, 10));
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  auto& pm = dlg.GetPaintManager();
  ASSERT_EQ(pm.SetTimer(p, 1, 5), 1);
  const unsigned id = pm.GetTimerIdentifier(p, 1);
  EXPECT_EQ(pm.SetTimer(p, 1, 5), 0) << "already running";
  EXPECT_EQ(pm.KillTimer(p, 1), 1);
  ASSERT_EQ(pm.SetTimer(q, 1, 5), 1);
  EXPECT_NE(pm.GetTimerIdentifier(q, 1), id) << "a killed record keeps its identifier";
  EXPECT_EQ(pm.SetTimer(p, 1, 5), 1);
  EXPECT_EQ(pm.GetTimerIdentifier(p, 1), id);
  EXPECT_TRUE(WaitFor(dlg, [&] { return p->ticks.load() >= 2; }));
  pm.KillTimer(p);
  EXPECT_EQ(pm.GetTimerIdentifier(p, 1), 0u);
  // An identifier nobody holds is ignored.
  const int before = p->ticks.load();
  pm.OnTimer(200);
  EXPECT_EQ(p->ticks.load(), before);
}

TEST_F(ManagerTest, PeriodicTickReachesOnlyEligibleControls) {
  TestDialog dlg;
  Probe *ok = nullptr, *noFlag = nullptr, *hidden = nullptr, *unregistered = nullptr, *inHidden = nullptr;
  MPanel* panel = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    ok = d.Add<Probe>(1, CRect());
    noFlag = d.Add<Probe>(2, CRect());
    hidden = d.Add<Probe>(3, CRect());
    unregistered = d.Add<Probe>(4, CRect());
    panel = d.Add<MPanel>(5, CRect(0, 0, 50, 50), 0);
    inHidden = new Probe(panel, 6, CRect());
    panel->AddControl(inHidden);
    inHidden->SetManager(&d.GetPaintManager());
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  auto& pm = dlg.GetPaintManager();
  for (Probe* p : {ok, hidden, unregistered, inHidden}) p->SetRunTimer(1);
  hidden->SetControlVisible(0);
  for (Probe* p : {ok, noFlag, hidden, inHidden}) pm.AddMTimer(p);
  ASSERT_NE(pm.SetMTimer(2), 0u);
  EXPECT_TRUE(WaitFor(dlg, [&] { return ok->ticks.load() >= 5; }));
  pm.KillMTimer();
  EXPECT_EQ(noFlag->ticks.load(), 0);
  EXPECT_EQ(hidden->ticks.load(), 0);
  EXPECT_EQ(unregistered->ticks.load(), 0);
  EXPECT_EQ(inHidden->ticks.load(), 0);
  // A tick for an identifier that is not the window's tick does nothing.
  const int before = ok->ticks.load();
  pm.OnMTimer(pm.GetMTimerId() + 12345);
  EXPECT_EQ(ok->ticks.load(), before);
}

// Destroyed while the tick thread is running on it: teardown waits for the
// tick in flight and no later tick touches the freed control (ASan).
class SlowTicker : public Probe {
 public:
  using Probe::Probe;
  ~SlowTicker() override { gone->store(true); }
  int OnControlTimer() override {
    inTick.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    EXPECT_FALSE(gone->load());
    inTick.store(false);
    return Probe::OnControlTimer();
  }
  std::shared_ptr<std::atomic<bool>> gone = std::make_shared<std::atomic<bool>>(false);
  std::atomic<bool> inTick{false};
};

TEST_F(ManagerTest, AControlDestroyedWhileRegisteredForTicksIsForgotten) {
  TestDialog dlg;
  SlowTicker* t = nullptr;
  Probe* other = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    t = d.Add<SlowTicker>(7, CRect(0, 0, 50, 50));
    other = d.Add<Probe>(8, CRect(60, 0, 90, 50));
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  auto& pm = dlg.GetPaintManager();
  t->SetRunTimer(1);
  other->SetRunTimer(1);
  pm.AddMTimer(t);
  pm.AddMTimer(other);
  ASSERT_EQ(pm.SetTimer(t, 3, 1), 1);
  Move(dlg, 10, 10);
  ASSERT_EQ(pm.GetHoverControl(), t);
  pm.SetFocusControl(t);
  ASSERT_NE(pm.SetMTimer(1), 0u);
  ASSERT_TRUE(WaitFor(dlg, [&] { return t->inTick.load(); }));
  auto gone = t->gone;
  pm.RemoveControl(t);
  EXPECT_TRUE(gone->load());
  EXPECT_EQ(pm.GetHoverControl(), nullptr);
  EXPECT_EQ(pm.GetFocusControl(), nullptr);
  EXPECT_EQ(pm.GetControl(7), nullptr);
  const int seen = other->ticks.load();
  EXPECT_TRUE(WaitFor(dlg, [&] { return other->ticks.load() > seen + 3; })) << "the tick goes on for the others";
  pm.KillMTimer();
}

TEST_F(ManagerTest, ShowModalReturnsTheResultPostedFromAnotherThread) {
  struct {
    void (MDialog::*close)();
    unsigned result;
  } cases[] = {{&MDialog::DoOK, 1}, {&MDialog::DoCancel, 2}, {&MDialog::DoClose, 2}, {&MDialog::DoYes, 6}, {&MDialog::DoNo, 7}};
  for (auto& c : cases) {
    TestDialog dlg;
    ASSERT_NE(dlg.Open(CRect(0, 0, 120, 80), pf::WS_POPUP), nullptr);
    std::thread worker([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      (dlg.*c.close)();
    });
    const unsigned r = dlg.ShowModal();
    worker.join();
    EXPECT_EQ(r, c.result);
    EXPECT_FALSE(pf::IsWindow(dlg.GetSafeHwnd()));
  }
}

TEST_F(ManagerTest, ShowModalEdgeResults) {
  TestDialog none;
  EXPECT_EQ(none.ShowModal(), 0xFFFFFFFFu) << "no window";

  TestDialog closed;  // the system close box: WM_CLOSE without a result
  ASSERT_NE(closed.Open(CRect(0, 0, 50, 50), pf::WS_POPUP), nullptr);
  closed.PostMessageW(pf::WM_CLOSE, 0, 0);
  EXPECT_EQ(closed.ShowModal(), 0u);

  TestDialog quit;  // a quit message ends the loop and is posted again
  ASSERT_NE(quit.Open(CRect(0, 0, 50, 50), pf::WS_POPUP), nullptr);
  pf::PostQuitMessage(9);
  EXPECT_EQ(quit.ShowModal(), 0u);
  pf::MSG m;
  ASSERT_TRUE(pf::PeekMessage(&m, nullptr, 0, 0, pf::PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<unsigned>(pf::WM_QUIT));
  EXPECT_EQ(m.wParam, 9u);
}

TEST_F(ManagerTest, ModalChildDisablesItsOwnerUntilItCloses) {
  TestDialog owner;
  ASSERT_NE(owner.Open(CRect(0, 0, 300, 300)), nullptr);
  TestDialog child;
  ASSERT_NE(child.Create(owner.GetSafeHwnd(), L"child", pf::WS_POPUP, 0, CRect(50, 50, 150, 150)), nullptr);
  bool ownerDisabledDuring = false;
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ownerDisabledDuring = !pf::IsWindowEnabled(owner.GetSafeHwnd());
    child.DoOK();
  });
  EXPECT_EQ(child.ShowModal(), 1u);
  worker.join();
  EXPECT_TRUE(ownerDisabledDuring);
  EXPECT_TRUE(pf::IsWindowEnabled(owner.GetSafeHwnd()));
}

TEST_F(ManagerTest, OwnedWindowsAreTornDownBeforeTheirOwner) {
  static std::vector<std::string> order;
  order.clear();
  struct Named : TestDialog {
    std::string name;
    int OnDestroy() override {
      order.push_back(name);
      return 0;
    }
  };
  Named owner, owned;
  owner.name = "owner";
  owned.name = "owned";
  ASSERT_NE(owner.Open(CRect(0, 0, 300, 300)), nullptr);
  ASSERT_NE(owned.Create(owner.GetSafeHwnd(), L"owned", pf::WS_POPUP | pf::WS_VISIBLE, 0, CRect(0, 0, 50, 50)), nullptr);
  owned.Add<Probe>(1, CRect(0, 0, 10, 10));
  owner.DestroyWindow();
  EXPECT_EQ(order, (std::vector<std::string>{"owned", "owner"}));
  EXPECT_EQ(owned.GetSafeHwnd(), nullptr);
  EXPECT_EQ(owned.GetControl(1), nullptr) << "the manager dropped its controls with the window";
}

TEST_F(ManagerTest, HoveringAControlWithATipShowsItAndLeavingClearsIt) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    p = d.Add<Probe>(12, CRect(10, 10, 60, 40));
    p->SetTooltip(L"Sends the profile");
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 200, 200)), nullptr);
  auto& pm = dlg.GetPaintManager();
  Move(dlg, 20, 20);
  EXPECT_EQ(pm.GetTooltipCtrlID(), 12);
  EXPECT_EQ(pm.GetTooltipText(), L"Sends the profile");
  EXPECT_TRUE(WaitFor(dlg, [&] { return pf::IsWindowVisible(pm.GetTooltipWindow()) != 0; }))
      << "the tip appears once the pointer rests";
  Move(dlg, 900, 900);
  EXPECT_EQ(pm.GetTooltipCtrlID(), 0);
  EXPECT_FALSE(pm.IsTooltipActive());
  EXPECT_FALSE(pf::IsWindowVisible(pm.GetTooltipWindow()));
}

TEST_F(ManagerTest, TheCaretShowsOnlyForAFocusedEditInAFocusedWindow) {
  TestDialog dlg;
  Probe* edit = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { edit = d.Add<Probe>(3, CRect(10, 10, 30, 30)); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 60)), nullptr);
  auto& pm = dlg.GetPaintManager();
  pf::SetFocus(dlg.GetSafeHwnd());
  edit->SetControlFocus(1);
  edit->SetTextColor(0xFF00FF00);
  pm.CreateCaret(nullptr, 2, 16);
  ASSERT_EQ(pm.SetCaretPos(edit, 50, 20), 1);
  pm.ShowCaret(1);
  auto pixel = [&](int x, int y) {
    Pump(dlg);
    cairo_surface_t* s = hl::CopyFrame(dlg.GetSafeHwnd());
    Canvas c(s);
    if (s) cairo_surface_destroy(s);
    return c.PixelAt(x, y) & 0xFFFFFF;
  };
  // Alpha 254 leaves a premultiplied 0xFE in the presented frame.
  EXPECT_GE(pixel(51, 25), 0x00FE00u) << "drawn in the edit's text colour";
  EXPECT_LE(pixel(51, 25), 0x00FF00u);
  edit->SetControlFocus(0);
  pm.Invalidate(false);
  pixel(51, 25);
  EXPECT_LT((pixel(51, 25) >> 8) & 0xFF, 0x40u) << "gone once the edit loses focus";
}

TEST_F(ManagerTest, UnknownClassNamesCreateNothingAtTopLevel) {
  TestDialog dlg;
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  EXPECT_NE(dlg.CreateArea(L"CArea", 3, CRect(0, 0, 10, 10), L"", 1, 0), nullptr);
  EXPECT_EQ(dlg.GetControl(3)->IsEnabled(), 1) << "areas are always built enabled";
  EXPECT_EQ(dlg.CreateControl(L"KeyFuncControl", 4, CRect(), L"", 1, 1), nullptr) << "panel-only name";
  EXPECT_EQ(dlg.CreateControl(L"Bogus", 5, CRect(), L"", 1, 1), nullptr);
  EXPECT_EQ(dlg.GetControls()->size(), 0u);
}

}  // namespace
}  // namespace kelvo
