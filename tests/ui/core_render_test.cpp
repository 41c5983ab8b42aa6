// Pixels: Canvas and drawing routines, control caches and washes, window
// painting on the headless backend (opaque and layered), skin images, and
// the balloon and key tip windows.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "kelvo/balloon.h"
#include "kelvo/render.h"
#include "tests/ui/core_test_util.h"

namespace kelvo {
namespace {
namespace pf = kelvo::platform;
namespace hl = kelvo::platform::headless;
using testing::Probe;
using testing::TestDialog;

// Channel distance between two colours (alpha included).
int Diff(ARGB a, ARGB b) {
  int d = 0;
  for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return d;
}

// A 3 × 3 grid image: each cell a distinct colour, cells of `cell` pixels.
ImagePtr GridImage(int cell) {
  static const ARGB colours[9] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF,
                                  0xFFFF00FF, 0xFF800000, 0xFF008000, 0xFF000080};
  Canvas c(3 * cell, 3 * cell);
  for (int i = 0; i < 9; ++i)
    c.FillRect(CRect((i % 3) * cell, (i / 3) * cell, (i % 3 + 1) * cell, (i / 3 + 1) * cell), colours[i]);
  return Image::FromSurface(cairo_surface_reference(c.Surface()));
}

TEST(Render, NineGridKeepsCornersAndStretchesEdgesAndCentre) {
  ImagePtr img = GridImage(4);
  ASSERT_TRUE(img);
  Canvas dc(100, 60);
  MRender::DrawImageFrame(dc, img.get(), CRect(0, 0, 100, 60), 0, 0, 12, 12, 4);
  struct {
    int x, y;
    ARGB want;
  } probes[] = {
      {1, 1, 0xFFFF0000},   {3, 3, 0xFFFF0000},   {98, 1, 0xFF0000FF},  {1, 58, 0xFF800000}, {98, 58, 0xFF000080},
      {50, 1, 0xFF00FF00},  {50, 58, 0xFF008000}, {1, 30, 0xFFFFFF00},  {98, 30, 0xFFFF00FF}, {50, 30, 0xFF00FFFF},
      {4, 4, 0xFF00FFFF},   {95, 55, 0xFF00FFFF},
  };
  for (auto& p : probes) EXPECT_LE(Diff(dc.PixelAt(p.x, p.y), p.want), 2) << p.x << "," << p.y;
}

TEST(Render, StripFramesAreWidthOverCountAndTheFirstSplitWins) {
  ASSERT_TRUE(pf::InitBackend("headless"));
  testing::UseBuiltSkins();
  {
    TestDialog dlg;
    ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
    auto& pm = dlg.GetPaintManager();
    // The vertical scroll image: 28 × 239 in four frames.
    const ImgResInfo* v = pm.AddImgResInfo(L"img_scroll_v.png", 4);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->frameWidth, 7);
    EXPECT_EQ(v->frameHeight, 239);
    const ImgResInfo* again = pm.AddImgResInfo(L"img_scroll_v.png", 2);
    EXPECT_EQ(again, v);
    EXPECT_EQ(again->frameCount, 4);
    // 3 frames of a 28-pixel strip: the remainder on the right is lost.
    const ImgResInfo* three = pm.AddImgResInfo(L"icon/../img_scroll_v.png", 3);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->frameWidth, 9);
    EXPECT_EQ(pm.AddImgResInfo(L"no_such_file.png", 4), nullptr);
    // Two controls naming one file share one decoded image.
    Probe a(&dlg, 1, CRect()), b(&dlg, 2, CRect());
    a.SetManager(&pm);
    b.SetManager(&pm);
    ASSERT_EQ(a.SetImage(L"btn_apply.png", 4), 1);
    ASSERT_EQ(b.SetImage(L"btn_apply.png", 8), 1);
    EXPECT_EQ(a.GetImage(), b.GetImage());
    EXPECT_EQ(b.GetImageSize(), CSize(100, 38));
    EXPECT_EQ(b.SetImage(L"missing.png", 4), 0);
    EXPECT_EQ(b.GetImagePath(), L"btn_apply.png") << "a failed load keeps the old image";
    // Toolkit resource 102 is the vertical scroll image.
    const ImgResInfo* res = pm.AddImgResInfo(102, L"PNG", 4, 0);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(res->frameWidth, 7);
  }
  pf::ShutdownBackend();
}

