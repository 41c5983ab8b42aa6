#pragma once
// The loaded keyboard model: pages, firmware tool, lighting defaults and
// modes, the key table with its index maps and the 8 x 32 key grid. Loading
// a model also switches the store to that model's database.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/device_entry.h"
#include "store/profile_store.h"

namespace brumkey {

class XmlDocument;

inline constexpr int kKeyGridRows = 8;
inline constexpr int kKeyGridCols = 32;
inline constexpr uint8_t kEmptyGridCell = 0xFF;
// Fixed initial colour of every preset light mode (0x00BBGGRR).
inline constexpr int kInitialLightColor = 0xFDA810;

// Page bits of KeyboardLayout::pageFlags.
inline constexpr uint32_t kPageKeys = 0x01;
inline constexpr uint32_t kPageMacro = 0x02;
inline constexpr uint32_t kPageLighting = 0x04;
inline constexpr uint32_t kPageSettings = 0x40;

struct KeyRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const KeyRect&) const = default;
};

// One key of the keyboard views (created with an empty icon).
struct KeyItem {
  uint32_t code = 0;
  std::wstring name;
  std::wstring desc;
  KeyRect rect;
};

struct KeyboardLayout {
  KeyboardLayout() { ClearGrid(); }
  void ClearGrid();

  int currentDeviceType = 0;
  std::wstring currentKeyboardName;
  uint32_t pageFlags = 0x7F;
  std::wstring firmwareVersion, firmwareFile, firmwareUrl;
  bool sleepTime = false;
  bool rgbKeyboard = false;
  int defaultLightMode = 0, defaultBrightness = 0, defaultSpeed = 0;
  int brightnessMax = 0, speedMax = 0;
  // name (a language string number as text), mode, config_func = attribute,
  // brightness = defaultBrightness, color_value = kInitialLightColor.
  std::vector<LightSetting> lightModes;
  std::map<uint32_t, int> keyIndexByCode;
  std::map<uint32_t, int> lightIndexByCode;
  std::array<std::array<uint8_t, kKeyGridCols>, kKeyGridRows> keyGrid{};
  int rowCount = 0, colCount = 0;
  // Keyboard picture and view placement (window client pixels).
  int xpos = 0, ypos = 0, width = 0, height = 0;
  std::wstring image;
  std::vector<KeyItem> keyItems;
};

// What the main window applies after a load.
struct LayoutLoadResult {
  bool modelFound = false;       // a keyboard entry had the device type
  std::wstring layoutPath;
  bool databaseOpened = false;
  bool fileLoaded = false;       // parsed with a device.info root
  bool menuPresent = false;      // tab positions 1-3 follow pageFlags bits 0-2
  std::array<bool, 3> tabVisible{};
  bool firmwarePresent = false;  // without it the button keeps its visibility
  bool firmwareButtonVisible = false;
  bool lightPresent = false;     // slider maxima and mode list replaced
  bool keysCleared = false;      // views of the set page bits were emptied
  bool keyboardPresent = false;  // views placed and filled from keyItems
  KeyRect viewRect;
  std::wstring picture;          // "keyboard/" + image, in the skin directory
};

// "r,c": row is the first character, column the last one (3 characters) or
// the last two. False for text that names no cell inside the grid.
bool ParseRowCol(const std::wstring& text, int& row, int& col);
// "x#y#w#h" -> (x, y, x + w, y + h); a missing '#' reads that number as 0.
KeyRect ParseKeyRect(const std::wstring& text);

// Applies a parsed layout document to `layout` (steps after the database
// switch). False when the root is not device.info; the layout is then
// unchanged.
bool ApplyLayoutDocument(XmlDocument& xml, KeyboardLayout& layout, LayoutLoadResult& result);

// Makes the model of `deviceType` current: selects its keyboard entry,
// switches `store` to its database under `dataRoot`, then reads
// <programDir>layouts/<layoutName>.xml into `layout`.
LayoutLoadResult LoadKeyboardLayout(int deviceType, const std::vector<DeviceEntry>& keyboards,
                                    const std::wstring& programDir, const std::wstring& dataRoot,
                                    ProfileStore& store, KeyboardLayout& layout);

}  // namespace brumkey
