#pragma once
// Process-wide values the toolkit keeps for the program.
#include <string>

namespace kelvo {

class Manager {
 public:
  static void SetDeviceName(const std::wstring& name);
  static std::wstring GetDeviceName();
  static void SetInstance(void* instance);
  static void* GetInstance();
  static void SetTheme(const std::wstring& theme);
  static std::wstring GetTheme();
};

}  // namespace kelvo
