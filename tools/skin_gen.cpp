// Writes the toolkit's and the program's skin images into
// <program dir>/skins/theme1/: button and check strips, frames for nine-grid
// drawing, icons, backgrounds, the scroll bar images, the tip background,
// the animated GIFs and the tray icon. Everything is drawn with Cairo, so no
// binary art lives in the repository.
//
// usage: kelvo-skin-gen <output skin directory> [<layouts directory>]
// With a layouts directory, each layout's keyboard picture is drawn from its
// key rectangles and legends into keyboard/<image>.
#include <cairo.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Palette of the dark theme.
constexpr uint32_t kPanel = 0xFF181D26;     // raised surfaces
constexpr uint32_t kPanelHi = 0xFF222936;   // hover surfaces
constexpr uint32_t kBorder = 0xFF2C3444;
constexpr uint32_t kAccent = 0xFF3D8BFF;
constexpr uint32_t kAccentHi = 0xFF62A2FF;
constexpr uint32_t kAccentLo = 0xFF2C6CD0;
constexpr uint32_t kMuted = 0xFF586273;
constexpr uint32_t kText = 0xFFE6E9EF;
constexpr uint32_t kDanger = 0xFFE5484D;

fs::path g_out;
int g_count = 0;

void Src(cairo_t* cr, uint32_t c, double alphaScale = 1.0) {
  cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                        (c >> 24) / 255.0 * alphaScale);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void Fill(cairo_t* cr, uint32_t c) {
  Src(cr, c);
  cairo_fill(cr);
}

void Stroke(cairo_t* cr, uint32_t c, double w) {
  Src(cr, c);
  cairo_set_line_width(cr, w);
  cairo_stroke(cr);
}

bool Save(cairo_surface_t* s, const std::string& name) {
  const fs::path p = g_out / name;
  fs::create_directories(p.parent_path());
  cairo_surface_flush(s);
  const bool ok = cairo_surface_write_to_png(s, p.c_str()) == CAIRO_STATUS_SUCCESS;
  if (!ok) std::fprintf(stderr, "kelvo-skin-gen: cannot write %s\n", p.c_str());
  ++g_count;
  return ok;
}

using Painter = std::function<void(cairo_t*, double w, double h)>;

// One image of w × h.
bool Image(const std::string& name, int w, int h, const Painter& paint) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  paint(cr, w, h);
  cairo_destroy(cr);
  const bool ok = Save(s, name);
  cairo_surface_destroy(s);
  return ok;
}

// A strip of n frames of fw × fh; paint(frame) draws one frame at the origin.
using FramePainter = std::function<void(cairo_t*, int frame, double w, double h)>;
bool Strip(const std::string& name, int n, int fw, int fh, const FramePainter& paint) {
  return Image(name, n * fw, fh, [&](cairo_t* cr, double, double) {
    for (int i = 0; i < n; ++i) {
      cairo_save(cr);
      cairo_rectangle(cr, i * fw, 0, fw, fh);
      cairo_clip(cr);
      cairo_translate(cr, i * fw, 0);
      paint(cr, i, fw, fh);
      cairo_restore(cr);
    }
  });
}

// Button state colours: 0 normal, 1 hover, 2 pressed, 3 disabled.
uint32_t StateFill(int state, uint32_t normal, uint32_t hover, uint32_t pressed) {
  switch (state) {
    case 1: return hover;
    case 2: return pressed;
    case 3: return 0xFF262B34;
    default: return normal;
  }
}

// ---- icons (drawn in a unit box of size s at the origin) -----------------

void IconClose(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  cairo_move_to(cr, cx - r, cy - r);
  cairo_line_to(cr, cx + r, cy + r);
  cairo_move_to(cr, cx + r, cy - r);
  cairo_line_to(cr, cx - r, cy + r);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Stroke(cr, c, lw);
}

void IconMinus(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  cairo_move_to(cr, cx - r, cy);
  cairo_line_to(cr, cx + r, cy);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  Stroke(cr, c, lw);
}

void IconPlus(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  IconMinus(cr, cx, cy, r, c, lw);
  cairo_move_to(cr, cx, cy - r);
  cairo_line_to(cr, cx, cy + r);
  Stroke(cr, c, lw);
}

void IconGlobe(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  Stroke(cr, c, lw);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, 0.45, 1.0);
  cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
  cairo_restore(cr);
  Stroke(cr, c, lw);
  cairo_move_to(cr, cx - r, cy);
  cairo_line_to(cr, cx + r, cy);
  Stroke(cr, c, lw);
}

void IconTrash(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  cairo_move_to(cr, cx - r, cy - r * 0.6);
  cairo_line_to(cr, cx + r, cy - r * 0.6);
  Stroke(cr, c, lw);
  cairo_move_to(cr, cx - r * 0.7, cy - r * 0.6);
  cairo_line_to(cr, cx - r * 0.55, cy + r);
  cairo_line_to(cr, cx + r * 0.55, cy + r);
  cairo_line_to(cr, cx + r * 0.7, cy - r * 0.6);
  Stroke(cr, c, lw);
  cairo_move_to(cr, cx - r * 0.3, cy - r * 0.6);
  cairo_line_to(cr, cx - r * 0.3, cy - r);
  cairo_line_to(cr, cx + r * 0.3, cy - r);
  cairo_line_to(cr, cx + r * 0.3, cy - r * 0.6);
  Stroke(cr, c, lw);
}

void IconPencil(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  cairo_move_to(cr, cx - r, cy + r);
  cairo_line_to(cr, cx - r * 0.8, cy + r * 0.3);
  cairo_line_to(cr, cx + r * 0.5, cy - r);
  cairo_line_to(cr, cx + r, cy - r * 0.5);
  cairo_line_to(cr, cx - r * 0.3, cy + r * 0.8);
  cairo_close_path(cr);
  Stroke(cr, c, lw);
}

