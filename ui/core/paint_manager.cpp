// PaintManager: set-up, control registry, input routing, focus and timers.
#include "kelvo/paint_manager.h"

#include <filesystem>

#include "kelvo/balloon.h"
#include "kelvo/decorations.h"
#include "kelvo/render.h"
#include "ui/core/tooltip_window.h"
#include "util/text.h"

namespace kelvo {
namespace pf = kelvo::platform;

namespace {

// Detach under the list's lock, free after it is released (see control.cpp).
void DestroyTopLevel(std::vector<MControl*>& list, ControlLock& lock) {
  std::vector<MControl*> doomed;
  {
    std::lock_guard g(lock);
    doomed.swap(list);
  }
  for (MControl* c : doomed) delete c;
}

bool IsAlwaysEnabled(const wchar_t* name) {
  static const wchar_t* const kNames[] = {L"CArea", L"CirclePalette", L"CComboBoxList", L"CDeviceCtrl", L"BatteryCtrl"};
  for (const wchar_t* n : kNames)
    if (std::wcscmp(n, name) == 0) return true;
  return false;
}

}  // namespace

PaintManager::PaintManager() : fontName_(Manager::GetFontName()) {}

PaintManager::~PaintManager() {
  DestroyData();
  MTickTimer::KillTimer();
  if (airBladder_) {
    delete airBladder_;
    airBladder_ = nullptr;
  }
  tooltipWnd_.reset();
  shadow_.reset();
}

void PaintManager::Init(HWND hwnd, MWindow* dialog) {
  if (!pf::IsWindow(hwnd)) return;
  hwnd_ = hwnd;
  dialog_ = dialog;
  ownerThread_ = pf::GetWindowThreadProcessId(hwnd, nullptr);
  const std::string fontFile = Manager::ProgramPath(L"font/Arial.ttf");
  std::error_code ec;
  if (std::filesystem::exists(fontFile, ec)) AddTempFont(L"Arial", brumkey::Utf8ToWide(fontFile).c_str());
  inited_ = 1;
  scrollVId_ = 102;
  scrollHId_ = 101;
  AddGDITempFont(106);
}

void PaintManager::DestroyData() {
  if (!inited_) return;
  backImage_.reset();
  MTickTimer::KillTimer();
  mTimerId_ = 0;
  ClearTimers();
  pf::KillTimer(hwnd_, kCaretTimerId);
  pf::KillTimer(hwnd_, kBannerHoldTimerId);
  pf::KillTimer(hwnd_, kBannerFadeTimerId);
  pf::KillTimer(hwnd_, kProgressTimerId);
  ClearAllControls();
  hover_ = focus_ = caretObject_ = nullptr;
  {
    std::lock_guard g(mTimerLock_);
    mTimerControls_.clear();
  }
  ClearImgResInfo();
  ClearTempFont();
  if (captured_ && pf::GetCapture() == hwnd_) pf::ReleaseCapture();
  captured_ = 0;
  inited_ = 0;
}

// ---------------------------------------------------------------------------
// Control registry

MControl* PaintManager::CreateControl(unsigned kind, MObject* parent, const wchar_t* className, unsigned id,
                                      CRect rect, const wchar_t* title, int visible, int enabled) {
  if (!ControlFactory::WindowAccepts(className)) return nullptr;
  if (IsAlwaysEnabled(className)) enabled = 1;
  MControl* c = ControlFactory::Create(className, parent, id, rect, title, visible, enabled);
  if (!c) return nullptr;
  c->SetManager(this);
  AddControl(kind, c);
  if (kind != 0 && kind != 1) {
    // Appended nowhere: the caller owns it.
  }
  return c;
}

MControl* PaintManager::CreateArea(MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                                   const wchar_t* title, int visible, int enabled) {
  return CreateControl(0, parent, className, id, rect, title, visible, enabled);
}

MControl* PaintManager::CreateControl(MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                                      const wchar_t* title, int visible, int enabled) {
  return CreateControl(1, parent, className, id, rect, title, visible, enabled);
}

void PaintManager::AddControl(unsigned kind, MControl* c) {
  if (!c) return;
  if (!c->GetManager()) c->SetManager(this);
  if (kind == 0) {
    std::lock_guard g(areasLock_);
    areas_.push_back(c);
  } else if (kind == 1) {
    std::lock_guard g(controlsLock_);
    controls_.push_back(c);
  }
}

MControl* PaintManager::GetControl(unsigned id) {
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) {
      if (c->GetControlID() == id) return c;
      if (MControl* d = c->GetControl(id)) return d;
    }
  }
  std::lock_guard g(areasLock_);
  for (MControl* a : areas_) {
    if (a->GetControlID() == id) return a;
    if (MControl* d = a->GetControl(id)) return d;
  }
  return nullptr;
}

