// PaintManager: repaint requests, double-buffered and layered painting, the
// message and progress banner, the software caret, tooltips and balloon.
#include <cairo.h>

#include "kelvo/balloon.h"
#include "kelvo/paint_manager.h"
#include "kelvo/render.h"
#include "ui/core/tooltip_window.h"

namespace kelvo {
namespace pf = kelvo::platform;

namespace {
constexpr ARGB WithAlpha(unsigned a, unsigned rgb) { return (a << 24) | (rgb & 0xFFFFFF); }
}  // namespace

// ---------------------------------------------------------------------------
// Repaint requests

long PaintManager::OnControlUpdate(CRect rect, int redraw, MControl* control) {
  if (!control) return 0;
  if (ownerThread_ != 0 && pf::GetCurrentThreadId() != ownerThread_) {
    // From the tick thread: mark the control, queue the rest for the window
    // thread, which owns the lists' walk.
    if (redraw) control->SetUpdate(0, backColour_);
    bool post = false;
    {
      std::lock_guard g(pendingMu_);
      pending_.push_back({rect, 0, control});
      if (!pendingPosted_) post = pendingPosted_ = true;
    }
    if (post && IsWindowAlive()) pf::PostMessage(hwnd_, kMsgFlushUpdates, 0, 0);
    return 0;
  }
  return ApplyControlUpdate(rect, redraw, control);
}

void PaintManager::FlushPendingUpdates() {
  std::vector<PendingUpdate> todo;
  {
    std::lock_guard g(pendingMu_);
    todo.swap(pending_);
    pendingPosted_ = false;
  }
  for (auto& p : todo) ApplyControlUpdate(p.rect, p.redraw, p.control);
}

long PaintManager::ApplyControlUpdate(CRect rect, int redraw, MControl* control) {
  CRect dirty = rect;
  if (redraw) control->SetUpdate(0, backColour_);
  if (inited_) {
    bool passed = false;
    auto walk = [&](std::vector<MControl*>& list, ControlLock& lock) {
      std::lock_guard g(lock);
      for (MControl* c : list) {
        if (c == control) {
          passed = true;
          continue;
        }
        if (passed && c->IsVisible() && c->GetRect().Intersects(rect)) {
          c->SetUpdate(0, backColour_);
          dirty.UnionRect(dirty, c->GetRect());
        }
      }
    };
    walk(areas_, areasLock_);
    walk(controls_, controlsLock_);
  }
  InvalidateRect(dirty, 0);
  return 0;
}

// ---------------------------------------------------------------------------
// Painting

void PaintManager::SetBackColor(COLORREF back, COLORREF frame) {
  backColour_ = back;
  frameColour_ = frame;
  Invalidate(false);
}

int PaintManager::LoadBKImage(const std::wstring& file) {
  backImage_.reset();
  backImageWidth_ = backImageHeight_ = 0;
  const ImgResInfo* info = AddImgResInfo(file.c_str(), 1);
  if (!info || !info->image) return 0;
  backImage_ = info->image;
  backImageWidth_ = backImage_->Width();
  backImageHeight_ = backImage_->Height();
  Invalidate(false);
  return 1;
}

int PaintManager::LoadBKImage(unsigned id, const std::wstring& type) {
  backImage_.reset();
  backImageWidth_ = backImageHeight_ = 0;
  const ImgResInfo* info = AddImgResInfo(id, type, 1, 1);
  if (!info || !info->image) return 0;
  backImage_ = info->image;
  backImageWidth_ = backImage_->Width();
  backImageHeight_ = backImage_->Height();
  Invalidate(false);
  return 1;
}

void PaintManager::SetBackMode(enumBackMode mode, int margin) {
  backMode_ = mode;
  backMargin_ = margin;
  Invalidate(false);
}

void PaintManager::RenderTo(Canvas& dc, const CRect& update) {
  int w = dc.Width(), h = dc.Height();
  const CRect client(0, 0, w, h);
  if (layered_) dc.SetPixels(update, 0);
  if (backImage_) {
    // Pixels the picture leaves translucent show nothing of the last frame.
    if (!layered_) dc.SetPixels(update, 0);
    if (backMode_ == BACK_MODE_FRAME)
      dc.DrawNineGrid(*backImage_, client, 0, 0, backImageWidth_, backImageHeight_, backMargin_, backMargin_,
                      backMargin_, backMargin_);
    else
      dc.DrawImage(*backImage_, 0, 0);
  } else {
    dc.SetPixels(client, ColorRefToArgb(frameColour_, 254));
    CRect inner = client;
    inner.DeflateRect(1);
    dc.SetPixels(inner, ColorRefToArgb(backColour_, 254));
  }
  const CRect clip = layered_ ? client : update;
  {
    std::lock_guard g(areasLock_);
    for (MControl* a : areas_) a->Draw(dc, clip);
  }
  {
    std::lock_guard g(controlsLock_);
    for (MControl* c : controls_) c->Draw(dc, clip);
  }
  DrawCaret(dc, clip);
  if (bannerAlpha_ > 10 && !bannerText_.empty()) DrawBanner(dc);
}

int PaintManager::OnPaint() {
  if (!IsWindowAlive() || pf::IsIconic(hwnd_)) return 0;
  pf::RECT ur;
  if (!pf::GetUpdateRect(hwnd_, &ur, 0)) return 0;
  pf::PAINTSTRUCT ps;
  pf::HDC buffer = pf::BeginPaint(hwnd_, &ps);
  if (!buffer) {
    pf::EndPaint(hwnd_, &ps);
    return 0;
  }
  const CRect update(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  if (layered_) {
    // The whole bitmap goes to the window with per-pixel alpha.
    Canvas layer(cairo_image_surface_get_width(buffer), cairo_image_surface_get_height(buffer));
    if (layer.IsValid()) {
      RenderTo(layer, CRect(0, 0, layer.Width(), layer.Height()));
      cairo_surface_flush(layer.Surface());
      if (!(pf::GetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE) & pf::WS_EX_LAYERED))
        pf::SetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE, pf::GetWindowLongPtr(hwnd_, pf::GWL_EXSTYLE) | pf::WS_EX_LAYERED);
      pf::UpdateLayeredWindow(hwnd_, nullptr, nullptr, layer.Surface(), 255);
    }
  } else {
    Canvas dc(buffer);
    dc.Save();
    dc.Clip(update);
    RenderTo(dc, update);
    dc.Restore();
    cairo_surface_flush(buffer);
  }
  pf::EndPaint(hwnd_, &ps);
  return 1;
}

