#include "app/keyboard_layout.h"

#include <algorithm>
#include <climits>

#include "store/xml_document.h"
#include "util/text.h"

namespace brumkey {
namespace {

bool Flag(const std::wstring& text) { return ParseDecimal(text) == 1; }

bool AllDigits(std::wstring_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Saturating: absurd sizes in a file must not overflow.
int SaturatedSum(int a, int b) {
  return static_cast<int>(std::clamp<long long>(static_cast<long long>(a) + b, INT32_MIN, INT32_MAX));
}

KeyRect MakeRect(int x, int y, int w, int h) { return {x, y, SaturatedSum(x, w), SaturatedSum(y, h)}; }

}  // namespace

void KeyboardLayout::ClearGrid() {
  for (auto& row : keyGrid) row.fill(kEmptyGridCell);
}

bool ParseRowCol(const std::wstring& text, int& row, int& col) {
  if (text.size() < 3) return false;
  std::wstring_view rowText = std::wstring_view(text).substr(0, 1);
  std::wstring_view colText = std::wstring_view(text).substr(text.size() == 3 ? 2 : text.size() - 2);
  if (!AllDigits(rowText) || !AllDigits(colText)) return false;
  int r = rowText[0] - L'0';
  int c = ParseDecimal(colText);
  if (r >= kKeyGridRows || c >= kKeyGridCols) return false;
  row = r;
  col = c;
  return true;
}

KeyRect ParseKeyRect(const std::wstring& text) {
  std::wstring rest = text;
  int values[3] = {0, 0, 0};
  for (int& v : values) {
    size_t hash = rest.find(L'#');
    if (hash == std::wstring::npos) {
      v = 0;  // the text stays for the next number
      continue;
    }
    v = ParseDecimal(std::wstring_view(rest).substr(0, hash));
    rest.erase(0, hash + 1);
  }
  return MakeRect(values[0], values[1], values[2], ParseDecimal(rest));
}

bool ApplyLayoutDocument(XmlDocument& xml, KeyboardLayout& layout, LayoutLoadResult& result) {
  if (!xml.FindElem(L"device.info")) return false;
  result.fileLoaded = true;
  xml.IntoElem();

  if (xml.FindElem(L"menu")) {
    layout.pageFlags = 0x41;
    if (Flag(xml.GetAttrib(L"macro"))) layout.pageFlags += kPageMacro;
    if (Flag(xml.GetAttrib(L"light_mode"))) layout.pageFlags += kPageLighting;
    result.menuPresent = true;
    result.tabVisible = {(layout.pageFlags & kPageKeys) != 0, (layout.pageFlags & kPageMacro) != 0,
                         (layout.pageFlags & kPageLighting) != 0};
  }
  if (xml.FindElem(L"function")) layout.sleepTime = Flag(xml.GetAttrib(L"sleep_time"));
  if (xml.FindElem(L"firmware")) {
    layout.firmwareVersion = xml.GetAttrib(L"version");
    layout.firmwareFile = xml.GetAttrib(L"file");
    layout.firmwareUrl = xml.GetAttrib(L"url");
    result.firmwarePresent = true;
    result.firmwareButtonVisible = !layout.firmwareVersion.empty() && !layout.firmwareFile.empty();
  }
  if (xml.FindElem(L"light")) {
    layout.rgbKeyboard = Flag(xml.GetAttrib(L"rgb_keyboard"));
    layout.defaultLightMode = ParseDecimal(xml.GetAttrib(L"default_mode"));
    layout.defaultBrightness = ParseDecimal(xml.GetAttrib(L"default_brightness"));
    layout.defaultSpeed = ParseDecimal(xml.GetAttrib(L"default_speed"));
    layout.brightnessMax = ParseDecimal(xml.GetAttrib(L"brightness_max"));
    layout.speedMax = ParseDecimal(xml.GetAttrib(L"speed_max"));
    result.lightPresent = true;
    layout.lightModes.clear();
    xml.IntoElem();
    while (xml.FindElem(L"info")) {
      LightSetting mode;
      mode.name = xml.GetAttrib(L"name");
      mode.mode = ParseDecimal(xml.GetAttrib(L"mode"));
      mode.config_func = ParseDecimal(xml.GetAttrib(L"attribute"));
      mode.brightness = layout.defaultBrightness;
      mode.color_value = kInitialLightColor;
      layout.lightModes.push_back(std::move(mode));
    }
    xml.OutOfElem();
  }

  layout.keyIndexByCode.clear();
  layout.lightIndexByCode.clear();
  layout.rowCount = 0;
  layout.colCount = 0;
  layout.ClearGrid();
  layout.keyItems.clear();
  result.keysCleared = true;

  if (xml.FindElem(L"Keyboard")) {
    layout.xpos = ParseDecimal(xml.GetAttrib(L"xpos"));
    layout.ypos = ParseDecimal(xml.GetAttrib(L"ypos"));
    layout.width = ParseDecimal(xml.GetAttrib(L"width"));
    layout.height = ParseDecimal(xml.GetAttrib(L"height"));
    layout.image = xml.GetAttrib(L"image");
    // Everything that walks the grid trusts these counts.
    layout.rowCount = std::clamp(ParseDecimal(xml.GetAttrib(L"row_count")), 0, kKeyGridRows);
    layout.colCount = std::clamp(ParseDecimal(xml.GetAttrib(L"col_count")), 0, kKeyGridCols);
    result.keyboardPresent = true;
    result.viewRect = MakeRect(layout.xpos, layout.ypos, layout.width, layout.height);
    result.picture = L"keyboard/" + layout.image;
    xml.IntoElem();
    if (xml.FindElem(L"KeyItems")) {
      xml.IntoElem();
      while (xml.FindElem(L"key")) {
        KeyItem item;
        item.code = static_cast<uint32_t>(ParseHex(xml.GetAttrib(L"code")));
        item.name = xml.GetAttrib(L"name");
        item.desc = xml.GetAttrib(L"desc");
        const int index = ParseDecimal(xml.GetAttrib(L"key_index"));
        // A negative position would index before every report table.
        if (index >= 0) {
          layout.keyIndexByCode[item.code] = index;
          layout.lightIndexByCode[item.code] = index;
        }
        int row = 0, col = 0;
        if (ParseRowCol(xml.GetAttrib(L"row_col"), row, col)) {
          layout.keyGrid[row][col] = static_cast<uint8_t>(item.code & 0xFF);
        }
        item.rect = ParseKeyRect(xml.GetAttrib(L"rect"));
        layout.keyItems.push_back(std::move(item));
      }
      xml.OutOfElem();
    }
    xml.OutOfElem();
  }
  return true;
}

LayoutLoadResult LoadKeyboardLayout(int deviceType, const std::vector<DeviceEntry>& keyboards,
                                    const std::wstring& programDir, const std::wstring& dataRoot,
                                    ProfileStore& store, KeyboardLayout& layout) {
  LayoutLoadResult result;
  layout.firmwareUrl.clear();

  std::wstring name, layoutName;
  for (const DeviceEntry& entry : keyboards) {
    if (entry.deviceType == deviceType) {
      name = entry.name;
      layoutName = entry.layoutName;
      result.modelFound = true;
      break;
    }
  }
  layout.currentDeviceType = deviceType;

  {
    ProfileStore::Lock lock = store.Hold();
    if (store.IsOpened()) {
      store.Close();
      store.SetOpened(false);
    }
    result.databaseOpened = store.Open(dataRoot, name);
    store.SetCurrentDeviceType(deviceType);
  }
  layout.currentKeyboardName = name;

  std::wstring dir = programDir;
  if (!dir.empty() && dir.back() != L'/') dir += L'/';
  result.layoutPath = dir + L"layouts/" + layoutName + L".xml";
  XmlDocument xml;
  if (!xml.Load(result.layoutPath) || !xml.Parse()) return result;
  ApplyLayoutDocument(xml, layout, result);
  return result;
}

}  // namespace brumkey