int PaintManager::RemoveControl(MControl* control) {
  bool found = false;
  {
    std::lock_guard g(controlsLock_);
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it != controls_.end()) {
      controls_.erase(it);
      found = true;
    }
  }
  if (!found) return 0;
  ForgetControl(control);
  delete control;
  return 1;
}

void PaintManager::ClearAreaControls() { DestroyTopLevel(areas_, areasLock_); }
void PaintManager::ClearControls() { DestroyTopLevel(controls_, controlsLock_); }
void PaintManager::ClearAllControls() {
  ClearAreaControls();
  ClearControls();
}

void PaintManager::ForgetControl(MControl* c) {
  if (!c) return;
  {
    // Held by the tick while it walks the list: this waits for a tick in
    // flight, and no later tick can reach the control.
    std::lock_guard g(mTimerLock_);
    mTimerControls_.erase(std::remove(mTimerControls_.begin(), mTimerControls_.end(), c), mTimerControls_.end());
  }
  {
    std::lock_guard g(pendingMu_);
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [c](const PendingUpdate& p) { return p.control == c; }),
                   pending_.end());
  }
  KillTimer(c);
  if (hover_ == c) hover_ = nullptr;
  if (focus_ == c) focus_ = nullptr;
  if (caretObject_ == c) caretObject_ = nullptr;
  if (tooltipOwner_ != 0 && tooltipOwner_ == static_cast<int>(c->GetControlID())) ClearTooltip();
  {
    std::lock_guard g(controlsLock_);
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  }
  std::lock_guard g(areasLock_);
  areas_.erase(std::remove(areas_.begin(), areas_.end(), c), areas_.end());
}

// ---------------------------------------------------------------------------
// Window access

bool PaintManager::IsWindowAlive() const { return hwnd_ && pf::IsWindow(hwnd_); }

void PaintManager::GetClientRect(CRect& r) const {
  pf::RECT rc;
  if (IsWindowAlive() && pf::GetClientRect(hwnd_, &rc))
    r = CRect(rc.left, rc.top, rc.right, rc.bottom);
  else
    r.SetRectEmpty();
}

void PaintManager::GetWindowRect(CRect& r) const {
  pf::RECT rc;
  if (IsWindowAlive() && pf::GetWindowRect(hwnd_, &rc))
    r = CRect(rc.left, rc.top, rc.right, rc.bottom);
  else
    r.SetRectEmpty();
}

void PaintManager::GetClientSize(int& w, int& h) const {
  CRect r;
  GetClientRect(r);
  w = r.Width();
  h = r.Height();
}

int PaintManager::SetCapture() {
  if (!IsWindowAlive()) return 0;
  pf::SetCapture(hwnd_);
  captured_ = 1;
  return 1;
}

int PaintManager::ReleaseCapture() {
  if (!IsWindowAlive()) return 0;
  if (captured_) pf::ReleaseCapture();
  captured_ = 0;
  return 1;
}

void PaintManager::SetLayeredWindow(int layered) {
  layered_ = layered;
  if (!IsWindowAlive()) return;
  const auto ex = pf::GetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE);
  pf::SetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE, layered ? (ex | pf::WS_EX_LAYERED) : (ex & ~static_cast<pf::LONG_PTR>(pf::WS_EX_LAYERED)));
  Invalidate(true);
}

LRESULT PaintManager::SendMessageW(unsigned msg, WPARAM w, LPARAM l) {
  return IsWindowAlive() ? pf::SendMessage(hwnd_, msg, w, l) : 0;
}

