// The control tree on its own: no window, no manager.
#include <gtest/gtest.h>

#include "kelvo/control.h"
#include "tests/ui/core_test_util.h"

namespace kelvo {
namespace {
using testing::Probe;
using testing::Sink;

TEST(ControlState, UnchangedValuesRequestNothingAndChangesAlwaysRepaint) {
  struct Case {
    const char* what;
    int start;
    int set;
    bool visibility;
    size_t updates;
  } cases[] = {
      {"visible stays visible", 1, 1, true, 0},
      {"visible becomes hidden", 1, 0, true, 1},
      {"hidden becomes visible", 0, 1, true, 1},
      {"enabled stays enabled", 1, 1, false, 0},
      {"enabled becomes disabled", 1, 0, false, 1},
  };
  for (const auto& c : cases) {
    Sink sink;
    Probe p(&sink, 5, CRect(0, 0, 10, 10));
    if (c.visibility) {
      p.SetControlVisible(c.start);
      p.SetVisible(c.set);
      EXPECT_EQ(p.IsVisible(), c.set) << c.what;
    } else {
      p.SetControlEnabled(c.start);
      p.SetEnabled(c.set);
      EXPECT_EQ(p.IsEnabled(), c.set) << c.what;
    }
    EXPECT_EQ(sink.updates.size(), c.updates) << c.what;
  }
}

TEST(ControlInput, NoMouseResponseIgnoresEverythingIncludingChildren) {
  Sink sink;
  Probe parent(&sink, 1, CRect(0, 0, 100, 100));
  auto* child = new Probe(&parent, 2, CRect(10, 10, 50, 50));
  parent.AddControl(child);
  parent.SetRresponse(0);
  EXPECT_EQ(parent.OnMouseMove(0, CPoint(20, 20)), 0);
  EXPECT_EQ(parent.OnLButtonDown(0, CPoint(20, 20)), 0);
  EXPECT_EQ(parent.OnLButtonUp(0, CPoint(20, 20)), 0);
  EXPECT_EQ(parent.OnScroll(1, 1, CPoint(20, 20)), 0);
  EXPECT_EQ(parent.OnKeyDown('A', 1, 0), 0);
  EXPECT_EQ(child->moves + child->downs + child->ups + static_cast<int>(child->wheel.size()), 0);
  EXPECT_EQ(parent.moves + parent.downs, 0);
}

TEST(ControlInput, TheLaterOfTwoOverlappingChildrenTakesThePress) {
  Sink sink;
  Probe parent(&sink, 1, CRect(0, 0, 100, 100));
  auto* first = new Probe(&parent, 2, CRect(0, 0, 60, 60));
  auto* second = new Probe(&parent, 3, CRect(30, 30, 90, 90));
  parent.AddControl(first);
  parent.AddControl(second);
  parent.OnLButtonDown(0, CPoint(40, 40));
  EXPECT_EQ(first->downs, 0);
  EXPECT_EQ(second->downs, 1);
  ASSERT_EQ(sink.notes.size(), 0u) << "children report to their own parent";
}

TEST(ControlInput, APressKeepsTheMouseOnItsChildUntilRelease) {
  Sink sink;
  Probe parent(&sink, 1, CRect(0, 0, 200, 100));
  auto* a = new Probe(&parent, 2, CRect(0, 0, 50, 50));
  auto* b = new Probe(&parent, 3, CRect(100, 0, 150, 50));
  parent.AddControl(a);
  parent.AddControl(b);
  parent.OnMouseMove(0, CPoint(10, 10));
  parent.OnLButtonDown(0, CPoint(10, 10));
  const int bMovesBefore = b->moves;
  parent.OnMouseMove(0, CPoint(120, 10));  // over b, but a holds the press
  EXPECT_EQ(a->lastMove, CPoint(120, 10));
  EXPECT_EQ(b->moves, bMovesBefore);
  parent.OnLButtonUp(0, CPoint(120, 10));
  EXPECT_EQ(a->ups, 1);
  EXPECT_EQ(b->ups, 0);
  parent.OnMouseMove(0, CPoint(121, 10));
  EXPECT_GT(b->moves, bMovesBefore) << "after the release the mouse is free again";
}

TEST(ControlInput, DoubleClickIsASecondPressUnlessTheControlWantsDoubleClicks) {
  for (int dbl : {0, 1}) {
    Sink sink;
    Probe p(&sink, 7, CRect(0, 0, 50, 50));
    p.SetDblClkFlag(dbl);
    p.SetNotifyDblClk(1);
    p.OnLButtonDown(0, CPoint(5, 5));
    p.OnLButtonUp(0, CPoint(5, 5));
    p.OnLButtonDblClk(0, CPoint(5, 5));
    if (dbl == 0) {
      EXPECT_EQ(p.downs, 2);
      EXPECT_EQ(p.dblclks, 0);
    } else {
      EXPECT_EQ(p.downs, 1);
      EXPECT_EQ(p.dblclks, 1);
      ASSERT_FALSE(sink.notes.empty());
      EXPECT_EQ(sink.notes.back().code, NOTIFY_DBLCLK);
      EXPECT_EQ(sink.notes.back().id, 7u);
    }
  }
}

TEST(ControlInput, WheelGoesToTheFirstChildThatTakesIt) {
  Sink sink;
  Probe parent(&sink, 1, CRect(0, 0, 100, 100));
  parent.acceptWheel = false;
  auto* refuses = new Probe(&parent, 2, CRect(0, 0, 100, 100));
  refuses->acceptWheel = false;
  auto* takes = new Probe(&parent, 3, CRect(0, 0, 100, 100));
  auto* never = new Probe(&parent, 4, CRect(0, 0, 100, 100));
  parent.AddControl(refuses);
  parent.AddControl(takes);
  parent.AddControl(never);
  EXPECT_EQ(parent.OnScroll(1, 1, CPoint(10, 10)), 1);
  EXPECT_EQ(takes->wheel, std::vector<unsigned>{1});
  EXPECT_TRUE(never->wheel.empty());
  EXPECT_EQ(parent.OnScroll(1, 0, CPoint(150, 10)), 0) << "outside the control";
  parent.SetControlEnabled(0);
  EXPECT_EQ(parent.OnScroll(1, 0, CPoint(10, 10)), 0) << "disabled";
}

TEST(ControlInput, KeysGoToTheFocusedChildAndNeverToItsSiblings) {
  Sink sink;
  Probe root(&sink, 1, CRect(0, 0, 100, 100));
  auto* sibling = new Probe(&root, 2, CRect(0, 0, 10, 10));
  auto* focused = new Probe(&root, 3, CRect(20, 0, 30, 10));
  root.AddControl(sibling);
  root.AddControl(focused);
  focused->SetControlFocus(1);
  focused->SetNotifyKeyDown(1);
  focused->takeKeys = true;
  EXPECT_EQ(root.OnKeyDown('K', 1, MOD_CTRL_WORD), 1);
  EXPECT_EQ(focused->keys, std::vector<unsigned>{'K'});
  EXPECT_EQ(focused->lastMods, MOD_CTRL_WORD);
  EXPECT_TRUE(sibling->keys.empty());
  EXPECT_TRUE(root.keys.empty());
}

TEST(ControlInput, HotKeyMatchesOnlyWithItsModifierWord) {
  Sink sink;
  Probe p(&sink, 9, CRect(0, 0, 10, 10));
  // Ctrl+Shift folds into the Ctrl word (0x10 | 0x11 == 0x11).
  p.SetHotKey('S', MOD_CTRL_WORD | MOD_SHIFT_WORD);
  struct {
    unsigned vk, mods;
    int handled;
  } cases[] = {{'S', 0x11, 1}, {'S', 0, 0}, {'T', 0x11, 0}, {'S', 0x13, 0}};
  for (auto& c : cases) EXPECT_EQ(p.MControl::OnControlKeyDown(c.vk, 1, c.mods), c.handled) << c.vk << " " << c.mods;
}

TEST(ControlTree, GetControlSearchesDepthFirstAndReturnsNullWhenAbsent) {
  Sink sink;
  MPanel panel(&sink, 10, CRect(0, 0, 100, 100), 1);
  auto* inner = new MPanel(&panel, 20, CRect(0, 0, 50, 50), 1);
  panel.AddControl(inner);
  auto* deep = new Probe(inner, 30, CRect(0, 0, 10, 10));
  inner->AddControl(deep);
  auto* area = new CArea(&panel, 40, CRect(0, 0, 5, 5), 1, 1);
  panel.AddArea(area);
  EXPECT_EQ(panel.GetControl(30), deep);
  EXPECT_EQ(panel.GetControl(40), area);
  EXPECT_EQ(panel.GetControl(99), nullptr);
  EXPECT_EQ(deep->GetControl(99), nullptr);
  EXPECT_EQ(panel.GetControl(1), panel.GetScrollVertical()) << "ids 1 and 2 are the panel's bars";
}

TEST(ControlTree, ParentVisibilityEndsAtTheDialog) {
  Sink dialog;  // calls itself "MDialog"
  Probe onDialog(&dialog, 1, CRect());
  MPanel hidden(&dialog, 2, CRect(0, 0, 10, 10), 0);
  auto* inside = new Probe(&hidden, 3, CRect());
  hidden.AddControl(inside);
  Probe orphan(nullptr, 4, CRect());
  EXPECT_EQ(onDialog.IsParentVisible(), 1);
  EXPECT_EQ(inside->IsParentVisible(), 0);
  hidden.SetControlVisible(1);
  EXPECT_EQ(inside->IsParentVisible(), 1);
  EXPECT_EQ(orphan.IsParentVisible(), 0);
}

TEST(ControlTree, NestedReportsReachTheDialogWithTheOriginatingId) {
  Sink dialog;
  MPanel outer(&dialog, 100, CRect(0, 0, 100, 100), 1);
  auto* inner = new MPanel(&outer, 200, CRect(0, 0, 100, 100), 1);
  outer.AddControl(inner);
  auto* leaf = new Probe(inner, 300, CRect(10, 10, 20, 20));
  inner->AddControl(leaf);
  leaf->SendMessageW(NOTIFY_CLICK, 4, 5);
  ASSERT_EQ(dialog.notes.size(), 1u);
  EXPECT_EQ(dialog.notes[0].id, 300u);
  EXPECT_EQ(dialog.notes[0].code, NOTIFY_CLICK);
  EXPECT_EQ(dialog.notes[0].wParam, 4u);
  EXPECT_EQ(dialog.notes[0].lParam, 5);
}

TEST(Panel, ScrollBarsGetRawPointsAndContentGetsShiftedOnes) {
  Sink sink;
  MPanel panel(&sink, 10, CRect(0, 0, 100, 100), 1);
  auto* content = new Probe(&panel, 11, CRect(0, 0, 93, 2000));
  panel.AddControl(content);
  panel.SetVirtualHeight(1000);
  ASSERT_TRUE(panel.GetScrollVertical()->IsVisible());
  EXPECT_FALSE(panel.GetScrollHorizontal()->IsVisible());
  panel.GetScrollVertical()->SetPosition(500);
  EXPECT_EQ(panel.GetVerticalOffset(), 450);  // (1000 - 100) * 500 / 1000
  panel.OnMouseMove(0, CPoint(20, 30));
  EXPECT_EQ(content->lastMove, CPoint(20, 480));
  panel.OnLButtonDown(0, CPoint(97, 50));  // on the bar strip, only without the shift
  EXPECT_EQ(panel.GetHotChild(), panel.GetScrollVertical());
}

TEST(Panel, WheelMovesByTheStepWithinTheRange) {
  Sink sink;
  MPanel panel(&sink, 10, CRect(0, 0, 100, 100), 1);
  panel.SetVirtualHeight(130);
  auto* bar = panel.GetScrollVertical();
  EXPECT_EQ(panel.OnControlScroll(1, 1, CPoint(5, 5)), 1);
  EXPECT_EQ(bar->GetPosition(), bar->GetStep());
  for (int i = 0; i < 20; ++i) panel.OnControlScroll(1, 1, CPoint(5, 5));
  EXPECT_EQ(bar->GetPosition(), 130);
  panel.SetVirtualHeight(50);  // content fits: ignored
  EXPECT_EQ(panel.OnControlScroll(1, 0, CPoint(5, 5)), 0);
}

TEST(Panel, NonPositiveRangeHidesTheBarAndZeroesThePosition) {
  Sink sink;
  MPanel panel(&sink, 10, CRect(0, 0, 100, 100), 1);
  panel.SetVirtualHeight(400);
  panel.GetScrollVertical()->SetPosition(200);
  panel.SetVirtualHeight(0);
  EXPECT_FALSE(panel.GetScrollVertical()->IsVisible());
  EXPECT_EQ(panel.GetScrollVertical()->GetPosition(), 0);
  EXPECT_EQ(panel.GetVerticalOffset(), 0);
  EXPECT_TRUE(panel.GetScrollVertical()->GetThumbRect().IsRectEmpty());
}

TEST(Factory, KnownNamesBuildAndUnknownOrUnbuiltNamesGiveNull) {
  Sink sink;
  MPanel panel(&sink, 10, CRect(0, 0, 100, 100), 1);
  EXPECT_NE(panel.CreateControl(L"CArea", 5, CRect(0, 0, 5, 5), L"", 1, 1), nullptr);
  EXPECT_EQ(panel.CreateControl(L"NoSuchControl", 6, CRect(), L"", 1, 1), nullptr);
  EXPECT_EQ(panel.CreateControl(L"", 7, CRect(), L"", 1, 1), nullptr);
  // "CComboBoxList" is a window-level name only.
  EXPECT_EQ(panel.CreateControl(L"CComboBoxList", 8, CRect(), L"", 1, 1), nullptr);
  EXPECT_FALSE(ControlFactory::PanelAccepts(L"BatteryCtrl"));
  EXPECT_TRUE(ControlFactory::WindowAccepts(L"BatteryCtrl"));
  EXPECT_FALSE(ControlFactory::WindowAccepts(L"DListBox"));
  EXPECT_EQ(panel.GetControl(6), nullptr);
  EXPECT_NE(panel.GetControl(5), nullptr);
}

TEST(Layout, PositionDescriptors) {
  struct {
    int type, fromEnd;
    float value;
    int a, b, want;
  } cases[] = {
      {0, 0, 10, 100, 300, 110}, {0, 1, 10, 100, 300, 290}, {1, 0, 5, 100, 300, 205},
      {1, 1, 5, 100, 300, 195},  {2, 0, 25, 100, 300, 150}, {2, 0, 150, 100, 300, 300},
      {7, 0, 1, 100, 300, 0},
  };
  for (auto& c : cases)
    EXPECT_EQ(PositionItem2Value(FS_POSITION_ITEM{c.type, c.fromEnd, c.value}, c.a, c.b), c.want)
        << "type " << c.type << " value " << c.value;
}

TEST(Strings, ClassTestIsExactAndCaseSensitive) {
  Sink sink;
  CArea area(&sink, 1, CRect(), 1, 1);
  EXPECT_EQ(area.IsClass(L"CArea"), 1);
  EXPECT_EQ(area.IsClass(L"carea"), 0);
  EXPECT_EQ(area.IsClass(nullptr), 0);
}

TEST(Cursor, KnownNamesOnlyChangeTheCursor) {
  Sink sink;
  Probe p(&sink, 1, CRect());
  p.SetCursorEx(L"hand");
  EXPECT_EQ(p.GetCursor(), CursorKind::Hand);
  p.SetCursorEx(L"pointer");
  EXPECT_EQ(p.GetCursor(), CursorKind::Hand);
  p.SetCursorEx(L"sizewe");
  EXPECT_EQ(p.GetCursor(), CursorKind::SizeWE);
}

}  // namespace
}  // namespace kelvo
