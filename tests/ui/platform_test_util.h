#pragma once
// A window class that records every message it gets, for the layer's tests.
#include <functional>
#include <string>
#include <vector>

#include "ui/platform/common/platform.h"

namespace kelvo::platform::testing {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

// One log for all recording windows of the test, in arrival order.
std::vector<Seen>& Log();
// Optional per-message hook: return true to answer with *result.
using Hook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;
void SetHook(Hook h);

// Registers "KelvoTestWindow" (with double clicks) and "KelvoTestPlain"
// (without) once.
void RegisterClasses();
HWND MakeWindow(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE,
                DWORD exStyle = 0, HWND owner = nullptr, bool dblclks = true);

// Runs the loop until nothing is left to do now (posted, input, paint).
void Drain(int ms = 0);
std::vector<UINT> MessagesOf(HWND w, std::initializer_list<UINT> only = {});
int Count(HWND w, UINT msg);
const Seen* Last(HWND w, UINT msg);

}  // namespace kelvo::platform::testing
