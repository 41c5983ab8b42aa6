#include "kelvo/control.h"

#include <cstring>
#include <cwchar>

#include "kelvo/paint_manager.h"

namespace kelvo {

int MObject::IsClass(const wchar_t* name) {
  const wchar_t* mine = GetClassNameW();
  return (mine && name && std::wcscmp(mine, name) == 0) ? 1 : 0;
}

int PositionItem2Value(const FS_POSITION_ITEM& item, int a, int b) {
  const int v = static_cast<int>(item.value);
  switch (item.type) {
    case 0: return item.fromEnd ? b - v : a + v;
    case 1: return a + (b - a) / 2 + (item.fromEnd ? -v : v);
    case 2: return std::min(b, a + static_cast<int>((b - a) * item.value / 100));
    default: return 0;
  }
}

namespace {
// Takes every child out of a list under its lock and frees them after the
// lock is released: a tick walking the list never sees a freed child, and
// a child's teardown (which waits for a tick in flight) never runs while
// this lock is held.
void DestroyList(std::vector<MControl*>& list, ControlLock& lock) {
  std::vector<MControl*> doomed;
  {
    std::lock_guard g(lock);
    doomed.swap(list);
  }
  for (MControl* c : doomed) delete c;
}
}  // namespace

MControl::MControl(MObject* parent, unsigned id, CRect rect, int visible, int enabled, int mouseResponse)
    : parent_(parent), id_(id), rect_(rect), visible_(visible), enabled_(enabled), mouseResponse_(mouseResponse) {}

MControl::~MControl() {
  // The manager only holds plain pointers: it forgets this control first
  // (waiting for a tick that may be running on it).
  if (manager_) manager_->ForgetControl(this);
  DestroyList(areas_, areasLock_);
  DestroyList(controls_, controlsLock_);
}

void MControl::SetManager(PaintManager* manager) {
  manager_ = manager;
  InitControl(manager);
}

int MControl::PtInRect(CPoint pt) { return (visible_ && rect_.PtInRect(pt)) ? 1 : 0; }

int MControl::DrawSubControls(Canvas& dc, CRect clip) {
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_)
    if (c->IsVisible()) c->Draw(dc, clip);
  return 1;
}

void MControl::SetUpdate(int valid, unsigned long colour) {
  cacheValid_ = valid;
  for (MControl* c : controls_)
    if (c->GetRect().Intersects(rect_)) c->SetUpdate(valid, colour);
}

int MControl::SetControlFocus(int focus) {
  if (focus == 0) {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) c->SetControlFocus(0);
  }
  return 0;
}

int MControl::OnControlSetCursor(unsigned flags, CPoint pt) {
  if (cursor_ != CursorKind::None && rect_.PtInRect(pt)) {
    if (manager_) manager_->SetCursor(cursor_);
    return 1;
  }
  return 0;
}

int MControl::OnControlKeyDown(unsigned vk, unsigned repeat, unsigned modifiers) {
  return (hotkeyVk_ != 0 && vk == hotkeyVk_ && modifiers == hotkeyModifiers_) ? 1 : 0;
}

void MControl::InvalidateRect(const CRect* rect, int erase) {
  if (!manager_) return;
  if (manager_->IsLayered())
    manager_->Invalidate(true);
  else
    manager_->InvalidateRect(rect ? *rect : rect_, erase);
}

void MControl::SetRect(CRect rect) {
  const CRect dirty = Union(rect_, rect);
  SetControlRect(rect);
  if (visible_ && parent_) parent_->OnControlUpdate(dirty, 1, this);
}

void MControl::SetRect(int x, int y, int w, int h) { SetRect(CRect(x, y, x + w, y + h)); }

void MControl::SetVisible(int visible) { SetVisible(visible, 1); }

void MControl::SetVisible(int visible, int repaint) {
  if ((visible != 0) == (visible_ != 0)) return;
  SetControlVisible(visible);
  if (repaint && parent_) parent_->OnControlUpdate(rect_, 1, this);
}

void MControl::SetEnabled(int enabled) {
  if ((enabled != 0) == (enabled_ != 0)) return;
  SetControlEnabled(enabled);
  if (visible_ && parent_) parent_->OnControlUpdate(rect_, 1, this);
}

