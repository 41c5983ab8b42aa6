#include "kelvo/menu.h"

#include <cmath>

#include "kelvo/render.h"
#include "util/text.h"

namespace kelvo {
namespace pf = kelvo::platform;

namespace {
MControl* MakeMenuItem(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible, int enabled) {
  return new MenuItem(parent, id, rect, title, visible, enabled);
}
const ControlRegistration kMenuItemReg(L"MenuItem", &MakeMenuItem);
}  // namespace

// ---------------------------------------------------------------------------
// MenuItem

MenuItem::MenuItem(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible, int enabled)
    : MControlFont(parent, id, rect, title, visible, enabled, 1) {
  frameCount_ = 3;
  if (!enabled) state_ = 3;
}

MenuWnd* MenuItem::GetParentMenu() const { return dynamic_cast<MenuWnd*>(parent_); }

int MenuItem::SetCheck(int check) {
  if (!checkable_) return check_;
  if (!enabled_) return check_;
  if (check != check_) {
    check_ = check;
    state_ = check_ ? 2 : 0;
    Repaint();
  }
  return check_;
}

int MenuItem::OnControlMouseMove(unsigned, CPoint pt) {
  if (!enabled_ || pressed_) return 0;
  const bool inside = rect_.PtInRect(pt);
  const bool checked = checkable_ && check_;
  const int s = inside ? (checked ? 6 : 1) : (checked ? 2 : 0);
  if (s != state_) {
    state_ = s;
    Repaint();
  }
  return inside ? 1 : 0;
}

int MenuItem::OnControlLButtonDown(unsigned, CPoint pt) {
  if (!enabled_ || separator_ || !rect_.PtInRect(pt)) return 0;
  pressed_ = 1;
  if (checkable_) {
    state_ = check_ ? 6 : 1;
    SendMessageW(NOTIFY_CHECK_KEY, static_cast<unsigned>(check_), 1);
  } else {
    state_ = 2;
  }
  Repaint();
  return 1;
}

int MenuItem::OnControlLButtonUp(unsigned, CPoint pt) {
  if (!enabled_ || separator_) {
    pressed_ = 0;
    return 0;
  }
  const bool inside = rect_.PtInRect(pt);
  const bool wasPressed = pressed_ != 0;
  pressed_ = 0;
  if (!inside) {
    state_ = (checkable_ && check_) ? 2 : 0;
  } else if (checkable_) {
    if (wasPressed) check_ = (!group_.empty()) || !check_;
    state_ = check_ ? 6 : 1;
  } else {
    state_ = 1;
    Repaint();
    if (wasPressed) SendMessageW(NOTIFY_CLICK, 0, 0);
    return 1;
  }
  Repaint();
  return inside ? 1 : 0;
}

void MenuItem::SetControlEnabled(int enabled) {
  enabled_ = enabled;
  const bool checked = checkable_ && check_;
  state_ = enabled ? (checked ? 2 : 0) : (checked ? 7 : 3);
  Repaint();
}

void MenuItem::PaintState(Canvas& dc, const CRect& slot, int state) {
  const FontSpec font = GetGDIFont();
  if (separator_) {
    const int y = slot.top + slot.Height() / 2;
    if (image_)
      dc.DrawImage(*image_, CRect(slot.left, y - frameHeight_ / 2, slot.right, y - frameHeight_ / 2 + frameHeight_), 0,
                   0, frameWidth_, frameHeight_);
    else
      dc.FillRect(CRect(slot.left, y, slot.right, y + 1), 0x30FFFFFF);
    return;
  }
  const bool hover = state == 1 || state == 6;
  if (hover) {
    CRect bg(slot.left + frameWidthPx_, slot.top + frameWidthPx_, slot.right - frameWidthPx_,
             slot.bottom - frameWidthPx_);
    if (hoverImage_ && hoverImage_->image)
      dc.DrawImage(*hoverImage_->image, bg, 0, 0, hoverImage_->frameWidth, hoverImage_->frameHeight);
    else
      MRender::DrawRoundRectange(dc, bg.left, bg.top, bg.Width(), bg.Height(), 4.0f, hoverColour_);
  }
  // Icon column: the strip frame of the state, or a check mark for checked
  // items without one.
  const bool checked = state == 2 || state == 6 || state == 7;
  if (image_ && frameWidth_ > 0) {
    const int frames = image_->Width() / std::max(1, frameWidth_);
    const int f = state < frames ? state : 0;
    const int x = slot.left + (iconColumn_ - frameWidth_) / 2;
    const int y = slot.top + (slot.Height() - frameHeight_) / 2;
    dc.DrawImage(*image_, CRect(x, y, x + frameWidth_, y + frameHeight_), f * frameWidth_, 0, frameWidth_, frameHeight_);
  } else if (checkable_ && checked) {
    if (checkImage_ && checkImage_->image) {
      const int x = slot.left + (iconColumn_ - checkImage_->frameWidth) / 2;
      const int y = slot.top + (slot.Height() - checkImage_->frameHeight) / 2;
      dc.DrawImage(*checkImage_->image, CRect(x, y, x + checkImage_->frameWidth, y + checkImage_->frameHeight), 0, 0,
                   checkImage_->frameWidth, checkImage_->frameHeight);
    } else {
      const double cx = slot.left + iconColumn_ / 2.0, cy = slot.top + slot.Height() / 2.0;
      dc.DrawLine(cx - 5, cy, cx - 1, cy + 4, textColour_, 2);
      dc.DrawLine(cx - 1, cy + 4, cx + 6, cy - 4, textColour_, 2);
    }
  }
  ARGB colour = textColour_;
  if (state == 3 || state == 7) colour = (colour & 0xFFFFFF) | 0x70000000;
  const int left = slot.left + ((image_ || checkable_) ? iconColumn_ : textInset_);
  dc.DrawText(title_, CRect(left, slot.top, slot.right - 4, slot.bottom), font, colour,
              TextFormat{TextAlign::Near, TextAlign::Center, false, true});
}

void MenuItem::DrawControl(Canvas& dc, CRect clip) {
  const int states = StateCount();
  DrawCached(dc, clip, states, separator_ ? 0 : state_,
             [this](Canvas& cache, const CRect& slot, int s) { PaintState(cache, slot, s); });
}

// ---------------------------------------------------------------------------
// MenuWnd

MenuWnd::MenuWnd(MObject* parent) : face_(Manager::GetFontName()), fontSize_(Manager::GetFontWidth()) {
  owner_ = nullptr;
  MPopupWnd::SetParent(parent);
  colourKey_ = 0xFFFFFF;
}

HWND MenuWnd::CreateMenuWindow(CPoint pt) {
  return MWindow::Create(owner_, L"Menu Window", 0x80B, pf::WS_EX_TOOLWINDOW | pf::WS_EX_TOPMOST,
                         CRect(pt.x, pt.y, pt.x + width_, pt.y + width_));
}

int MenuWnd::Create(HWND owner, CPoint pt, unsigned notifyMessage, const std::wstring& backImage, int margin,
                    int width, enumBackMode mode) {
  notifyMessage_ = notifyMessage;
  owner_ = owner;
  if (width > 0) width_ = width;
  HWND h = CreateMenuWindow(pt);
  if (!h) return 0;
  if (!backImage.empty()) {
    pm_.SetBackMode(mode, margin);
    pm_.LoadBKImage(backImage);
  }
  SetMenuPoint();
  ShowWindow(pf::SW_SHOW);
  pf::SetActiveWindow(h);
  return 1;
}

int MenuWnd::Create(HWND owner, CPoint pt, unsigned notifyMessage, unsigned res, int margin, int width,
                    enumBackMode mode) {
  notifyMessage_ = notifyMessage;
  owner_ = owner;
  if (width > 0) width_ = width;
  HWND h = CreateMenuWindow(pt);
  if (!h) return 0;
  pm_.SetBackMode(mode, margin);
  pm_.LoadBKImage(res, L"PNG");
  SetMenuPoint();
  ShowWindow(pf::SW_SHOW);
  pf::SetActiveWindow(h);
  return 1;
}

int MenuWnd::Create(HWND owner, CPoint pt, unsigned notifyMessage) {
  notifyMessage_ = notifyMessage;
  owner_ = owner;
  HWND h = CreateMenuWindow(pt);
  if (!h) return 0;
  SetMenuPoint();
  ShowWindow(pf::SW_SHOW);
  pf::SetActiveWindow(h);
  return 1;
}

MenuItem* MenuWnd::Item(unsigned id) { return dynamic_cast<MenuItem*>(pm_.GetControl(id)); }

int MenuWnd::AddMenu(const std::wstring& text, unsigned id, const std::wstring& iconFile, int, int) {
  Canvas probe;
  const FontSpec font{face_, fontSize_, fontStyle_};
  const int textW = static_cast<int>(std::ceil(probe.MeasureText(text, font).width));
  if (textW + leftInset_ + 4 > width_) width_ = textW + leftInset_ + 4;
  auto* item = dynamic_cast<MenuItem*>(pm_.CreateControl(1, this, L"MenuItem", id, CRect(), text.c_str(), 1, 1));
  if (item) {
    item->SetFont(face_.c_str(), fontSize_, fontStyle_);
    if (!iconFile.empty()) item->SetImage(iconFile.c_str(), 4);
  }
  SetMenuPoint();
  return -1;
}

int MenuWnd::AddMenu(const std::wstring& text, unsigned id, int iconResource, int, int) {
  AddMenu(text, id, std::wstring(), 0, 0);
  if (iconResource != -1)
    if (auto* item = Item(id)) item->SetImage(static_cast<unsigned>(iconResource), L"PNG", 4);
  return -1;
}

int MenuWnd::AddSeparator(unsigned id, const std::wstring& image) {
  auto* item = dynamic_cast<MenuItem*>(pm_.CreateControl(1, this, L"MenuItem", id, CRect(), L"", 1, 1));
  if (item) {
    item->SetSeparator(1);
    if (!image.empty()) item->SetImage(image.c_str(), 1);
  }
  SetMenuPoint();
  return -1;
}

MenuWnd::Pending& MenuWnd::PendingFor(unsigned id) {
  for (auto& p : pending_)
    if (p.id == id) return p;
  pending_.push_back(Pending{id, L""});
  return pending_.back();
}

void MenuWnd::SetItemTitle(const std::wstring& id, const std::wstring& title) {
  auto& p = PendingFor(static_cast<unsigned>(brumkey::ParseDecimal(id)));
  p.title = title;
  p.hasTitle = true;
  if (auto* item = Item(p.id)) item->SetTitle(title.c_str());
}

void MenuWnd::SetItemVisible(const std::wstring& id, int visible) {
  auto& p = PendingFor(static_cast<unsigned>(brumkey::ParseDecimal(id)));
  p.visible = visible;
  p.hasVisible = true;
  if (auto* item = Item(p.id)) {
    item->SetVisible(visible);
    SetMenuPoint();
  }
}

void MenuWnd::SetItemEnable(const std::wstring& id, int enabled) {
  auto& p = PendingFor(static_cast<unsigned>(brumkey::ParseDecimal(id)));
  p.enabled = enabled;
  p.hasEnabled = true;
  if (auto* item = Item(p.id)) item->SetEnabled(enabled);
}

void MenuWnd::SetItemCheck(const std::wstring& id, int check) {
  auto& p = PendingFor(static_cast<unsigned>(brumkey::ParseDecimal(id)));
  p.check = check;
  p.hasCheck = true;
  if (auto* item = Item(p.id)) {
    item->SetCheckable(1);
    item->SetCheck(check);
  }
}

void MenuWnd::SetHoverImage(const std::wstring& file) { hoverImage_ = pm_.AddImgResInfo(file.c_str(), 1); }
void MenuWnd::SetCheckImage(const std::wstring& file) { checkImage_ = pm_.AddImgResInfo(file.c_str(), 1); }

void MenuWnd::InitUI(CRect) {
  for (auto& p : pending_) {
    MenuItem* item = Item(p.id);
    if (!item) continue;
    if (p.hasTitle) item->SetTitle(p.title.c_str());
    if (p.hasVisible && !p.visible) item->SetVisible(0);
    if (p.hasEnabled && !p.enabled) item->SetEnabled(0);
    if (p.hasCheck && item->IsEnabled() && item->IsCheckable()) {
      item->SetControlCheck(p.check);
      item->SetState(p.check ? 2 : 0);
    }
  }
  SetMenuPoint();
}

void MenuWnd::SetMenuPoint() {
  int y = topMargin_ == 0 ? 2 : topMargin_;
  for (MControl* c : *pm_.GetControls()) {
    auto* item = dynamic_cast<MenuItem*>(c);
    CRect r;
    if (item) {
      item->SetTextColor(textColour_);
      if (!item->IsVisible()) {
        r = CRect();
      } else if (item->IsSeparator()) {
        r = CRect(leftInset_ + 1, y + 1, width_ - 1, y + 2);
        y += 4;
      } else {
        r = CRect(2, y, width_ - 2, y + itemHeight_);
        y += itemHeight_;
      }
      item->SetTextInset(leftInset_);
      if (hoverImage_)
        item->SetHoverImage(hoverImage_);
      else
        item->SetHoverColor(hoverColour_);
      if (checkImage_) item->SetCheckImage(checkImage_);
      item->SetRect(r);
    } else if (c->GetControlID() == 0xFFFFFFFFu) {
      c->SetRect(CRect(leftInset_ + 4, y + 1, width_ - 9, y + 2));
      y += 4;
    }
  }
  const int height = y + (bottomMargin_ == 0 ? 2 : bottomMargin_);
  if (hwnd_) {
    pf::SetWindowPos(hwnd_, nullptr, 0, 0, width_, height, pf::SWP_NOMOVE | pf::SWP_NOZORDER | pf::SWP_NOACTIVATE);
    pm_.Invalidate(false);
  }
}

long MenuWnd::OnMessage(unsigned id, unsigned code, unsigned wParam, long) {
  if (owner_ && notifyMessage_) pf::PostMessage(owner_, notifyMessage_, wParam, id);
  if (code == NOTIFY_CLICK) CloseWindow();
  return 0;
}

int MenuWnd::PostNcDestroy() {
  delete this;
  return 0;
}

}  // namespace kelvo
