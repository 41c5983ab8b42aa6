#include "kelvo/render.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "kelvo/manager.h"
#include "util/text.h"

namespace kelvo {
namespace {

struct Pixels {
  uint32_t* data = nullptr;
  int stride = 0;  // in pixels
  int w = 0, h = 0;
  explicit Pixels(const Canvas& c) {
    cairo_surface_t* s = c.Surface();
    if (!s) return;
    cairo_surface_flush(s);
    data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    stride = cairo_image_surface_get_stride(s) / 4;
    w = c.Width();
    h = c.Height();
  }
  uint32_t* At(int x, int y) const { return data + static_cast<size_t>(y) * stride + x; }
  bool Inside(int x, int y) const { return data && x >= 0 && y >= 0 && x < w && y < h; }
};

// src over dst with constant alpha a (0–255), premultiplied words.
inline uint32_t BlendPixel(uint32_t dst, uint32_t src, unsigned a) {
  uint32_t out = 0;
  const unsigned sa = (((src >> 24) & 0xFF) * a + 127) / 255;
  for (int shift = 0; shift < 32; shift += 8) {
    const unsigned s = (((src >> shift) & 0xFF) * a + 127) / 255;
    const unsigned d = (dst >> shift) & 0xFF;
    out |= std::min(255u, s + (d * (255 - sa) + 127) / 255) << shift;
  }
  return out;
}

void Transition(Canvas& dst, const Canvas& src, const CRect& dr, const CRect& sr, int fromPercent,
                int toPercent, bool rows) {
  const int w = std::min(dr.Width(), sr.Width()), h = std::min(dr.Height(), sr.Height());
  const int n = rows ? h : w;
  if (w <= 0 || h <= 0) return;
  Pixels d(dst), s(src);
  if (!d.data || !s.data) return;
  const int a0 = 255 - 255 * fromPercent / 100;
  const int a1 = 255 - 255 * toPercent / 100;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int i = rows ? y : x;
      const int a = std::clamp(a0 + i * (a1 - a0) / n, 0, 255);
      const int dx = dr.left + x, dy = dr.top + y, sx = sr.left + x, sy = sr.top + y;
      if (!d.Inside(dx, dy) || !s.Inside(sx, sy)) continue;
      *d.At(dx, dy) = BlendPixel(*d.At(dx, dy), *s.At(sx, sy), a);
    }
  }
  cairo_surface_mark_dirty(dst.Surface());
}

TextFormat FormatFromFlags(unsigned fmt) {
  TextFormat f;
  f.align = (fmt & DT_CENTER) ? TextAlign::Center : (fmt & DT_RIGHT) ? TextAlign::Far : TextAlign::Near;
  f.lineAlign = (fmt & DT_VCENTER) ? TextAlign::Center : (fmt & DT_BOTTOM) ? TextAlign::Far : TextAlign::Near;
  f.wrap = (fmt & DT_WORDBREAK) && !(fmt & DT_SINGLELINE);
  f.ellipsis = (fmt & DT_END_ELLIPSIS) != 0;
  return f;
}

}  // namespace

ImagePtr MRender::LoadImageFromFile(const std::wstring& path) { return Image::FromFile(brumkey::WideToUtf8(path)); }

ImagePtr MRender::LoadIconFromFile(const std::wstring& path) { return Image::FromFile(brumkey::WideToUtf8(path)); }

ImagePtr MRender::LoadImageFromIDResource(unsigned id, const std::wstring& type, bool application) {
  const std::string file = Manager::ResourceFile(id, type, application);
  if (!file.empty()) return Image::FromFile(file);
  const std::vector<uint8_t> bytes = Manager::LoadResource(id, type, application);
  if (bytes.empty()) return nullptr;
  return Image::FromBytes(bytes.data(), bytes.size());
}

