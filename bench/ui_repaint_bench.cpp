// Repaint cost of a 1280 × 720 dialog with a background picture and 60
// skinned controls, on the headless window system, against a raw Cairo fill
// and blit of the same surface in the same run.
//
//   bench/ui_repaint_bench   (from the build tree; skins come from bin/)
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kelvo/control.h"
#include "kelvo/paint_manager.h"
#include "kelvo/render.h"
#include "kelvo/window.h"

namespace {
using namespace kelvo;
namespace pf = kelvo::platform;

constexpr int kW = 1280, kH = 720;

// A nine-grid button strip with a title: the everyday control.
class Tile : public MControlFont {
 public:
  Tile(MObject* parent, unsigned id, CRect rect) : MControlFont(parent, id, rect, L"Apply", 1, 1, 1) {}
  const wchar_t* GetClassNameW() const override { return L"Tile"; }
  void InitControl(PaintManager*) override { SetImage(L"btn_apply.png", 4); }
  void DrawControl(Canvas& dc, CRect clip) override {
    DrawCached(dc, clip, 4, state, [&](Canvas& c, const CRect& slot, int s) {
      if (image_) MRender::DrawImageFrame(c, image_.get(), slot, s * frameWidth_, 0, frameWidth_, frameHeight_, 10);
      c.DrawText(title_, slot, GetGDIFont(), textColour_, TextFormat{TextAlign::Center, TextAlign::Center});
    });
  }
  int state = 0;
};

class BenchDialog : public MDialog {
 public:
  void InitUI(CRect) override {
    LoadBKImage(L"main_bkg.png");
    SetBackMode(BACK_MODE_NORMAL, 0);
    for (int i = 0; i < 60; ++i) {
      const int col = i % 10, row = i / 10;
      auto* t = new Tile(this, 100 + i, CRect(40 + col * 120, 60 + row * 100, 150 + col * 120, 98 + row * 100));
      pm_.AddControl(1, t);
      tiles.push_back(t);
    }
  }
  std::vector<Tile*> tiles;
};

struct Env {
  BenchDialog dlg;
  bool ok = false;
  bool skins = false;
  Env() {
    // The build tree's program directory: BRUMKEY_BIN_DIR, else bin/ beside
    // the bench/ folder.
    std::string dir;
    if (const char* bin = std::getenv("BRUMKEY_BIN_DIR")) {
      dir = bin;
    } else {
      std::error_code ec;
      const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
      if (!ec) dir = (exe.parent_path().parent_path() / "bin").string();
    }
    Manager::SetProgramDirectory(std::wstring(dir.begin(), dir.end()));
    skins = Image::FromFile(Manager::SkinPath(L"main_bkg.png")) != nullptr;
    if (!pf::InitBackend("headless")) return;
    ok = dlg.Create(nullptr, L"bench", pf::WS_POPUP | pf::WS_VISIBLE, 0, CRect(0, 0, kW, kH)) != nullptr;
    Paint();
  }
  void Paint() { pf::UpdateWindow(dlg.GetSafeHwnd()); }
};

Env& E() {
  static Env env;
  return env;
}

// Floor: what any repaint of this window costs at least — fill the back
// buffer and blit the background picture over it.
void BM_RawCairoFillAndBlit(benchmark::State& st) {
  E();  // same program directory and window system as the others
  Canvas back(kW, kH);
  ImagePtr bg = Image::FromFile(Manager::SkinPath(L"main_bkg.png"));
  if (!bg) {
    st.SkipWithError("no skins: build kelvo_skins and set BRUMKEY_BIN_DIR");
    return;
  }
  for (auto _ : st) {
    back.SetPixels(CRect(0, 0, kW, kH), 0xFF000000);
    back.DrawImage(*bg, 0, 0);
    cairo_surface_flush(back.Surface());
    benchmark::DoNotOptimize(back.PixelAt(5, 5));
  }
}
BENCHMARK(BM_RawCairoFillAndBlit)->Unit(benchmark::kMillisecond);

// The whole client invalidated and painted (caches valid), presented.
void BM_FullRepaint(benchmark::State& st) {
  Env& e = E();
  if (!e.ok || !e.skins) {
    st.SkipWithError("no window or no skins (build kelvo_skins)");
    return;
  }
  for (auto _ : st) {
    e.dlg.GetPaintManager().Invalidate(false);
    e.Paint();
  }
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

// The same with every control's cache stale (first paint, theme change).
void BM_FullRepaintAllControlsRender(benchmark::State& st) {
  Env& e = E();
  if (!e.ok || !e.skins) {
    st.SkipWithError("no window or no skins (build kelvo_skins)");
    return;
  }
  for (auto _ : st) {
    for (Tile* t : e.dlg.tiles) t->SetUpdate(0, 0);
    e.dlg.GetPaintManager().Invalidate(false);
    e.Paint();
  }
}
BENCHMARK(BM_FullRepaintAllControlsRender)->Unit(benchmark::kMillisecond);

// One control changes state (hover): its rectangle repaints.
void BM_HoverRepaint(benchmark::State& st) {
  Env& e = E();
  if (!e.ok || !e.skins) {
    st.SkipWithError("no window or no skins (build kelvo_skins)");
    return;
  }
  Tile* t = e.dlg.tiles[27];
  for (auto _ : st) {
    t->state ^= 1;
    t->UpdateControl(0, 0);
    e.Paint();
  }
}
BENCHMARK(BM_HoverRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