LRESULT PaintManager::PostMessageW(unsigned msg, WPARAM w, LPARAM l) {
  // Delivered at once, like SendMessageW.
  return IsWindowAlive() ? pf::SendMessage(hwnd_, msg, w, l) : 0;
}

void PaintManager::Invalidate(bool erase) {
  if (IsWindowAlive()) pf::InvalidateRect(hwnd_, nullptr, erase ? 1 : 0);
}

void PaintManager::InvalidateRect(CRect rect, int erase) {
  if (!IsWindowAlive()) return;
  if (layered_) {
    pf::InvalidateRect(hwnd_, nullptr, 1);
    return;
  }
  const pf::RECT rc{rect.left, rect.top, rect.right, rect.bottom};
  pf::InvalidateRect(hwnd_, &rc, erase);
}

void PaintManager::SetCursor(CursorKind kind) {
  std::uintptr_t idc = pf::IDC_ARROW;
  switch (kind) {
    case CursorKind::Wait: idc = pf::IDC_WAIT; break;
    case CursorKind::Cross: idc = pf::IDC_CROSS; break;
    case CursorKind::SizeWE: idc = pf::IDC_SIZEWE; break;
    case CursorKind::SizeNS: idc = pf::IDC_SIZENS; break;
    case CursorKind::Hand: idc = pf::IDC_HAND; break;
    case CursorKind::Help: idc = pf::IDC_ARROW; break;
    default: break;
  }
  pf::SetCursor(pf::LoadCursor(nullptr, idc));
}

// ---------------------------------------------------------------------------
// Focus

void PaintManager::SetFocusControl(MControl* c) {
  if (c == focus_) return;
  if (focus_) focus_->SetControlFocus(0);
  focus_ = c;
  if (c) c->SetControlFocus(1);
}

namespace {
bool Eligible(MControl* c) { return c->IsVisible() && c->IsEnabled() && c->IsTabStop(); }
}  // namespace

MControl* PaintManager::GetNextFocusableControl() {
  std::lock_guard g(controlsLock_);
  bool seen = focus_ == nullptr;
  bool found = false;
  for (MControl* c : controls_) {
    if (c == focus_) {
      found = true;
      continue;
    }
    if (found && Eligible(c)) return c;
  }
  if (!found && !seen) return nullptr;
  for (MControl* c : controls_)
    if (Eligible(c)) return c;
  return nullptr;
}

MControl* PaintManager::GetPrevFocusableControl() {
  std::lock_guard g(controlsLock_);
  bool seen = focus_ == nullptr;
  bool found = false;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    if (*it == focus_) {
      found = true;
      continue;
    }
    if (found && Eligible(*it)) return *it;
  }
  if (!found && !seen) return nullptr;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (Eligible(*it)) return *it;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Message dispatch

unsigned PaintManager::ModifierWord() {
  unsigned m = 0;
  if (pf::GetKeyState(pf::VK_SHIFT) & 0x8000) m |= MOD_SHIFT_WORD;
  if (pf::GetKeyState(pf::VK_CONTROL) & 0x8000) m |= MOD_CTRL_WORD;
  if (pf::GetKeyState(pf::VK_MENU) & 0x8000) m |= MOD_ALT_WORD;
  return m;
}

