#include "kelvo/decorations.h"

#include <cairo.h>

#include <cmath>

#include "kelvo/render.h"

namespace kelvo {
namespace pf = kelvo::platform;

// ---------------------------------------------------------------------------
// Drop shadow

namespace {
constexpr wchar_t kShadowClass[] = L"ShadowWnd";
bool g_shadowRegistered = false;

pf::LRESULT ShadowProc(pf::HWND h, unsigned msg, pf::WPARAM w, pf::LPARAM l) {
  if (msg == pf::WM_MOUSEACTIVATE) return pf::MA_NOACTIVATE;
  if (msg == pf::WM_NCHITTEST) return pf::HTNOWHERE;
  return pf::DefWindowProc(h, msg, w, l);
}
}  // namespace

MShadow::MShadow() = default;

MShadow::~MShadow() {
  if (hwnd_ && pf::IsWindow(hwnd_)) pf::DestroyWindow(hwnd_);
}

int MShadow::Create(HWND owner, int show, bool force) {
  if (!owner) return 0;
  owner_ = owner;
  {
    // Registered once per process (and again when forced or when the
    // window system was restarted).
    pf::WNDCLASSEX wc;
    if (force || !g_shadowRegistered || !pf::GetClassInfoEx(nullptr, kShadowClass, &wc)) {
      wc.lpfnWndProc = &ShadowProc;
      wc.lpszClassName = kShadowClass;
      pf::RegisterClassEx(&wc);
    }
    g_shadowRegistered = true;
  }
  if (!hwnd_)
    hwnd_ = pf::CreateWindowEx(pf::WS_EX_LAYERED | pf::WS_EX_TRANSPARENT | pf::WS_EX_TOOLWINDOW | pf::WS_EX_NOACTIVATE,
                               kShadowClass, L"", pf::WS_POPUP, 0, 0, 1, 1, owner, nullptr, nullptr, nullptr);
  if (!hwnd_) return 0;
  shown_ = show != 0;
  Update();
  return 1;
}

int MShadow::SetSize(int s) {
  if (s < -35 || s > 35) return 0;
  size_ = s;
  Update();
  return 1;
}
int MShadow::SetSharpness(unsigned s) {
  if (s > 35) return 0;
  sharpness_ = static_cast<int>(s);
  Update();
  return 1;
}
int MShadow::SetDarkness(unsigned d) {
  if (d > 255) return 0;
  darkness_ = static_cast<int>(d);
  Update();
  return 1;
}
int MShadow::SetPosition(int x, int y) {
  if (x < -35 || x > 35 || y < -35 || y > 35) return 0;
  offsetX_ = x;
  offsetY_ = y;
  Update();
  return 1;
}
int MShadow::SetColor(COLORREF c) {
  colour_ = c & 0xFFFFFF;
  Update();
  return 1;
}
int MShadow::SetImage(const wchar_t* file, CRect corners) {
  if (!file) return 0;
  image_ = Image::FromFile(Manager::SkinPath(file));
  corners_ = corners;
  Update();
  return image_ ? 1 : 0;
}
int MShadow::SetImage(unsigned id, CRect corners) {
  image_ = MRender::LoadImageFromIDResource(id, L"PNG", true);
  corners_ = corners;
  Update();
  return image_ ? 1 : 0;
}
int MShadow::Show(int show) {
  disabled_ = show == 0;
  Update();
  return 1;
}

Canvas MShadow::RenderShadow(int w, int h) const {
  const int blur = sharpness_;
  const int sw = w + 2 * size_ + 2 * blur, sh = h + 2 * size_ + 2 * blur;
  Canvas c(std::max(1, sw), std::max(1, sh));
  if (!c.IsValid() || sw <= 0 || sh <= 0) return c;
  if (image_) {
    c.DrawNineGrid(*image_, CRect(0, 0, sw, sh), 0, 0, image_->Width(), image_->Height(), corners_.left,
                   corners_.top, corners_.right, corners_.bottom);
    return c;
  }
  // Solid core, linear fade across the blur band.
  const double x0 = blur, y0 = blur, x1 = sw - blur, y1 = sh - blur;
  cairo_surface_t* s = c.Surface();
  cairo_surface_flush(s);
  auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  const unsigned r = GetRValue(colour_), g = GetGValue(colour_), b = GetBValue(colour_);
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      const double dx = std::max({x0 - (x + 0.5), 0.0, (x + 0.5) - x1});
      const double dy = std::max({y0 - (y + 0.5), 0.0, (y + 0.5) - y1});
      const double d = std::sqrt(dx * dx + dy * dy);
      const double f = blur > 0 ? std::clamp(1.0 - d / blur, 0.0, 1.0) : (d > 0 ? 0.0 : 1.0);
      const unsigned a = static_cast<unsigned>(darkness_ * f * f + 0.5);
      data[y * stride + x] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
  }
  cairo_surface_mark_dirty(s);
  return c;
}

