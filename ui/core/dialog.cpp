#include "kelvo/balloon.h"
#include "kelvo/decorations.h"
#include "kelvo/window.h"

namespace kelvo {
namespace pf = kelvo::platform;

MDialog::MDialog() = default;

MDialog::~MDialog() {
  // Controls go while the manager and the window still exist.
  pm_.DestroyData();
}

long MDialog::OnBaseMessage(unsigned id, unsigned code, unsigned wParam, long lParam) {
  return OnMessage(id, code, wParam, lParam);
}

long MDialog::OnControlUpdate(CRect rect, int redraw, MControl* control) {
  return pm_.OnControlUpdate(rect, redraw, control);
}

LRESULT MDialog::OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) {
  const CPoint pt(pf::GET_X_LPARAM(l), pf::GET_Y_LPARAM(l));
  const unsigned flags = static_cast<unsigned>(w);
  switch (msg) {
    case pf::WM_CREATE: OnCreate(reinterpret_cast<CREATESTRUCT*>(l)); break;
    case pf::WM_DESTROY: OnDestroy(); break;
    case pf::WM_SIZE: OnSize(flags, pt.x, pt.y); break;
    case pf::WM_PAINT: OnPaint(); break;
    case pf::WM_CLOSE: OnClose(); break;
    case pf::WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(l)); break;
    case pf::WM_WINDOWPOSCHANGED: OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(l)); break;
    case pf::WM_NCACTIVATE: OnNcActivate(static_cast<int>(w)); break;
    case pf::WM_TIMER: OnTimer(flags); break;
    case pf::WM_MOUSEMOVE: OnMouseMove(flags, pt); break;
    case pf::WM_LBUTTONDOWN: OnLButtonDown(flags, pt); break;
    case pf::WM_LBUTTONUP: OnLButtonUp(flags, pt); break;
    case pf::WM_LBUTTONDBLCLK: OnLButtonDblClk(flags, pt); break;
    case pf::WM_RBUTTONDOWN: OnRButtonDown(flags, pt); break;
    case pf::WM_RBUTTONUP: OnRButtonUp(flags, pt); break;
    case pf::WM_RBUTTONDBLCLK: OnRButtonDblClk(flags, pt); break;
    case pf::WM_MOUSEHOVER: OnMouseHover(flags, static_cast<long>(l)); break;
    case pf::WM_MOUSELEAVE: OnMouseLeave(flags, static_cast<long>(l)); break;
    case pf::WM_MOUSEWHEEL: OnMouseWheel(pf::LOWORD(w), pf::GET_WHEEL_DELTA_WPARAM(w), pt); break;
    case pf::WM_KEYDOWN: OnKeyDown(flags, 1, static_cast<unsigned>(l)); break;
    case pf::WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(l)); break;
    case pf::WM_NCHITTEST: OnNcHitTest(pt); break;
    case pf::WM_NCCALCSIZE: OnNcCalcSize(static_cast<int>(w), reinterpret_cast<NCCALCSIZE_PARAMS*>(l)); break;
    case pf::WM_NCPAINT: OnNcPaint(); break;
    case pf::WM_ERASEBKGND: return 1;
    case WM_KELVO_CLOSE: return OnUserCloseWindow(w, l);
    default: break;
  }
  if (MShadow* s = pm_.GetShadow()) s->Follow(msg, w, l);
  if (const LRESULT r = pm_.OnWindowMessage(msg, w, l)) return r;
  return CallPrevious(msg, w, l);
}

int MDialog::PreTranslateMessage(MSG* msg) { return pm_.PreTranslateMessage(msg) ? 1 : 0; }

int MDialog::OnInitDialog() {
  if (!hwnd_) return 1;
  pm_.Init(hwnd_, this);
  CRect client;
  GetClientRect(client);
  client_ = client;
  InitUI(client);
  return 1;
}

void MDialog::OnDestroyMessage(HWND hwnd) {
  if (hwnd == pm_.GetPaintWnd()) pm_.DestroyData();
  PostNcDestroy();
}

POINT MDialog::GetAirBladderPoint(MControl* control, unsigned type) {
  POINT p;
  if (!control) return p;
  const CRect r = control->GetRect();
  CPoint c(r.left, r.bottom);
  if (type == 1) c.x = (r.left + r.right) / 2;
  if (type == 2) c.x = r.right;
  ClientToScreen(c);
  p.x = c.x;
  p.y = c.y;
  return p;
}