int MControl::IsParentVisible() {
  if (!parent_) return 0;
  const wchar_t* cls = parent_->GetClassNameW();
  if (cls && std::wcscmp(cls, L"MDialog") == 0) return 1;
  auto* pc = dynamic_cast<MControl*>(parent_);
  // A window that is not a dialog (a popup, a menu) ends the walk: its
  // controls live while it is shown.
  if (!pc) return 1;
  return (pc->IsVisible() && pc->IsParentVisible()) ? 1 : 0;
}

int MControl::IsFocusControl() { return (manager_ && manager_->GetFocusControl() == this) ? 1 : 0; }

void MControl::UpdateControl(int redraw, int force) {
  if ((visible_ || force) && parent_) parent_->OnControlUpdate(rect_, redraw, this);
}

void MControl::UpdateControl(CRect rect, int force, int redraw) {
  if ((visible_ || force) && parent_) parent_->OnControlUpdate(rect, redraw, this);
}

void MControl::UpdateAControl(int keep, int force) {
  if (visible_ || force) {
    animating_ = keep ? 0 : 1;
    if (parent_) parent_->OnControlUpdate(rect_, 0, this);
  }
}

MControl* MControl::GetControl(unsigned id) {
  for (MControl* c : controls_) {
    if (c->GetControlID() == id) return c;
    if (MControl* d = c->GetControl(id)) return d;
  }
  for (MControl* a : areas_) {
    if (a->GetControlID() == id) return a;
    if (MControl* d = a->GetControl(id)) return d;
  }
  return nullptr;
}

int MControl::RemoveControl(MControl* child) {
  if (!child) return 0;
  if (manager_ && manager_->GetFocusControl() == child) {
    child->SetControlFocus(0);
    manager_->SetFocusControlPointer(nullptr);
  }
  bool found = false;
  {
    std::lock_guard g(controlsLock_);
    auto it = std::find(controls_.begin(), controls_.end(), child);
    if (it != controls_.end()) {
      controls_.erase(it);
      found = true;
    }
    if (hotChild_ == child) hotChild_ = nullptr;
  }
  if (found) {
    if (child->GetManager()) child->GetManager()->ForgetControl(child);
    delete child;
  }
  return 0;
}

void MControl::RemoveAllControl() {
  hotChild_ = nullptr;
  DestroyList(areas_, areasLock_);
  DestroyList(controls_, controlsLock_);
}

void MControl::AddControl(MControl* child) {
  if (!child) return;
  std::lock_guard g(controlsLock_);
  controls_.push_back(child);
}

void MControl::AddArea(MControl* child) {
  if (!child) return;
  std::lock_guard g(areasLock_);
  areas_.push_back(child);
}

long MControl::SendMessageW(unsigned code, unsigned wParam, long lParam) {
  return parent_ ? parent_->OnBaseMessage(id_, code, wParam, lParam) : 0;
}

void MControl::SetTooltip(const std::wstring& text, CRect rect) {
  if (!manager_) return;
  manager_->SetTooltip(text.c_str(), rect);
  manager_->SetTooltipCtrlID(static_cast<int>(id_));
}

void MControl::ClearTooltip() {
  if (manager_) manager_->ClearTooltip();
}

int MControl::SetCursorEx(const wchar_t* name) {
  if (!name) return 0;
  static const struct {
    const wchar_t* name;
    CursorKind kind;
  } kNames[] = {{L"arrow", CursorKind::Arrow}, {L"wait", CursorKind::Wait},     {L"cross", CursorKind::Cross},
                {L"sizewe", CursorKind::SizeWE}, {L"sizens", CursorKind::SizeNS}, {L"hand", CursorKind::Hand},
                {L"help", CursorKind::Help}};
  for (auto& n : kNames)
    if (std::wcscmp(n.name, name) == 0) cursor_ = n.kind;
  return 0;
}

void MControl::AddMTimer() {
  if (manager_) manager_->AddMTimer(this);
}

CPoint MControl::ChildPoint(const MControl* child, CPoint shifted, CPoint unshifted) {
  const unsigned id = child->GetControlID();
  return (id == 1 || id == 2) ? unshifted : shifted;
}