void MShadow::Update() {
  if (!hwnd_ || !owner_ || !pf::IsWindow(owner_)) return;
  const bool visible = shown_ && !disabled_ && pf::IsWindowVisible(owner_) && !pf::IsIconic(owner_);
  if (!visible) {
    pf::ShowWindow(hwnd_, pf::SW_HIDE);
    return;
  }
  pf::RECT wr;
  pf::GetWindowRect(owner_, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  Canvas c = RenderShadow(w, h);
  const pf::POINT dst{wr.left - size_ - sharpness_ + offsetX_, wr.top - size_ - sharpness_ + offsetY_};
  const pf::SIZE sz{c.Width(), c.Height()};
  pf::SetWindowPos(hwnd_, owner_, dst.x, dst.y, sz.cx, sz.cy, pf::SWP_NOACTIVATE);
  pf::UpdateLayeredWindow(hwnd_, &dst, &sz, c.Surface(), 255);
  pf::ShowWindow(hwnd_, pf::SW_SHOWNOACTIVATE);
}

void MShadow::Follow(unsigned msg, WPARAM w, LPARAM) {
  switch (msg) {
    case pf::WM_MOVE:
    case pf::WM_SIZE:
    case pf::WM_WINDOWPOSCHANGED:
    case pf::WM_SHOWWINDOW: Update(); break;
    case pf::WM_DESTROY:
      if (hwnd_) pf::ShowWindow(hwnd_, pf::SW_HIDE);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Splash window

namespace {
constexpr unsigned kLoadingTimer = 100;
}

LoadingWnd::LoadingWnd() = default;

HWND LoadingWnd::Create(HWND owner, CRect rect, const std::wstring& text) {
  text_ = text;
  logo_ = Image::FromFile(Manager::SkinPath(L"logo/logo_loading.png"));
  gif_ = Image::FromFile(Manager::SkinPath(L"loading/loading.gif"));
  close_ = Image::FromFile(Manager::SkinPath(L"img_sys_close.png"));
  HWND h = MWindow::Create(owner, L"Loading Window", pf::WS_POPUP, pf::WS_EX_TOOLWINDOW | pf::WS_EX_LAYERED, rect);
  if (!h) return nullptr;
  SetTimer(kLoadingTimer, 18);
  Render();
  ShowWindow(pf::SW_SHOWNOACTIVATE);
  return h;
}

int LoadingWnd::LoadAnimateImage(const std::wstring& file, int index) {
  if (index < 0) return 0;
  ImagePtr img = Image::FromFile(Manager::SkinPath(file));
  if (!img) return 0;
  if (static_cast<int>(extra_.size()) <= index) extra_.resize(index + 1);
  extra_[index] = img;
  return 1;
}

void LoadingWnd::SetText(const std::wstring& text) {
  text_ = text;
  Render();
}

LRESULT LoadingWnd::OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) {
  if (msg == pf::WM_TIMER && w == kLoadingTimer) {
    const int count = gif_ ? gif_->FrameCount() : static_cast<int>(extra_.size());
    if (count > 0) frame_ = (frame_ + 1) % count;
    Render();
    return 0;
  }
  if (msg == pf::WM_PAINT) {
    pf::PAINTSTRUCT ps;
    pf::BeginPaint(hwnd_, &ps);
    pf::EndPaint(hwnd_, &ps);
    return 0;
  }
  return CallPrevious(msg, w, l);
}

void LoadingWnd::Render() {
  CRect c;
  if (!GetClientRect(c) || c.Width() < 1 || c.Height() < 1) return;
  canvas_.Reset(c.Width(), c.Height());
  const int W = c.Width(), H = c.Height();
  canvas_.RoundRectPath(0, 0, W, H, 10, 10);
  canvas_.FillPath(0xF0181C24);
  if (logo_) canvas_.DrawImage(*logo_, (W - logo_->Width()) / 2, 24);
  ImagePtr anim = gif_;
  int frame = frame_;
  if (!anim && frame_ < static_cast<int>(extra_.size())) {
    anim = extra_[frame_];
    frame = 0;
  }
  if (anim) {
    const int x = (W - anim->Width()) / 2, y = (H - anim->Height()) / 2;
    canvas_.DrawImage(*anim, CRect(x, y, x + anim->Width(), y + anim->Height()), 0, 0, anim->Width(),
                      anim->Height(), 255, frame);
  }
  if (!text_.empty())
    canvas_.DrawText(text_, CRect(0, H - 44, W, H - 14), FontSpec{L"Arial", 14, 0}, 0xFFD0D4DC,
                     TextFormat{TextAlign::Center, TextAlign::Center, false, false});
  if (close_) {
    const int fw = close_->Width() / 4;
    canvas_.DrawImage(*close_, CRect(W - fw - 6, 6, W - 6, 6 + close_->Height()), 0, 0, fw, close_->Height());
  }
  cairo_surface_flush(canvas_.Surface());
  pf::UpdateLayeredWindow(hwnd_, nullptr, nullptr, canvas_.Surface(), 255);
}

}  // namespace kelvo