LRESULT PaintManager::OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMsgFlushUpdates) {
    FlushPendingUpdates();
    return 1;
  }
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_)
      if (c->OnWindowMessage(msg, wParam, lParam)) return 0;
  }
  const CPoint pt(pf::GET_X_LPARAM(lParam), pf::GET_Y_LPARAM(lParam));
  const unsigned flags = static_cast<unsigned>(wParam);
  switch (msg) {
    case pf::WM_PAINT: return OnPaint();
    case pf::WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<pf::MINMAXINFO*>(lParam);
      if (mmi) {
        if (minSize_.cx > 0) mmi->ptMinTrackSize.x = minSize_.cx;
        if (minSize_.cy > 0) mmi->ptMinTrackSize.y = minSize_.cy;
        if (maxSize_.cx > 0) mmi->ptMaxTrackSize.x = mmi->ptMaxSize.x = maxSize_.cx;
        if (maxSize_.cy > 0) mmi->ptMaxTrackSize.y = mmi->ptMaxSize.y = maxSize_.cy;
      }
      return 1;
    }
    case pf::WM_CREATE:
    case pf::WM_DESTROY:
    case pf::WM_SIZE:
    case pf::WM_CHAR:
    case pf::WM_MOUSEHOVER: return 1;
    case pf::WM_NCDESTROY: DestroyData(); return 1;
    case pf::WM_NCACTIVATE: OnNcActivate(static_cast<int>(wParam)); return 1;
    case pf::WM_WINDOWPOSCHANGED: return OnWindowPosChanged(reinterpret_cast<pf::WINDOWPOS*>(lParam));
    case pf::WM_KEYDOWN:
    case pf::WM_SYSKEYDOWN: OnKeyDown(static_cast<unsigned>(wParam), lParam); return 1;
    case pf::WM_KEYUP:
    case pf::WM_SYSKEYUP: return 0;
    case pf::WM_COMMAND:
    case pf::WM_CTLCOLOREDIT:
    case pf::WM_CTLCOLORSTATIC: {
      HWND child = reinterpret_cast<HWND>(lParam);
      if (child && child != hwnd_ && pf::IsWindow(child)) return pf::SendMessage(child, msg + 0x2000, wParam, lParam);
      return 0;
    }
    case pf::WM_TIMER: OnTimer(static_cast<unsigned>(wParam)); return 0;
    case pf::WM_MOUSEMOVE: OnMouseMove(flags, pt); return 1;
    case pf::WM_LBUTTONDOWN: OnLButtonDown(flags, pt); return 1;
    case pf::WM_LBUTTONUP: OnLButtonUp(flags, pt); return 1;
    case pf::WM_LBUTTONDBLCLK: OnLButtonDblClk(flags, pt); return 1;
    case pf::WM_RBUTTONDOWN: OnRButtonDown(flags, pt); return 1;
    case pf::WM_RBUTTONUP: OnRButtonUp(flags, pt); return 1;
    case pf::WM_RBUTTONDBLCLK: OnRButtonDblClk(flags, pt); return 1;
    case pf::WM_MOUSEWHEEL:
      return OnMouseWheel(pf::LOWORD(wParam), pf::GET_WHEEL_DELTA_WPARAM(wParam), pt);
    case pf::WM_MOUSELEAVE: OnMouseLeave(); return 1;
    default: return 0;
  }
}

int PaintManager::PreTranslateMessage(const MSG* msg) {
  if (!msg) return 0;
  switch (msg->message) {
    case pf::WM_KEYDOWN:
    case pf::WM_SYSKEYDOWN:
      if (msg->wParam == pf::VK_TAB) {
        const unsigned mods = ModifierWord();
        MControl* before = focus_;
        if (mods == 0)
          SetFocusControl(GetNextFocusableControl());
        else if (mods == MOD_SHIFT_WORD)
          SetFocusControl(GetPrevFocusableControl());
        if (focus_ != before) return 1;
      }
      return 0;
    case pf::WM_MOUSEMOVE:
    case pf::WM_LBUTTONDOWN:
    case pf::WM_LBUTTONUP:
    case pf::WM_RBUTTONDOWN:
    case pf::WM_RBUTTONUP:
    case pf::WM_MBUTTONDOWN:
    case pf::WM_MBUTTONUP:
    case pf::WM_MOUSEWHEEL:
      if (tooltipWnd_) tooltipWnd_->Relay(*msg);
      return 0;
    default: return 0;
  }
}

void PaintManager::OnDestroyMessage(HWND hwnd) {
  if (hwnd == hwnd_) DestroyData();
}

// ---------------------------------------------------------------------------
// Mouse

int PaintManager::OnMouseMove(unsigned flags, CPoint pt) {
  if (!tracking_ && IsWindowAlive()) {
    pf::TRACKMOUSEEVENT tme;
    tme.dwFlags = pf::TME_LEAVE | pf::TME_HOVER;
    tme.hwndTrack = hwnd_;
    tme.dwHoverTime = 400;
    tracking_ = pf::TrackMouseEvent(&tme) ? 1 : 0;
  }
  dragStart_ = pt;
  if (hover_) {
    if (hover_->PtInRect(pt) && hover_->OnCheckMouseResponse(flags, pt) && tracking_) {
      hover_->OnMouseMove(flags, pt);
      return 1;
    }
    HideTooltip();
  }
  if (leftPressed_) {
    // The pressed control keeps the mouse.
    if (hover_) hover_->OnMouseMove(flags, pt);
    return 1;
  }
  if (!tracking_) {
    hover_ = nullptr;
    return 1;
  }
  MControl* found = nullptr;
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) {
      c->OnMouseMove(flags, pt);
      if (c->PtInRect(pt) && c->GetRresponse()) found = c;
    }
  }
  hover_ = found;
  return 1;
}

