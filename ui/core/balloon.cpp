#include "kelvo/balloon.h"

#include <cairo.h>

#include <cmath>

#include "kelvo/render.h"
#include "util/text.h"

namespace kelvo {
namespace pf = kelvo::platform;

namespace {
constexpr unsigned long kTipStyle = 0x96000080ul & ~static_cast<unsigned long>(pf::WS_VISIBLE);

int CountLines(const std::wstring& t) { return 1 + static_cast<int>(std::count(t.begin(), t.end(), L'\n')); }
}  // namespace

// ---------------------------------------------------------------------------
// Shared window behaviour

int TipWindowBase::LoadBKImage(const std::wstring& file) {
  back_ = Image::FromFile(Manager::SkinPath(file));
  return back_ ? 1 : 0;
}

int TipWindowBase::LoadBKImage(unsigned id, const std::wstring& type) {
  back_ = MRender::LoadImageFromIDResource(id, type, true);
  return back_ ? 1 : 0;
}

HWND TipWindowBase::CreateTip(HWND owner, const wchar_t* title) {
  // Nothing shows until a message sizes the window.
  return Create(owner, title, kTipStyle,
                pf::WS_EX_TOOLWINDOW | pf::WS_EX_TOPMOST | pf::WS_EX_NOACTIVATE | pf::WS_EX_LAYERED, CRect(0, 0, 1, 1));
}

int TipWindowBase::OnInitDialog() {
  if (!hwnd_) return 1;
  const auto style = static_cast<pf::DWORD>(pf::GetWindowLongPtr(hwnd_, pf::GWL_STYLE));
  pf::SetWindowLongPtr(hwnd_, pf::GWL_STYLE,
                       (style & ~static_cast<pf::DWORD>(pf::WS_CAPTION | pf::WS_THICKFRAME)) | pf::WS_CLIPSIBLINGS |
                           pf::WS_CLIPCHILDREN);
  const std::string file = Manager::ResourceFile(106, L"ttf", false);
  if (!file.empty() && AddPrivateFontFile(file)) {
    face_ = HasFontFamily(L"Open Sans Semibold") ? L"Open Sans Semibold" : brumkey::Utf8ToWide(FontFileFamily(file));
  }
  return 1;
}

LRESULT TipWindowBase::OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case pf::WM_TIMER:
      if (w == kTipHideTimerId) {
        KillTimer(kTipHideTimerId);
        ShowWindow(pf::SW_HIDE);
        return 0;
      }
      break;
    case pf::WM_KILLFOCUS:
      KillTimer(kTipHideTimerId);
      if (HidesOnFocusLoss()) ShowWindow(pf::SW_HIDE);
      return 0;
    case pf::WM_MOUSEACTIVATE: return pf::MA_NOACTIVATE;
    case pf::WM_PAINT: {
      pf::PAINTSTRUCT ps;
      pf::BeginPaint(hwnd_, &ps);
      pf::EndPaint(hwnd_, &ps);
      return 0;
    }
    case pf::WM_SIZE: {
      CRect c;
      GetClientRect(c);
      pf::SetWindowRgn(hwnd_, pf::IsZoomed(hwnd_) ? nullptr : pf::CreateRoundRectRgn(0, 0, c.Width() + 1, c.Height() + 1, 3, 3), 1);
      break;
    }
    default: break;
  }
  return CallPrevious(msg, w, l);
}

void TipWindowBase::DrawBackground(Canvas& dc) {
  if (!back_) return;
  const CRect r(0, 0, dc.Width() - 1, dc.Height() - 1);
  if (backMode_ == BACK_MODE_FRAME)
    dc.DrawNineGrid(*back_, r, 0, 0, back_->Width(), back_->Height(), backMargin_, backMargin_, backMargin_, backMargin_);
  else
    dc.DrawImage(*back_, 0, 0);
}

void TipWindowBase::Present() {
  if (!hwnd_) return;
  CRect c;
  GetClientRect(c);
  if (c.Width() < 1 || c.Height() < 1) return;
  frame_.Reset(c.Width(), c.Height());
  Render(frame_);
  cairo_surface_flush(frame_.Surface());
  pf::UpdateLayeredWindow(hwnd_, nullptr, nullptr, frame_.Surface(), 255);
}

void TipWindowBase::PlaceAndPaint(const CRect& r) {
  if (!hwnd_ || r.IsRectEmpty()) return;
  pf::SetWindowPos(hwnd_, pf::HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), pf::SWP_NOACTIVATE | pf::SWP_SHOWWINDOW);
  Present();
}

// ---------------------------------------------------------------------------
// Balloon

MAirBladder::MAirBladder() = default;

