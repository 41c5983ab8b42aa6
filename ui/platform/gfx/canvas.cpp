#include "ui/platform/gfx/canvas.h"

#include <cairo.h>

#include <cmath>
#include <utility>

namespace kelvo {
namespace {

void SetSource(cairo_t* cr, ARGB c) {
  cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                        (c >> 24) / 255.0);
}

void RectPath(cairo_t* cr, const CRect& r) { cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height()); }

// Paints the sub-rectangle (sx, sy, sw, sh) of src scaled onto dst.
void PaintScaled(cairo_t* cr, cairo_surface_t* src, double dx, double dy, double dw, double dh, double sx,
                 double sy, double sw, double sh, double alpha) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || !src) return;
  cairo_save(cr);
  cairo_rectangle(cr, dx, dy, dw, dh);
  cairo_clip(cr);
  cairo_translate(cr, dx, dy);
  const bool scaled = dw != sw || dh != sh;
  if (scaled) {
    // Sample only the source part, so a stretched skin part never bleeds
    // pixels of the neighbouring frame.
    cairo_scale(cr, dw / sw, dh / sh);
    cairo_surface_t* sub = cairo_surface_create_for_rectangle(src, sx, sy, sw, sh);
    cairo_set_source_surface(cr, sub, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_surface_destroy(sub);
  } else {
    cairo_set_source_surface(cr, src, -sx, -sy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  }
  if (alpha >= 1.0)
    cairo_paint(cr);
  else
    cairo_paint_with_alpha(cr, alpha);
  cairo_restore(cr);
}

}  // namespace

Canvas::Canvas(int width, int height) { Reset(width, height); }

Canvas::Canvas(cairo_surface_t* target) {
  if (!target || cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) return;
  surface_ = cairo_surface_reference(target);
  width_ = cairo_image_surface_get_width(target);
  height_ = cairo_image_surface_get_height(target);
  cr_ = cairo_create(surface_);
}

Canvas::~Canvas() { Release(); }

Canvas::Canvas(Canvas&& o) noexcept
    : surface_(std::exchange(o.surface_, nullptr)),
      cr_(std::exchange(o.cr_, nullptr)),
      width_(std::exchange(o.width_, 0)),
      height_(std::exchange(o.height_, 0)) {}

Canvas& Canvas::operator=(Canvas&& o) noexcept {
  if (this != &o) {
    Release();
    surface_ = std::exchange(o.surface_, nullptr);
    cr_ = std::exchange(o.cr_, nullptr);
    width_ = std::exchange(o.width_, 0);
    height_ = std::exchange(o.height_, 0);
  }
  return *this;
}

void Canvas::Release() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
  cr_ = nullptr;
  surface_ = nullptr;
  width_ = height_ = 0;
}

bool Canvas::Reset(int width, int height) {
  Release();
  if (width < 1 || height < 1) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return false;
  }
  surface_ = s;
  cr_ = cairo_create(s);
  width_ = width;
  height_ = height;
  return true;
}

void Canvas::Save() {
  if (cr_) cairo_save(cr_);
}
void Canvas::Restore() {
  if (cr_) cairo_restore(cr_);
}

void Canvas::Clip(const CRect& r) {
  if (!cr_) return;
  RectPath(cr_, r);
  cairo_clip(cr_);
}

CRect Canvas::ClipBox() const {
  if (!cr_) return {};
  double x1, y1, x2, y2;
  cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
  return CRect(static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)),
               static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(y2)));
}

void Canvas::FillRect(const CRect& r, ARGB colour) {
  if (!cr_ || r.IsRectEmpty() || AlphaOf(colour) == 0) return;
  SetSource(cr_, colour);
  RectPath(cr_, r);
  cairo_fill(cr_);
}