void IconArrow(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw, double angle, bool tray) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, angle);
  cairo_move_to(cr, 0, -r);
  cairo_line_to(cr, 0, r * (tray ? 0.35 : 1.0));
  cairo_move_to(cr, -r * 0.55, -r * 0.45 + (tray ? 0 : 0));
  cairo_line_to(cr, 0, -r);
  cairo_line_to(cr, r * 0.55, -r * 0.45);
  cairo_restore(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Stroke(cr, c, lw);
  if (tray) {
    cairo_move_to(cr, cx - r, cy + r * 0.5);
    cairo_line_to(cr, cx - r, cy + r);
    cairo_line_to(cr, cx + r, cy + r);
    cairo_line_to(cr, cx + r, cy + r * 0.5);
    Stroke(cr, c, lw);
  }
}

void IconCopy(cairo_t* cr, double cx, double cy, double r, uint32_t c, double lw) {
  RoundRect(cr, cx - r, cy - r * 0.4, r * 1.3, r * 1.4, 2);
  Stroke(cr, c, lw);
  cairo_move_to(cr, cx - r * 0.4, cy - r * 0.6);
  cairo_line_to(cr, cx - r * 0.4, cy - r);
  cairo_line_to(cr, cx + r, cy - r);
  cairo_line_to(cr, cx + r, cy + r * 0.4);
  cairo_line_to(cr, cx + r * 0.6, cy + r * 0.4);
  Stroke(cr, c, lw);
}

using IconFn = void (*)(cairo_t*, double, double, double, uint32_t, double);

// 4-frame 30 × 30 image button: transparent normal, soft disc on hover and
// press, dimmed glyph when disabled.
void ImageButton(const std::string& name, const std::function<void(cairo_t*, double, double, uint32_t)>& glyph,
                 uint32_t hoverDisc = kPanelHi, int size = 30) {
  Strip(name, 4, size, size, [&](cairo_t* cr, int f, double w, double h) {
    if (f == 1 || f == 2) {
      RoundRect(cr, 1, 1, w - 2, h - 2, 6);
      Fill(cr, f == 2 ? kAccentLo : hoverDisc);
    }
    glyph(cr, w / 2, h / 2, f == 3 ? kMuted : (f == 0 ? 0xFFB8C0CC : kText));
  });
}

// ---- GIF (LZW, 256-colour global palette) ------------------------------------

struct GifWriter {
  std::vector<uint8_t> out;
  void Byte(uint8_t b) { out.push_back(b); }
  void Word(uint16_t w) {
    Byte(w & 0xFF);
    Byte(w >> 8);
  }
  void Header(int w, int h, const std::vector<uint32_t>& palette) {
    const char* sig = "GIF89a";
    out.insert(out.end(), sig, sig + 6);
    Word(w);
    Word(h);
    Byte(0xF7);  // global table of 256 entries
    Byte(0);
    Byte(0);
    for (int i = 0; i < 256; ++i) {
      const uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
      Byte((c >> 16) & 0xFF);
      Byte((c >> 8) & 0xFF);
      Byte(c & 0xFF);
    }
    // Loop forever.
    const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    out.insert(out.end(), loop, loop + sizeof(loop));
  }
  // Codes of 9 bits with a clear code often enough that the table never
  // grows: simple, valid LZW every decoder reads.
  void Frame(int w, int h, const std::vector<uint8_t>& idx, int delayCs) {
    const uint8_t gce[] = {0x21, 0xF9, 0x04, 0x00, static_cast<uint8_t>(delayCs & 0xFF), static_cast<uint8_t>(delayCs >> 8), 0x00, 0x00};
    out.insert(out.end(), gce, gce + sizeof(gce));
    Byte(0x2C);
    Word(0);
    Word(0);
    Word(w);
    Word(h);
    Byte(0);
    Byte(8);  // minimum code size
    std::vector<uint8_t> data;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](unsigned code) {
      acc |= code << bits;
      bits += 9;
      while (bits >= 8) {
        data.push_back(acc & 0xFF);
        acc >>= 8;
        bits -= 8;
      }
    };
    int run = 0;
    emit(256);
    for (uint8_t p : idx) {
      if (run == 254) {
        emit(256);
        run = 0;
      }
      emit(p);
      ++run;
    }
    emit(257);
    if (bits > 0) data.push_back(acc & 0xFF);
    for (size_t i = 0; i < data.size(); i += 255) {
      const size_t n = std::min<size_t>(255, data.size() - i);
      Byte(static_cast<uint8_t>(n));
      out.insert(out.end(), data.begin() + i, data.begin() + i + n);
    }
    Byte(0);
  }
  bool Write(const std::string& name) {
    Byte(0x3B);
    const fs::path p = g_out / name;
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    ++g_count;
    return f.good();
  }
};

// A spinner of 12 dots; the palette runs from the background to the accent,
// so each pixel's index is its mix.
bool SpinnerGif(const std::string& name, int size, uint32_t bg) {
  const int frames = 12;
  std::vector<uint32_t> palette(256);
  auto mix = [&](int i) {
    auto ch = [&](int s) {
      const int a = (bg >> s) & 0xFF, b = (kAccentHi >> s) & 0xFF;
      return static_cast<uint32_t>(a + (b - a) * i / 255);
    };
    return (ch(16) << 16) | (ch(8) << 8) | ch(0);
  };
  for (int i = 0; i < 256; ++i) palette[i] = mix(i);
  GifWriter gif;
  gif.Header(size, size, palette);
  for (int f = 0; f < frames; ++f) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, size, size);
    cairo_t* cr = cairo_create(s);
    const double c = size / 2.0, R = size * 0.34, dot = size * 0.065;
    for (int i = 0; i < frames; ++i) {
      const double a = 2 * M_PI * i / frames - M_PI / 2;
      const int age = (f - i + frames) % frames;
      const double level = std::max(0.12, 1.0 - age / 9.0);
      cairo_arc(cr, c + R * std::cos(a), c + R * std::sin(a), dot * (0.7 + 0.3 * level), 0, 2 * M_PI);
      cairo_set_source_rgba(cr, 0, 0, 0, level);
      cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(s);
    std::vector<uint8_t> idx(static_cast<size_t>(size) * size);
    const uint8_t* d = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) idx[static_cast<size_t>(y) * size + x] = d[y * stride + x];
    cairo_surface_destroy(s);
    gif.Frame(size, size, idx, 8);
  }
  return gif.Write(name);
}

