#pragma once
// Fixed key vocabularies: virtual-key to key-code translation, short key
// legends, the fifteen keyboard shortcuts, media and mouse function numbers.
#include <cstdint>
#include <string>
#include <vector>

namespace brumkey {

// Key function types (macro_type of a key assignment row).
enum KeyFunctionType : int {
  kFnNone = 0,
  kFnDisabled = 1,
  kFnKey = 2,
  kFnMacro = 3,
  kFnMouse = 5,
  kFnMedia = 6,
  kFnShortcut = 7,
  kFnRunProgram = 8,
  kFnOpenWebsite = 9,
  kFnTypeText = 10,
  kFnSwitchProfile = 11,
  kFnExtendedKey = 12,
};

// Macro event types.
enum MacroEventType : int { kEventDelay = 1, kEventPress = 2, kEventRelease = 3 };

// Windows virtual-key code -> keyboard key code (HID usage, or the device's
// media codes 232-249). 0 for anything unlisted, whatever the int.
int VkToKeyCode(int vk);
// Key code -> the short legend shown for a recorded event; "" when unlisted.
std::wstring KeyLegend(int keyCode);

// One step of a shortcut as the keyboard plays it.
struct ShortcutStep {
  uint8_t usage = 0;
  bool release = false;
};
inline constexpr int kShortcutCount = 15;
// Steps of shortcut 1-15 (modifiers pressed first, released in reverse);
// empty for other numbers.
std::vector<ShortcutStep> ShortcutSteps(int number);
// Language string labelling shortcut n (701-715); 0 for other numbers.
int ShortcutLabel(int number);

// Media function numbers 1-7 of type 6, and their labels 230-236.
inline constexpr int kMediaFunctionCount = 7;
// The media key code (232-249) a type-6 number stands for; 0 if none.
int MediaFunctionCode(int number);
int MediaFunctionLabel(int number);
// Description string of a media key code 232-249; 0 if none.
int MediaCodeDescription(int code);

// Mouse function numbers of type 5: 1 left, 2 middle, 3 right, 7, 8.
bool IsMouseFunction(int number);
int MouseFunctionLabel(int number);

}  // namespace brumkey
