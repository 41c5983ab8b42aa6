#include "keys/key_codes.h"

#include <initializer_list>
#include <iterator>

namespace brumkey {

int VkToKeyCode(int vk) {
  if (vk >= 'A' && vk <= 'Z') return vk - 'A' + 4;
  if (vk >= '1' && vk <= '9') return vk - '1' + 30;
  if (vk >= 97 && vk <= 105) return vk - 97 + 89;    // keypad 1-9
  if (vk >= 112 && vk <= 123) return vk - 112 + 58;  // F1-F12
  if (vk >= 124 && vk <= 135) return vk - 124 + 104; // F13-F24
  if (vk >= 136 && vk <= 139) return vk;
  switch (vk) {
    case '0': return 39;
    case 8: return 42;
    case 9: return 43;
    case 13: return 40;
    case 19: return 72;
    case 20: return 57;
    case 27: return 41;
    case 32: return 44;
    case 33: return 75;
    case 34: return 78;
    case 35: return 77;
    case 36: return 74;
    case 37: return 80;
    case 38: return 82;
    case 39: return 79;
    case 40: return 81;
    case 44: return 70;
    case 45: return 73;
    case 46: return 76;
    case 91: return 227;
    case 92: return 231;
    case 93: return 101;
    case 96: return 98;
    case 106: return 85;
    case 107: return 87;
    case 108: return 88;
    case 109: return 86;
    case 110: return 99;
    case 111: return 84;
    case 144: return 83;
    case 145: return 71;
    case 160: return 225;
    case 161: return 229;
    case 162: return 224;
    case 163: return 228;
    case 164: return 226;
    case 165: return 230;
    case 166: return 243;
    case 167: return 244;
    case 168: return 246;
    case 169: return 245;
    case 170: return 247;
    case 171: return 248;
    case 172: return 241;
    case 173: return 235;
    case 174: return 233;
    case 175: return 234;
    case 176: return 239;
    case 177: return 237;
    case 178: return 236;
    case 179: return 238;
    case 180: return 240;
    case 181: return 232;
    case 182: return 249;
    case 183: return 242;
    case 186: return 51;
    case 187: return 46;
    case 188: return 54;
    case 189: return 45;
    case 190: return 55;
    case 191: return 56;
    case 192: return 53;
    case 193: return 135;
    case 219: return 47;
    case 220: return 49;
    case 221: return 48;
    case 222: return 52;
    case 226: return 100;
    case 254: return 175;
    case 666: return 50;  // non-US hash key
    default: return 0;
  }
}

std::wstring KeyLegend(int code) {
  if (code >= 4 && code <= 29) return std::wstring(1, static_cast<wchar_t>(L'A' + code - 4));
  if (code >= 30 && code <= 38) return std::wstring(1, static_cast<wchar_t>(L'1' + code - 30));
  if (code >= 89 && code <= 97) return std::wstring(1, static_cast<wchar_t>(L'1' + code - 89));
  if (code == 39 || code == 98) return L"0";
  if (code >= 58 && code <= 69) return L"F" + std::to_wstring(code - 57);
  switch (code) {
    case 40: return L"ENTER";
    case 41: return L"ESC";
    case 42: return L"backspace";
    case 43: return L"TAB";
    case 44: return L"SPACE";
    case 45: return L"-_";
    case 46: return L"+=";
    case 47: return L"[{";
    case 48: return L"]}";
    case 49: return L"\\";
    case 51: return L";:";
    case 52: return L"'";
    case 53: return L"~`";
    case 54: return L"<,";
    case 55: return L">.";
    case 56: return L"/?";
    case 57: return L"CAPS";
    case 70: return L"PRTSC";
    case 71: return L"SCRLK";
    case 72: return L"PASE";
    case 73: return L"INS";
    case 74: return L"HOME";
    case 75: return L"PG UP";
    case 76: return L"DEL";
    case 77: return L"END";
    case 78: return L"PG DN";
    case 79: return L"RIGHT";
    case 80: return L"LEFT";
    case 81: return L"DOWN";
    case 82: return L"UP";
    case 83: return L"NumLock";
    case 84: return L"/";
    case 85: return L"*";
    case 86: return L"-";
    case 87: return L"+";
    case 88: return L"Enter";
    case 99: return L".";
    case 100: return L"k45";
    case 101: return L"MENU";
    case 135: return L"k56";
    case 175: return L"FN";
    case 224: return L"CTRL";
    case 225: return L"SHIFT";
    case 226: return L"ALT";
    case 227: return L"WIN";
    case 228: return L"RCTRL";
    case 229: return L"RSHIFT";
    case 230: return L"RALT";
    default: return L"";
  }
}

namespace {
constexpr uint8_t kCtrl = 0xE0, kAlt = 0xE2, kWin = 0xE3;

// Keys held together: pressed in order, released in reverse.
void Chord(std::vector<ShortcutStep>& out, std::initializer_list<uint8_t> keys) {
  for (uint8_t k : keys) out.push_back({k, false});
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) out.push_back({*it, true});
}
}  // namespace