int MControl::OnMouseMove(unsigned flags, CPoint pt) {
  if (!visible_ || !mouseResponse_) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  if (hotChild_) {
    const CPoint cp = ChildPoint(hotChild_, pt, raw);
    if (hotChild_->PtInRect(cp) && hotChild_->OnCheckMouseResponse(flags, cp))
      return hotChild_->OnMouseMove(flags, cp) != 0;
    if (pressedInside_) return hotChild_->OnMouseMove(flags, cp) != 0;
  }
  MControl* before = hotChild_;
  hotChild_ = nullptr;
  if (!tooltip_.empty() && PtInRect(pt) && OnCheckMouseResponse(flags, pt) && manager_ &&
      manager_->GetTooltipCtrlID() != static_cast<int>(id_)) {
    manager_->SetTooltip(tooltip_.c_str(), rect_);
    manager_->SetTooltipCtrlID(static_cast<int>(id_));
  }
  OnControlSetCursor(flags, pt);
  int result = OnControlMouseMove(flags, pt);
  if (trackInside_) mouseOutside_ = rect_.PtInRect(pt) ? 0 : 1;
  if (pressedInside_) return result;
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) {
      const CPoint cp = ChildPoint(c, pt, raw);
      if (c->OnMouseMove(flags, cp)) {
        result = 1;
        if (c->PtInRect(cp)) hotChild_ = c;
      }
    }
  }
  return (hotChild_ || before) ? 1 : result;
}

int MControl::ButtonDown(bool left, unsigned flags, CPoint pt) {
  if (!visible_ || !mouseResponse_) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  pressedInside_ = rect_.PtInRect(pt) ? 1 : 0;
  MControl* hot = nullptr;
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) {
      const CPoint cp = ChildPoint(c, pt, raw);
      if (c->PtInRect(cp) && c->IsVisible() && c->IsEnabled() && c->GetRresponse()) hot = c;
    }
  }
  if (hot) {
    hotChild_ = hot;
    const CPoint cp = ChildPoint(hot, pt, raw);
    return (left ? hot->OnLButtonDown(flags, cp) : hot->OnRButtonDown(flags, cp)) != 0;
  }
  hotChild_ = nullptr;
  if (manager_) {
    MControl* focus = manager_->GetFocusControl();
    if (focus != this) {
      if (focus) focus->SetControlFocus(0);
      SetControlFocus(1);
      manager_->SetFocusControlPointer(this);
    }
  }
  return left ? OnControlLButtonDown(flags, pt) : OnControlRButtonDown(flags, pt);
}

int MControl::OnLButtonDown(unsigned flags, CPoint pt) { return ButtonDown(true, flags, pt); }
int MControl::OnRButtonDown(unsigned flags, CPoint pt) { return ButtonDown(false, flags, pt); }

int MControl::ButtonUp(bool left, unsigned flags, CPoint pt) {
  if (!visible_ || !mouseResponse_) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  pressedInside_ = 0;
  if (hotChild_) {
    const CPoint cp = ChildPoint(hotChild_, pt, raw);
    return left ? hotChild_->OnLButtonUp(flags, cp) : hotChild_->OnRButtonUp(flags, cp);
  }
  return left ? OnControlLButtonUp(flags, pt) : OnControlRButtonUp(flags, pt);
}

int MControl::OnLButtonUp(unsigned flags, CPoint pt) { return ButtonUp(true, flags, pt); }
int MControl::OnRButtonUp(unsigned flags, CPoint pt) { return ButtonUp(false, flags, pt); }

int MControl::DoubleClick(bool left, unsigned flags, CPoint pt) {
  if (!visible_ || !mouseResponse_) return 0;
  const CPoint raw = pt;
  OnMousePointChange(pt);
  pressedInside_ = 0;
  if (!hotChild_) {
    if (!dblClk_) return left ? OnControlLButtonDown(flags, pt) : OnControlRButtonDown(flags, pt);
    if (left) {
      if (notifyDblClk_ && rect_.PtInRect(pt)) SendMessageW(NOTIFY_DBLCLK, flags, reinterpret_cast<long>(&pt));
      return OnControlLButtonDblClk(flags, pt);
    }
    return OnControlRButtonDblClk(flags, pt);
  }
  MControl* hot = hotChild_;
  const CPoint cp = ChildPoint(hot, pt, raw);
  const int r = left ? hot->OnLButtonDblClk(flags, cp) : hot->OnRButtonDblClk(flags, cp);
  if (r == 0 && hot->GetDblClk() == 0) return left ? hot->OnLButtonDown(flags, cp) : hot->OnRButtonDown(flags, cp);
  return r;
}