int MAirBladder::LoadArrowLImage(const std::wstring& f) { return (arrowL_ = Image::FromFile(Manager::SkinPath(f))) ? 1 : 0; }
int MAirBladder::LoadArrowRImage(const std::wstring& f) { return (arrowR_ = Image::FromFile(Manager::SkinPath(f))) ? 1 : 0; }
int MAirBladder::LoadArrowTImage(const std::wstring& f) { return (arrowT_ = Image::FromFile(Manager::SkinPath(f))) ? 1 : 0; }
int MAirBladder::LoadArrowLImage(unsigned id, const std::wstring& t) {
  return (arrowL_ = MRender::LoadImageFromIDResource(id, t, true)) ? 1 : 0;
}
int MAirBladder::LoadArrowRImage(unsigned id, const std::wstring& t) {
  return (arrowR_ = MRender::LoadImageFromIDResource(id, t, true)) ? 1 : 0;
}
int MAirBladder::LoadArrowTImage(unsigned id, const std::wstring& t) {
  return (arrowT_ = MRender::LoadImageFromIDResource(id, t, true)) ? 1 : 0;
}

void MAirBladder::SetTextColor(ARGB colour) {
  textColour_ = colour;
  if (!text_.empty() && IsWindowVisible()) Present();
}

int MAirBladder::SetAirBladderMsg(const wchar_t* text, POINT anchor, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode) {
  const std::wstring t = text ? text : L"";
  if (t == text_ && anchor.x == anchor_.x && anchor.y == anchor_.y && type == type_ && mode == mode_) return 1;
  centred_ = false;
  text_ = t;
  anchor_ = anchor;
  type_ = type;
  mode_ = mode;
  AutoFit();
  if (type_ != 4) SetTimer(kTipHideTimerId, 5000);
  return 1;
}

CRect MAirBladder::FitRect(int mode, int lines, int W, int H, POINT a) {
  const int x = a.x, y = a.y;
  int E = lines * H;
  switch (mode) {
    case 1: {
      const int t = y - E / 2 - 10;
      return CRect(x, t, x + W + 40, t + E + 20);
    }
    case 2: return CRect(x - W - 40, y - 27, x, y + E - 7);
    case 3: return CRect(x - 25, y, x + W + 15, y + E + 30);
    case 4: return CRect(x - (W + 30) / 2, y - E - 20, x - (W + 30) / 2 + W + 30, y);
    case 5: {
      E = std::max(1, lines - 2) * H;
      CRect r(x, y - 10, x + W + 40, y + E - 45);
      // The literal box is upside down for short texts; keep one padded line.
      if (r.Height() < E + 20) r.bottom = r.top + E + 20;
      return r;
    }
    default: return CRect();
  }
}

void MAirBladder::AutoFit() {
  if (text_.empty()) return;
  const FontSpec font{face_.empty() ? Manager::GetFontName() : face_, 14, 0};
  Canvas probe;
  const TextExtent e = probe.MeasureText(text_, font);
  lines_ = CountLines(text_);
  lineHeight_ = static_cast<int>(std::ceil(e.lineHeight));
  if (lines_ == 1 || mode_ == 4) centred_ = true;
  PlaceAndPaint(FitRect(mode_, lines_, static_cast<int>(std::ceil(e.width)), lineHeight_, anchor_));
}

void MAirBladder::Render(Canvas& dc) {
  DrawBackground(dc);
  if (text_.empty() || face_.empty()) return;
  const FontSpec font{face_, 14, 0};
  const int boxH = lines_ * lineHeight_ + 2;
  const int top = (dc.Height() - lines_ * lineHeight_) / 2 + lines_ - 1;
  TextFormat fmt;
  if (centred_) fmt = TextFormat{TextAlign::Center, TextAlign::Center, false, false};
  dc.DrawText(text_, CRect(8, top, dc.Width() - 8, top + boxH), font, textColour_, fmt);
}

// ---------------------------------------------------------------------------
// Key tip

CKeyboardTips::CKeyboardTips() = default;

int CKeyboardTips::SetAirBladderMsg(const wchar_t* name, const wchar_t* line1, const wchar_t* line2, POINT anchor) {
  const std::wstring n = name ? name : L"", a = line1 ? line1 : L"", b = line2 ? line2 : L"";
  if (n == name_ && a == line1_ && b == line2_ && anchor.x == anchor_.x && anchor.y == anchor_.y) return 1;
  name_ = n;
  line1_ = a;
  line2_ = b;
  anchor_ = anchor;
  type_ = 5;
  mode_ = 4;
  if (name_.empty()) return 1;
  PlaceAndPaint(CRect(anchor.x - 95, anchor.y - 100, anchor.x + 95, anchor.y));
  return 1;
}

void CKeyboardTips::Render(Canvas& dc) {
  DrawBackground(dc);
  if (name_.empty() || face_.empty()) return;
  const int w = dc.Width();
  const TextFormat centred{TextAlign::Center, TextAlign::Center, false, false};
  dc.DrawText(name_, CRect(10, 8, w - 10, 28), FontSpec{face_, 14, 0}, 0xFFC8C8C8, centred);
  dc.DrawText(line1_, CRect(10, 35, w - 10, 55), FontSpec{face_, 14, 0}, 0xFFFFFFFF, centred);
  dc.DrawText(line2_, CRect(10, 63, w - 10, 83), FontSpec{face_, 18, 0}, 0xFFFFFFFF, centred);
}

}  // namespace kelvo
