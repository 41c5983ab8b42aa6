#include <cwchar>
#include <map>
#include <mutex>
#include <string>

#include "kelvo/control.h"
#include "kelvo/paint_manager.h"
#include "kelvo/render.h"

namespace kelvo {

// ---------------------------------------------------------------------------
// Class-name factory

namespace {

std::mutex& FactoryMu() {
  static std::mutex mu;
  return mu;
}
std::map<std::wstring, ControlMaker>& Makers() {
  static std::map<std::wstring, ControlMaker> m;
  return m;
}

const wchar_t* const kPanelNames[] = {
    L"CArea",         L"MText",          L"MPicture",      L"CPhotoFrame",   L"CSliderPicture", L"CGifPicture",
    L"MProgress",     L"MSlider",        L"MLevelCtrl",    L"MButton",       L"CImageButton",   L"CTextButton",
    L"CCheckButton",  L"CRadioButton",   L"CColorButton",  L"MSpinButton",   L"CSpinButton",    L"CSwitchButton",
    L"CIconButton",   L"CTimerButton",   L"CHelpButton",   L"MEdit",         L"MRichEdit",      L"MEditEx",
    L"MComboBox",     L"MTabCtrl",       L"MTabLayout",    L"MListBox",      L"MPalette",       L"CColorPalette",
    L"CColorSelect",  L"CirclePalette",  L"MenuItem",      L"KeyboardCtrl",  L"KeyFuncControl", L"DListBox",
    L"CRecordList",   L"CDeviceCtrl",    L"UpgradeButton", L"DownloadButton"};

const wchar_t* const kWindowNames[] = {
    L"CArea",        L"MText",         L"MPicture",      L"CPhotoFrame",  L"CSliderPicture", L"CGifPicture",
    L"MProgress",    L"MSlider",       L"MLevelCtrl",    L"MButton",      L"CImageButton",   L"CTextButton",
    L"CCheckButton", L"CRadioButton",  L"CColorButton",  L"MSpinButton",  L"CSpinButton",    L"CSwitchButton",
    L"CIconButton",  L"CTimerButton",  L"CHelpButton",   L"MEdit",        L"MRichEdit",      L"MEditEx",
    L"MComboBox",    L"MTabCtrl",      L"MTabLayout",    L"MListBox",     L"MPalette",       L"CColorPalette",
    L"CColorSelect", L"CirclePalette", L"CComboBoxList", L"MenuItem",     L"KeyboardCtrl",   L"CDeviceCtrl",
    L"BatteryCtrl"};

template <size_t N>
bool InList(const wchar_t* const (&list)[N], const wchar_t* name) {
  if (!name) return false;
  for (const wchar_t* n : list)
    if (std::wcscmp(n, name) == 0) return true;
  return false;
}

MControl* MakeArea(MObject* parent, unsigned id, CRect rect, const wchar_t*, int visible, int) {
  return new CArea(parent, id, rect, visible, 1);
}
const ControlRegistration kAreaReg(L"CArea", &MakeArea);

}  // namespace

void ControlFactory::Register(const wchar_t* className, ControlMaker maker) {
  if (!className || !maker) return;
  std::lock_guard lock(FactoryMu());
  Makers()[className] = maker;
}

MControl* ControlFactory::Create(const wchar_t* className, MObject* parent, unsigned id, CRect rect,
                                 const wchar_t* title, int visible, int enabled) {
  if (!className || !*className) return nullptr;
  ControlMaker maker = nullptr;
  {
    std::lock_guard lock(FactoryMu());
    auto it = Makers().find(className);
    if (it != Makers().end()) maker = it->second;
  }
  return maker ? maker(parent, id, rect, title, visible, enabled) : nullptr;
}

bool ControlFactory::PanelAccepts(const wchar_t* className) { return InList(kPanelNames, className); }
bool ControlFactory::WindowAccepts(const wchar_t* className) { return InList(kWindowNames, className); }

// ---------------------------------------------------------------------------
// MScroll

MScroll::MScroll(MObject* parent, unsigned id, CRect rect, int visible, int enabled, bool vertical)
    : MControlFont(parent, id, rect, L"", visible, enabled, 1), vertical_(vertical) {}

void MScroll::SetRange(int range) {
  range_ = range;
  if (range_ <= 0) position_ = 0;
  position_ = std::clamp(position_, 0, std::max(0, range_));
  RecalcThumb();
}

void MScroll::SetPosition(int pos) {
  position_ = range_ > 0 ? std::clamp(pos, 0, range_) : 0;
  RecalcThumb();
}

void MScroll::RecalcThumb() {
  const int track = vertical_ ? rect_.Height() : rect_.Width();
  if (range_ <= 0 || track <= 0) {
    thumb_.SetRectEmpty();
    return;
  }
  const int len = std::clamp(static_cast<int>(static_cast<long long>(track) * track / std::max(range_, track)),
                             std::min(track, 16), track);
  const int off = static_cast<int>(static_cast<long long>(track - len) * position_ / range_);
  thumb_ = vertical_ ? CRect(rect_.left, rect_.top + off, rect_.right, rect_.top + off + len)
                     : CRect(rect_.left + off, rect_.top, rect_.left + off + len, rect_.bottom);
}

void MScroll::DrawControl(Canvas& dc, CRect clip) {
  if (rect_.IsRectEmpty()) return;
  const float r = (vertical_ ? rect_.Width() : rect_.Height()) / 2.0f;
  MRender::DrawRoundRectange(dc, rect_.left, rect_.top, rect_.Width(), rect_.Height(), r, 0x30FFFFFF);
  if (!thumb_.IsRectEmpty())
    MRender::DrawRoundRectange(dc, thumb_.left, thumb_.top, thumb_.Width(), thumb_.Height(), r, 0xA0FFFFFF);
}

// ---------------------------------------------------------------------------
// MPanel

MPanel::MPanel(MObject* parent, unsigned id, CRect rect, int visible)
    : MControlFont(parent, id, rect, L"", visible, 1, 1) {
  vScroll_ = new MScroll(this, 1, CRect(), 0, 1, true);
  hScroll_ = new MScroll(this, 2, CRect(), 0, 1, false);
  controls_.push_back(vScroll_);
  controls_.push_back(hScroll_);
  LayoutScrollBars();
}

MPanel::~MPanel() = default;

void MPanel::InitControl(PaintManager* manager) {
  vScroll_->SetManager(manager);
  hScroll_->SetManager(manager);
  inited_ = 1;
}

MControl* MPanel::CreateArea(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                             int enabled) {
  return CreateControl(0, this, className, id, rect, title, visible, enabled);
}

MControl* MPanel::CreateControl(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title,
                                int visible, int enabled) {
  return CreateControl(1, this, className, id, rect, title, visible, enabled);
}

MControl* MPanel::CreateControl(unsigned kind, MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                                const wchar_t* title, int visible, int enabled) {
  if (!ControlFactory::PanelAccepts(className)) return nullptr;
  MControl* c = ControlFactory::Create(className, parent, id, rect, title, visible, enabled);
  if (!c) return nullptr;
  c->SetManager(manager_);
  if (kind == 0)
    AddArea(c);
  else if (kind == 1)
    AddControl(c);
  return c;
}

bool MPanel::ContentOverflows() const {
  return scrollEnabled_ && (virtualHeight_ > rect_.Height() || virtualWidth_ > rect_.Width());
}

int MPanel::GetVerticalOffset() const {
  const int range = vScroll_->GetRange();
  if (range <= 0 || virtualHeight_ <= rect_.Height()) return 0;
  return static_cast<int>(static_cast<long long>(virtualHeight_ - rect_.Height()) * vScroll_->GetPosition() / range);
}

int MPanel::GetHorizontalOffset() const {
  const int range = hScroll_->GetRange();
  if (range <= 0 || virtualWidth_ <= rect_.Width()) return 0;
  return static_cast<int>(static_cast<long long>(virtualWidth_ - rect_.Width()) * hScroll_->GetPosition() / range);
}

int MPanel::OnMousePointChange(CPoint& pt) {
  if (!ContentOverflows()) return 0;
  pt.x += GetHorizontalOffset();
  pt.y += GetVerticalOffset();
  return 1;
}

void MPanel::LayoutScrollBars() {
  const int t = scrollThickness_;
  struct Bar {
    MScroll* bar;
    CRect rect;
    bool visible;
    int range;
  } bars[] = {
      {vScroll_, CRect(rect_.right - t, rect_.top, rect_.right, rect_.bottom), rect_.Height() < virtualHeight_,
       virtualHeight_},
      {hScroll_, CRect(rect_.left, rect_.bottom - t, rect_.right, rect_.bottom), rect_.Width() < virtualWidth_,
       virtualWidth_},
  };
  for (auto& b : bars) {
    const CRect old = b.bar->GetRect();
    b.bar->SetControlRect(b.rect);
    if (b.bar->IsVisible()) OnControlUpdate(Union(old, b.rect), 1, b.bar);
    if ((b.bar->IsVisible() != 0) != b.visible) {
      b.bar->SetControlVisible(b.visible ? 1 : 0);
      OnControlUpdate(b.rect, 1, b.bar);
    }
    if (b.bar->GetResetOnLayout()) b.bar->SetPosition(0);
    b.bar->SetRange(b.range);
  }
}

void MPanel::SetControlRect(CRect rect) {
  rect_ = rect;
  LayoutScrollBars();
}

void MPanel::SetVirtualHeight(int h) {
  virtualHeight_ = std::max(0, h);
  LayoutScrollBars();
}

void MPanel::SetVirtualWidth(int w) {
  virtualWidth_ = std::max(0, w);
  LayoutScrollBars();
}

int MPanel::OnControlScroll(int kind, unsigned direction, CPoint pt) {
  if (!scrollEnabled_ || virtualHeight_ < rect_.Height()) return 0;
  const int before = vScroll_->GetPosition();
  const int step = vScroll_->GetStep();
  vScroll_->SetPosition(std::clamp(before + (direction == 1 ? step : -step), 0, std::max(0, vScroll_->GetRange())));
  if (vScroll_->GetPosition() != before) {
    UpdateControl(1, 0);
    vScroll_->UpdateControl(1, 0);
  }
  return 1;
}

int MPanel::DrawSubControls(Canvas& dc, CRect clip) {
  if (!ContentOverflows()) return MControl::DrawSubControls(dc, clip);
  // Overflowing content is drawn by the list-like panels themselves; the
  // bars stay ours.
  if (vScroll_->IsVisible()) vScroll_->Draw(dc, clip);
  if (hScroll_->IsVisible()) hScroll_->Draw(dc, clip);
  return 1;
}

long MPanel::OnControlUpdate(CRect rect, int redraw, MControl* control) {
  if (!control) return 0;
  CRect dirty = rect;
  if (redraw) control->SetUpdate(0, 0);
  if (inited_) {
    std::lock_guard g(controlsLock_);
    bool passed = false;
    for (MControl* c : controls_) {
      if (c == control) {
        passed = true;
        continue;
      }
      if (passed && c->IsVisible() && c->GetRect().Intersects(dirty)) {
        c->SetUpdate(0, 0);
        dirty.UnionRect(dirty, c->GetRect());
      }
    }
  }
  if (control != vScroll_ && control != hScroll_) dirty.OffsetRect(-GetHorizontalOffset(), -GetVerticalOffset());
  CRect shown;
  if (!shown.IntersectRect(dirty, rect_)) return 0;
  // The panel's own cache holds what the child painted over.
  cacheValid_ = 0;
  if (parent_) parent_->OnControlUpdate(shown, 0, this);
  return 0;
}

long MPanel::OnBaseMessage(unsigned id, unsigned code, unsigned wParam, long lParam) {
  return OnMessage(id, code, wParam, lParam);
}

long MPanel::OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) {
  return parent_ ? parent_->OnBaseMessage(id, code, wParam, lParam) : 0;
}

