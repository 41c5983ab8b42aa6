#pragma once
// The two small floating windows of the toolkit: the balloon next to a
// control (MAirBladder) and the three-line key tip (CKeyboardTips). Both
// are layered popups drawn with per-pixel alpha in the embedded face.
#include <string>

#include "kelvo/window.h"

namespace kelvo {

// Hide timer of both windows.
constexpr unsigned kTipHideTimerId = 10;

class TipWindowBase : public MWindow {
 public:
  int LoadBKImage(const std::wstring& file);
  int LoadBKImage(unsigned id, const std::wstring& type);
  void SetBackMode(enumBackMode mode, int margin) { backMode_ = mode; backMargin_ = margin; }
  // Creates the hidden window with an empty rectangle.
  HWND CreateTip(HWND owner, const wchar_t* title);
  LRESULT OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
  int OnInitDialog() override;
  const std::wstring& FontFace() const { return face_; }
  // The frame that was presented last (for tests).
  const Canvas& Frame() const { return frame_; }

 protected:
  virtual void Render(Canvas& dc) = 0;
  virtual bool HidesOnFocusLoss() const { return true; }
  void Present();
  void PlaceAndPaint(const CRect& screenRect);
  void DrawBackground(Canvas& dc);

  ImagePtr back_;
  int backMode_ = BACK_MODE_FRAME;
  int backMargin_ = 6;
  std::wstring face_;  // embedded family ("" when it could not be loaded)
  Canvas frame_;
};

class MAirBladder : public TipWindowBase {
 public:
  MAirBladder();
  const wchar_t* GetWindowClassName() const override { return L"KelvoAirBladder"; }
  int LoadArrowLImage(const std::wstring& file);
  int LoadArrowRImage(const std::wstring& file);
  int LoadArrowTImage(const std::wstring& file);
  int LoadArrowLImage(unsigned id, const std::wstring& type);
  int LoadArrowRImage(unsigned id, const std::wstring& type);
  int LoadArrowTImage(unsigned id, const std::wstring& type);
  int SetAirBladderMsg(const wchar_t* text, POINT anchor, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode);

  // The text colour suits the light background the balloon was drawn for;
  // a dark skin sets a light one.
  void SetTextColor(ARGB colour);
  const std::wstring& GetText() const { return text_; }
  int GetType() const { return type_; }
  int GetMode() const { return mode_; }
  int GetLineCount() const { return lines_; }
  bool IsCentred() const { return centred_; }
  // Window rectangle for the text size W × H (of one line) and the anchor.
  static CRect FitRect(int mode, int lines, int w, int h, POINT anchor);

 protected:
  void Render(Canvas& dc) override;
  bool HidesOnFocusLoss() const override { return mode_ != 5; }

 private:
  void AutoFit();
  std::wstring text_;
  POINT anchor_;
  int type_ = 1;
  int mode_ = 3;
  bool centred_ = false;
  ImagePtr arrowL_, arrowR_, arrowT_;
  int lineHeight_ = 18;
  int lines_ = 1;
  ARGB textColour_ = 0xFE141414;
};

class CKeyboardTips : public TipWindowBase {
 public:
  CKeyboardTips();
  const wchar_t* GetWindowClassName() const override { return L"KelvoKeyboardTip"; }
  int SetAirBladderMsg(const wchar_t* name, const wchar_t* line1, const wchar_t* line2, POINT anchor);

 protected:
  void Render(Canvas& dc) override;

 private:
  std::wstring name_, line1_, line2_;
  POINT anchor_;
  int type_ = 1;
  int mode_ = 3;
};

}  // namespace kelvo