int PaintManager::OnMouseLeave() {
  HideTooltip();
  tracking_ = 0;
  if (leftPressed_) return 1;
  if (hover_) hover_->OnMouseMove(0, CPoint(-1, -1));
  hover_ = nullptr;
  leftPressed_ = 0;
  return 1;
}

int PaintManager::OnLButtonDown(unsigned flags, CPoint pt) {
  leftDouble_ = 0;
  if (focus_ && focus_ != hover_) {
    focus_->SetControlFocus(0);
    focus_ = nullptr;
  }
  MControl* h = hover_;
  if (h && h->IsVisible() && h->GetRresponse() && h->PtInRect(pt) && h->OnCheckMouseResponse(flags, pt)) {
    if (h->IsDragDrop() && h->IsEnabled()) dragArmed_ = 1;
    leftPressed_ = 1;
    focus_ = h;
    const int handled = h->OnLButtonDown(flags, pt);
    if (!captured_ && (!hover_ || hover_->OnCheckMouseResponse(flags, pt))) {
      SetCapture();
      return 1;
    }
    if (handled) return 1;
  }
  if (!windowDrag_) return 1;
  ReleaseCapture();
  if (IsWindowAlive()) {
    pf::POINT sp{pt.x, pt.y};
    pf::ClientToScreen(hwnd_, &sp);
    pf::SendMessage(hwnd_, pf::WM_NCLBUTTONDOWN, pf::HTCAPTION, pf::MAKELPARAM(sp.x, sp.y));
  }
  return 1;
}

// Releases and double clicks go to the hovered control; the hover is dropped
// once the pointer has left it (and, for releases, when it stopped responding).
void PaintManager::ForwardToHover(int (MControl::*handler)(unsigned, CPoint), unsigned flags, CPoint pt,
                                  bool dropUnresponsive) {
  if (!hover_) return;
  if (!hover_->IsVisible() || !hover_->GetRresponse()) {
    if (dropUnresponsive) hover_ = nullptr;
    return;
  }
  const CRect r = hover_->GetRect();
  (hover_->*handler)(flags, pt);
  if (!r.PtInRect(pt)) hover_ = nullptr;
}

int PaintManager::OnLButtonUp(unsigned flags, CPoint pt) {
  if (captured_) ReleaseCapture();
  leftPressed_ = 0;
  dragArmed_ = 0;
  ForwardToHover(&MControl::OnLButtonUp, flags, pt, true);
  leftDouble_ = 0;
  return 1;
}

int PaintManager::OnLButtonDblClk(unsigned flags, CPoint pt) {
  leftDouble_ = 1;
  ForwardToHover(&MControl::OnLButtonDblClk, flags, pt, false);
  return 1;
}

int PaintManager::OnRButtonDown(unsigned flags, CPoint pt) {
  rightDouble_ = 0;
  if (focus_ && focus_ != hover_) {
    focus_->SetControlFocus(0);
    focus_ = nullptr;
  }
  MControl* h = hover_;
  if (h && h->IsVisible() && h->GetRresponse() && h->PtInRect(pt) && h->OnCheckMouseResponse(flags, pt)) {
    rightPressed_ = 1;
    focus_ = h;
    h->OnRButtonDown(flags, pt);
    if (!captured_ && (!hover_ || hover_->OnCheckMouseResponse(flags, pt))) SetCapture();
  }
  return 1;
}

int PaintManager::OnRButtonUp(unsigned flags, CPoint pt) {
  if (captured_) ReleaseCapture();
  rightPressed_ = 0;
  ForwardToHover(&MControl::OnRButtonUp, flags, pt, true);
  rightDouble_ = 0;
  return 1;
}