int MControl::OnLButtonDblClk(unsigned flags, CPoint pt) { return DoubleClick(true, flags, pt); }
int MControl::OnRButtonDblClk(unsigned flags, CPoint pt) { return DoubleClick(false, flags, pt); }

int MControl::OnScroll(int kind, unsigned direction, CPoint pt) {
  if (!visible_ || !mouseResponse_ || !enabled_) return 0;
  if (hotChild_ && hotChild_->PtInRect(pt) && hotChild_->OnCheckMouseResponse(0, pt))
    return hotChild_->OnScroll(kind, direction, pt);
  if (!rect_.PtInRect(pt)) return 0;
  if (OnControlScroll(kind, direction, pt)) return 1;
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_)
    if (c->PtInRect(pt) && c->OnScroll(kind, direction, pt)) return 1;
  return 0;
}

void MControl::ReportKey(unsigned vk, unsigned modifiers) {
  if (notifyKeyDown_) SendMessageW(NOTIFY_KEYDOWN, vk, static_cast<long>(modifiers));
}

int MControl::OnKeyDown(unsigned vk, unsigned repeat, unsigned modifiers) {
  MControl* cur = this;
  for (;;) {
    if (!cur->visible_ || !cur->mouseResponse_) return 0;
    MControl* next = nullptr;
    {
      std::lock_guard g(cur->controlsLock_);
      for (MControl* c : cur->controls_)
        if (c->focused_) {
          next = c;
          break;
        }
    }
    if (!next) break;
    cur = next;
  }
  if (cur->hotChild_ && cur->hotChild_->OnKeyDown(vk, repeat, modifiers)) return 1;
  if (cur->OnControlKeyDown(vk, repeat, modifiers)) {
    cur->ReportKey(vk, modifiers);
    return 1;
  }
  {
    std::lock_guard g(cur->controlsLock_);
    for (MControl* c : cur->controls_)
      if (c->OnKeyDown(vk, repeat, modifiers)) {
        cur->ReportKey(vk, modifiers);
        return 1;
      }
  }
  cur->ReportKey(vk, modifiers);
  return 0;
}

int MControl::OnTimer() {
  int result = OnControlTimer() ? 1 : 0;
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_)
    if (c->IsRunTimer() && c->IsVisible() && c->OnTimer()) result = 1;
  return result;
}

void MControl::Draw(Canvas& dc, CRect clip) {
  if (!visible_ || !rect_.Intersects(clip)) return;
  {
    std::lock_guard g(areasLock_);
    for (MControl* a : areas_)
      if (a->GetRect().Intersects(rect_)) a->Draw(dc, clip);
  }
  DrawControl(dc, clip);
  DrawSubControls(dc, clip);
}

void MControl::UpdateMemDC(Canvas& dc, int width, int height) {
  cacheValid_ = 1;
  if (width != cacheWidth_ || height != cacheHeight_ || !cache_.IsValid()) {
    cache_.Reset(width, height);
    cacheWidth_ = width;
    cacheHeight_ = height;
  }
}

void MControl::UpdateAnimateDC(Canvas& dc, int width, int height) {
  animating_ = 1;
  animCache_.Reset(width, height);
  animWidth_ = width;
  animHeight_ = height;
}

void MControl::DrawCached(Canvas& dc, const CRect& clip, int states, int state,
                          const std::function<void(Canvas&, const CRect&, int)>& paint) {
  const int w = rect_.Width(), h = rect_.Height();
  if (w <= 0 || h <= 0) return;
  states = std::max(1, states);
  state = std::clamp(state, 0, states - 1);
  if (!cacheValid_ || !cache_.IsValid()) {
    UpdateMemDC(dc, w * states, h);
    if (!cache_.IsValid()) return;
    for (int s = 0; s < states; ++s) {
      const CRect slot(s * w, 0, (s + 1) * w, h);
      cache_.Copy(slot, dc, rect_.left, rect_.top);
      cache_.Save();
      cache_.Clip(slot);
      paint(cache_, slot, s);
      cache_.Restore();
    }
  }
  CRect target;
  if (!target.IntersectRect(rect_, clip)) return;
  dc.Copy(target, cache_, state * w + (target.left - rect_.left), target.top - rect_.top);
}