std::vector<ShortcutStep> ShortcutSteps(int number) {
  std::vector<ShortcutStep> s;
  switch (number) {
    case 1: Chord(s, {kCtrl, 0x04}); break;
    case 2: Chord(s, {kCtrl, 0x06}); break;
    case 3: Chord(s, {kCtrl, 0x1B}); break;
    case 4: Chord(s, {kCtrl, 0x19}); break;
    case 5: Chord(s, {kCtrl, 0x1D}); break;
    case 6: Chord(s, {kCtrl, 0x16}); break;
    case 7: Chord(s, {kWin, 0x08}); break;
    case 8: Chord(s, {kWin, 0x0F}); break;
    case 9: Chord(s, {kWin, 0x07}); break;
    case 10: Chord(s, {kAlt, 0x2B}); break;
    case 11: Chord(s, {kWin, 0x10}); break;
    case 12: Chord(s, {kCtrl, 0x1A}); break;
    // Alt+Space opens the window menu, then the letter picks its entry.
    case 13: Chord(s, {kAlt, 0x2C}); Chord(s, {0x1B}); break;
    case 14: Chord(s, {kAlt, 0x2C}); Chord(s, {0x11}); break;
    case 15: Chord(s, {kAlt, 0x3D}); break;
    default: break;
  }
  return s;
}

int ShortcutLabel(int number) {
  return number >= 1 && number <= kShortcutCount ? 700 + number : 0;
}

int MediaFunctionCode(int number) {
  static constexpr int kCodes[kMediaFunctionCount] = {238, 236, 237, 239, 234, 233, 235};
  return number >= 1 && number <= kMediaFunctionCount ? kCodes[number - 1] : 0;
}

int MediaFunctionLabel(int number) {
  return number >= 1 && number <= kMediaFunctionCount ? 229 + number : 0;
}

int MediaCodeDescription(int code) {
  switch (code) {
    case 232: return 272;
    case 233: return 235;
    case 234: return 234;
    case 235: return 236;
    case 236: return 231;
    case 237: return 232;
    case 238: return 230;
    case 239: return 233;
    case 240: return 271;
    case 241: return 273;
    case 242: return 270;
    case 243: return 276;
    case 244: return 277;
    case 245: return 275;
    case 246: return 274;
    case 247: return 279;
    case 248: return 278;
    case 249: return 252;
    default: return 0;
  }
}

bool IsMouseFunction(int number) {
  return number == 1 || number == 2 || number == 3 || number == 7 || number == 8;
}

int MouseFunctionLabel(int number) {
  switch (number) {
    case 1: return 220;
    case 2: return 222;
    case 3: return 223;
    case 7: return 227;
    case 8: return 228;
    default: return 0;
  }
}

}  // namespace brumkey
