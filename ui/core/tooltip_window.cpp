#include "ui/core/tooltip_window.h"

#include <cmath>

#include "kelvo/manager.h"
#include "kelvo/render.h"

namespace kelvo {
namespace pf = kelvo::platform;

namespace {
constexpr unsigned kShowTimer = 1;
constexpr unsigned kShowDelayMs = 500;
constexpr wchar_t kClass[] = L"KelvoTooltip";
const FontSpec& TipFont() {
  static const FontSpec f{L"Open Sans", 12, 0};
  return f;
}
}  // namespace

TooltipWindow::TooltipWindow(pf::HWND owner) : owner_(owner) {}

TooltipWindow::~TooltipWindow() {
  if (hwnd_ && pf::IsWindow(hwnd_)) {
    pf::SetWindowLongPtr(hwnd_, pf::GWLP_USERDATA, 0);
    pf::DestroyWindow(hwnd_);
  }
}

bool TooltipWindow::Create() {
  if (hwnd_) return true;
  pf::WNDCLASSEX wc;
  if (!pf::GetClassInfoEx(nullptr, kClass, &wc)) {
    wc.lpfnWndProc = &TooltipWindow::Proc;
    wc.lpszClassName = kClass;
    pf::RegisterClassEx(&wc);
  }
  hwnd_ = pf::CreateWindowEx(pf::WS_EX_TOPMOST | pf::WS_EX_TOOLWINDOW | pf::WS_EX_NOACTIVATE | pf::WS_EX_LAYERED,
                             kClass, L"", pf::WS_POPUP, 0, 0, 1, 1, owner_, nullptr, nullptr, this);
  if (hwnd_) pf::SetWindowLongPtr(hwnd_, pf::GWLP_USERDATA, reinterpret_cast<pf::LONG_PTR>(this));
  return hwnd_ != nullptr;
}

void TooltipWindow::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  if (IsShown()) {
    if (text_.empty())
      Hide();
    else
      ShowAt(lastX_, lastY_);
  }
}

void TooltipWindow::Activate(bool on) {
  active_ = on;
  if (!on) {
    Hide();
    return;
  }
  // The move that activated the tool was relayed just before: wait for the
  // pointer to rest there.
  if (hwnd_ && !text_.empty() && !IsShown()) pf::SetTimer(hwnd_, kShowTimer, kShowDelayMs, nullptr);
}

bool TooltipWindow::IsShown() const { return hwnd_ && pf::IsWindowVisible(hwnd_); }

void TooltipWindow::Relay(const pf::MSG& msg) {
  if (!hwnd_) return;
  if (msg.message != pf::WM_MOUSEMOVE) {
    Hide();
    return;
  }
  lastX_ = msg.pt.x;
  lastY_ = msg.pt.y;
  if (!active_ || text_.empty()) return;
  // The tip appears once the pointer rests.
  if (!IsShown()) pf::SetTimer(hwnd_, kShowTimer, kShowDelayMs, nullptr);
}

void TooltipWindow::ShowAt(int x, int y) {
  if (!hwnd_ || text_.empty()) return;
  Canvas probe;
  const TextExtent e = probe.MeasureText(text_, TipFont(), kMaxWidth - 16);
  const int w = static_cast<int>(std::ceil(e.width)) + 16;
  const int h = static_cast<int>(std::ceil(e.height)) + 10;
  canvas_.Reset(w, h);
  canvas_.RoundRectPath(0.5, 0.5, w - 1, h - 1, 4, 4);
  canvas_.FillPath(0xF0262A33, true);
  canvas_.StrokePath(0xFF454B57, 1);
  canvas_.DrawText(text_, CRect(8, 5, w - 8, h - 5), TipFont(), 0xFFE8EAED, TextFormat{TextAlign::Near, TextAlign::Center, true, false});
  const pf::POINT dst{x + 12, y + 20};
  const pf::SIZE size{w, h};
  pf::SetWindowPos(hwnd_, pf::HWND_TOPMOST, dst.x, dst.y, w, h, pf::SWP_NOACTIVATE);
  pf::UpdateLayeredWindow(hwnd_, &dst, &size, canvas_.Surface(), 255);
  pf::ShowWindow(hwnd_, pf::SW_SHOWNOACTIVATE);
}

void TooltipWindow::Hide() {
  if (!hwnd_) return;
  pf::KillTimer(hwnd_, kShowTimer);
  if (pf::IsWindowVisible(hwnd_)) pf::ShowWindow(hwnd_, pf::SW_HIDE);
}

pf::LRESULT TooltipWindow::Proc(pf::HWND hwnd, unsigned msg, pf::WPARAM w, pf::LPARAM l) {
  auto* self = reinterpret_cast<TooltipWindow*>(pf::GetWindowLongPtr(hwnd, pf::GWLP_USERDATA));
  if (self && msg == pf::WM_TIMER && w == kShowTimer) {
    pf::KillTimer(hwnd, kShowTimer);
    if (self->active_) self->ShowAt(self->lastX_, self->lastY_);
    return 0;
  }
  if (msg == pf::WM_MOUSEACTIVATE) return pf::MA_NOACTIVATE;
  return pf::DefWindowProc(hwnd, msg, w, l);
}

}  // namespace kelvo