TEST(Render, AnimatedGifsKeepEveryFrame) {
  testing::UseBuiltSkins();
  ImagePtr gif = Image::FromFile(Manager::SkinPath(L"loading\\loading.gif"));
  ASSERT_TRUE(gif) << "skins are generated into the program directory";
  EXPECT_EQ(gif->FrameCount(), 12);
  EXPECT_EQ(gif->FrameDelayMs(3), 80);
  Canvas a(gif->Width(), gif->Height()), b(gif->Width(), gif->Height());
  a.DrawImage(*gif, CRect(0, 0, a.Width(), a.Height()), 0, 0, gif->Width(), gif->Height(), 255, 0);
  b.DrawImage(*gif, CRect(0, 0, b.Width(), b.Height()), 0, 0, gif->Width(), gif->Height(), 255, 6);
  int differ = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) differ += a.PixelAt(x, y) != b.PixelAt(x, y);
  EXPECT_GT(differ, 50) << "the frames are distinct pictures";
  EXPECT_EQ(Image::FromFile(Manager::SkinPath(L"no/such.gif")), nullptr);
  ImagePtr icon = MRender::LoadIconFromFile(Manager::GetSkinDirectory() + L"Brumkey.ico");
  ASSERT_TRUE(icon) << "the tray icon file decodes";
  EXPECT_GE(icon->Width(), 16);
  EXPECT_EQ(MRender::LoadIconFromFile(Manager::GetProgramDirectory() + L"no-such-program"), nullptr);
}

TEST(Render, WashesBlendLineByLine) {
  // Top 80 % / bottom 80 % is a uniform 20 % wash (alpha 51).
  struct {
    int top, bottom;
    int row;
    int wantAlpha;
  } cases[] = {{80, 80, 0, 51}, {80, 80, 99, 51}, {0, 100, 0, 255}, {0, 100, 50, 128}, {100, 0, 99, 253}};
  for (auto& c : cases) {
    Canvas dst(10, 100), wash(10, 100);
    dst.FillRect(CRect(0, 0, 10, 100), 0xFF000000);
    wash.FillRect(CRect(0, 0, 10, 100), 0xFFFFFFFF);
    MRender::DrawVerticalTransition(dst, wash, CRect(0, 0, 10, 100), CRect(0, 0, 10, 100), c.top, c.bottom);
    const int got = static_cast<int>(dst.PixelAt(5, c.row) & 0xFF);
    EXPECT_NEAR(got, c.wantAlpha, 1) << c.top << "/" << c.bottom << " row " << c.row;
  }
}

TEST(Render, AreaWashOverTheBackgroundAndFrame) {
  Canvas dc(40, 40);
  dc.FillRect(CRect(0, 0, 40, 40), 0xFF000000);
  testing::Sink sink;
  CArea wash(&sink, 1, CRect(0, 0, 20, 40), 1, 1);
  wash.SetTransparent(80, 80, RGB(255, 255, 255));
  CArea framed(&sink, 2, CRect(20, 0, 40, 40), 1, 1);
  framed.SetTransparent(0, 0, RGB(0, 0, 255));
  framed.SetFrame(1, 0xFF00FF00);
  wash.Draw(dc, CRect(0, 0, 40, 40));
  framed.Draw(dc, CRect(0, 0, 40, 40));
  EXPECT_LE(Diff(dc.PixelAt(10, 20), 0xFF333333), 1);
  EXPECT_EQ(dc.PixelAt(20, 0), 0xFF00FF00u);
  EXPECT_EQ(dc.PixelAt(30, 20), 0xFF0000FFu) << "COLORREF 0x00BBGGRR: blue";
}

