#pragma once
// The toolkit's drawing surface: a Cairo ARGB32 (premultiplied) image
// surface with the operations the controls need — copies, constant-alpha
// blends, images and strip frames, nine-grids, gradients, paths and text.
// It stands where a device context and a GDI+ Graphics would be elsewhere.
#include <memory>
#include <string>
#include <vector>

#include "kelvo/geometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace kelvo {

// A decoded picture (PNG, GIF with its frames, BMP, JPEG). Immutable after
// loading, so one image is shared by every control that names the file.
class Image {
 public:
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  static std::shared_ptr<Image> FromFile(const std::string& path);
  static std::shared_ptr<Image> FromBytes(const void* data, size_t size);
  // Takes over one reference of an ARGB32 image surface.
  static std::shared_ptr<Image> FromSurface(cairo_surface_t* surface);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Animation frames in the time dimension (1 for still pictures).
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  int FrameDelayMs(int frame) const;
  cairo_surface_t* Surface(int frame = 0) const;

 private:
  Image() = default;
  static std::shared_ptr<Image> FromAnimation(void* animation);
  int width_ = 0;
  int height_ = 0;
  std::vector<cairo_surface_t*> frames_;
  std::vector<int> delays_;
};
using ImagePtr = std::shared_ptr<Image>;

struct FontSpec {
  std::wstring face = L"Arial";
  int sizePx = 14;
  int style = 0;  // bit 1 bold, 2 italic, 4 underline, 8 strike-out
};

enum FontStyleBits { kFontRegular = 0, kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeout = 8 };

enum class TextAlign { Near = 0, Center = 1, Far = 2 };

struct TextFormat {
  TextAlign align = TextAlign::Near;
  TextAlign lineAlign = TextAlign::Near;
  bool wrap = false;
  bool ellipsis = false;
};

struct TextExtent {
  double width = 0;       // logical width of the widest line
  double height = 0;      // logical height of all lines
  double lineHeight = 0;  // height of one line of the font
  int lines = 0;
};

class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height);
  // Draws into an existing surface (a window's back buffer); adds a reference.
  explicit Canvas(cairo_surface_t* target);
  ~Canvas();
  Canvas(Canvas&& other) noexcept;
  Canvas& operator=(Canvas&& other) noexcept;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool IsValid() const { return cr_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  cairo_surface_t* Surface() const { return surface_; }
  cairo_t* Context() const { return cr_; }
  // Replaces the surface with a new transparent one; false for a size < 1.
  bool Reset(int width, int height);

  void Save();
  void Restore();
  void Clip(const CRect& r);
  CRect ClipBox() const;

  // Paints over what is there (alpha honoured).
  void FillRect(const CRect& r, ARGB colour);
  // Replaces the pixels (no blending), e.g. full transparency.
  void SetPixels(const CRect& r, ARGB colour);
  // Copy of a rectangle of src (at sx, sy) to dst, replacing the pixels.
  void Copy(const CRect& dst, const Canvas& src, int sx, int sy);
  // src rectangle scaled onto dst with constant alpha (0–255), blended over.
  void Blend(const CRect& dst, const Canvas& src, const CRect& srcRect, int alpha);

  // A part of an image scaled onto dst, blended over with constant alpha.
  void DrawImage(const Image& img, const CRect& dst, int sx, int sy, int sw, int sh, int alpha = 255,
                 int frame = 0);
  void DrawImage(const Image& img, int x, int y);
  // Nine-grid: corners unscaled, edges stretched along, centre both ways.
  void DrawNineGrid(const Image& img, const CRect& dst, int sx, int sy, int sw, int sh, int left, int top,
                    int right, int bottom);

  void LinearGradient(const CRect& r, ARGB from, ARGB to, bool vertical);
  void DrawLine(double x1, double y1, double x2, double y2, ARGB colour, double width = 1.0);
  // Path of a rectangle with elliptic corners rx × ry (0 = square corners).
  void RoundRectPath(double x, double y, double w, double h, double rx, double ry);
  void FillPath(ARGB colour, bool keep = false);
  void StrokePath(ARGB colour, double width);

  TextExtent MeasureText(const std::wstring& text, const FontSpec& font, int wrapWidth = -1) const;
  // Lays the text out in box with the format and paints it.
  void DrawText(const std::wstring& text, const CRect& box, const FontSpec& font, ARGB colour,
                const TextFormat& fmt = {});

  // Un-premultiplied ARGB of one pixel (0 outside the surface).
  ARGB PixelAt(int x, int y) const;
  bool WritePng(const std::string& path) const;

 private:
  void Release();
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Makes a font file known to the text layer under its own family name; true
// when it was added.
bool AddPrivateFontFile(const std::string& path);
// Family name of the first face in a font file ("" when unreadable).
std::string FontFileFamily(const std::string& path);
// True when a face of that family (after aliases) is installed or added.
bool HasFontFamily(const std::wstring& face);

}  // namespace kelvo