// ---------------------------------------------------------------------------
// Banner

void PaintManager::DrawBanner(Canvas& dc) {
  const unsigned a = static_cast<unsigned>(std::clamp(bannerAlpha_, 0, 255));
  const CRect& r = bannerRect_;
  dc.FillRect(r, WithAlpha(a, 0xE6E6E6));
  CRect inner = r;
  inner.DeflateRect(2);
  dc.FillRect(inner, WithAlpha(a, 0xFEFEFE));
  const FontSpec font{fontName_, 12, 0};
  const ARGB text = WithAlpha(a, 0x050505);
  if (progress_ <= 0) {
    dc.DrawText(bannerText_, CRect(r.left + 5, r.top + 5, r.left + 5 + 190, r.top + 5 + 50), font, text,
                TextFormat{TextAlign::Near, TextAlign::Center, false, true});
  } else {
    dc.DrawText(bannerText_, CRect(r.left + 5, r.top + 5, r.right - 5, r.top + 35), font, text,
                TextFormat{TextAlign::Center, TextAlign::Center, false, true});
    dc.DrawLine(r.left + 10, r.bottom - 15, r.right - 20, r.bottom - 15, 0xC8C8C8C8);
    const int width = progress_ * (r.Width() - 20) / 100;
    dc.FillRect(CRect(r.left + 10, r.bottom - 16, r.left + 10 + width, r.bottom - 13), 0xFEFFE100);
  }
}

void PaintManager::SetMessage(const std::wstring& text, CRect rect, MsgLevel level) {
  if (IsWindowAlive()) {
    pf::KillTimer(hwnd_, kBannerHoldTimerId);
    pf::KillTimer(hwnd_, kBannerFadeTimerId);
  }
  bannerAlpha_ = 255;
  bannerText_ = text;
  bannerLevel_ = level;
  bannerRect_ = rect;
  progress_ = 0;
  InvalidateRect(rect, 0);
  if (IsWindowAlive()) pf::SetTimer(hwnd_, kBannerHoldTimerId, 3000, nullptr);
}

void PaintManager::SetProgress(int percent, const std::wstring& text, CRect rect) {
  if (percent == progressTarget_) return;
  if (percent < 5 && IsWindowAlive()) pf::KillTimer(hwnd_, kBannerFadeTimerId);
  bannerAlpha_ = 255;
  bannerText_ = text;
  progressTarget_ = percent;
  if (rect.IsRectEmpty()) {
    CRect c;
    GetClientRect(c);
    rect = CRect(c.left, c.bottom - 60, c.right, c.bottom - 2);
  }
  bannerRect_ = rect;
  if (progressTarget_ - progress_ < 6) {
    progress_ = progressTarget_;
    InvalidateRect(bannerRect_, 0);
    if (progress_ > 99 && IsWindowAlive()) pf::SetTimer(hwnd_, kBannerFadeTimerId, 50, nullptr);
  } else if (IsWindowAlive()) {
    pf::SetTimer(hwnd_, kProgressTimerId, 10, nullptr);
  }
}