int MRender::SaveBitmapToFile(const Canvas& bmp, const std::wstring& path) {
  if (!bmp.IsValid()) return 0;
  const int w = bmp.Width(), h = bmp.Height();
  const int rowBytes = (w * 3 + 3) & ~3;
  const uint32_t imageSize = static_cast<uint32_t>(rowBytes) * h;
  std::ofstream out(brumkey::WideToUtf8(path), std::ios::binary | std::ios::trunc);
  if (!out) return 0;
  auto u16 = [&](uint16_t v) { out.put(static_cast<char>(v & 0xFF)).put(static_cast<char>(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  out.write("BM", 2);
  u32(54 + imageSize);
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<uint32_t>(w));
  u32(static_cast<uint32_t>(h));  // bottom-up
  u16(1);
  u16(24);
  u32(0);
  u32(imageSize);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  Pixels px(bmp);
  std::vector<char> row(rowBytes, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t p = *px.At(x, y);
      row[x * 3 + 0] = static_cast<char>(p & 0xFF);
      row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
    out.write(row.data(), rowBytes);
  }
  return out.good() ? 1 : 0;
}

void MRender::FillSolidRect(Canvas& dc, const CRect* r, COLORREF c) {
  if (r) dc.FillRect(*r, ColorRefToArgb(c));
}

void MRender::FillSolidRect(Canvas& dc, int x, int y, int w, int h, COLORREF c) {
  dc.FillRect(CRect(x, y, x + w, y + h), ColorRefToArgb(c));
}

void MRender::DrawColor(Canvas& dc, const CRect& r, ARGB c) {
  if (AlphaOf(c) != 0) dc.FillRect(r, c);
}

void MRender::CheckAlphaColor(unsigned long& colour) {
  if ((colour & 0xFFFFFF) == 0) colour += 1;
}

void MRender::DrawGradient(Canvas& dc, const CRect& r, ARGB from, ARGB to, bool vertical, int steps) {
  const unsigned alpha = (AlphaOf(from) + AlphaOf(to)) / 2;
  if (alpha == 0 || r.IsRectEmpty()) return;
  // Both ends opaque; the average alpha applies to the whole band.
  const ARGB f = from | 0xFF000000u, t = to | 0xFF000000u;
  if (alpha >= 255) {
    dc.LinearGradient(r, f, t, vertical);
    return;
  }
  Canvas scratch(r.Width(), r.Height());
  if (!scratch.IsValid()) return;
  scratch.LinearGradient(CRect(0, 0, r.Width(), r.Height()), f, t, vertical);
  dc.Blend(r, scratch, CRect(0, 0, r.Width(), r.Height()), static_cast<int>(alpha));
}

void MRender::DrawVerticalTransition(Canvas& dst, const Canvas& src, const CRect& dr, const CRect& sr, int top,
                                     int bottom) {
  Transition(dst, src, dr, sr, top, bottom, true);
}

void MRender::DrawHorizontalTransition(Canvas& dst, const Canvas& src, const CRect& dr, const CRect& sr,
                                       int left, int right) {
  Transition(dst, src, dr, sr, left, right, false);
}

void MRender::DrawRightBottomTransition(Canvas& dst, const Canvas& src, const CRect& rect, int n, COLORREF) {
  if (n < 1 || rect.IsRectEmpty()) return;
  Pixels d(dst), s(src);
  if (!d.data || !s.data) return;
  const int x0 = rect.right - n, y0 = rect.bottom - n;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const int x = x0 + i, y = y0 + j;
      if (!d.Inside(x, y) || !s.Inside(x, y)) continue;
      const double dist = std::min<double>(n, std::sqrt(double(i) * i + double(j) * j));
      const int a = std::clamp(static_cast<int>(255 - (255.0 / n) * dist), 0, 255);
      *d.At(x, y) = BlendPixel(*d.At(x, y), *s.At(x, y), a);
    }
  }
  cairo_surface_mark_dirty(dst.Surface());
}

void MRender::DrawImageFrame(Canvas& g, const Image* image, const CRect& dst, int sx, int sy, int sw, int sh,
                             int m) {
  if (image) g.DrawNineGrid(*image, dst, sx, sy, sw, sh, m, m, m, m);
}

void MRender::DrawImageFrameMID(Canvas& g, const Image* image, const CRect& dst, int sx, int sy, int sw, int sh,
                                int l, int t, int r, int b) {
  if (image) g.DrawNineGrid(*image, dst, sx, sy, sw, sh, l, t, r, b);
}

void MRender::DrawRoundRectange(Canvas& g, float x, float y, float w, float h, float k, ARGB pen, float penWidth,
                                bool fill, ARGB fillColour) {
  if (w <= 0 || h <= 0 || k <= 0) return;
  float rx = w / (2 * k), ry = h / (2 * k);
  if (std::fabs(rx - ry) > 10) rx = ry = std::min(rx, ry);
  g.RoundRectPath(x, y, w, h, rx, ry);
  if (fill) g.FillPath(fillColour, true);
  g.StrokePath(pen, penWidth);
}

void MRender::DrawRoundRectange(Canvas& g, float x, float y, float w, float h, float r, ARGB fill) {
  if (w <= 0 || h <= 0) return;
  g.RoundRectPath(x, y, w, h, r, r);
  g.FillPath(fill);
}