// ---------------------------------------------------------------------------

MControlFont::MControlFont(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible, int enabled,
                           int mouseResponse)
    : MControl(parent, id, rect, visible, enabled, mouseResponse),
      title_(title ? title : L""),
      face_(Manager::GetFontName()),
      fontSize_(Manager::GetFontWidth()) {}

void MControlFont::SetTextFont(const std::wstring& face) {
  face_ = face;
  gdiFontValid_ = false;
}

void MControlFont::SetTextColor(ARGB colour) { textColour_ = colour; }

int MControlFont::SetImage(unsigned resourceId, const std::wstring& type, int count) {
  if (!manager_) return 0;
  const ImgResInfo* info = manager_->AddImgResInfo(resourceId, type, count, 1);
  if (!info || !info->image) return 0;
  image_ = info->image;
  frameWidth_ = info->frameWidth;
  frameHeight_ = info->frameHeight;
  frameCount_ = info->frameCount;
  imagePath_.clear();
  UpdateControl(1, 0);
  return 1;
}

int MControlFont::SetImage(const wchar_t* file, int count) {
  if (!manager_ || !file) return 0;
  const ImgResInfo* info = manager_->AddImgResInfo(file, count);
  if (!info || !info->image) return 0;
  image_ = info->image;
  frameWidth_ = info->frameWidth;
  frameHeight_ = info->frameHeight;
  frameCount_ = info->frameCount;
  imagePath_ = file;
  UpdateControl(1, 0);
  return 1;
}

void MControlFont::SetTitle(const wchar_t* title) {
  gdiFontValid_ = false;
  SetControlTitle(title);
  if (visible_) UpdateControl(1, 0);
}

void MControlFont::SetAlignment(unsigned h) {
  if (h == hAlign_) return;
  hAlign_ = h;
  if (visible_) UpdateControl(1, 0);
}

void MControlFont::SetVAlignment(unsigned v) {
  if (v == vAlign_) return;
  vAlign_ = v;
  if (visible_) UpdateControl(1, 0);
}

void MControlFont::SetAlignment(unsigned h, unsigned v) {
  if (h == hAlign_ && v == vAlign_) return;
  hAlign_ = h;
  vAlign_ = v;
  if (visible_) UpdateControl(1, 0);
}

void MControlFont::SetFont(const wchar_t* face, int size, int style) {
  if (face) face_ = face;
  fontSize_ = size;
  fontStyle_ = style;
  gdiFontValid_ = false;
}

const FontFamily* MControlFont::GetFontFamily(const wchar_t* face) {
  if (!manager_) return nullptr;
  fontFamily_ = manager_->FindTempFont(face);
  return fontFamily_;
}

FontSpec MControlFont::GetGDIFont() {
  if (!gdiFontValid_) {
    // All control text uses the global face.
    gdiFont_.face = Manager::GetFontName();
    gdiFont_.sizePx = fontSize_;
    gdiFont_.style = fontStyle_ & (kFontBold | kFontItalic | kFontUnderline | kFontStrikeout);
    gdiFontValid_ = true;
  }
  return gdiFont_;
}

void MControlFont::SetImageCount(int count) {
  frameCount_ = std::max(1, count);
  if (image_) {
    frameWidth_ = image_->Width() / frameCount_;
    frameHeight_ = image_->Height();
  }
}

TextFormat MControlFont::GetTextFormat() const {
  TextFormat f;
  f.align = hAlign_ == 1 ? TextAlign::Center : hAlign_ == 2 ? TextAlign::Far : TextAlign::Near;
  f.lineAlign = vAlign_ == 4 ? TextAlign::Center : vAlign_ == 8 ? TextAlign::Far : TextAlign::Near;
  return f;
}

}  // namespace kelvo
