#pragma once
// Process-wide values the toolkit keeps for the program: module handle,
// global font, theme, device name, program and skin directories, and the
// resources that stand where a Windows module would carry them.
#include <cstdint>
#include <string>
#include <vector>

#include "kelvo/geometry.h"

namespace kelvo {

class MWindow;

class Manager {
 public:
  static void SetDeviceName(const std::wstring& name);
  static std::wstring GetDeviceName();
  static void SetInstance(void* instance);
  static void* GetInstance();
  static void SetTheme(const std::wstring& theme);
  static std::wstring GetTheme();

  static void SetFont(const std::wstring& face, int size);
  static void SetFontName(const std::wstring& face);
  static std::wstring GetFontName();
  static int GetFontWidth();
  static ARGB GetSelectColor();

  // The program directory (with a trailing '/'): set by the program, else
  // the directory of the running executable.
  static void SetProgramDirectory(const std::wstring& dir);
  static std::wstring GetProgramDirectory();
  // program directory + "skins/" + theme + "/".
  static std::wstring GetSkinDirectory();
  // A name relative to the skin directory, with '\' and doubled slashes
  // normalised ("icon//icon_pc.png", "loading\loading.gif").
  static std::string SkinPath(const std::wstring& name);
  static std::string ProgramPath(const std::wstring& name);

  // Resources. Toolkit resources (PNG 101/102, the TrueType font 106) live
  // in the skin directory and the installed fonts; the application may
  // register its own under any id and type, as bytes or as a file.
  static void SetAppResource(unsigned id, const std::wstring& type, const std::string& file);
  static void SetAppResourceBytes(unsigned id, const std::wstring& type, std::vector<uint8_t> bytes);
  // Bytes of a resource; application ones when `application`, else the
  // toolkit's. Empty when there is none.
  static std::vector<uint8_t> LoadResource(unsigned id, const std::wstring& type, bool application);
  // File behind a resource, "" when it has none.
  static std::string ResourceFile(unsigned id, const std::wstring& type, bool application);

  static bool InitGdiplus();
  static void UnInitGdiplus();
  static void AddWnd(MWindow* wnd);
  static void DeleteWnd(MWindow* wnd);
  static std::vector<MWindow*> GetWnds();

  // Runs the calling thread's loop until a quit message; returns its code.
  static int MessageLoop();
  // 1 while Alt and F4 are both down: that message is swallowed.
  static int PreTranslateMessage(const void* msg);
};

}  // namespace kelvo
