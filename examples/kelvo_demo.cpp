// kelvo-demo: a small program on KelvoUI. One dialog with areas, a
// background image, skin strips, a banner, a tooltip, a pop-up menu, a
// balloon, an animated picture on the periodic tick and a modal child
// dialog that a worker thread closes.
//
//   kelvo-demo                    run until the window is closed
//   kelvo-demo --screenshot FILE  write the first complete frame (all
//                                 visible toolkit windows composed) and exit
#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "kelvo/balloon.h"
#include "kelvo/control.h"
#include "kelvo/menu.h"
#include "kelvo/paint_manager.h"
#include "kelvo/render.h"
#include "kelvo/window.h"
#include "ui/platform/headless/headless.h"

using namespace kelvo;
namespace pf = kelvo::platform;

namespace {

constexpr ARGB kText = 0xFFE6E9EF;
constexpr ARGB kSubtle = 0xFF8A94A6;
constexpr unsigned kMenuMessage = pf::WM_USER + 40;
constexpr unsigned kShotTimer = 7001;

// A skin strip frame: interactive tiles follow normal/hover/pressed/disabled.
class SkinTile : public MControlFont {
 public:
  SkinTile(MObject* parent, unsigned id, CRect rect, const wchar_t* file, int count, int margin = -1, int fixed = -1)
      : MControlFont(parent, id, rect, L"", 1, 1, 1), file_(file), count_(count), margin_(margin), fixed_(fixed) {}
  const wchar_t* GetClassNameW() const override { return L"SkinTile"; }
  void InitControl(PaintManager*) override { SetImage(file_.c_str(), count_); }
  void DrawControl(Canvas& dc, CRect clip) override {
    const int states = fixed_ >= 0 ? 1 : std::min(count_, 4);
    const int state = fixed_ >= 0 ? 0 : (!enabled_ ? 3 : pressed_ ? 2 : hover_ ? 1 : 0);
    DrawCached(dc, clip, states, std::min(state, states - 1), [&](Canvas& c, const CRect& slot, int s) {
      if (!image_) return;
      const int frame = fixed_ >= 0 ? fixed_ : s;
      const int sx = frame * frameWidth_;
      if (margin_ >= 0) {
        MRender::DrawImageFrame(c, image_.get(), slot, sx, 0, frameWidth_, frameHeight_, margin_);
      } else {
        const int x = slot.left + (slot.Width() - frameWidth_) / 2, y = slot.top + (slot.Height() - frameHeight_) / 2;
        c.DrawImage(*image_, CRect(x, y, x + frameWidth_, y + frameHeight_), sx, 0, frameWidth_, frameHeight_);
      }
      if (!title_.empty())
        c.DrawText(title_, slot, GetGDIFont(), textColour_, TextFormat{TextAlign::Center, TextAlign::Center});
    });
  }
  int OnControlMouseMove(unsigned, CPoint pt) override {
    const bool in = rect_.PtInRect(pt);
    if (in != hover_) {
      hover_ = in;
      UpdateControl(0, 0);
    }
    return in ? 1 : 0;
  }
  int OnControlLButtonDown(unsigned, CPoint) override {
    pressed_ = true;
    UpdateControl(0, 0);
    SendMessageW(NOTIFY_LBUTTONDOWN, 0, 0);
    return 1;
  }
  int OnControlLButtonUp(unsigned, CPoint pt) override {
    pressed_ = false;
    UpdateControl(0, 0);
    if (rect_.PtInRect(pt)) SendMessageW(NOTIFY_CLICK, 0, 0);
    return 1;
  }