// ---- ICO --------------------------------------------------------

void LogoMark(cairo_t* cr, double x, double y, double s) {
  // A key cap with a light bar: the program's mark.
  RoundRect(cr, x + s * 0.08, y + s * 0.08, s * 0.84, s * 0.84, s * 0.2);
  cairo_pattern_t* g = cairo_pattern_create_linear(x, y, x + s, y + s);
  cairo_pattern_add_color_stop_rgb(g, 0, 0x62 / 255.0, 0xA2 / 255.0, 1.0);
  cairo_pattern_add_color_stop_rgb(g, 1, 0x8B / 255.0, 0x5C / 255.0, 0xF6 / 255.0);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  RoundRect(cr, x + s * 0.24, y + s * 0.22, s * 0.52, s * 0.42, s * 0.1);
  Fill(cr, 0x40FFFFFF);
  RoundRect(cr, x + s * 0.24, y + s * 0.72, s * 0.52, s * 0.07, s * 0.035);
  Fill(cr, 0xE0FFFFFF);
}

// Classic icon entries (32-bit DIB with an AND mask), which every reader
// of the format understands.
std::vector<uint8_t> DibEntry(cairo_surface_t* s, int size) {
  std::vector<uint8_t> out;
  auto w16 = [&](uint16_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8); };
  auto w32 = [&](uint32_t v) { w16(v & 0xFFFF); w16(v >> 16); };
  const int maskRow = ((size + 31) / 32) * 4;
  w32(40);
  w32(static_cast<uint32_t>(size));
  w32(static_cast<uint32_t>(size * 2));  // colour rows and mask rows
  w16(1);
  w16(32);
  w32(0);
  w32(static_cast<uint32_t>(size * size * 4 + maskRow * size));
  w32(0);
  w32(0);
  w32(0);
  w32(0);
  cairo_surface_flush(s);
  const uint8_t* d = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) {
      const uint32_t p = *reinterpret_cast<const uint32_t*>(d + y * stride + x * 4);
      const unsigned a = p >> 24;
      auto un = [a](unsigned v) { return a ? static_cast<uint8_t>(std::min(255u, v * 255 / a)) : 0; };
      out.push_back(un(p & 0xFF));
      out.push_back(un((p >> 8) & 0xFF));
      out.push_back(un((p >> 16) & 0xFF));
      out.push_back(static_cast<uint8_t>(a));
    }
  for (int y = size - 1; y >= 0; --y)
    for (int i = 0; i < maskRow; ++i) {
      uint8_t bits = 0;
      for (int b = 0; b < 8; ++b) {
        const int x = i * 8 + b;
        if (x >= size) continue;
        const uint32_t p = *reinterpret_cast<const uint32_t*>(d + y * stride + x * 4);
        if ((p >> 24) == 0) bits |= 0x80 >> b;
      }
      out.push_back(bits);
    }
  return out;
}

bool WriteIco(const std::string& name) {
  const int sizes[] = {16, 24, 32, 48, 256};
  std::vector<std::vector<uint8_t>> entries;
  for (int s : sizes) {
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s, s);
    cairo_t* cr = cairo_create(surf);
    LogoMark(cr, 0, 0, s);
    cairo_destroy(cr);
    entries.push_back(DibEntry(surf, s));
    cairo_surface_destroy(surf);
  }
  std::vector<uint8_t> out;
  auto w16 = [&](uint16_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8); };
  auto w32 = [&](uint32_t v) { w16(v & 0xFFFF); w16(v >> 16); };
  w16(0);
  w16(1);
  w16(static_cast<uint16_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    out.push_back(sizes[i] >= 256 ? 0 : sizes[i]);
    out.push_back(sizes[i] >= 256 ? 0 : sizes[i]);
    out.push_back(0);
    out.push_back(0);
    w16(1);
    w16(32);
    w32(static_cast<uint32_t>(entries[i].size()));
    w32(offset);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (auto& e : entries) out.insert(out.end(), e.begin(), e.end());
  const fs::path p = g_out / name;
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  ++g_count;
  return f.good();
}

// ---- the skin -------------------------------------------------------------------

