#pragma once
// Drawing routines every control shares, on a Canvas.
#include <string>
#include <vector>

#include "kelvo/geometry.h"
#include "ui/platform/gfx/canvas.h"

namespace kelvo {

// Text format flags of DrawTextW.
enum : unsigned {
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_CALCRECT = 0x400,
  DT_END_ELLIPSIS = 0x8000,
};

class MRender {
 public:
  static ImagePtr LoadImageFromFile(const std::wstring& path);
  // Resource bytes decoded; `application` selects the program's resources
  // over the toolkit's.
  static ImagePtr LoadImageFromIDResource(unsigned id, const std::wstring& type, bool application);
  // The icon shown for a file: the picture itself for images and icon files
  // (there is no per-file icon association to ask); null otherwise.
  static ImagePtr LoadIconFromFile(const std::wstring& path);

  // BMP file of 24 bits per pixel (the display depth here), rows padded to
  // 4 bytes, written anew; 1 when written.
  static int SaveBitmapToFile(const Canvas& bitmap, const std::wstring& path);

  static void FillSolidRect(Canvas& dc, const CRect* rect, COLORREF colour);
  static void FillSolidRect(Canvas& dc, int x, int y, int w, int h, COLORREF colour);
  // Fills only when the alpha is not 0.
  static void DrawColor(Canvas& dc, const CRect& rect, ARGB colour);
  // Pure black becomes colour + 1, so black never matches a colour key.
  static void CheckAlphaColor(unsigned long& colour);
  static void DrawRectangle() {}

  // Average alpha of the two ends; nothing at 0, constant-alpha blend below 255.
  static void DrawGradient(Canvas& dc, const CRect& rect, ARGB from, ARGB to, bool vertical, int steps);

  // Line-by-line constant-alpha blend of src over dst (rows for vertical,
  // columns for horizontal); percent 0 = opaque, 100 = invisible.
  static void DrawVerticalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect,
                                     const CRect& srcRect, int topPercent, int bottomPercent);
  static void DrawHorizontalTransition(Canvas& dst, const Canvas& src, const CRect& dstRect,
                                       const CRect& srcRect, int leftPercent, int rightPercent);
  // Radial fade of the n × n bottom-right corner of rect.
  static void DrawRightBottomTransition(Canvas& dst, const Canvas& src, const CRect& rect, int count,
                                        COLORREF unused);

  static void DrawImageFrame(Canvas& g, const Image* image, const CRect& dst, int srcX, int srcY, int srcW,
                             int srcH, int margin);
  static void DrawImageFrameMID(Canvas& g, const Image* image, const CRect& dst, int srcX, int srcY,
                                int srcW, int srcH, int left, int top, int right, int bottom);

  // Corner radii w/(2k) and h/(2k) (the smaller of both when they differ by
  // more than 10); filled first when `fill`, then outlined.
  static void DrawRoundRectange(Canvas& g, float x, float y, float w, float h, float divisor, ARGB pen,
                                float penWidth, bool fill, ARGB fillColour);
  static void DrawRoundRectange(Canvas& g, float x, float y, float w, float h, float radius, ARGB fill);

  static CSize GetTextBounds(const FontSpec& font, const TextFormat& format, const std::wstring& text);
  static CSize GetTextBounds(const FontSpec& font, const TextFormat& format, int width,
                             const std::wstring& text);
  static CSize GetTextBounds(const FontSpec& font, const std::wstring& text);
  static CPoint GetOriginPoint(int w, int h, int textW, int textH, unsigned align, unsigned valign);
  static CPoint GetOriginPoint(const CRect& rect, int textW, int textH, unsigned align, unsigned valign);
  // With DT_CALCRECT only measures, setting rect's right and bottom.
  static void DrawTextW(Canvas& dc, CRect& rect, const wchar_t* text, COLORREF colour, const FontSpec& font,
                        unsigned format);
};

struct ImageListEntry {
  ImagePtr image;
  int frameWidth = 0;
  int frameHeight = 0;
  int id = 0;
  int count = 1;
  std::wstring path;
};

// Icons loaded from full paths (not the skin directory), drawn by index.
class MImageList {
 public:
  int AddImage(const wchar_t* path, int id, int count);
  // The new index when appending (index -1); -1 when inserting before an
  // existing entry, for a null path or an invalid index.
  int InsertImage(int index, const wchar_t* path, int id, int count);
  void DrawItemIcon(Canvas& g, const CRect& rect, int index);
  void DrawItemIcon(Canvas& g, const CRect& rect, int index, int frame);
  void SetDrawImgSize(int w, int h) { drawSize_ = CSize(w, h); }
  CSize GetIconSize() const { return drawSize_; }
  const ImageListEntry* GetItemImageData(int index) const;
  const ImageListEntry* GetImageDataByID(int id) const;
  std::wstring GetImagePath(int index) const;
  std::wstring GetImagePathByID(int id) const;
  int GetImageCount() const { return static_cast<int>(entries_.size()); }
  void DelAllImages() { entries_.clear(); }

 private:
  std::vector<ImageListEntry> entries_;
  CSize drawSize_;
};

}  // namespace kelvo