int PaintManager::OnRButtonDblClk(unsigned flags, CPoint pt) {
  rightDouble_ = 1;
  ForwardToHover(&MControl::OnRButtonDblClk, flags, pt, false);
  return 1;
}

int PaintManager::OnMouseWheel(unsigned keys, short delta, CPoint screenPt) {
  pf::POINT p{screenPt.x, screenPt.y};
  if (IsWindowAlive()) pf::ScreenToClient(hwnd_, &p);
  const CPoint pt(p.x, p.y);
  const int notches = delta / 120;
  const unsigned direction = notches <= 0 ? 1 : 0;
  int handled = 0;
  for (int i = 0; i < std::abs(notches); ++i) {
    if (hover_ && hover_->OnScroll(1, direction, pt)) {
      handled = 1;
      continue;
    }
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_)
      if (c->OnScroll(1, direction, pt)) {
        handled = 1;
        break;
      }
  }
  return handled;
}

int PaintManager::OnKeyDown(unsigned vk, LPARAM) {
  const unsigned mods = ModifierWord();
  if (hover_ && hover_->OnKeyDown(vk, 1, mods)) return 1;
  std::lock_guard g(controlsLock_);
  for (MControl* c : controls_)
    if (c->OnKeyDown(vk, 1, mods)) break;
  return 1;
}

// Stands in for the default handling: the frame is applied again and the
// window hears its new place and size.
int PaintManager::OnWindowPosChanged(pf::WINDOWPOS* pos) {
  if (!pos || !IsWindowAlive()) return 0;
  pf::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   pf::SWP_NOMOVE | pf::SWP_NOSIZE | pf::SWP_NOZORDER | pf::SWP_FRAMECHANGED);
  pf::SendMessage(hwnd_, pf::WM_MOVE, 0, pf::MAKELPARAM(pos->x, pos->y));
  pf::SendMessage(hwnd_, pf::WM_SIZE, 0, pf::MAKELPARAM(pos->cx, pos->cy));
  return 1;
}

int PaintManager::OnNcActivate(int active) {
  active_ = active;
  if (!active) {
    tracking_ = 0;
    captured_ = 0;
    leftDouble_ = 0;
    if (hover_) {
      if (leftPressed_) {
        leftPressed_ = 0;
        hover_->OnLButtonUp(0, CPoint(-1, -1));
      } else {
        hover_->OnMouseMove(0, CPoint(-1, -1));
      }
    }
    leftPressed_ = 0;
    hover_ = nullptr;
  }
  Invalidate(false);
  return 1;
}

// ---------------------------------------------------------------------------
// Control timers

unsigned PaintManager::NextTimerIdentifier() const {
  // Identifiers stay below 240; the manager's own 66, 88 and 99 and any
  // identifier held by a record are skipped.
  unsigned id = timerCounter_;
  for (int tries = 0; tries < 240; ++tries) {
    id = (id + 1) % 240;
    if (id == kBannerHoldTimerId || id == kBannerFadeTimerId || id == kProgressTimerId) continue;
    bool used = false;
    for (auto& r : timers_)
      if (r.id == id) used = true;
    if (!used) return id;
  }
  return 0xFFFFFFFFu;
}

int PaintManager::SetTimer(MControl* control, unsigned key, unsigned elapseMs) {
  if (!control || !IsWindowAlive()) return 0;
  std::lock_guard g(timersLock_);
  for (auto& r : timers_) {
    if (r.control == control && r.hwnd == hwnd_ && r.key == key) {
      if (!r.killed) return 0;
      if (!pf::SetTimer(hwnd_, r.id, elapseMs, nullptr) && r.id != 0) return 0;
      r.killed = false;
      return 1;
    }
  }
  const unsigned id = NextTimerIdentifier();
  if (id == 0xFFFFFFFFu) return 0;
  timerCounter_ = id;
  if (!pf::SetTimer(hwnd_, id, elapseMs, nullptr) && id != 0) return 0;
  timers_.push_back({hwnd_, key, id, false, control});
  return 1;
}

int PaintManager::KillTimer(MControl* control, unsigned key) {
  std::lock_guard g(timersLock_);
  for (auto& r : timers_) {
    if (r.control == control && r.hwnd == hwnd_ && r.key == key) {
      if (IsWindowAlive() && !r.killed) pf::KillTimer(hwnd_, r.id);
      r.killed = true;
      return 1;
    }
  }
  return 0;
}