void PaintManager::BannerTick(unsigned id) {
  if (!IsWindowAlive()) return;
  switch (id) {
    case kBannerHoldTimerId:
      pf::KillTimer(hwnd_, kBannerHoldTimerId);
      pf::SetTimer(hwnd_, kBannerFadeTimerId, 50, nullptr);
      break;
    case kBannerFadeTimerId:
      bannerAlpha_ -= 10;
      if (bannerAlpha_ < 20) {
        bannerAlpha_ = 0;
        progress_ = 0;
        pf::KillTimer(hwnd_, kBannerFadeTimerId);
      }
      InvalidateRect(bannerRect_, 0);
      break;
    case kProgressTimerId:
      // Never past the target, so a bar stopping at 51 shows 51.
      progress_ = std::min(progress_ + 2, std::max(progressTarget_, progress_));
      if (progress_ >= progressTarget_) pf::KillTimer(hwnd_, kProgressTimerId);
      InvalidateRect(bannerRect_, 0);
      if (progress_ >= 100) pf::SetTimer(hwnd_, kBannerFadeTimerId, 50, nullptr);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// Caret

void PaintManager::CreateCaret(void*, int width, int height) {
  caretRect_ = CRect(caretRect_.left, caretRect_.top, caretRect_.left + width, caretRect_.top + height);
}

int PaintManager::SetCaretPos(MControl* edit, int x, int y) {
  if (!IsWindowAlive()) return 0;
  caretObject_ = edit;
  const CRect old = caretRect_;
  caretRect_ = CRect(x, y, x + old.Width(), y + old.Height());
  InvalidateRect(old, 0);
  InvalidateRect(caretRect_, 0);
  return 1;
}

void PaintManager::ShowCaret(int on) {
  if ((on != 0) == (caretShown_ != 0) && on) return;
  if (on) {
    if (IsWindowAlive()) pf::SetTimer(hwnd_, kCaretTimerId, pf::GetCaretBlinkTime(), nullptr);
    if (!caretShown_) {
      caretOn_ = 1;
      InvalidateRect(caretRect_, 0);
      caretShown_ = 1;
    }
  } else {
    if (IsWindowAlive()) pf::KillTimer(hwnd_, kCaretTimerId);
    if (caretShown_) InvalidateRect(caretRect_, 0);
    caretShown_ = 0;
  }
}

void PaintManager::DrawCaret(Canvas& dc, const CRect& clip) {
  const bool windowFocused = IsWindowAlive() && pf::GetFocus() == hwnd_;
  if (!caretObject_ || !caretObject_->IsFocused() || !windowFocused) {
    if (caretShown_) {
      if (IsWindowAlive()) pf::KillTimer(hwnd_, kCaretTimerId);
      InvalidateRect(caretRect_, 0);
      caretShown_ = 0;
    }
    return;
  }
  if (caretOn_ && caretShown_) {
    ARGB colour = 0xFEFFFFFF;
    if (auto* f = dynamic_cast<MControlFont*>(caretObject_)) colour = (f->GetTextColor() & 0xFFFFFF) | 0xFE000000;
    dc.FillRect(Intersection(clip, caretRect_), colour);
  }
}

// ---------------------------------------------------------------------------
// Tooltips and balloon

void PaintManager::SetTooltip(const wchar_t* text, CRect) {
  if (!IsWindowAlive()) return;
  if (!text || !*text) {
    if (tooltipWnd_) {
      tooltipWnd_->SetText(L"");
      tooltipWnd_->Activate(false);
    }
    return;
  }
  if (!tooltipWnd_) {
    auto tip = std::make_unique<TooltipWindow>(hwnd_);
    if (!tip->Create()) return;
    tooltipWnd_ = std::move(tip);
  }
  tooltipWnd_->SetText(text);
  tooltipWnd_->Activate(true);
}

void PaintManager::ClearTooltip() {
  if (tooltipWnd_) {
    tooltipWnd_->SetText(L"");
    tooltipWnd_->Activate(false);
  }
  tooltipOwner_ = 0;
}

void PaintManager::HideTooltip() { ClearTooltip(); }

std::wstring PaintManager::GetTooltipText() const { return tooltipWnd_ ? tooltipWnd_->Text() : L""; }
bool PaintManager::IsTooltipActive() const { return tooltipWnd_ && tooltipWnd_->IsActive(); }
HWND PaintManager::GetTooltipWindow() const { return tooltipWnd_ ? tooltipWnd_->Hwnd() : nullptr; }

int PaintManager::SetAirBladderMsg(const wchar_t* text, pf::POINT pt, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode) {
  if (!IsWindowAlive()) return 0;
  if (!airBladder_) {
    airBladder_ = new MAirBladder();
    if (!airBladder_->CreateTip(hwnd_, L"AirBladder Window")) {
      delete airBladder_;
      airBladder_ = nullptr;
      return 0;
    }
    airBladder_->LoadBKImage(L"img_tip_bk.png");
    airBladder_->LoadArrowLImage(L"img_tip_arrow_left.png");
    airBladder_->LoadArrowRImage(L"img_tip_arrow_right.png");
    airBladder_->LoadArrowTImage(L"img_tip_arrow_top.png");
  }
  return airBladder_->SetAirBladderMsg(text, pt, type, mode);
}

int PaintManager::ShowAirBladder(int show, int tag) {
  if (!airBladder_) return 0;
  if (tag != 0) {
    if (!show && tag != airBladderTag_) return 0;
    if (show) airBladderTag_ = tag;
  }
  airBladder_->ShowWindow(show ? pf::SW_SHOWNOACTIVATE : pf::SW_HIDE);
  return 1;
}

}  // namespace kelvo
