#pragma once
// The window's tooltip: one tool covering the client area. It follows the
// mouse messages relayed to it and shows its text near the pointer after a
// short rest, like the system tooltip it stands for.
#include <string>

#include "ui/platform/common/platform.h"
#include "ui/platform/gfx/canvas.h"

namespace kelvo {

class TooltipWindow {
 public:
  explicit TooltipWindow(platform::HWND owner);
  ~TooltipWindow();
  bool Create();
  bool IsCreated() const { return hwnd_ != nullptr; }
  void SetText(const std::wstring& text);
  const std::wstring& Text() const { return text_; }
  void Activate(bool on);
  bool IsActive() const { return active_; }
  void Relay(const platform::MSG& msg);
  platform::HWND Hwnd() const { return hwnd_; }
  bool IsShown() const;
  // Shows now at a screen point (the rest delay elapsed).
  void ShowAt(int screenX, int screenY);
  void Hide();

  static constexpr unsigned kToolId = 1313;
  static constexpr unsigned kMaxWidth = 256;

 private:
  static platform::LRESULT Proc(platform::HWND, unsigned, platform::WPARAM, platform::LPARAM);
  platform::HWND owner_;
  platform::HWND hwnd_ = nullptr;
  std::wstring text_;
  bool active_ = false;
  int lastX_ = 0, lastY_ = 0;
  Canvas canvas_;
};

}  // namespace kelvo
