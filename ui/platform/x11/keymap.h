#pragma once
// X key symbols <-> Windows virtual-key codes.
#include <X11/X.h>

#include "ui/platform/common/platform.h"

namespace kelvo::platform::x11 {

// Side-specific codes for modifiers (VK_LSHIFT, VK_RCONTROL, ...); 0 = unknown.
UINT KeysymToVk(KeySym sym);
// Key symbol to synthesize a virtual key with; NoSymbol when there is none.
KeySym VkToKeysym(UINT vk);
// The character a key symbol types, 0 when none.
wchar_t KeysymToChar(KeySym sym);
// Keys Windows marks as extended (bit 24 of the key message's lParam).
bool IsExtendedKeysym(KeySym sym);

}  // namespace kelvo::platform::x11
