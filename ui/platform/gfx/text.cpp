// Text through Pango; faces resolve through fontconfig, so "Arial" finds its
// metric-compatible free face.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <set>

#include "ui/platform/gfx/canvas.h"
#include "util/text.h"

namespace kelvo {
namespace {

std::mutex g_fontMu;

// One layout context per thread: the font map is per thread in Pango.
PangoContext* ThreadContext() {
  thread_local struct Holder {
    PangoContext* ctx = nullptr;
    ~Holder() {
      if (ctx) g_object_unref(ctx);
    }
  } holder;
  if (!holder.ctx) {
    holder.ctx = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(holder.ctx, fo);
    cairo_font_options_destroy(fo);
  }
  return holder.ctx;
}

PangoLayout* MakeLayout(PangoContext* ctx, const std::wstring& text, const FontSpec& font, int wrapWidth,
                        const TextFormat* fmt) {
  PangoLayout* layout = pango_layout_new(ctx);
  const std::string utf8 = brumkey::WideToUtf8(text);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  PangoFontDescription* d = pango_font_description_new();
  const std::string face = brumkey::WideToUtf8(font.face);
  pango_font_description_set_family(d, face.c_str());
  pango_font_description_set_absolute_size(d, std::max(1, font.sizePx) * PANGO_SCALE);
  pango_font_description_set_weight(d, (font.style & kFontBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, (font.style & kFontItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  if (font.style & (kFontUnderline | kFontStrikeout)) {
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.style & kFontUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.style & kFontStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  if (wrapWidth > 0) {
    pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  if (fmt) {
    pango_layout_set_alignment(layout, fmt->align == TextAlign::Center ? PANGO_ALIGN_CENTER
                                       : fmt->align == TextAlign::Far  ? PANGO_ALIGN_RIGHT
                                                                       : PANGO_ALIGN_LEFT);
    if (fmt->ellipsis && wrapWidth > 0) {
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
      if (!fmt->wrap) pango_layout_set_height(layout, -1);
    }
  }
  return layout;
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TextExtent Canvas::MeasureText(const std::wstring& text, const FontSpec& font, int wrapWidth) const {
  TextExtent e;
  PangoContext* ctx = ThreadContext();
  PangoLayout* layout = MakeLayout(ctx, text, font, wrapWidth, nullptr);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  e.width = logical.width / static_cast<double>(PANGO_SCALE);
  e.height = logical.height / static_cast<double>(PANGO_SCALE);
  e.lines = std::max(1, pango_layout_get_line_count(layout));
  e.lineHeight = e.height / e.lines;
  if (text.empty()) e.width = 0;
  g_object_unref(layout);
  return e;
}

void Canvas::DrawText(const std::wstring& text, const CRect& box, const FontSpec& font, ARGB colour,
                      const TextFormat& fmt) {
  if (!cr_ || text.empty() || box.IsRectEmpty() || AlphaOf(colour) == 0) return;
  PangoContext* ctx = ThreadContext();
  // Without wrapping the layout still gets the box width so alignment and
  // ellipsis have a line to work in.
  PangoLayout* layout = MakeLayout(ctx, text, font, fmt.wrap || fmt.ellipsis ? box.Width() : -1, &fmt);
  if (!fmt.wrap && !fmt.ellipsis) pango_layout_set_width(layout, -1);
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  double x = box.left, y = box.top;
  if (!fmt.wrap && !fmt.ellipsis) {
    if (fmt.align == TextAlign::Center) x += (box.Width() - logical.width) / 2.0;
    if (fmt.align == TextAlign::Far) x += box.Width() - logical.width;
  }
  if (fmt.lineAlign == TextAlign::Center) y += (box.Height() - logical.height) / 2.0;
  if (fmt.lineAlign == TextAlign::Far) y += box.Height() - logical.height;
  cairo_save(cr_);
  cairo_rectangle(cr_, box.left, box.top, box.Width(), box.Height());
  cairo_clip(cr_);
  cairo_set_source_rgba(cr_, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                        (colour & 0xFF) / 255.0, (colour >> 24) / 255.0);
  cairo_move_to(cr_, std::round(x), std::round(y));
  pango_cairo_update_layout(cr_, layout);
  pango_cairo_show_layout(cr_, layout);
  cairo_restore(cr_);
  g_object_unref(layout);
}

bool AddPrivateFontFile(const std::string& path) {
  std::lock_guard lock(g_fontMu);
  // Every window asks at start-up; the face is added to the process once.
  static std::set<std::string> added;
  if (added.count(path)) return true;
  if (path.empty() || !FcConfigAppFontAddFile(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(path.c_str())))
    return false;
  added.insert(path);
  // Let this thread's font map see the new face.
  pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(pango_cairo_font_map_get_default()));
  return true;
}

std::string FontFileFamily(const std::string& path) {
  int count = 0;
  FcPattern* p = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count);
  if (!p) return "";
  FcChar8* fam = nullptr;
  std::string out;
  if (FcPatternGetString(p, FC_FAMILY, 0, &fam) == FcResultMatch && fam) out = reinterpret_cast<char*>(fam);
  FcPatternDestroy(p);
  return out;
}

bool HasFontFamily(const std::wstring& wface) {
  const std::string face = Lower(brumkey::WideToUtf8(wface));
  if (face.empty()) return false;
  // Faces the system replaces by a metric-compatible free face count as present.
  static const std::pair<const char*, const char*> kMetricAliases[] = {
      {"arial", "liberation sans"},
      {"helvetica", "liberation sans"},
      {"times new roman", "liberation serif"},
      {"courier new", "liberation mono"},
  };
  std::lock_guard lock(g_fontMu);
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(face.c_str()));
  if (!pat) return false;
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* match = FcFontMatch(nullptr, pat, &res);
  bool found = false;
  if (match) {
    FcChar8* fam = nullptr;
    for (int i = 0; !found && FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
      const std::string f = Lower(reinterpret_cast<char*>(fam));
      if (f == face) found = true;
      for (auto& [from, to] : kMetricAliases)
        if (face == from && f == to) found = true;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  return found;
}

}  // namespace kelvo