void Backgrounds() {
  Image("main_bkg.png", 1280, 720, [](cairo_t* cr, double w, double h) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(g, 0, 0x13 / 255.0, 0x18 / 255.0, 0x21 / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 0x0B / 255.0, 0x0E / 255.0, 0x13 / 255.0);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    // A faint accent glow in the upper right.
    cairo_pattern_t* r = cairo_pattern_create_radial(w * 0.78, h * 0.1, 0, w * 0.78, h * 0.1, w * 0.5);
    cairo_pattern_add_color_stop_rgba(r, 0, 0x3D / 255.0, 0x8B / 255.0, 1.0, 0.10);
    cairo_pattern_add_color_stop_rgba(r, 1, 0x3D / 255.0, 0x8B / 255.0, 1.0, 0.0);
    cairo_set_source(cr, r);
    cairo_paint(cr);
    cairo_pattern_destroy(r);
  });
  Image("pic_caption.png", 1278, 49, [](cairo_t* cr, double w, double h) {
    cairo_rectangle(cr, 0, 0, w, h);
    Fill(cr, 0xFF141922);
    cairo_rectangle(cr, 0, h - 1, w, 1);
    Fill(cr, kBorder);
  });
  Image("bk_prompt.png", 380, 200, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 12);
    Src(cr, kPanel);
    cairo_fill_preserve(cr);
    Stroke(cr, kBorder, 1);
  });
  Image("img_tip_bk.png", 32, 32, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 5);
    Src(cr, 0xFF232A36);
    cairo_fill_preserve(cr);
    Stroke(cr, 0xFF3A4456, 1);
  });
  Image("img_menu_bk.png", 40, 40, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 7);
    Src(cr, 0xFF1C222D);
    cairo_fill_preserve(cr);
    Stroke(cr, kBorder, 1);
  });
  Image("img_menu_hover.png", 40, 35, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 2, 2, w - 4, h - 4, 5);
    Fill(cr, 0xFF2B3B57);
  });
  Image("img_combobox_bk.png", 60, 60, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 6);
    Src(cr, 0xFF1C222D);
    cairo_fill_preserve(cr);
    Stroke(cr, kBorder, 1);
  });
  Image("img_tip_arrow_left.png", 8, 14, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, w, 0);
    cairo_line_to(cr, 0, h / 2);
    cairo_line_to(cr, w, h);
    Fill(cr, 0xF2232A36);
  });
  Image("img_tip_arrow_right.png", 8, 14, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, w, h / 2);
    cairo_line_to(cr, 0, h);
    Fill(cr, 0xF2232A36);
  });
  Image("img_tip_arrow_top.png", 14, 8, [](cairo_t* cr, double w, double h) {
    cairo_move_to(cr, 0, h);
    cairo_line_to(cr, w / 2, 0);
    cairo_line_to(cr, w, h);
    Fill(cr, 0xF2232A36);
  });
}

