#pragma once
// Optional decorations: a soft drop shadow that follows its window, and an
// animated splash window.
#include <string>
#include <vector>

#include "kelvo/window.h"

namespace kelvo {

class MShadow {
 public:
  MShadow();
  ~MShadow();
  MShadow(const MShadow&) = delete;
  MShadow& operator=(const MShadow&) = delete;

  // Creates the shadow window under `owner`; 1 when it exists.
  int Create(HWND owner, int show, bool force);
  // Ranges: size −35..35, sharpness 0..35, darkness 0..255, offsets −35..35.
  // Values outside are refused with 0.
  int SetSize(int size);
  int SetSharpness(unsigned sharpness);
  int SetDarkness(unsigned darkness);
  int SetPosition(int x, int y);
  int SetColor(COLORREF colour);
  int SetImage(const wchar_t* file, CRect corners);
  int SetImage(unsigned resourceId, CRect corners);
  int Show(int show);
  // Keeps up with the owner's moves, sizes and visibility.
  void Follow(unsigned msg, WPARAM wParam, LPARAM lParam);

  HWND GetHwnd() const { return hwnd_; }
  int GetSize() const { return size_; }
  int GetSharpness() const { return sharpness_; }
  int GetDarkness() const { return darkness_; }
  // Renders the shadow bitmap for an owner of w × h (exposed for tests).
  Canvas RenderShadow(int w, int h) const;

 private:
  void Update();
  HWND owner_ = nullptr;
  HWND hwnd_ = nullptr;
  int size_ = 0;
  int sharpness_ = 5;
  int darkness_ = 150;
  int offsetX_ = 5;
  int offsetY_ = 5;
  COLORREF colour_ = 0;
  ImagePtr image_;
  CRect corners_;
  bool shown_ = false;
  bool disabled_ = false;
};

class LoadingWnd : public MWindow {
 public:
  LoadingWnd();
  const wchar_t* GetWindowClassName() const override { return L"KelvoLoading"; }
  HWND Create(HWND owner, CRect rect, const std::wstring& text);
  int LoadAnimateImage(const std::wstring& file, int index);
  void SetText(const std::wstring& text);
  LRESULT OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
  int GetFrame() const { return frame_; }
  const Canvas& Frame() const { return canvas_; }

 private:
  void Render();
  ImagePtr logo_;
  ImagePtr gif_;
  ImagePtr close_;
  std::vector<ImagePtr> extra_;
  std::wstring text_;
  int frame_ = 0;
  Canvas canvas_;
};

}  // namespace kelvo