TEST(Render, GradientAlphaIsTheAverageOfBothEnds) {
  Canvas dc(100, 10);
  dc.FillRect(CRect(0, 0, 100, 10), 0xFF000000);
  MRender::DrawGradient(dc, CRect(0, 0, 100, 10), 0xFFFFFFFF, 0x00FFFFFF, false, 16);
  // Both ends white at an average alpha of 127.
  EXPECT_NEAR(static_cast<int>(dc.PixelAt(0, 5) & 0xFF), 127, 2);
  EXPECT_NEAR(static_cast<int>(dc.PixelAt(99, 5) & 0xFF), 127, 2);
  Canvas none(10, 10);
  MRender::DrawGradient(none, CRect(0, 0, 10, 10), 0x00FF0000, 0x000000FF, true, 4);
  EXPECT_EQ(none.PixelAt(5, 5), 0u) << "no alpha, nothing drawn";
  Canvas opaque(10, 100);
  MRender::DrawGradient(opaque, CRect(0, 0, 10, 100), 0xFFFF0000, 0xFF0000FF, true, 64);
  EXPECT_LE(Diff(opaque.PixelAt(5, 0), 0xFFFF0000), 4);
  EXPECT_LE(Diff(opaque.PixelAt(5, 99), 0xFF0000FF), 4);
}

TEST(Render, CheckAlphaColorOnlyMovesPureBlack) {
  struct {
    unsigned long in, out;
  } cases[] = {{0xFF000000, 0xFF000001}, {0x00000000, 0x00000001}, {0xFF000001, 0xFF000001}, {0x00FFFFFF, 0x00FFFFFF}};
  for (auto& c : cases) {
    unsigned long v = c.in;
    MRender::CheckAlphaColor(v);
    EXPECT_EQ(v, c.out) << std::hex << c.in;
  }
}

TEST(Render, OriginPointsAndRoundRectangles) {
  EXPECT_EQ(MRender::GetOriginPoint(CRect(10, 20, 110, 70), 40, 10, 1, 4), CPoint(40, 42));
  EXPECT_EQ(MRender::GetOriginPoint(CRect(10, 20, 110, 70), 40, 10, 2, 8), CPoint(70, 62));
  EXPECT_EQ(MRender::GetOriginPoint(100, 50, 40, 10, 0, 0), CPoint(0, 0));
  Canvas dc(40, 40);
  MRender::DrawRoundRectange(dc, 0, 0, 40, 40, 10.0f, 0xFFFFFFFF);
  EXPECT_EQ(dc.PixelAt(0, 0), 0u) << "the corner is cut";
  EXPECT_EQ(dc.PixelAt(20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(dc.PixelAt(20, 0), 0xFFFFFFFFu);
  Canvas none(10, 10);
  MRender::DrawRoundRectange(none, 0, 0, 0, 10, 2.0f, 0xFFFFFFFF);
  EXPECT_EQ(none.PixelAt(5, 5), 0u) << "non-positive size draws nothing";
}

TEST(Render, TextMeasuresAndDrawsInsideItsBox) {
  const FontSpec font{L"Arial", 14, 0};
  const CSize one = MRender::GetTextBounds(font, L"Profile");
  const CSize two = MRender::GetTextBounds(font, L"Profile Profile");
  EXPECT_GT(one.cx, 20);
  EXPECT_GT(two.cx, one.cx * 2 - 4);
  EXPECT_GE(one.cy, 15);
  EXPECT_LE(one.cy, 20);
  Canvas dc(200, 40);
  dc.DrawText(L"MMMM", CRect(0, 0, 200, 40), font, 0xFFFFFFFF, TextFormat{TextAlign::Center, TextAlign::Center});
  int lit = 0, minX = 200, maxX = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x)
      if (AlphaOf(dc.PixelAt(x, y)) > 128) {
        ++lit;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
      }
  EXPECT_GT(lit, 40);
  EXPECT_NEAR((minX + maxX) / 2.0, 100.0, 3.0) << "centred";
}

TEST(Render, BitmapFilesAre24BitBottomUp) {
  Canvas c(3, 2);
  c.FillRect(CRect(0, 0, 3, 1), 0xFFFF0000);
  c.FillRect(CRect(0, 1, 3, 2), 0xFF0000FF);
  const auto path = std::filesystem::temp_directory_path() / "kelvo_render_test.bmp";
  ASSERT_EQ(MRender::SaveBitmapToFile(c, path.wstring()), 1);
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[10], 54);
  EXPECT_EQ(b[28], 24);
  // First stored row is the bottom one (blue), BGR order.
  EXPECT_EQ(b[54], 0xFF);
  EXPECT_EQ(b[56], 0x00);
  EXPECT_EQ(b[54 + 12 + 2], 0xFF) << "then the top row (red)";
  std::filesystem::remove(path);
  EXPECT_EQ(MRender::SaveBitmapToFile(c, L"/nonexistent-dir/x.bmp"), 0);
}

class WindowPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pf::InitBackend("headless"));
    testing::UseBuiltSkins();
  }
  void TearDown() override { pf::ShutdownBackend(); }
  static Canvas Frame(HWND w) {
    testing::Pump();
    cairo_surface_t* s = hl::CopyFrame(w);
    Canvas c(s);
    if (s) cairo_surface_destroy(s);
    return c;
  }
};

TEST_F(WindowPaint, BackgroundFrameAndControlsReachTheScreen) {
  TestDialog dlg;
  Probe* p = nullptr;
  dlg.build = [&](TestDialog& d, CRect) { p = d.Add<Probe>(1, CRect(10, 10, 30, 30), 0xFF00FF00); };
  ASSERT_NE(dlg.Open(CRect(0, 0, 80, 60)), nullptr);
  Canvas f = Frame(dlg.GetSafeHwnd());
  ASSERT_TRUE(f.IsValid());
  EXPECT_LE(Diff(f.PixelAt(0, 0) | 0xFF000000, 0xFFFF0000), 1) << "frame colour 0x0000FF is red";
  EXPECT_LE(Diff(f.PixelAt(50, 50) | 0xFF000000, 0xFF090D13), 1) << "back colour 0x130D09";
  EXPECT_EQ(f.PixelAt(20, 20), 0xFF00FF00u);
  EXPECT_EQ(p->renders, 1);
}

TEST_F(WindowPaint, AHoverRepaintRendersOnlyTheChangedControlAndLaterOverlaps) {
  TestDialog dlg;
  Probe *under = nullptr, *changed = nullptr, *over = nullptr, *apart = nullptr;
  dlg.build = [&](TestDialog& d, CRect) {
    under = d.Add<Probe>(1, CRect(0, 0, 40, 40), 0xFF0000FF);
    changed = d.Add<Probe>(2, CRect(10, 10, 30, 30), 0xFF00FF00);
    over = d.Add<Probe>(3, CRect(20, 20, 50, 50), 0xFFFF0000);
    apart = d.Add<Probe>(4, CRect(60, 60, 70, 70), 0xFFFFFFFF);
  };
  ASSERT_NE(dlg.Open(CRect(0, 0, 100, 100)), nullptr);
  Frame(dlg.GetSafeHwnd());
  const int frames = hl::FrameCount(dlg.GetSafeHwnd());
  changed->colour = 0xFFFFFF00;
  changed->UpdateControl(1, 0);
  Canvas f = Frame(dlg.GetSafeHwnd());
  EXPECT_EQ(changed->renders, 2);
  EXPECT_EQ(over->renders, 2) << "a later sibling over it renders again";
  EXPECT_EQ(under->renders, 1) << "the control below is copied from its cache";
  EXPECT_EQ(apart->renders, 1);
  EXPECT_EQ(hl::FrameCount(dlg.GetSafeHwnd()), frames + 1);
  const pf::RECT r = hl::LastPresentRect(dlg.GetSafeHwnd());
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 50) << "only the dirty rectangle is presented";
  EXPECT_EQ(f.PixelAt(15, 15), 0xFFFFFF00u);
  EXPECT_EQ(f.PixelAt(25, 25), 0xFFFF0000u);
}