void Buttons() {
  // Push button, nine-grid margin 10.
  Strip("btn_apply.png", 4, 100, 38, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 1, 1, w - 2, h - 2, 8);
    if (f == 3) {
      Fill(cr, 0xFF262B34);
      return;
    }
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, h);
    const uint32_t top = f == 1 ? kAccentHi : f == 2 ? kAccentLo : kAccent;
    const uint32_t bottom = f == 2 ? 0xFF2459B0 : kAccentLo;
    cairo_pattern_add_color_stop_rgb(g, 0, ((top >> 16) & 0xFF) / 255.0, ((top >> 8) & 0xFF) / 255.0, (top & 0xFF) / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, ((bottom >> 16) & 0xFF) / 255.0, ((bottom >> 8) & 0xFF) / 255.0,
                                     (bottom & 0xFF) / 255.0);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, 0x30FFFFFF, 1);
  });
  // Caption buttons.
  Strip("main_sysbtn_close.png", 4, 30, 30, [](cairo_t* cr, int f, double w, double h) {
    if (f == 1 || f == 2) {
      RoundRect(cr, 2, 2, w - 4, h - 4, 6);
      Fill(cr, f == 2 ? 0xFFB8383C : kDanger);
    }
    IconClose(cr, w / 2, h / 2, 5, f == 3 ? kMuted : kText, 1.6);
  });
  ImageButton("main_sysbtn_min.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconMinus(cr, x, y, 5.5, c, 1.6); });
  ImageButton("main_sysbtn_website.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconGlobe(cr, x, y, 6.5, c, 1.3); });
  ImageButton("imgbtn_add.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconPlus(cr, x, y, 6.5, c, 1.8); });
  ImageButton("imgbtn_del.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconTrash(cr, x, y, 7, c, 1.5); });
  ImageButton("imgbtn_edit.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconPencil(cr, x, y, 7, c, 1.5); });
  ImageButton("imgbtn_import.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconArrow(cr, x, y, 7, c, 1.6, M_PI, true); });
  ImageButton("imgbtn_export.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconArrow(cr, x, y, 7, c, 1.6, 0, true); });
  ImageButton("imgbtn_copy.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconCopy(cr, x, y, 7, c, 1.5); });
  ImageButton("imgbtn_up.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconArrow(cr, x, y, 7, c, 1.8, 0, false); });
  ImageButton("imgbtn_down.png", [](cairo_t* cr, double x, double y, uint32_t c) { IconArrow(cr, x, y, 7, c, 1.8, M_PI, false); });
  ImageButton("btn_openfile.png", [](cairo_t* cr, double x, double y, uint32_t c) {
    cairo_move_to(cr, x - 8, y - 5);
    cairo_line_to(cr, x - 3, y - 5);
    cairo_line_to(cr, x - 1, y - 3);
    cairo_line_to(cr, x + 8, y - 3);
    cairo_line_to(cr, x + 8, y + 6);
    cairo_line_to(cr, x - 8, y + 6);
    cairo_close_path(cr);
    Stroke(cr, c, 1.5);
  });
  Strip("img_sys_close.png", 4, 24, 24, [](cairo_t* cr, int f, double w, double h) {
    if (f == 1 || f == 2) {
      cairo_arc(cr, w / 2, h / 2, w / 2 - 1, 0, 2 * M_PI);
      Fill(cr, f == 2 ? 0xFFB8383C : kDanger);
    }
    IconClose(cr, w / 2, h / 2, 4, f == 3 ? kMuted : kText, 1.5);
  });
  for (int up = 0; up < 2; ++up) {
    Strip(up ? "img_spin_up.png" : "img_spin_down.png", 4, 16, 12, [up](cairo_t* cr, int f, double w, double h) {
      RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 3);
      Fill(cr, StateFill(f, kPanel, kPanelHi, kAccentLo));
      const double cy = h / 2;
      cairo_move_to(cr, w / 2 - 4, cy + (up ? 2 : -2));
      cairo_line_to(cr, w / 2, cy + (up ? -2 : 2));
      cairo_line_to(cr, w / 2 + 4, cy + (up ? 2 : -2));
      Stroke(cr, f == 3 ? kMuted : kText, 1.4);
    });
  }
}

void Checks() {
  // 0–3 unchecked normal/hover/pressed/disabled, 4–7 the same checked.
  for (int radio = 0; radio < 2; ++radio) {
    Strip(radio ? "btn_radiobox.png" : "btn_checkbox.png", 8, 20, 20, [radio](cairo_t* cr, int f, double w, double h) {
      const int state = f % 4;
      const bool checked = f >= 4;
      const uint32_t edge = state == 3 ? 0xFF3A414D : state == 0 ? kMuted : kAccentHi;
      auto shape = [&](double inset) {
        if (radio)
          cairo_arc(cr, w / 2, h / 2, w / 2 - inset, 0, 2 * M_PI);
        else
          RoundRect(cr, inset, inset, w - 2 * inset, h - 2 * inset, 4);
      };
      shape(2);
      if (checked) {
        Fill(cr, state == 3 ? 0xFF39404C : state == 2 ? kAccentLo : kAccent);
        if (radio) {
          cairo_arc(cr, w / 2, h / 2, 3.5, 0, 2 * M_PI);
          Fill(cr, kText);
        } else {
          cairo_move_to(cr, 6, 10.5);
          cairo_line_to(cr, 9, 13.5);
          cairo_line_to(cr, 14.5, 7);
          cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
          cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
          Stroke(cr, kText, 2);
        }
      } else {
        Src(cr, state == 1 ? kPanelHi : kPanel);
        cairo_fill_preserve(cr);
        Stroke(cr, edge, 1.5);
      }
    });
  }
}

void Fields() {
  Strip("img_edit.png", 4, 40, 30, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    Src(cr, f == 3 ? 0xFF161A21 : 0xFF0D1117);
    cairo_fill_preserve(cr);
    Stroke(cr, f == 2 ? kAccent : f == 1 ? 0xFF3C4659 : kBorder, f == 2 ? 1.5 : 1);
  });
  Strip("img_combobox.png", 4, 120, 38, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 7);
    Src(cr, StateFill(f, kPanel, kPanelHi, 0xFF1E2A3D));
    cairo_fill_preserve(cr);
    Stroke(cr, f == 2 ? kAccent : kBorder, 1);
    const double ax = w - 18, ay = h / 2;
    cairo_move_to(cr, ax - 4.5, ay - 2);
    cairo_line_to(cr, ax, ay + 2.5);
    cairo_line_to(cr, ax + 4.5, ay - 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Stroke(cr, f == 3 ? kMuted : 0xFFB8C0CC, 1.6);
  });
  Strip("img_customkey.png", 4, 36, 28, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 5);
    Src(cr, f == 2 ? 0xFF1F3A66 : f == 1 ? kPanelHi : kPanel);
    cairo_fill_preserve(cr);
    Stroke(cr, f == 2 ? kAccent : kBorder, 1);
  });
  Strip("img_device_state.png", 2, 120, 38, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 8);
    Src(cr, f == 1 ? 0xFF1B2536 : kPanel);
    cairo_fill_preserve(cr);
    Stroke(cr, f == 1 ? kAccent : kBorder, 1);
    // A status bar inside the 12-px margin, so stretching never smears it.
    RoundRect(cr, 4, 9, 3, h - 18, 1.5);
    Fill(cr, f == 1 ? 0xFF35C27F : kMuted);
  });
  Strip("img_list_icon.png", 2, 20, 20, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 3, 3, w - 6, h - 6, 3);
    if (f == 1)
      Fill(cr, kAccent);
    else
      Stroke(cr, kMuted, 1.5);
  });
  Strip("img_list_edit.png", 4, 40, 32, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 5);
    Src(cr, 0xFF0D1117);
    cairo_fill_preserve(cr);
    Stroke(cr, f == 1 ? kAccent : kBorder, 1);
  });
  // Upper half filled track, lower half empty track.
  Image("img_slider_track.png", 400, 12, [](cairo_t* cr, double w, double) {
    RoundRect(cr, 0, 1, w, 4, 2);
    Fill(cr, kAccent);
    RoundRect(cr, 0, 7, w, 4, 2);
    Fill(cr, 0xFF2A3140);
  });
  Strip("img_slider_thumb.png", 4, 36, 36, [](cairo_t* cr, int f, double w, double h) {
    if (f == 1) {
      cairo_arc(cr, w / 2, 18, 13, 0, 2 * M_PI);
      Fill(cr, 0x403D8BFF);
    }
    cairo_arc(cr, w / 2, 18, 8, 0, 2 * M_PI);
    Src(cr, kText);
    cairo_fill_preserve(cr);
    Stroke(cr, kAccent, 2.5);
  });
  Image("img_palette_thumb.png", 14, 14, [](cairo_t* cr, double w, double h) {
    cairo_arc(cr, w / 2, h / 2, 5.5, 0, 2 * M_PI);
    Stroke(cr, 0xFF000000, 3);
    cairo_arc(cr, w / 2, h / 2, 5.5, 0, 2 * M_PI);
    Stroke(cr, 0xFFFFFFFF, 1.5);
  });
}

void HsvToRgb(double h, double s, double v, double& r, double& g, double& b) {
  const double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0, 2) - 1)), m = v - c;
  double rr = 0, gg = 0, bb = 0;
  if (h < 60) rr = c, gg = x;
  else if (h < 120) rr = x, gg = c;
  else if (h < 180) gg = c, bb = x;
  else if (h < 240) gg = x, bb = c;
  else if (h < 300) rr = x, bb = c;
  else rr = c, bb = x;
  r = rr + m, g = gg + m, b = bb + m;
}

