#include "kelvo/window.h"

#include "kelvo/balloon.h"
#include "kelvo/decorations.h"
#include "kelvo/render.h"

namespace kelvo {
namespace pf = kelvo::platform;

// ---------------------------------------------------------------------------
// MWindow

MWindow::MWindow() : prevProc_(&pf::DefWindowProc) {}

MWindow::~MWindow() {
  if (hwnd_ && pf::IsWindow(hwnd_)) {
    // The object goes first: unbind so late messages reach the default
    // procedure, then destroy the window.
    pf::SetWindowLongPtr(hwnd_, pf::GWLP_USERDATA, 0);
    pf::RemoveProp(hwnd_, L"Control");
    HWND h = hwnd_;
    hwnd_ = nullptr;
    pf::DestroyWindow(h);
  }
  Manager::DeleteWnd(this);
}

int MWindow::ShowWindow(int cmdShow) { return hwnd_ ? pf::ShowWindow(hwnd_, cmdShow) : 0; }

LRESULT MWindow::CallPrevious(unsigned msg, WPARAM w, LPARAM l) {
  return pf::CallWindowProc(prevProc_ ? prevProc_ : &pf::DefWindowProc, hwnd_, msg, w, l);
}

LRESULT MWindow::OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) { return CallPrevious(msg, w, l); }

HWND MWindow::Create(HWND parent) { return Create(parent, L"KelvoClient", 0x80B, 0, CRect(0, 0, 800, 600)); }

HWND MWindow::Create(HWND parent, CRect rect) { return Create(parent, L"KelvoClient", 0x80B, 0, rect); }

HWND MWindow::Create(HWND parent, const wchar_t* title, unsigned long style, unsigned long exStyle, CRect rect,
                     void* menu) {
  if (hwnd_ && pf::IsWindow(hwnd_)) return hwnd_;
  parentHwnd_ = parent;
  const bool registered = GetSuperClassName() ? RegisterSuperClass() : RegisterWindowClass();
  if (registered) {
    pf::CreateWindowEx(static_cast<pf::DWORD>(exStyle), GetWindowClassName(), title, static_cast<pf::DWORD>(style),
                       rect.left, rect.top, rect.Width(), rect.Height(), parent, menu, Manager::GetInstance(), this);
  }
  Manager::AddWnd(this);
  OnInitDialog();
  return hwnd_;
}

bool MWindow::RegisterWindowClass() {
  pf::WNDCLASSEX wc;
  if (pf::GetClassInfoEx(Manager::GetInstance(), GetWindowClassName(), &wc)) return true;
  wc.style = pf::CS_HREDRAW | pf::CS_VREDRAW | pf::CS_DBLCLKS;
  wc.lpfnWndProc = &MWindow::WndProc;
  wc.hInstance = Manager::GetInstance();
  wc.lpszClassName = GetWindowClassName();
  return pf::RegisterClassEx(&wc) != 0 || pf::GetClassInfoEx(Manager::GetInstance(), GetWindowClassName(), &wc);
}

bool MWindow::RegisterSuperClass() {
  pf::WNDCLASSEX wc;
  if (!pf::GetClassInfoEx(nullptr, GetSuperClassName(), &wc) &&
      !pf::GetClassInfoEx(Manager::GetInstance(), GetSuperClassName(), &wc))
    return false;
  prevProc_ = wc.lpfnWndProc;
  pf::WNDCLASSEX mine;
  if (pf::GetClassInfoEx(Manager::GetInstance(), GetWindowClassName(), &mine)) return true;
  wc.lpfnWndProc = &MWindow::ControlProc;
  wc.hInstance = Manager::GetInstance();
  wc.lpszClassName = GetWindowClassName();
  return pf::RegisterClassEx(&wc) != 0;
}

namespace {
// Binds the object given as creation parameter to the window.
void Bind(HWND hwnd, LPARAM l, bool byProp) {
  auto* cs = reinterpret_cast<CREATESTRUCT*>(l);
  auto* self = cs ? static_cast<MWindow*>(cs->lpCreateParams) : nullptr;
  if (!self) return;
  if (byProp)
    pf::SetProp(hwnd, L"Control", self);
  else
    pf::SetWindowLongPtr(hwnd, pf::GWLP_USERDATA, reinterpret_cast<pf::LONG_PTR>(self));
}
}  // namespace