long MPanel::OnWindowMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_)
    if (long r = c->OnWindowMessage(msg, wParam, lParam)) return r;
  return 0;
}

void MPanel::SetControlEnabled(int enabled) {
  enabled_ = enabled;
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_) {
    if ((c->IsEnabled() != 0) != (enabled != 0)) {
      c->SetControlEnabled(enabled);
      if (c->IsVisible()) c->SetUpdate(0, 0);
    }
  }
  if (visible_) UpdateControl(1, 0);
}

void MPanel::SetControlVisible(int visible) {
  visible_ = visible;
  SetControlWndVisible(visible);
}

// ---------------------------------------------------------------------------
// CArea

CArea::CArea(MObject* parent, unsigned id, CRect rect, int visible, int enabled)
    : MControl(parent, id, rect, visible, enabled, 1) {}

void CArea::SetTransparent(int topPercent, int bottomPercent, unsigned long colour) {
  topPercent_ = topPercent;
  bottomPercent_ = bottomPercent;
  colour_ = static_cast<COLORREF>(colour & 0xFFFFFF);
  if (visible_) UpdateControl(1, 0);
}

void CArea::SetFrame(int on, ARGB frameColour, int) {
  frame_ = on;
  frameColour_ = frameColour;
  if (visible_) UpdateControl(1, 0);
}

void CArea::DrawControl(Canvas& dc, CRect clip) {
  DrawCached(dc, clip, 1, 0, [this](Canvas& cache, const CRect& slot, int) {
    if (topPercent_ != 0 || bottomPercent_ != 0) {
      Canvas wash(slot.Width(), slot.Height());
      if (!wash.IsValid()) return;
      const CRect all(0, 0, slot.Width(), slot.Height());
      wash.FillRect(all, ColorRefToArgb(colour_));
      if (direction_ == 1)
        MRender::DrawVerticalTransition(cache, wash, slot, all, topPercent_, bottomPercent_);
      else
        MRender::DrawHorizontalTransition(cache, wash, slot, all, topPercent_, bottomPercent_);
    } else if (frame_) {
      cache.FillRect(slot, frameColour_);
      CRect inner = slot;
      inner.DeflateRect(1);
      cache.FillRect(inner, ColorRefToArgb(colour_));
    } else {
      cache.FillRect(slot, ColorRefToArgb(colour_));
    }
  });
}

}  // namespace kelvo