void Colours() {
  Image("img_circlepalette.png", 140, 140, [](cairo_t* cr, double w, double h) {
    cairo_surface_t* s = cairo_get_target(cr);
    cairo_surface_flush(s);
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    const double cx = w / 2, cy = h / 2, R = 68;
    for (int y = 0; y < static_cast<int>(h); ++y)
      for (int x = 0; x < static_cast<int>(w); ++x) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::sqrt(dx * dx + dy * dy);
        const double a = std::clamp(R + 0.5 - d, 0.0, 1.0);
        if (a <= 0) continue;
        double hue = std::atan2(-dy, dx) * 180 / M_PI;
        if (hue < 0) hue += 360;
        double r, g, b;
        HsvToRgb(hue, std::min(1.0, d / R), 1.0, r, g, b);
        const unsigned A = static_cast<unsigned>(a * 255);
        data[y * stride + x] = (A << 24) | (static_cast<unsigned>(r * A) << 16) | (static_cast<unsigned>(g * A) << 8) |
                               static_cast<unsigned>(b * A);
      }
    cairo_surface_mark_dirty(s);
  });
  Image("img_color_rainbow.png", 40, 40, [](cairo_t* cr, double w, double h) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, w, h);
    for (int i = 0; i <= 6; ++i) {
      double r, gg, b;
      HsvToRgb(i * 60 % 360, 1, 1, r, gg, b);
      cairo_pattern_add_color_stop_rgb(g, i / 6.0, r, gg, b);
    }
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
  });
}

void ScrollBars() {
  // 4 frames of 7 × 239: track (6-px caps), thumb hovered, thumb normal, unused.
  Strip("img_scroll_v.png", 4, 7, 239, [](cairo_t* cr, int f, double w, double h) {
    RoundRect(cr, 1, 0, w - 2, h, 2.5);
    Fill(cr, f == 0 ? 0x40FFFFFF : f == 1 ? 0xD0A8B2C2 : f == 2 ? 0x9098A2B2 : 0x00000000);
  });
  Image("img_scroll_h.png", 22, 20, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 0, 7, w, 6, 3);
    Fill(cr, 0x9098A2B2);
  });
}