 private:
  std::wstring file_;
  int count_;
  int margin_;
  int fixed_;
  bool hover_ = false;
  bool pressed_ = false;
};

class Label : public MControlFont {
 public:
  Label(MObject* parent, unsigned id, CRect rect, const wchar_t* text, int size, ARGB colour, unsigned align = 0,
        int style = 0)
      : MControlFont(parent, id, rect, text, 1, 1, 0) {
    fontSize_ = size;
    textColour_ = colour;
    hAlign_ = align;
    fontStyle_ = style;
  }
  const wchar_t* GetClassNameW() const override { return L"Label"; }
  void DrawControl(Canvas& dc, CRect clip) override {
    DrawCached(dc, clip, 1, 0, [&](Canvas& c, const CRect& slot, int) {
      c.DrawText(title_, slot, GetGDIFont(), textColour_, GetTextFormat());
    });
  }
};

// The GIF's frames, one step every 5 ticks of the periodic tick.
class Spinner : public MControl {
 public:
  Spinner(MObject* parent, unsigned id, CRect rect) : MControl(parent, id, rect, 1, 1, 0) { runTimer_ = 1; }
  const wchar_t* GetClassNameW() const override { return L"Spinner"; }
  void InitControl(PaintManager* pm) override {
    if (const ImgResInfo* info = pm->AddImgResInfo(L"loading/loading.gif", 1)) gif_ = info->image;
  }
  void DrawControl(Canvas& dc, CRect clip) override {
    if (!gif_) return;
    // Animated: drawn straight over the background, which repaints under it.
    dc.DrawImage(*gif_, rect_, 0, 0, gif_->Width(), gif_->Height(), 255, frame_.load());
  }
  int OnControlTimer() override {
    if (!gif_ || ++ticks_ % 5) return 0;
    frame_ = (frame_ + 1) % gif_->FrameCount();
    UpdateControl(0, 0);
    return 1;
  }

