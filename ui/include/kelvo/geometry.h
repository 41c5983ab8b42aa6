#pragma once
// Rectangles and points in window client pixels, and the two colour forms
// the toolkit uses: COLORREF (0x00BBGGRR) and ARGB (0xAARRGGBB).
#include <algorithm>
#include <cstdint>

namespace kelvo {

using COLORREF = uint32_t;
using ARGB = uint32_t;

struct CPoint {
  int x = 0;
  int y = 0;
  constexpr CPoint() = default;
  constexpr CPoint(int px, int py) : x(px), y(py) {}
  constexpr bool operator==(const CPoint&) const = default;
};

struct CSize {
  int cx = 0;
  int cy = 0;
  constexpr CSize() = default;
  constexpr CSize(int w, int h) : cx(w), cy(h) {}
  constexpr bool operator==(const CSize&) const = default;
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr CRect() = default;
  constexpr CRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
  constexpr bool operator==(const CRect&) const = default;

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
  constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  constexpr bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr CPoint TopLeft() const { return {left, top}; }
  constexpr CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  constexpr void SetRectEmpty() { left = top = right = bottom = 0; }
  constexpr void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  constexpr void DeflateRect(int l, int t, int r, int b) { left += l; top += t; right -= r; bottom -= b; }
  constexpr void DeflateRect(int d) { DeflateRect(d, d, d, d); }
  constexpr void InflateRect(int d) { DeflateRect(-d, -d, -d, -d); }

  // Empty result when the two do not overlap; returns whether they do.
  constexpr bool IntersectRect(const CRect& a, const CRect& b) {
    CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom));
    if (r.IsRectEmpty()) r.SetRectEmpty();
    *this = r;
    return !r.IsRectEmpty();
  }
  // An empty operand does not grow the union.
  constexpr void UnionRect(const CRect& a, const CRect& b) {
    if (a.IsRectEmpty()) { *this = b; return; }
    if (b.IsRectEmpty()) { *this = a; return; }
    *this = CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom));
  }
  constexpr bool Intersects(const CRect& o) const {
    CRect r;
    return r.IntersectRect(*this, o);
  }
};

constexpr CRect Intersection(const CRect& a, const CRect& b) { CRect r; r.IntersectRect(a, b); return r; }
constexpr CRect Union(const CRect& a, const CRect& b) { CRect r; r.UnionRect(a, b); return r; }

// COLORREF helpers.
constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFF; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

constexpr ARGB MakeARGB(unsigned a, unsigned r, unsigned g, unsigned b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
constexpr unsigned AlphaOf(ARGB c) { return c >> 24; }
// A COLORREF as ARGB with the given alpha (255 for ordinary fills; the window
// background uses 254).
constexpr ARGB ColorRefToArgb(COLORREF c, unsigned alpha = 255) {
  return MakeARGB(alpha, GetRValue(c), GetGValue(c), GetBValue(c));
}
constexpr COLORREF ArgbToColorRef(ARGB c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

}  // namespace kelvo