void Icons() {
  auto pageIcon = [](const std::string& name, const std::function<void(cairo_t*)>& glyph) {
    Image(name, 32, 32, [&](cairo_t* cr, double, double) { glyph(cr); });
  };
  auto keyboard = [](cairo_t* cr, uint32_t c) {
    RoundRect(cr, 4, 9, 24, 15, 3);
    Stroke(cr, c, 1.6);
    for (int i = 0; i < 4; ++i) {
      cairo_rectangle(cr, 8 + i * 4.5, 13, 2.2, 2.2);
      Fill(cr, c);
    }
    cairo_rectangle(cr, 10, 18.5, 12, 2);
    Fill(cr, c);
  };
  auto macro = [](cairo_t* cr, uint32_t c) {
    cairo_arc(cr, 16, 16, 10, 0, 2 * M_PI);
    Stroke(cr, c, 1.6);
    cairo_move_to(cr, 13, 11);
    cairo_line_to(cr, 21, 16);
    cairo_line_to(cr, 13, 21);
    cairo_close_path(cr);
    Fill(cr, c);
  };
  auto light = [](cairo_t* cr, uint32_t c) {
    cairo_arc(cr, 16, 14, 6.5, 0, 2 * M_PI);
    Stroke(cr, c, 1.6);
    cairo_rectangle(cr, 13, 22, 6, 2);
    Fill(cr, c);
    for (int i = 0; i < 8; ++i) {
      const double a = i * M_PI / 4;
      cairo_move_to(cr, 16 + 9.5 * std::cos(a), 14 + 9.5 * std::sin(a));
      cairo_line_to(cr, 16 + 12 * std::cos(a), 14 + 12 * std::sin(a));
    }
    Stroke(cr, c, 1.4);
  };
  auto gear = [](cairo_t* cr, uint32_t c) {
    for (int i = 0; i < 8; ++i) {
      const double a = i * M_PI / 4;
      cairo_move_to(cr, 16 + 7 * std::cos(a), 16 + 7 * std::sin(a));
      cairo_line_to(cr, 16 + 11 * std::cos(a), 16 + 11 * std::sin(a));
    }
    Stroke(cr, c, 3);
    cairo_arc(cr, 16, 16, 7.5, 0, 2 * M_PI);
    Stroke(cr, c, 2);
    cairo_arc(cr, 16, 16, 3, 0, 2 * M_PI);
    Stroke(cr, c, 1.6);
  };
  auto home = [](cairo_t* cr, uint32_t c) {
    cairo_move_to(cr, 6, 16);
    cairo_line_to(cr, 16, 7);
    cairo_line_to(cr, 26, 16);
    cairo_move_to(cr, 9, 14);
    cairo_line_to(cr, 9, 25);
    cairo_line_to(cr, 23, 25);
    cairo_line_to(cr, 23, 14);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    Stroke(cr, c, 1.8);
  };
  pageIcon("icon/icon_keyboard.png", [&](cairo_t* cr) { keyboard(cr, kText); });
  pageIcon("icon/icon_macro.png", [&](cairo_t* cr) { macro(cr, kText); });
  pageIcon("icon/icon_lightmode.png", [&](cairo_t* cr) { light(cr, kText); });
  pageIcon("icon/icon_config.png", [&](cairo_t* cr) { gear(cr, kText); });
  // Tab icons: normal, hover, selected, selected copy.
  struct Tab {
    const char* name;
    std::function<void(cairo_t*, uint32_t)> glyph;
  } tabs[] = {{"icon/tab_home.png", home}, {"icon/tab_customkey.png", keyboard}, {"icon/tab_macro.png", macro},
              {"icon/tab_light.png", light}, {"icon/tab_config.png", gear}};
  for (auto& t : tabs)
    Strip(t.name, 4, 32, 32, [&](cairo_t* cr, int f, double, double) {
      t.glyph(cr, f == 0 ? 0xFF8A94A6 : f == 1 ? kText : kAccentHi);
    });
  Image("icon/mode_usb.png", 24, 24, [](cairo_t* cr, double, double) {
    cairo_move_to(cr, 12, 3);
    cairo_line_to(cr, 12, 19);
    cairo_move_to(cr, 12, 13);
    cairo_line_to(cr, 7, 9);
    cairo_line_to(cr, 7, 6);
    cairo_move_to(cr, 12, 15);
    cairo_line_to(cr, 17, 11);
    cairo_line_to(cr, 17, 8);
    Stroke(cr, 0xFFB8C0CC, 1.6);
    cairo_arc(cr, 12, 20, 2.2, 0, 2 * M_PI);
    Fill(cr, 0xFFB8C0CC);
  });
  Image("icon/icon_battery_bkg.png", 44, 20, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 1, 2, w - 6, h - 4, 3);
    Stroke(cr, 0xFFB8C0CC, 1.5);
    RoundRect(cr, w - 4, 7, 3, 6, 1);
    Fill(cr, 0xFFB8C0CC);
  });
  Image("icon/icon_batteryvalue.png", 44, 20, [](cairo_t* cr, double w, double h) {
    RoundRect(cr, 3.5, 4.5, w - 11, h - 9, 1.5);
    Fill(cr, 0xFF35C27F);
  });
  Image("icon/icon_charge.png", 12, 20, [](cairo_t* cr, double, double) {
    cairo_move_to(cr, 7, 2);
    cairo_line_to(cr, 2, 11);
    cairo_line_to(cr, 6, 11);
    cairo_line_to(cr, 5, 18);
    cairo_line_to(cr, 10, 9);
    cairo_line_to(cr, 6, 9);
    cairo_close_path(cr);
    Fill(cr, 0xFFF5C542);
  });
  // The picker's media icons, 20 × 20.
  auto media = [](const char* name, const std::function<void(cairo_t*)>& glyph) {
    Image(std::string("icon/") + name, 20, 20, [&](cairo_t* cr, double, double) {
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      glyph(cr);
    });
  };
  const uint32_t c = kText;
  media("icon_pc.png", [c](cairo_t* cr) {
    RoundRect(cr, 2, 3, 16, 11, 1.5);
    Stroke(cr, c, 1.4);
    cairo_move_to(cr, 7, 17);
    cairo_line_to(cr, 13, 17);
    Stroke(cr, c, 1.4);
  });
  media("icon_cal.png", [c](cairo_t* cr) {
    RoundRect(cr, 3, 2, 14, 16, 2);
    Stroke(cr, c, 1.4);
    for (int i = 0; i < 3; ++i) {
      cairo_rectangle(cr, 6, 5 + i * 4, 8, 1.5);
      Fill(cr, c);
    }
  });
  media("icon_email.png", [c](cairo_t* cr) {
    RoundRect(cr, 2, 4, 16, 12, 1.5);
    Stroke(cr, c, 1.4);
    cairo_move_to(cr, 2.5, 5);
    cairo_line_to(cr, 10, 11);
    cairo_line_to(cr, 17.5, 5);
    Stroke(cr, c, 1.4);
  });
  media("icon_playpause.png", [c](cairo_t* cr) {
    cairo_move_to(cr, 3, 4);
    cairo_line_to(cr, 10, 10);
    cairo_line_to(cr, 3, 16);
    cairo_close_path(cr);
    Fill(cr, c);
    cairo_rectangle(cr, 12, 4, 2, 12);
    cairo_rectangle(cr, 16, 4, 2, 12);
    Fill(cr, c);
  });
  media("icon_pre.png", [c](cairo_t* cr) {
    cairo_rectangle(cr, 3, 4, 2, 12);
    Fill(cr, c);
    cairo_move_to(cr, 17, 4);
    cairo_line_to(cr, 6, 10);
    cairo_line_to(cr, 17, 16);
    cairo_close_path(cr);
    Fill(cr, c);
  });
  media("icon_next.png", [c](cairo_t* cr) {
    cairo_rectangle(cr, 15, 4, 2, 12);
    Fill(cr, c);
    cairo_move_to(cr, 3, 4);
    cairo_line_to(cr, 14, 10);
    cairo_line_to(cr, 3, 16);
    cairo_close_path(cr);
    Fill(cr, c);
  });
  auto speaker = [c](cairo_t* cr) {
    cairo_move_to(cr, 2, 7.5);
    cairo_line_to(cr, 5.5, 7.5);
    cairo_line_to(cr, 10, 3.5);
    cairo_line_to(cr, 10, 16.5);
    cairo_line_to(cr, 5.5, 12.5);
    cairo_line_to(cr, 2, 12.5);
    cairo_close_path(cr);
    Fill(cr, c);
  };
  media("icon_vol_down.png", [=](cairo_t* cr) {
    speaker(cr);
    cairo_move_to(cr, 13, 10);
    cairo_line_to(cr, 18, 10);
    Stroke(cr, c, 1.6);
  });
  media("icon_vol_up.png", [=](cairo_t* cr) {
    speaker(cr);
    cairo_move_to(cr, 13, 10);
    cairo_line_to(cr, 18, 10);
    cairo_move_to(cr, 15.5, 7.5);
    cairo_line_to(cr, 15.5, 12.5);
    Stroke(cr, c, 1.6);
  });
  media("icon_vol_mute.png", [=](cairo_t* cr) {
    speaker(cr);
    cairo_move_to(cr, 13, 7.5);
    cairo_line_to(cr, 18, 12.5);
    cairo_move_to(cr, 18, 7.5);
    cairo_line_to(cr, 13, 12.5);
    Stroke(cr, c, 1.6);
  });
  media("icon_home.png", [c](cairo_t* cr) {
    cairo_move_to(cr, 2, 10);
    cairo_line_to(cr, 10, 3);
    cairo_line_to(cr, 18, 10);
    cairo_move_to(cr, 5, 8.5);
    cairo_line_to(cr, 5, 17);
    cairo_line_to(cr, 15, 17);
    cairo_line_to(cr, 15, 8.5);
    Stroke(cr, c, 1.5);
  });
  media("icon_web_search.png", [c](cairo_t* cr) {
    cairo_arc(cr, 8.5, 8.5, 5.5, 0, 2 * M_PI);
    Stroke(cr, c, 1.6);
    cairo_move_to(cr, 12.5, 12.5);
    cairo_line_to(cr, 17.5, 17.5);
    Stroke(cr, c, 2);
  });
}

