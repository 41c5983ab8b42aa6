#include "ui/platform/x11/keymap.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace kelvo::platform::x11 {
namespace {

struct Pair {
  KeySym sym;
  UINT vk;
};

// First entry per code wins for the reverse direction.
constexpr Pair kTable[] = {
    {XK_BackSpace, VK_BACK}, {XK_Tab, VK_TAB}, {XK_ISO_Left_Tab, VK_TAB}, {XK_Clear, VK_CLEAR},
    {XK_Return, VK_RETURN}, {XK_KP_Enter, VK_RETURN}, {XK_Pause, VK_PAUSE},
    {XK_Caps_Lock, VK_CAPITAL}, {XK_Escape, VK_ESCAPE}, {XK_space, VK_SPACE},
    {XK_Prior, VK_PRIOR}, {XK_Next, VK_NEXT}, {XK_End, VK_END}, {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT}, {XK_Up, VK_UP}, {XK_Right, VK_RIGHT}, {XK_Down, VK_DOWN},
    {XK_Print, VK_SNAPSHOT}, {XK_Insert, VK_INSERT}, {XK_Delete, VK_DELETE},
    {XK_Super_L, VK_LWIN}, {XK_Super_R, VK_RWIN}, {XK_Menu, VK_APPS},
    {XK_KP_0, VK_NUMPAD0}, {XK_KP_1, VK_NUMPAD0 + 1}, {XK_KP_2, VK_NUMPAD0 + 2},
    {XK_KP_3, VK_NUMPAD0 + 3}, {XK_KP_4, VK_NUMPAD0 + 4}, {XK_KP_5, VK_NUMPAD0 + 5},
    {XK_KP_6, VK_NUMPAD0 + 6}, {XK_KP_7, VK_NUMPAD0 + 7}, {XK_KP_8, VK_NUMPAD0 + 8},
    {XK_KP_9, VK_NUMPAD0 + 9}, {XK_KP_Insert, VK_INSERT}, {XK_KP_End, VK_END},
    {XK_KP_Down, VK_DOWN}, {XK_KP_Next, VK_NEXT}, {XK_KP_Left, VK_LEFT}, {XK_KP_Begin, VK_CLEAR},
    {XK_KP_Right, VK_RIGHT}, {XK_KP_Home, VK_HOME}, {XK_KP_Up, VK_UP}, {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Delete, VK_DELETE},
    {XK_KP_Multiply, VK_MULTIPLY}, {XK_KP_Add, VK_ADD}, {XK_KP_Separator, VK_SEPARATOR},
    {XK_KP_Subtract, VK_SUBTRACT}, {XK_KP_Decimal, VK_DECIMAL}, {XK_KP_Divide, VK_DIVIDE},
    {XK_Num_Lock, VK_NUMLOCK}, {XK_Scroll_Lock, VK_SCROLL},
    {XK_Shift_L, VK_LSHIFT}, {XK_Shift_R, VK_RSHIFT}, {XK_Control_L, VK_LCONTROL},
    {XK_Control_R, VK_RCONTROL}, {XK_Alt_L, VK_LMENU}, {XK_Alt_R, VK_RMENU},
    {XK_ISO_Level3_Shift, VK_RMENU}, {XK_Meta_L, VK_LMENU}, {XK_Meta_R, VK_RMENU},
    {XF86XK_Back, VK_BROWSER_BACK}, {XF86XK_Forward, VK_BROWSER_FORWARD},
    {XF86XK_Refresh, VK_BROWSER_REFRESH}, {XF86XK_Stop, VK_BROWSER_STOP},
    {XF86XK_Search, VK_BROWSER_SEARCH}, {XF86XK_Favorites, VK_BROWSER_FAVORITES},
    {XF86XK_HomePage, VK_BROWSER_HOME}, {XF86XK_AudioMute, VK_VOLUME_MUTE},
    {XF86XK_AudioLowerVolume, VK_VOLUME_DOWN}, {XF86XK_AudioRaiseVolume, VK_VOLUME_UP},
    {XF86XK_AudioNext, VK_MEDIA_NEXT_TRACK}, {XF86XK_AudioPrev, VK_MEDIA_PREV_TRACK},
    {XF86XK_AudioStop, VK_MEDIA_STOP}, {XF86XK_AudioPlay, VK_MEDIA_PLAY_PAUSE},
    {XF86XK_AudioPause, VK_MEDIA_PLAY_PAUSE}, {XF86XK_Mail, VK_LAUNCH_MAIL},
    {XF86XK_AudioMedia, VK_LAUNCH_MEDIA_SELECT}, {XF86XK_MyComputer, VK_LAUNCH_APP1},
    {XF86XK_Calculator, VK_LAUNCH_APP2},
    {XK_semicolon, VK_OEM_1}, {XK_colon, VK_OEM_1}, {XK_equal, VK_OEM_PLUS}, {XK_plus, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA}, {XK_less, VK_OEM_COMMA}, {XK_minus, VK_OEM_MINUS},
    {XK_underscore, VK_OEM_MINUS}, {XK_period, VK_OEM_PERIOD}, {XK_greater, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2}, {XK_question, VK_OEM_2}, {XK_grave, VK_OEM_3},
    {XK_asciitilde, VK_OEM_3}, {XK_bracketleft, VK_OEM_4}, {XK_braceleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5}, {XK_bar, VK_OEM_5}, {XK_bracketright, VK_OEM_6},
    {XK_braceright, VK_OEM_6}, {XK_apostrophe, VK_OEM_7}, {XK_quotedbl, VK_OEM_7},
};

}  // namespace