void MDialog::OnMinimize() { ShowWindow(pf::SW_MINIMIZE); }

void MDialog::OnMaximize() {
  if (!hwnd_) return;
  ShowWindow(pf::IsZoomed(hwnd_) ? pf::SW_RESTORE : pf::SW_MAXIMIZE);
}

long MDialog::OnUserCloseWindow(WPARAM w, LPARAM l) {
  PostMessageW(pf::WM_CLOSE, w, l);
  return 1;
}

void MDialog::ApplyFramelessStyle(bool toolWindow) {
  if (!hwnd_) return;
  const auto style = static_cast<pf::DWORD>(pf::GetWindowLongPtr(hwnd_, pf::GWL_STYLE));
  pf::SetWindowLongPtr(hwnd_, pf::GWL_STYLE, (style & 0xFF3BFFFFu) | 0x6000008u);
  if (toolWindow) pf::SetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE, pf::WS_EX_TOOLWINDOW);
}

int MDialog::OnCreate(CREATESTRUCT*) {
  ApplyFramelessStyle(false);
  return 1;
}

int MDialog::OnSize(unsigned type, int, int) {
  if (type != pf::SIZE_MINIMIZED) SetupBackTranslucent();
  CRect client;
  GetClientRect(client);
  client_ = client;
  if (client.Width() > 1 && client.Height() > 1) UISize(client);
  pm_.Invalidate(false);
  return 0;
}

void MDialog::SetupBackTranslucent() {
  if (!hwnd_) return;
  if (alpha_ != 255) {
    ModifyExStyle(0, pf::WS_EX_LAYERED);
    pf::SetLayeredWindowAttributes(hwnd_, 0, static_cast<pf::BYTE>(alpha_), pf::LWA_ALPHA);
  } else if (colourKey_ != 0xFFFFFF) {
    ModifyExStyle(0, pf::WS_EX_LAYERED);
    pf::SetLayeredWindowAttributes(hwnd_, colourKey_, 255, pf::LWA_COLORKEY);
  }
}

MControl* MDialog::CreateArea(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                              int enabled) {
  return pm_.CreateControl(0, this, className, id, rect, title, visible, enabled);
}

MControl* MDialog::CreateControl(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title,
                                 int visible, int enabled) {
  return pm_.CreateControl(1, this, className, id, rect, title, visible, enabled);
}

void MDialog::SetMessage(const std::wstring& text, CRect rect, MsgLevel level) {
  if (rect.IsRectEmpty() || rect.IsRectNull()) {
    CRect c;
    GetClientRect(c);
    const int left = c.left + (c.Width() - 200) / 2;
    rect = CRect(left, c.bottom - 60 + bannerOffset_, left + 200, c.bottom - 2 + bannerOffset_);
  }
  pm_.SetMessage(text, rect, level);
}

int MDialog::SetAirBladderMsg(const wchar_t* text, POINT pt, AIRBLADDER_TYPE type) {
  if (pt.x == 0 || pt.y == 0) return 0;
  pm_.SetAirBladderMsg(text, pt, type, 3);
  return 1;
}

// ---------------------------------------------------------------------------
// MPopupWnd

MPopupWnd::MPopupWnd() { colourKey_ = 0xF1F1F1; }

long MPopupWnd::SendMessageToParent(unsigned code, unsigned wParam, long lParam) {
  auto* c = dynamic_cast<MControl*>(owner_);
  if (c) return c->OnMessage(0, code, wParam, lParam);
  return owner_ ? owner_->OnBaseMessage(0, code, wParam, lParam) : 0;
}

int MPopupWnd::OnCreate(CREATESTRUCT*) {
  ApplyFramelessStyle(true);
  return 1;
}

int MPopupWnd::OnInitDialog() {
  MDialog::OnInitDialog();
  pm_.EnableWndDrag(0);
  return 1;
}

int MPopupWnd::OnNcActivate(int active) {
  if (!active) PostMessageW(pf::WM_CLOSE, 0, 0);
  return 1;
}

}  // namespace kelvo