void Logos() {
  Image("logo/logo.png", 140, 32, [](cairo_t* cr, double, double h) {
    LogoMark(cr, 0, 2, h - 4);
    cairo_select_font_face(cr, "Open Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    cairo_move_to(cr, 36, 22);
    Src(cr, kText);
    cairo_show_text(cr, "BRUMKEY");
  });
  Image("logo/logo_loading.png", 64, 64, [](cairo_t* cr, double w, double) { LogoMark(cr, 0, 0, w); });
}

// ---- keyboard pictures --------------------------------------------------------

// "x#y#w#h"; false for anything else.
bool ParseRect(const char* text, double* r) {
  return text && std::sscanf(text, "%lf#%lf#%lf#%lf", &r[0], &r[1], &r[2], &r[3]) == 4 && r[2] > 0 && r[3] > 0;
}

bool KeyboardPicture(const fs::path& layout) {
  pugi::xml_document doc;
  if (!doc.load_file(layout.c_str())) return false;
  pugi::xml_node kb = doc.child("device.info").child("Keyboard");
  const int w = kb.attribute("width").as_int(), h = kb.attribute("height").as_int();
  const std::string image = kb.attribute("image").as_string();
  if (!kb || w <= 0 || h <= 0 || w > 4096 || h > 4096 || image.empty() || image.find("..") != std::string::npos)
    return false;
  return Image("keyboard/" + image, w, h, [&](cairo_t* cr, double W, double H) {
    // Chassis.
    RoundRect(cr, 2, 2, W - 4, H - 4, 14);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, H);
    cairo_pattern_add_color_stop_rgb(g, 0, 0x23 / 255.0, 0x28 / 255.0, 0x31 / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 0x15 / 255.0, 0x19 / 255.0, 0x1F / 255.0);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    Stroke(cr, 0xFF343C4A, 1.5);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    for (pugi::xml_node key : kb.child("KeyItems").children("key")) {
      double r[4];
      if (!ParseRect(key.attribute("rect").as_string(), r)) continue;
      // Cap: a darker skirt and a lighter top face.
      RoundRect(cr, r[0], r[1], r[2], r[3], 5);
      Fill(cr, 0xFF0B0E12);
      RoundRect(cr, r[0] + 2, r[1] + 1.5, r[2] - 4, r[3] - 5, 4);
      cairo_pattern_t* top = cairo_pattern_create_linear(0, r[1], 0, r[1] + r[3]);
      cairo_pattern_add_color_stop_rgb(top, 0, 0x30 / 255.0, 0x36 / 255.0, 0x41 / 255.0);
      cairo_pattern_add_color_stop_rgb(top, 1, 0x24 / 255.0, 0x29 / 255.0, 0x32 / 255.0);
      cairo_set_source(cr, top);
      cairo_fill(cr);
      cairo_pattern_destroy(top);
      const std::string legend = key.attribute("name").as_string();
      if (legend.empty()) continue;
      double size = legend.size() > 3 ? 9 : 11;
      cairo_set_font_size(cr, size);
      cairo_text_extents_t ext;
      cairo_text_extents(cr, legend.c_str(), &ext);
      while (ext.width > r[2] - 8 && size > 6) {
        cairo_set_font_size(cr, --size);
        cairo_text_extents(cr, legend.c_str(), &ext);
      }
      cairo_move_to(cr, r[0] + 6 - ext.x_bearing, r[1] + 5 - ext.y_bearing);
      Src(cr, 0xFFDCE1E8);
      cairo_show_text(cr, legend.c_str());
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <skin directory> [<layouts directory>]\n", argv[0]);
    return 2;
  }
  g_out = argv[1];
  std::error_code ec;
  fs::create_directories(g_out, ec);
  if (ec) {
    std::fprintf(stderr, "kelvo-skin-gen: cannot create %s\n", argv[1]);
    return 1;
  }
  Backgrounds();
  Buttons();
  Checks();
  Fields();
  Colours();
  ScrollBars();
  Icons();
  Logos();
  bool ok = SpinnerGif("loading.gif", 100, 0x333333);
  ok = SpinnerGif("loading/loading.gif", 64, 0x181C24) && ok;
  ok = WriteIco("Brumkey.ico") && ok;
  if (argc == 3) {
    std::error_code dirEc;
    for (const auto& entry : fs::directory_iterator(argv[2], dirEc))
      if (entry.path().extension() == ".xml" && !KeyboardPicture(entry.path())) {
        std::fprintf(stderr, "kelvo-skin-gen: no keyboard picture from %s\n", entry.path().c_str());
        ok = false;
      }
  }
  std::printf("kelvo-skin-gen: %d files in %s\n", g_count, argv[1]);
  return ok ? 0 : 1;
}