UINT KeysymToVk(KeySym s) {
  if (s >= XK_a && s <= XK_z) return static_cast<UINT>('A' + (s - XK_a));
  if (s >= XK_A && s <= XK_Z) return static_cast<UINT>(s);
  if (s >= XK_0 && s <= XK_9) return static_cast<UINT>(s);
  if (s >= XK_F1 && s <= XK_F24) return static_cast<UINT>(VK_F1 + (s - XK_F1));
  for (const auto& p : kTable)
    if (p.sym == s) return p.vk;
  return 0;
}

KeySym VkToKeysym(UINT vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return static_cast<KeySym>(vk);
  if (vk >= VK_F1 && vk <= VK_F24) return XK_F1 + (vk - VK_F1);
  if (vk == VK_SHIFT) return XK_Shift_L;
  if (vk == VK_CONTROL) return XK_Control_L;
  if (vk == VK_MENU) return XK_Alt_L;
  for (const auto& p : kTable)
    if (p.vk == vk) return p.sym;
  return NoSymbol;
}

wchar_t KeysymToChar(KeySym s) {
  if ((s >= 0x20 && s <= 0x7E) || (s >= 0xA0 && s <= 0xFF)) return static_cast<wchar_t>(s);
  if ((s & 0xFF000000) == 0x01000000) return static_cast<wchar_t>(s & 0x00FFFFFF);
  switch (s) {
    case XK_BackSpace: return L'\b';
    case XK_Tab: case XK_ISO_Left_Tab: return L'\t';
    case XK_Return: case XK_KP_Enter: return L'\r';
    case XK_Escape: return 0x1B;
    case XK_KP_Space: return L' ';
    case XK_KP_Multiply: return L'*';
    case XK_KP_Add: return L'+';
    case XK_KP_Subtract: return L'-';
    case XK_KP_Decimal: return L'.';
    case XK_KP_Divide: return L'/';
    default: break;
  }
  if (s >= XK_KP_0 && s <= XK_KP_9) return static_cast<wchar_t>(L'0' + (s - XK_KP_0));
  return 0;
}

bool IsExtendedKeysym(KeySym s) {
  switch (s) {
    case XK_Left: case XK_Up: case XK_Right: case XK_Down: case XK_Prior: case XK_Next:
    case XK_End: case XK_Home: case XK_Insert: case XK_Delete: case XK_Control_R:
    case XK_Alt_R: case XK_ISO_Level3_Shift: case XK_KP_Enter: case XK_KP_Divide:
    case XK_Super_L: case XK_Super_R: case XK_Menu: case XK_Print: case XK_Num_Lock:
      return true;
    default:
      return false;
  }
}

}  // namespace kelvo::platform::x11