void Canvas::SetPixels(const CRect& r, ARGB colour) {
  if (!cr_ || r.IsRectEmpty()) return;
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  SetSource(cr_, colour);
  RectPath(cr_, r);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void Canvas::Copy(const CRect& dst, const Canvas& src, int sx, int sy) {
  if (!cr_ || !src.surface_ || dst.IsRectEmpty()) return;
  cairo_surface_flush(src.surface_);
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  RectPath(cr_, dst);
  cairo_clip(cr_);
  cairo_set_source_surface(cr_, src.surface_, dst.left - sx, dst.top - sy);
  cairo_paint(cr_);
  cairo_restore(cr_);
}

void Canvas::Blend(const CRect& dst, const Canvas& src, const CRect& s, int alpha) {
  if (!cr_ || !src.surface_ || alpha <= 0) return;
  cairo_surface_flush(src.surface_);
  PaintScaled(cr_, src.surface_, dst.left, dst.top, dst.Width(), dst.Height(), s.left, s.top, s.Width(),
              s.Height(), std::min(alpha, 255) / 255.0);
}

void Canvas::DrawImage(const Image& img, const CRect& dst, int sx, int sy, int sw, int sh, int alpha,
                       int frame) {
  if (!cr_ || alpha <= 0) return;
  PaintScaled(cr_, img.Surface(frame), dst.left, dst.top, dst.Width(), dst.Height(), sx, sy, sw, sh,
              std::min(alpha, 255) / 255.0);
}

void Canvas::DrawImage(const Image& img, int x, int y) {
  DrawImage(img, CRect(x, y, x + img.Width(), y + img.Height()), 0, 0, img.Width(), img.Height());
}

void Canvas::DrawNineGrid(const Image& img, const CRect& d, int sx, int sy, int sw, int sh, int l, int t,
                          int r, int b) {
  if (!cr_ || d.IsRectEmpty() || sw <= 0 || sh <= 0) return;
  cairo_surface_t* s = img.Surface();
  if (!s) return;
  // Margins larger than the target shrink proportionally instead of overlapping.
  int dl = l, dr = r, dt = t, db = b;
  if (dl + dr > d.Width()) {
    dl = d.Width() * l / std::max(1, l + r);
    dr = d.Width() - dl;
  }
  if (dt + db > d.Height()) {
    dt = d.Height() * t / std::max(1, t + b);
    db = d.Height() - dt;
  }
  const int cw = sw - l - r, ch = sh - t - b;       // source centre
  const int dcw = d.Width() - dl - dr, dch = d.Height() - dt - db;  // target centre
  const int x0 = d.left, x1 = d.left + dl, x2 = d.right - dr;
  const int y0 = d.top, y1 = d.top + dt, y2 = d.bottom - db;
  auto part = [&](int dx, int dy, int dw, int dh, int px, int py, int pw, int ph) {
    PaintScaled(cr_, s, dx, dy, dw, dh, sx + px, sy + py, pw, ph, 1.0);
  };
  part(x0, y0, dl, dt, 0, 0, l, t);                     // top-left
  part(x0, y1, dl, dch, 0, t, l, ch);                   // left
  part(x0, y2, dl, db, 0, sh - b, l, b);                // bottom-left
  part(x1, y0, dcw, dt, l, 0, cw, t);                   // top
  part(x2, y0, dr, dt, sw - r, 0, r, t);                // top-right
  part(x2, y1, dr, dch, sw - r, t, r, ch);              // right
  part(x2, y2, dr, db, sw - r, sh - b, r, b);           // bottom-right
  part(x1, y2, dcw, db, l, sh - b, cw, b);              // bottom
  part(x1, y1, dcw, dch, l, t, cw, ch);                 // centre
}

void Canvas::LinearGradient(const CRect& r, ARGB from, ARGB to, bool vertical) {
  if (!cr_ || r.IsRectEmpty()) return;
  cairo_pattern_t* p = vertical ? cairo_pattern_create_linear(0, r.top, 0, r.bottom)
                                : cairo_pattern_create_linear(r.left, 0, r.right, 0);
  auto stop = [&](double at, ARGB c) {
    cairo_pattern_add_color_stop_rgba(p, at, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                      (c & 0xFF) / 255.0, (c >> 24) / 255.0);
  };
  stop(0, from);
  stop(1, to);
  cairo_set_source(cr_, p);
  RectPath(cr_, r);
  cairo_fill(cr_);
  cairo_pattern_destroy(p);
}

void Canvas::DrawLine(double x1, double y1, double x2, double y2, ARGB colour, double width) {
  if (!cr_) return;
  SetSource(cr_, colour);
  cairo_set_line_width(cr_, width);
  // Odd widths on the pixel centre give crisp one-pixel lines.
  const double off = (static_cast<int>(width) % 2) ? 0.5 : 0.0;
  cairo_move_to(cr_, x1 + (x1 == x2 ? off : 0), y1 + (y1 == y2 ? off : 0));
  cairo_line_to(cr_, x2 + (x1 == x2 ? off : 0), y2 + (y1 == y2 ? off : 0));
  cairo_stroke(cr_);
}

void Canvas::RoundRectPath(double x, double y, double w, double h, double rx, double ry) {
  if (!cr_) return;
  cairo_new_path(cr_);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr_, x, y, w, h);
    return;
  }
  rx = std::min(rx, w / 2);
  ry = std::min(ry, h / 2);
  auto corner = [&](double cx, double cy, double a0) {
    cairo_save(cr_);
    cairo_translate(cr_, cx, cy);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, a0, a0 + M_PI / 2);
    cairo_restore(cr_);
  };
  cairo_move_to(cr_, x + rx, y);
  cairo_line_to(cr_, x + w - rx, y);
  corner(x + w - rx, y + ry, -M_PI / 2);
  cairo_line_to(cr_, x + w, y + h - ry);
  corner(x + w - rx, y + h - ry, 0);
  cairo_line_to(cr_, x + rx, y + h);
  corner(x + rx, y + h - ry, M_PI / 2);
  cairo_line_to(cr_, x, y + ry);
  corner(x + rx, y + ry, M_PI);
  cairo_close_path(cr_);
}

void Canvas::FillPath(ARGB colour, bool keep) {
  if (!cr_) return;
  SetSource(cr_, colour);
  keep ? cairo_fill_preserve(cr_) : cairo_fill(cr_);
}

void Canvas::StrokePath(ARGB colour, double width) {
  if (!cr_) return;
  SetSource(cr_, colour);
  cairo_set_line_width(cr_, width);
  cairo_stroke(cr_);
}

ARGB Canvas::PixelAt(int x, int y) const {
  if (!surface_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const uint32_t p = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
  const unsigned a = p >> 24;
  if (a == 0) return 0;
  auto un = [a](unsigned v) { return std::min(255u, (v * 255 + a / 2) / a); };
  return MakeARGB(a, un((p >> 16) & 0xFF), un((p >> 8) & 0xFF), un(p & 0xFF));
}

bool Canvas::WritePng(const std::string& path) const {
  if (!surface_) return false;
  cairo_surface_flush(surface_);
  return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace kelvo