namespace {
// Line height with one pixel of air, rounded the way the text boxes of the
// controls expect.
int LineBox(double lineHeight) {
  const double fl = std::floor(lineHeight);
  return static_cast<int>(fl) + (lineHeight == fl ? 1 : 2);
}
}  // namespace

CSize MRender::GetTextBounds(const FontSpec& font, const TextFormat&, const std::wstring& text) {
  Canvas probe;
  const TextExtent e = probe.MeasureText(text, font);
  return CSize(static_cast<int>(std::ceil(e.width)), e.lines > 1 ? LineBox(e.height) : LineBox(e.lineHeight));
}

CSize MRender::GetTextBounds(const FontSpec& font, const TextFormat&, int width, const std::wstring& text) {
  Canvas probe;
  const TextExtent e = probe.MeasureText(text, font, width > 0 ? width : -1);
  const int H = LineBox(e.lineHeight);
  const int P = LineBox(e.height);
  return CSize(static_cast<int>(std::ceil(e.width)), H < P ? P + 5 : H + 1);
}

CSize MRender::GetTextBounds(const FontSpec& font, const std::wstring& text) {
  return GetTextBounds(font, TextFormat{}, text);
}

CPoint MRender::GetOriginPoint(int w, int h, int tw, int th, unsigned align, unsigned valign) {
  int x = 0, y = 0;
  if (align == 1) x = (w - tw) / 2;
  if (align == 2) x = w - tw;
  if (valign == 4) y = (h - th) / 2;
  if (valign == 8) y = h - th;
  return CPoint(x, y);
}

CPoint MRender::GetOriginPoint(const CRect& r, int tw, int th, unsigned align, unsigned valign) {
  const CPoint o = GetOriginPoint(r.Width(), r.Height(), tw, th, align, valign);
  return CPoint(r.left + o.x, r.top + 2 + o.y);
}

void MRender::DrawTextW(Canvas& dc, CRect& rect, const wchar_t* text, COLORREF colour, const FontSpec& font,
                        unsigned format) {
  if (!text) return;
  const std::wstring t(text);
  if (format & DT_CALCRECT) {
    const bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    const TextExtent e = dc.MeasureText(t, font, wrap ? rect.Width() : -1);
    rect.right = rect.left + static_cast<int>(std::ceil(e.width));
    rect.bottom = rect.top + static_cast<int>(std::ceil(e.height));
    return;
  }
  dc.DrawText(t, rect, font, ColorRefToArgb(colour), FormatFromFlags(format));
}

int MImageList::AddImage(const wchar_t* path, int id, int count) { return InsertImage(-1, path, id, count); }

int MImageList::InsertImage(int index, const wchar_t* path, int id, int count) {
  if (!path || index < -1 || index > static_cast<int>(entries_.size())) return -1;
  if (index != -1 && index < static_cast<int>(entries_.size())) return -1;
  ImageListEntry e;
  e.path = path;
  e.id = id;
  e.count = std::max(1, count);
  e.image = Image::FromFile(brumkey::WideToUtf8(e.path));
  if (e.image) {
    e.frameWidth = e.image->Width() / e.count;
    e.frameHeight = e.image->Height();
  }
  entries_.push_back(std::move(e));
  return static_cast<int>(entries_.size()) - 1;
}

void MImageList::DrawItemIcon(Canvas& g, const CRect& rect, int index) { DrawItemIcon(g, rect, index, 0); }

void MImageList::DrawItemIcon(Canvas& g, const CRect& rect, int index, int frame) {
  const ImageListEntry* e = GetItemImageData(index);
  if (!e || !e->image || e->frameWidth <= 0) return;
  frame = std::clamp(frame, 0, e->count - 1);
  g.DrawImage(*e->image, rect, frame * e->frameWidth, 0, e->frameWidth, e->frameHeight);
}

const ImageListEntry* MImageList::GetItemImageData(int index) const {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return nullptr;
  return &entries_[index];
}

const ImageListEntry* MImageList::GetImageDataByID(int id) const {
  for (auto& e : entries_)
    if (e.id == id) return &e;
  return nullptr;
}

std::wstring MImageList::GetImagePath(int index) const {
  const ImageListEntry* e = GetItemImageData(index);
  return e ? e->path : L"";
}

std::wstring MImageList::GetImagePathByID(int id) const {
  const ImageListEntry* e = GetImageDataByID(id);
  return e ? e->path : L"";
}

}  // namespace kelvo