TEST_F(WindowPaint, LayeredWindowsKeepTransparentPixelsTransparent) {
  for (bool compositor : {true, false}) {
    hl::SetCompositor(compositor);
    TestDialog dlg;
    dlg.build = [&](TestDialog& d, CRect) {
      d.Add<Probe>(1, CRect(10, 10, 30, 30), 0xFF00FF00);
      d.Add<Probe>(2, CRect(40, 10, 60, 30), 0x80FFFFFF);
    };
    ASSERT_NE(dlg.Open(CRect(0, 0, 80, 40)), nullptr);
    dlg.LoadBKImage(L"img_tip_arrow_left.png");  // 8 × 14, the rest of the window stays clear
    dlg.SetLayeredWindow(1);
    Canvas f = Frame(dlg.GetSafeHwnd());
    ASSERT_TRUE(f.IsValid());
    EXPECT_EQ(AlphaOf(f.PixelAt(70, 35)), 0u) << "compositor " << compositor;
    EXPECT_EQ(f.PixelAt(20, 20), 0xFF00FF00u) << "compositor " << compositor;
    const ARGB half = f.PixelAt(50, 20);
    if (compositor)
      EXPECT_NEAR(static_cast<int>(AlphaOf(half)), 128, 2);
    else
      EXPECT_TRUE(AlphaOf(half) == 255 || AlphaOf(half) == 0) << "a shape mask is all or nothing";
    dlg.DestroyWindow();
  }
  hl::SetCompositor(true);
}

TEST_F(WindowPaint, BannerShowsAndProgressAnimatesInStepsOfTwo) {
  TestDialog dlg;
  ASSERT_NE(dlg.Open(CRect(0, 0, 400, 200)), nullptr);
  auto& pm = dlg.GetPaintManager();
  dlg.SetMessage(L"Saved", CRect());
  EXPECT_EQ(pm.GetBannerRect(), CRect(100, 140, 300, 198));
  EXPECT_EQ(pm.GetBannerAlpha(), 255);
  Canvas f = Frame(dlg.GetSafeHwnd());
  EXPECT_LE(Diff(f.PixelAt(150, 141), 0xFFE6E6E6), 1);
  EXPECT_LE(Diff(f.PixelAt(150, 142), 0xFFFEFEFE), 1);
  EXPECT_LE(Diff(f.PixelAt(295, 190), 0xFFFEFEFE), 1);
  pm.SetProgress(50, L"Downloading", CRect());
  EXPECT_EQ(pm.GetProgress(), 0) << "a jump of 6 or more animates";
  for (int i = 1; i <= 3; ++i) {
    pm.OnTimer(kProgressTimerId);
    EXPECT_EQ(pm.GetProgress(), 2 * i);
  }
  pm.SetProgress(50, L"Downloading", CRect());
  EXPECT_EQ(pm.GetProgress(), 6) << "the same percent again does nothing";
  pm.SetProgress(100, L"Done", CRect());
  for (int i = 0; i < 100 && pm.GetProgress() < 100; ++i) pm.OnTimer(kProgressTimerId);
  EXPECT_EQ(pm.GetProgress(), 100);
  for (int i = 0; i < 30 && pm.GetBannerAlpha() > 0; ++i) pm.OnTimer(kBannerFadeTimerId);
  EXPECT_EQ(pm.GetBannerAlpha(), 0) << "reaching 100 fades the banner out";
}