void PaintManager::KillTimer(MControl* control) {
  std::lock_guard g(timersLock_);
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->control == control) {
      if (!it->killed && pf::IsWindow(it->hwnd)) pf::KillTimer(it->hwnd, it->id);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void PaintManager::ClearTimers() {
  std::lock_guard g(timersLock_);
  for (auto& r : timers_)
    if (!r.killed && pf::IsWindow(r.hwnd)) pf::KillTimer(r.hwnd, r.id);
  timers_.clear();
}

unsigned PaintManager::GetTimerIdentifier(MControl* control, unsigned key) const {
  std::lock_guard g(timersLock_);
  for (auto& r : timers_)
    if (r.control == control && r.key == key) return r.id;
  return 0;
}

void PaintManager::OnTimer(unsigned id) {
  if (id == kCaretTimerId) {
    if (caretShown_) InvalidateRect(caretRect_, 0);
    caretOn_ = !caretOn_;
    return;
  }
  if (id == kBannerHoldTimerId || id == kBannerFadeTimerId || id == kProgressTimerId) {
    BannerTick(id);
    return;
  }
  std::vector<MControl*> due;
  {
    std::lock_guard g(timersLock_);
    for (auto& r : timers_)
      if (r.id == id && !r.killed && pf::IsWindow(r.hwnd)) due.push_back(r.control);
  }
  for (MControl* c : due) {
    // A handler may have removed a later control meanwhile.
    bool live = false;
    {
      std::lock_guard g(timersLock_);
      for (auto& r : timers_)
        if (r.control == c && r.id == id && !r.killed) live = true;
    }
    if (live) c->OnTimer();
  }
}

// ---------------------------------------------------------------------------
// Periodic tick

unsigned PaintManager::SetMTimer(unsigned periodMs) {
  const unsigned id = MTickTimer::SetTimer(periodMs, L"", 0);
  mTimerId_ = id;
  return id;
}

void PaintManager::KillMTimer(unsigned id) {
  MTickTimer::KillTimer(id);
  if (id == mTimerId_) mTimerId_ = 0;
}

void PaintManager::KillMTimer() {
  MTickTimer::KillTimer();
  mTimerId_ = 0;
}

int PaintManager::AddMTimer(MControl* control) {
  std::lock_guard g(mTimerLock_);
  mTimerControls_.push_back(control);
  return 1;
}

int PaintManager::DeleteFSTimer(MControl* control) {
  std::lock_guard g(mTimerLock_);
  auto it = std::find(mTimerControls_.begin(), mTimerControls_.end(), control);
  if (it == mTimerControls_.end()) return 0;
  mTimerControls_.erase(it);
  return 1;
}

void PaintManager::OnMTimer(unsigned id) {
  if (id == 0 || id != mTimerId_) return;
  std::lock_guard g(mTimerLock_);
  for (size_t i = 0; i < mTimerControls_.size(); ++i) {
    MControl* c = mTimerControls_[i];
    if (c->IsRunTimer() && c->IsVisible() && c->IsParentVisible()) c->OnTimer();
  }
}

// ---------------------------------------------------------------------------
// Resources

const ImgResInfo* PaintManager::AddImgResInfo(const wchar_t* file, int count) {
  if (!file || !*file) return nullptr;
  std::lock_guard g(imagesLock_);
  auto it = imagesByFile_.find(file);
  if (it != imagesByFile_.end()) return it->second.get();
  ImagePtr img = Image::FromFile(Manager::SkinPath(file));
  if (!img) return nullptr;
  auto info = std::make_unique<ImgResInfo>();
  info->frameCount = std::max(1, count);
  info->image = img;
  info->frameWidth = img->Width() / info->frameCount;
  info->frameHeight = img->Height();
  info->file = file;
  const ImgResInfo* out = info.get();
  imagesByFile_[file] = std::move(info);
  return out;
}

const ImgResInfo* PaintManager::AddImgResInfo(unsigned resourceId, const std::wstring& type, int count,
                                              int application) {
  std::lock_guard g(imagesLock_);
  auto& cache = application ? imagesByAppId_ : imagesByKitId_;
  const auto key = std::make_pair(resourceId, brumkey::ToUpperAscii(type));
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  ImagePtr img = MRender::LoadImageFromIDResource(resourceId, type, application != 0);
  if (!img) return nullptr;
  auto info = std::make_unique<ImgResInfo>();
  info->frameCount = std::max(1, count);
  info->image = img;
  info->frameWidth = img->Width() / info->frameCount;
  info->frameHeight = img->Height();
  info->resourceId = resourceId;
  info->type = type;
  const ImgResInfo* out = info.get();
  cache[key] = std::move(info);
  return out;
}

void PaintManager::ClearImgResInfo() {
  std::lock_guard g(imagesLock_);
  imagesByFile_.clear();
  imagesByAppId_.clear();
  imagesByKitId_.clear();
}

const FontFamily* PaintManager::AddTempFont(const wchar_t* face, const wchar_t* file) {
  if (!face || !file) return nullptr;
  const std::string path = brumkey::WideToUtf8(file);
  const std::string family = FontFileFamily(path);
  if (family.empty() || !AddPrivateFontFile(path)) return nullptr;
  std::lock_guard g(fontsLock_);
  auto f = std::make_unique<FontFamily>();
  f->name = brumkey::Utf8ToWide(family);
  f->file = path;
  const FontFamily* out = f.get();
  fonts_[face] = std::move(f);
  return out;
}

const FontFamily* PaintManager::AddTempFont(const wchar_t* face, unsigned resourceId) {
  const std::string file = Manager::ResourceFile(resourceId, L"ttf", false);
  if (file.empty()) return nullptr;
  return AddTempFont(face, brumkey::Utf8ToWide(file).c_str());
}

const FontFamily* PaintManager::FindTempFont(const wchar_t*) {
  // All control text uses the global face, whatever the argument.
  const std::wstring face = Manager::GetFontName();
  std::lock_guard g(fontsLock_);
  auto it = fonts_.find(face);
  if (it != fonts_.end()) return it->second.get();
  if (!HasFontFamily(face)) return nullptr;
  auto f = std::make_unique<FontFamily>();
  f->name = face;
  const FontFamily* out = f.get();
  fonts_[face] = std::move(f);
  return out;
}

int PaintManager::AddGDITempFont(unsigned resourceId) {
  const std::string file = Manager::ResourceFile(resourceId, L"ttf", false);
  if (file.empty() || !AddPrivateFontFile(file)) return 0;
  std::lock_guard g(fontsLock_);
  gdiFonts_.push_back(file);
  return 1;
}

void PaintManager::ClearTempFont() {
  std::lock_guard g(fontsLock_);
  fonts_.clear();
  gdiFonts_.clear();
}

// ---------------------------------------------------------------------------
// Shadow

int PaintManager::CreateShadow(int show, bool force) {
  if (!IsWindowAlive()) return 0;
  if (!shadow_) shadow_ = std::make_unique<MShadow>();
  return shadow_->Create(hwnd_, show, force);
}
int PaintManager::SetSize(int size) { return shadow_ ? shadow_->SetSize(size) : 0; }
int PaintManager::SetSharpness(unsigned s) { return shadow_ ? shadow_->SetSharpness(s) : 0; }
int PaintManager::SetDarkness(unsigned d) { return shadow_ ? shadow_->SetDarkness(d) : 0; }
int PaintManager::SetPosition(int x, int y) { return shadow_ ? shadow_->SetPosition(x, y) : 0; }
int PaintManager::SetShadowColor(COLORREF c) { return shadow_ ? shadow_->SetColor(c) : 0; }
int PaintManager::SetShadowImage(const wchar_t* file, CRect corners) {
  return shadow_ ? shadow_->SetImage(file, corners) : 0;
}
int PaintManager::SetShadowImage(unsigned id, CRect corners) { return shadow_ ? shadow_->SetImage(id, corners) : 0; }
int PaintManager::SetShadowShow(int show) { return shadow_ ? shadow_->Show(show) : 0; }
int PaintManager::DisableShadow(int disable) { return shadow_ ? shadow_->Show(disable ? 0 : 1) : 0; }

}  // namespace kelvo
