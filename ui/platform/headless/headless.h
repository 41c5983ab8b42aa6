#pragma once
// Test side of the headless backend: a virtual screen where windows are
// off-screen surfaces, input is injected as device events (so capture,
// double clicks, hover/leave and key state behave as with a real display),
// and every presented frame can be read back.
#include <string>
#include <vector>

#include "ui/platform/common/platform.h"

namespace kelvo::platform::headless {

// Virtual screen and work area (default 1920x1080, work area = screen).
void SetScreen(int width, int height, RECT work);
// Pretend a compositor runs (layered windows keep per-pixel alpha) or not
// (layered windows get a 1-bit shape from alpha >= 128).
void SetCompositor(bool on);

// Device input, in screen coordinates; delivered to the window under the
// pointer or holding capture, queued on that window's thread.
void MouseMove(int x, int y);
void MouseButton(int button, bool down);  // 1 left, 2 middle, 3 right
void MouseWheel(int delta);               // multiples of WHEEL_DELTA
void Key(UINT vk, bool down, wchar_t chr = 0);
// Moves virtual time for double-click and hover detection, in ms.
void AdvanceInputClock(DWORD ms);

// What the screen shows of a window: the last presented frame, a new ARGB32
// surface (caller destroys) of the client size; null before the first present.
// Opaque windows come back with alpha 255; regions and colour keys applied.
cairo_surface_t* CopyFrame(HWND);
int FrameCount(HWND);  // presents so far
RECT LastPresentRect(HWND);

// The number of window moves started with WM_NCLBUTTONDOWN/HTCAPTION.
int CaptionDragCount(HWND);
HCURSOR CurrentCursor(HWND);
HICON WindowIcon(HWND, bool big);
bool IsTopmost(HWND);
// Stacking order of visible top-level windows, topmost first.
std::vector<HWND> ZOrder();

}  // namespace kelvo::platform::headless