TEST_F(WindowPaint, BalloonPlacementAlignmentAndTimeout) {
  TestDialog dlg;
  ASSERT_NE(dlg.Open(CRect(100, 100, 500, 400)), nullptr);
  auto& pm = dlg.GetPaintManager();
  EXPECT_EQ(pm.ShowAirBladder(1, 3), 0) << "no balloon yet";
  EXPECT_EQ(dlg.SetAirBladderMsg(L"x", POINT{0, 50}, 1), 0) << "a zero coordinate is refused";
  ASSERT_EQ(dlg.SetAirBladderMsg(L"a\nb", POINT{300, 200}, 1), 1);
  MAirBladder* b = pm.GetAirBladder();
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->IsCentred()) << "two lines: left and top";
  EXPECT_EQ(b->GetLineCount(), 2);
  CRect r;
  b->GetWindowRect(r);
  EXPECT_EQ(r.left, 300 - 25);
  EXPECT_EQ(r.top, 200);
  const Canvas& frame = b->Frame();
  ASSERT_TRUE(frame.IsValid());
  EXPECT_GE(AlphaOf(frame.PixelAt(frame.Width() / 2, 2)), 0xF0u) << "the tip background is drawn";
  dlg.SetAirBladderMsg(L"one line", POINT{300, 200}, 1);
  EXPECT_TRUE(b->IsCentred());
  EXPECT_EQ(pm.ShowAirBladder(1, 3), 1);
  EXPECT_EQ(pm.ShowAirBladder(0, 7), 0) << "another tag may not hide it";
  EXPECT_TRUE(b->IsWindowVisible());
  EXPECT_EQ(pm.ShowAirBladder(0, 3), 1);
  EXPECT_FALSE(b->IsWindowVisible());
  // Mode table for a 100 × 20 text at (500, 300).
  const POINT a{500, 300};
  EXPECT_EQ(MAirBladder::FitRect(1, 1, 100, 20, a), CRect(500, 280, 640, 320));
  EXPECT_EQ(MAirBladder::FitRect(2, 1, 100, 20, a), CRect(360, 273, 500, 313));
  EXPECT_EQ(MAirBladder::FitRect(3, 1, 100, 20, a), CRect(475, 300, 615, 350));
  EXPECT_EQ(MAirBladder::FitRect(4, 1, 100, 20, a), CRect(435, 260, 565, 300));
  EXPECT_TRUE(MAirBladder::FitRect(9, 1, 100, 20, a).IsRectNull());
  EXPECT_FALSE(MAirBladder::FitRect(5, 1, 100, 20, a).IsRectEmpty()) << "mode 5 never turns upside down";
}

TEST_F(WindowPaint, KeyTipSitsAboveItsAnchor) {
  TestDialog dlg;
  ASSERT_NE(dlg.Open(CRect(0, 0, 800, 600)), nullptr);
  CKeyboardTips tip;
  ASSERT_NE(tip.CreateTip(dlg.GetSafeHwnd(), L"KeyboardTip Window"), nullptr);
  tip.LoadBKImage(L"img_tip_bk.png");
  tip.SetAirBladderMsg(L"Esc", L"Disabled", L"F1", POINT{500, 300});
  CRect r;
  tip.GetWindowRect(r);
  EXPECT_EQ(r, CRect(405, 200, 595, 300));
  testing::Pump();
  cairo_surface_t* s = hl::CopyFrame(tip.GetSafeHwnd());
  ASSERT_NE(s, nullptr);
  Canvas f(s);
  cairo_surface_destroy(s);
  int bright = 0;
  for (int y = 60; y < 90; ++y)
    for (int x = 60; x < 130; ++x)
      if ((f.PixelAt(x, y) & 0xFF) > 200) ++bright;
  EXPECT_GT(bright, 10) << "the 18-px second line is drawn in white";
}

}  // namespace
}  // namespace kelvo