 private:
  ImagePtr gif_;
  std::atomic<int> frame_{0};
  int ticks_ = 0;
};

CArea* Card(MDialog& d, unsigned id, CRect r, COLORREF fill, ARGB frame) {
  auto* a = static_cast<CArea*>(d.CreateArea(L"CArea", id, r, L"", 1, 1));
  if (!a) return nullptr;
  a->SetTransparent(0, 0, fill);
  a->SetFrame(1, frame);
  return a;
}

template <class T, class... A>
T* Add(MDialog& d, A&&... args) {
  auto* c = new T(&d, std::forward<A>(args)...);
  d.GetPaintManager().AddControl(1, c);
  return c;
}

std::string g_shot;
int g_exitCode = 0;

// Composes every visible toolkit window that overlaps the main window,
// bottom first, into one picture of the main window's area.
bool WriteScreenshot(HWND main, const std::string& file) {
  pf::RECT mr;
  if (!pf::GetWindowRect(main, &mr)) return false;
  Canvas shot(mr.right - mr.left, mr.bottom - mr.top);
  shot.SetPixels(CRect(0, 0, shot.Width(), shot.Height()), 0xFF000000);
  const bool headless = std::strcmp(pf::BackendName(), "headless") == 0;
  auto z = pf::headless::ZOrder();
  for (auto it = z.rbegin(); it != z.rend(); ++it) {
    HWND w = *it;
    pf::RECT r;
    pf::GetWindowRect(w, &r);
    cairo_surface_t* frame = headless ? pf::headless::CopyFrame(w) : cairo_surface_reference(pf::GetDC(w));
    if (!frame) continue;
    Canvas src(frame);
    cairo_surface_destroy(frame);
    shot.Blend(CRect(r.left - mr.left, r.top - mr.top, r.right - mr.left, r.bottom - mr.top), src,
               CRect(0, 0, src.Width(), src.Height()), 255);
  }
  return shot.WritePng(file);
}

class ChildDialog : public MDialog {
 public:
  void InitUI(CRect c) override {
    SetBackColor();
    Add<Label>(*this, 10, CRect(20, 18, c.right - 20, 40), L"Applying profile", 15, kText, 1, kFontBold);
    Add<Label>(*this, 11, CRect(20, 42, c.right - 20, 62), L"A worker thread closes this dialog.", 12, kSubtle, 1);
    pm_.AddMTimer(Add<Spinner>(*this, 12, CRect((c.Width() - 56) / 2, 70, (c.Width() + 56) / 2, 126)));
    SetMTimer(10);
    if (!g_shot.empty()) SetTimer(kShotTimer, 400);
  }
  void SetBackColor() {
    LoadBKImage(L"bk_prompt.png");
    SetBackMode(BACK_MODE_FRAME, 30);
    SetLayeredWindow(1);
  }
  void OnTimer(unsigned id) override {
    if (id != kShotTimer) return;
    KillTimer(kShotTimer);
    HWND main = pf::GetWindow(GetSafeHwnd(), pf::GW_OWNER);
    if (!WriteScreenshot(main, g_shot)) g_exitCode = 1;
    std::printf("kelvo-demo: %s frame written to %s\n", pf::BackendName(), g_shot.c_str());
  }
};

class DemoDialog : public MDialog {
 public:
  void InitUI(CRect c) override {
    LoadBKImage(L"main_bkg.png");
    SetBackMode(BACK_MODE_NORMAL, 0);
    auto& pm = pm_;
    pm.SetCaptionRect(CRect(0, 0, c.right, 48));

    // Caption band and navigation rail: translucent washes over the picture.
    if (auto* cap = static_cast<CArea*>(CreateArea(L"CArea", 30, CRect(0, 0, c.right, 48), L"", 1, 1)))
      cap->SetTransparent(15, 15, RGB(0x14, 0x19, 0x22));
    if (auto* rail = static_cast<CArea*>(CreateArea(L"CArea", 31, CRect(0, 48, 84, c.bottom), L"", 1, 1)))
      rail->SetTransparent(30, 30, RGB(0x10, 0x14, 0x1B));
    if (auto* glow = static_cast<CArea*>(CreateArea(L"CArea", 32, CRect(84, c.bottom - 90, c.right, c.bottom), L"", 1, 1)))
      glow->SetTransparent(100, 55, RGB(0x3D, 0x8B, 0xFF));
    Add<SkinTile>(*this, 40, CRect(16, 8, 156, 40), L"logo/logo.png", 1, -1, 0);
    Add<Label>(*this, 41, CRect(170, 12, 520, 36), L"KelvoUI demo", 14, kSubtle);
    auto* min = Add<SkinTile>(*this, 42, CRect(c.right - 76, 9, c.right - 46, 39), L"main_sysbtn_min.png", 4);
    min->SetTooltip(L"Minimise");
    auto* close = Add<SkinTile>(*this, 43, CRect(c.right - 42, 9, c.right - 12, 39), L"main_sysbtn_close.png", 4);
    close->SetTooltip(L"Close the demo");

    const wchar_t* tabs[] = {L"icon/tab_home.png", L"icon/tab_customkey.png", L"icon/tab_macro.png",
                             L"icon/tab_light.png", L"icon/tab_config.png"};
    for (int i = 0; i < 5; ++i)
      Add<SkinTile>(*this, 50 + i, CRect(18, 70 + i * 64, 66, 118 + i * 64), tabs[i], 4, -1, i == 1 ? 2 : 0);

    // Cards.
    const ARGB border = 0xFF2C3444;
    Card(*this, 60, CRect(104, 68, 500, 300), RGB(0x18, 0x1D, 0x26), border);
    Card(*this, 61, CRect(520, 68, c.right - 20, 300), RGB(0x18, 0x1D, 0x26), border);
    Card(*this, 62, CRect(104, 320, c.right - 20, 500), RGB(0x18, 0x1D, 0x26), border);

    Add<Label>(*this, 70, CRect(124, 82, 480, 104), L"Buttons and choices", 15, kText, 0, kFontBold);
    auto* apply = Add<SkinTile>(*this, 71, CRect(124, 120, 264, 158), L"btn_apply.png", 4, 10);
    apply->SetTitle(L"Apply");
    apply->SetTooltip(L"Sends the profile to the keyboard");
    auto* save = Add<SkinTile>(*this, 72, CRect(280, 120, 420, 158), L"btn_apply.png", 4, 10);
    save->SetTitle(L"Save");
    save->SetEnabled(0);
    const wchar_t* checks[] = {L"Start with the system", L"Show key tips"};
    for (int i = 0; i < 2; ++i) {
      Add<SkinTile>(*this, 73 + i, CRect(124, 176 + i * 30, 144, 196 + i * 30), L"btn_checkbox.png", 8, -1, i == 0 ? 4 : 0);
      Add<Label>(*this, 75 + i, CRect(152, 176 + i * 30, 360, 196 + i * 30), checks[i], 13, kText);
    }
    const wchar_t* radios[] = {L"Left to right", L"Right to left"};
    for (int i = 0; i < 2; ++i) {
      Add<SkinTile>(*this, 77 + i, CRect(330, 176 + i * 30, 350, 196 + i * 30), L"btn_radiobox.png", 8, -1, i == 0 ? 4 : 0);
      Add<Label>(*this, 79 + i, CRect(358, 176 + i * 30, 490, 196 + i * 30), radios[i], 13, kText);
    }
    auto* combo = Add<SkinTile>(*this, 81, CRect(124, 244, 324, 282), L"img_combobox.png", 4, 10, 0);
    (void)combo;
    Add<Label>(*this, 82, CRect(138, 244, 300, 282), L"English (United States)", 13, kText);
    Add<SkinTile>(*this, 83, CRect(340, 248, 480, 278), L"img_edit.png", 4, 4, 2);
    Add<Label>(*this, 84, CRect(350, 248, 470, 278), L"Profile 1", 13, kText);

    Add<Label>(*this, 90, CRect(540, 82, c.right - 40, 104), L"Lighting", 15, kText, 0, kFontBold);
    Add<SkinTile>(*this, 91, CRect(540, 118, 680, 258), L"img_circlepalette.png", 1, -1, 0);
    Add<Label>(*this, 92, CRect(700, 120, c.right - 40, 140), L"Brightness", 13, kSubtle);
    Add<SkinTile>(*this, 93, CRect(700, 150, c.right - 40, 162), L"img_slider_track.png", 1, -1, 0);
    Add<SkinTile>(*this, 94, CRect(760, 138, 796, 174), L"img_slider_thumb.png", 4, -1, 0);
    Add<Label>(*this, 95, CRect(700, 190, c.right - 40, 210), L"Speed", 13, kSubtle);
    Add<SkinTile>(*this, 96, CRect(700, 220, c.right - 40, 232), L"img_slider_track.png", 1, -1, 0);
    Add<SkinTile>(*this, 97, CRect(820, 208, 856, 244), L"img_slider_thumb.png", 4, -1, 1);

    Add<Label>(*this, 100, CRect(124, 334, 600, 356), L"Devices and media keys", 15, kText, 0, kFontBold);
    Add<SkinTile>(*this, 101, CRect(124, 370, 404, 408), L"img_device_state.png", 2, 12, 1);
    Add<Label>(*this, 102, CRect(150, 370, 404, 408), L"K201 wireless keyboard", 13, kText);
    Add<SkinTile>(*this, 103, CRect(124, 418, 404, 456), L"img_device_state.png", 2, 12, 0);
    Add<Label>(*this, 104, CRect(150, 418, 404, 456), L"K100 (not connected)", 13, kSubtle);
    Add<SkinTile>(*this, 105, CRect(430, 378, 474, 398), L"icon/icon_battery_bkg.png", 1, -1, 0);
    Add<SkinTile>(*this, 106, CRect(430, 378, 474, 398), L"icon/icon_batteryvalue.png", 1, -1, 0);
    Add<SkinTile>(*this, 107, CRect(478, 378, 490, 398), L"icon/icon_charge.png", 1, -1, 0);
    const wchar_t* media[] = {L"icon//icon_pc.png", L"icon//icon_cal.png", L"icon//icon_email.png",
                              L"icon//icon_playpause.png", L"icon//icon_pre.png", L"icon//icon_next.png",
                              L"icon//icon_vol_down.png", L"icon//icon_vol_up.png", L"icon//icon_vol_mute.png",
                              L"icon//icon_home.png", L"icon//icon_web_search.png"};
    for (int i = 0; i < 11; ++i) {
      Add<SkinTile>(*this, 110 + i, CRect(520 + i * 34, 420, 548 + i * 34, 448), L"img_customkey.png", 4, 8, i == 3 ? 2 : 0);
      Add<SkinTile>(*this, 130 + i, CRect(524 + i * 34, 424, 544 + i * 34, 444), media[i], 1, -1, 0);
    }
    const wchar_t* tools[] = {L"imgbtn_add.png", L"imgbtn_del.png", L"imgbtn_edit.png", L"imgbtn_import.png",
                              L"imgbtn_export.png", L"imgbtn_copy.png"};
    for (int i = 0; i < 6; ++i)
      Add<SkinTile>(*this, 150 + i, CRect(520 + i * 36, 372, 550 + i * 36, 402), tools[i], 4, -1, i == 0 ? 1 : 0);

    auto* spin = Add<Spinner>(*this, 160, CRect(c.right - 84, 332, c.right - 36, 380));
    pm.AddMTimer(spin);
    SetMTimer(10);
  }