LRESULT MWindow::WndProc(HWND hwnd, unsigned msg, WPARAM w, LPARAM l) {
  MWindow* self = nullptr;
  if (msg == pf::WM_NCCREATE) {
    Bind(hwnd, l, false);
    self = reinterpret_cast<MWindow*>(pf::GetWindowLongPtr(hwnd, pf::GWLP_USERDATA));
    if (self) self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<MWindow*>(pf::GetWindowLongPtr(hwnd, pf::GWLP_USERDATA));
  }
  if (!self) return pf::DefWindowProc(hwnd, msg, w, l);
  if (msg == pf::WM_NCDESTROY) {
    const LRESULT r = self->CallPrevious(msg, w, l);
    pf::SetWindowLongPtr(hwnd, pf::GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnDestroyMessage(hwnd);
    return r;
  }
  return self->OnWindowMessage(msg, w, l);
}

LRESULT MWindow::ControlProc(HWND hwnd, unsigned msg, WPARAM w, LPARAM l) {
  MWindow* self = nullptr;
  if (msg == pf::WM_NCCREATE) {
    Bind(hwnd, l, true);
    self = static_cast<MWindow*>(pf::GetProp(hwnd, L"Control"));
    if (self) self->hwnd_ = hwnd;
  } else {
    self = static_cast<MWindow*>(pf::GetProp(hwnd, L"Control"));
  }
  if (!self) return pf::DefWindowProc(hwnd, msg, w, l);
  if (msg == pf::WM_NCDESTROY) {
    const LRESULT r = self->CallPrevious(msg, w, l);
    pf::RemoveProp(hwnd, L"Control");
    self->hwnd_ = nullptr;
    self->OnDestroyMessage(hwnd);
    return r;
  }
  return self->OnWindowMessage(msg, w, l);
}

unsigned MWindow::ShowModal(int cmdShow) {
  if (!hwnd_ || !pf::IsWindow(hwnd_)) return 0xFFFFFFFFu;
  HWND self = hwnd_;
  HWND owner = pf::GetWindow(self, pf::GW_OWNER);
  pf::ShowWindow(self, cmdShow);
  if (owner) pf::EnableWindow(owner, 0);
  unsigned result = 0;
  bool quit = false;
  int quitCode = 0;
  MSG msg;
  while (pf::IsWindow(self)) {
    if (!pf::GetMessage(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (msg.message == pf::WM_CLOSE && msg.hwnd == self) {
      result = static_cast<unsigned>(msg.wParam);
      if (owner) {
        pf::EnableWindow(owner, 1);
        pf::SetFocus(owner);
      }
    }
    if (!PreTranslateMessage(&msg)) {
      pf::TranslateMessage(&msg);
      pf::DispatchMessage(&msg);
    }
  }
  if (owner && pf::IsWindow(owner)) {
    pf::EnableWindow(owner, 1);
    pf::SetFocus(owner);
  }
  if (quit) pf::PostQuitMessage(quitCode);
  return result;
}

void MWindow::CenterWindow(MWindow* over) {
  if (!hwnd_) return;
  CRect me;
  GetWindowRect(me);
  const bool child = (GetStyle() & pf::WS_CHILD) != 0;
  HWND ref = over && over->GetSafeHwnd() ? over->GetSafeHwnd()
                                         : (child ? pf::GetParent(hwnd_) : pf::GetWindow(hwnd_, pf::GW_OWNER));
  CRect area, centre;
  if (child && ref) {
    pf::RECT rc;
    pf::GetClientRect(ref, &rc);
    area = centre = CRect(rc.left, rc.top, rc.right, rc.bottom);
  } else {
    const bool refUsable = ref && pf::IsWindowVisible(ref) && !(pf::GetWindowLongPtr(ref, pf::GWL_STYLE) & pf::WS_CHILD);
    pf::MONITORINFO mi;
    pf::GetMonitorInfo(pf::MonitorFromWindow(refUsable ? ref : hwnd_, pf::MONITOR_DEFAULTTONEAREST), &mi);
    area = CRect(mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom);
    if (refUsable) {
      pf::RECT rc;
      pf::GetWindowRect(ref, &rc);
      centre = CRect(rc.left, rc.top, rc.right, rc.bottom);
    } else {
      centre = area;
    }
  }
  int x = (centre.left + centre.right) / 2 - me.Width() / 2;
  int y = (centre.top + centre.bottom) / 2 - me.Height() / 2;
  if (x + me.Width() > area.right) x = area.right - me.Width();
  if (y + me.Height() > area.bottom) y = area.bottom - me.Height();
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  pf::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, pf::SWP_NOSIZE | pf::SWP_NOZORDER | pf::SWP_NOACTIVATE);
}

void MWindow::BringToTop() {
  if (!hwnd_) return;
  HWND fg = pf::GetForegroundWindow();
  const pf::DWORD mine = pf::GetCurrentThreadId();
  const pf::DWORD theirs = fg ? pf::GetWindowThreadProcessId(fg, nullptr) : mine;
  if (theirs != mine) pf::AttachThreadInput(mine, theirs, 1);
  pf::SetForegroundWindow(hwnd_);
  if (theirs != mine) pf::AttachThreadInput(mine, theirs, 0);
  pf::ShowWindow(hwnd_, pf::IsIconic(hwnd_) ? pf::SW_RESTORE : pf::SW_SHOW);
}

void MWindow::SetIcon(unsigned resourceId) {
  if (!hwnd_) return;
  ImagePtr img = MRender::LoadImageFromIDResource(resourceId, L"ICON", true);
  if (!img) img = MRender::LoadImageFromIDResource(resourceId, L"PNG", true);
  if (!img) return;
  const int sizes[2] = {pf::GetSystemMetrics(pf::SM_CXICON), pf::GetSystemMetrics(pf::SM_CXSMICON)};
  for (int i = 0; i < 2; ++i) {
    const int s = sizes[i] > 0 ? sizes[i] : (i == 0 ? 32 : 16);
    Canvas c(s, s);
    c.DrawImage(*img, CRect(0, 0, s, s), 0, 0, img->Width(), img->Height());
    pf::HICON icon = pf::CreateIconFromSurface(c.Surface());
    pf::SendMessage(hwnd_, pf::WM_SETICON, i == 0 ? pf::ICON_BIG : pf::ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
}

unsigned long MWindow::GetStyle() const {
  return hwnd_ ? static_cast<unsigned long>(static_cast<pf::DWORD>(pf::GetWindowLongPtr(hwnd_, pf::GWL_STYLE))) : 0;
}
unsigned long MWindow::GetExStyle() const {
  return hwnd_ ? static_cast<unsigned long>(static_cast<pf::DWORD>(pf::GetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE))) : 0;
}

namespace {
int Modify(HWND h, int index, unsigned long remove, unsigned long add, unsigned swp) {
  if (!h) return 0;
  const auto old = static_cast<pf::DWORD>(pf::GetWindowLongPtr(h, index));
  const pf::DWORD now = (old & ~static_cast<pf::DWORD>(remove)) | static_cast<pf::DWORD>(add);
  if (now == old) return 0;
  pf::SetWindowLongPtr(h, index, now);
  if (swp)
    pf::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                     pf::SWP_NOSIZE | pf::SWP_NOMOVE | pf::SWP_NOZORDER | pf::SWP_NOACTIVATE | swp);
  return 1;
}
}  // namespace

int MWindow::ModifyStyle(unsigned long remove, unsigned long add, unsigned swp) {
  return Modify(hwnd_, pf::GWL_STYLE, remove, add, swp);
}
int MWindow::ModifyExStyle(unsigned long remove, unsigned long add, unsigned swp) {
  return Modify(hwnd_, pf::GWL_EXSTYLE, remove, add, swp);
}

int MWindow::GetClientRect(CRect& r) const {
  pf::RECT rc;
  if (!hwnd_ || !pf::GetClientRect(hwnd_, &rc)) return 0;
  r = CRect(rc.left, rc.top, rc.right, rc.bottom);
  return 1;
}

int MWindow::GetWindowRect(CRect& r) const {
  pf::RECT rc;
  if (!hwnd_ || !pf::GetWindowRect(hwnd_, &rc)) return 0;
  r = CRect(rc.left, rc.top, rc.right, rc.bottom);
  return 1;
}

int MWindow::SetWindowTextW(const wchar_t* text) { return hwnd_ ? pf::SetWindowText(hwnd_, text) : 0; }
int MWindow::GetWindowTextW(std::wstring& text) const {
  if (!hwnd_) return 0;
  text = pf::GetWindowTextString(hwnd_);
  return static_cast<int>(text.size());
}
int MWindow::GetWindowTextLengthW() const { return hwnd_ ? pf::GetWindowTextLength(hwnd_) : -1; }
int MWindow::EnableWindow(int enable) { return hwnd_ ? pf::EnableWindow(hwnd_, enable) : 0; }
int MWindow::IsWindowEnabled() const { return hwnd_ ? pf::IsWindowEnabled(hwnd_) : 0; }
int MWindow::IsWindowVisible() const { return hwnd_ ? pf::IsWindowVisible(hwnd_) : 0; }
int MWindow::IsIconic() const { return hwnd_ ? pf::IsIconic(hwnd_) : 0; }
int MWindow::InvalidateRect(CRect r, int erase) {
  if (!hwnd_) return 0;
  const pf::RECT rc{r.left, r.top, r.right, r.bottom};
  return pf::InvalidateRect(hwnd_, &rc, erase);
}
HWND MWindow::SetCapture() { return hwnd_ ? pf::SetCapture(hwnd_) : nullptr; }
int MWindow::ReleaseCapture() { return hwnd_ ? pf::ReleaseCapture() : 0; }
HWND MWindow::SetFocus() { return hwnd_ ? pf::SetFocus(hwnd_) : nullptr; }
uintptr_t MWindow::SetTimer(uintptr_t id, unsigned elapse, pf::TIMERPROC proc) {
  return hwnd_ ? pf::SetTimer(hwnd_, id, elapse, proc) : 0;
}
int MWindow::KillTimer(uintptr_t id) { return hwnd_ ? pf::KillTimer(hwnd_, id) : 0; }
int MWindow::ClientToScreen(CPoint& pt) const {
  if (!hwnd_) return 0;
  pf::POINT p{pt.x, pt.y};
  const int r = pf::ClientToScreen(hwnd_, &p);
  pt = CPoint(p.x, p.y);
  return r;
}
int MWindow::ClientToScreen(CRect& rect) const {
  CPoint a(rect.left, rect.top), b(rect.right, rect.bottom);
  if (!ClientToScreen(a) || !ClientToScreen(b)) return 0;
  rect = CRect(a.x, a.y, b.x, b.y);
  return 1;
}
int MWindow::ScreenToClient(CPoint& pt) const {
  if (!hwnd_) return 0;
  pf::POINT p{pt.x, pt.y};
  const int r = pf::ScreenToClient(hwnd_, &p);
  pt = CPoint(p.x, p.y);
  return r;
}
int MWindow::ScreenToClient(CRect& rect) const {
  CPoint a(rect.left, rect.top), b(rect.right, rect.bottom);
  if (!ScreenToClient(a) || !ScreenToClient(b)) return 0;
  rect = CRect(a.x, a.y, b.x, b.y);
  return 1;
}
int MWindow::SetWindowPos(HWND after, int x, int y, int cx, int cy, unsigned flags) {
  return hwnd_ ? pf::SetWindowPos(hwnd_, after, x, y, cx, cy, flags) : 0;
}
int MWindow::MoveWindow(int x, int y, int w, int h, int repaint) {
  return hwnd_ ? pf::MoveWindow(hwnd_, x, y, w, h, repaint) : 0;
}
int MWindow::MoveWindow(CRect r, int repaint) { return MoveWindow(r.left, r.top, r.Width(), r.Height(), repaint); }
int MWindow::DestroyWindow() { return hwnd_ ? pf::DestroyWindow(hwnd_) : 0; }
LRESULT MWindow::SendMessageW(unsigned msg, WPARAM w, LPARAM l) { return hwnd_ ? pf::SendMessage(hwnd_, msg, w, l) : 0; }
int MWindow::PostMessageW(unsigned msg, WPARAM w, LPARAM l) { return hwnd_ ? pf::PostMessage(hwnd_, msg, w, l) : 0; }

}  // namespace kelvo