  long OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) override {
    if (code != NOTIFY_CLICK) return 0;
    if (id == 43) DoClose();
    if (id == 42) OnMinimize();
    if (id == 71) {
      SetMessage(L"Profile sent to the keyboard", CRect());
      RunChild();
    }
    return 0;
  }

  LRESULT OnWindowMessage(unsigned msg, WPARAM w, LPARAM l) override {
    if (msg == pf::WM_RBUTTONUP) {
      CPoint pt(pf::GET_X_LPARAM(l), pf::GET_Y_LPARAM(l));
      ClientToScreen(pt);
      OpenMenu(pt);
    }
    if (msg == kMenuMessage) {
      std::printf("kelvo-demo: menu item %ld chosen\n", static_cast<long>(l));
      if (l == 903) DoClose();
      return 0;
    }
    return MDialog::OnWindowMessage(msg, w, l);
  }

  void OpenMenu(CPoint screen) {
    auto* menu = new MenuWnd(this);  // frees itself when it closes
    menu->SetTextColor(kText);
    menu->SetHoverColor(0xFF2B3B57);
    if (!menu->Create(GetSafeHwnd(), screen, kMenuMessage, L"img_menu_bk.png", 8, 200, BACK_MODE_FRAME)) {
      delete menu;
      return;
    }
    menu->AddMenu(L"New profile", 901, L"");
    menu->AddMenu(L"Export profile…", 902, L"");
    menu->AddSeparator(0xFFFFFFF0);
    menu->AddMenu(L"Quit", 903, L"");
    menu->SetItemCheck(L"0", 0);
    menu_ = menu->GetSafeHwnd();
  }

  void ShowBalloon() {
    auto* target = GetControl(81);
    POINT pt = GetAirBladderPoint(target, 1);
    SetAirBladderMsg(L"Changes are sent\nwhen you press Apply", pt, 4);
    // Light text on the dark tip background of this skin.
    if (MAirBladder* b = pm_.GetAirBladder()) b->SetTextColor(0xFEE6E9EF);
  }

  void RunChild() {
    ChildDialog child;
    CRect me;
    GetWindowRect(me);
    const int w = 300, h = 150;
    const CRect r(me.left + (me.Width() - w) / 2, me.top + 150, me.left + (me.Width() + w) / 2, me.top + 150 + h);
    if (!child.Create(GetSafeHwnd(), L"Applying", pf::WS_POPUP, pf::WS_EX_LAYERED, r)) return;
    std::thread worker([&child] {
      std::this_thread::sleep_for(std::chrono::milliseconds(g_shot.empty() ? 1500 : 900));
      child.DoOK();
    });
    // The screenshot keeps the menu open: the child does not take activation.
    const unsigned result = child.ShowModal(g_shot.empty() ? pf::SW_SHOW : pf::SW_SHOWNOACTIVATE);
    worker.join();
    std::printf("kelvo-demo: modal child returned %u\n", result);
  }

  HWND menu_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) g_shot = argv[++i];
  }
  if (!pf::InitBackend(nullptr)) {
    std::fprintf(stderr, "kelvo-demo: no window system\n");
    return 1;
  }
  DemoDialog dlg;
  if (!dlg.Create(nullptr, L"KelvoUI demo", pf::WS_POPUP, 0, CRect(80, 60, 80 + 960, 60 + 560))) {
    std::fprintf(stderr, "kelvo-demo: cannot create the window\n");
    return 1;
  }
  dlg.CenterWindow();
  dlg.ShowWindow(pf::SW_SHOW);
  dlg.SetMessage(L"Profile 1 loaded", CRect());
  if (!g_shot.empty()) {
    // Let the main window settle (activation arrives asynchronously on X),
    // bring every decoration up, then the modal child takes the picture once
    // its own frames are out; the worker closes it.
    auto pump = [&dlg](int ms) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      while (std::chrono::steady_clock::now() < until) {
        pf::MSG m;
        while (pf::PeekMessage(&m, nullptr, 0, 0, pf::PM_REMOVE)) {
          if (!dlg.PreTranslateMessage(&m)) {
            pf::TranslateMessage(&m);
            pf::DispatchMessage(&m);
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    };
    pump(300);
    CRect me;
    dlg.GetWindowRect(me);
    dlg.OpenMenu(CPoint(me.left + 560, me.top + 300));
    dlg.ShowBalloon();
    CRect tr = dlg.GetControl(71)->GetRect();
    if (std::strcmp(pf::BackendName(), "headless") == 0)
      pf::headless::MouseMove(me.left + tr.left + 30, me.top + tr.top + 20);
    else
      pf::SetCursorPos(me.left + tr.left + 30, me.top + tr.top + 20);
    pump(700);
    dlg.RunChild();
    dlg.DestroyWindow();
    pf::ShutdownBackend();
    return g_exitCode;
  }
  dlg.ShowModal();
  pf::ShutdownBackend();
  return 0;
}
