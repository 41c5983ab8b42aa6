#include "kelvo/manager.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>

#include "ui/platform/common/platform.h"
#include "ui/platform/gfx/resources.h"
#include "util/text.h"

namespace kelvo {
namespace {

struct Resource {
  std::string file;
  std::vector<uint8_t> bytes;
};

struct State {
  std::mutex mu;
  std::wstring deviceName = L"Brumkey";
  std::wstring theme = L"theme1";
  void* instance = nullptr;
  std::wstring fontName = L"Arial";
  int fontSize = 14;
  std::wstring programDir;
  std::map<std::pair<unsigned, std::wstring>, Resource> appResources;
  std::vector<MWindow*> windows;
};

State& S() {
  static State s;
  return s;
}

std::wstring WithSlash(std::wstring d) {
  if (!d.empty() && d.back() != L'/') d += L'/';
  return d;
}

// '\' becomes '/', runs of '/' collapse to one.
std::string Normalise(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  for (char c : in) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  return out;
}

std::wstring UpperType(const std::wstring& t) { return brumkey::ToUpperAscii(t); }

}  // namespace

void Manager::SetDeviceName(const std::wstring& name) {
  std::lock_guard lock(S().mu);
  S().deviceName = name;
}
std::wstring Manager::GetDeviceName() {
  std::lock_guard lock(S().mu);
  return S().deviceName;
}
void Manager::SetInstance(void* instance) {
  std::lock_guard lock(S().mu);
  S().instance = instance;
}
void* Manager::GetInstance() {
  std::lock_guard lock(S().mu);
  return S().instance;
}
void Manager::SetTheme(const std::wstring& theme) {
  std::lock_guard lock(S().mu);
  S().theme = theme;
}
std::wstring Manager::GetTheme() {
  std::lock_guard lock(S().mu);
  return S().theme;
}

void Manager::SetFont(const std::wstring& face, int size) {
  std::lock_guard lock(S().mu);
  S().fontName = face;
  if (size > 0) S().fontSize = size;
}
void Manager::SetFontName(const std::wstring& face) {
  std::lock_guard lock(S().mu);
  S().fontName = face;
}
std::wstring Manager::GetFontName() {
  std::lock_guard lock(S().mu);
  return S().fontName;
}
int Manager::GetFontWidth() {
  std::lock_guard lock(S().mu);
  return S().fontSize;
}
ARGB Manager::GetSelectColor() { return 0xFFFF0000u; }

void Manager::SetProgramDirectory(const std::wstring& dir) {
  std::lock_guard lock(S().mu);
  S().programDir = WithSlash(dir);
}

std::wstring Manager::GetProgramDirectory() {
  std::lock_guard lock(S().mu);
  if (S().programDir.empty()) S().programDir = WithSlash(brumkey::Utf8ToWide(gfx::ProgramDirectory()));
  return S().programDir;
}

std::wstring Manager::GetSkinDirectory() {
  std::wstring theme = GetTheme();
  while (!theme.empty() && (theme.back() == L'/' || theme.back() == L'\\')) theme.pop_back();
  return GetProgramDirectory() + L"skins/" + theme + L"/";
}

std::string Manager::SkinPath(const std::wstring& name) {
  return Normalise(brumkey::WideToUtf8(GetSkinDirectory() + name));
}

std::string Manager::ProgramPath(const std::wstring& name) {
  return Normalise(brumkey::WideToUtf8(GetProgramDirectory() + name));
}

void Manager::SetAppResource(unsigned id, const std::wstring& type, const std::string& file) {
  std::lock_guard lock(S().mu);
  S().appResources[{id, UpperType(type)}] = Resource{file, {}};
}

void Manager::SetAppResourceBytes(unsigned id, const std::wstring& type, std::vector<uint8_t> bytes) {
  std::lock_guard lock(S().mu);
  S().appResources[{id, UpperType(type)}] = Resource{"", std::move(bytes)};
}

std::string Manager::ResourceFile(unsigned id, const std::wstring& type, bool application) {
  const std::wstring t = UpperType(type);
  if (application) {
    std::lock_guard lock(S().mu);
    auto it = S().appResources.find({id, t});
    if (it != S().appResources.end()) return it->second.file;
    // The scroll bar images are looked up among the application resources;
    // the toolkit's own copies stand in when the program has none.
    if (!(t == L"PNG" && (id == 101 || id == 102))) return "";
  }
  if (t == L"PNG" && id == 101) return SkinPath(L"img_scroll_h.png");
  if (t == L"PNG" && id == 102) return SkinPath(L"img_scroll_v.png");
  if (t == L"TTF" && id == 106) return gfx::FindFontFile("Open Sans", "Semibold");
  return "";
}

std::vector<uint8_t> Manager::LoadResource(unsigned id, const std::wstring& type, bool application) {
  if (application) {
    std::lock_guard lock(S().mu);
    auto it = S().appResources.find({id, UpperType(type)});
    if (it != S().appResources.end() && it->second.file.empty()) return it->second.bytes;
  }
  const std::string file = ResourceFile(id, type, application);
  if (file.empty()) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Manager::InitGdiplus() {
  std::lock_guard lock(S().mu);
  S().windows.clear();
  return true;
}

void Manager::UnInitGdiplus() {
  std::lock_guard lock(S().mu);
  S().windows.clear();
}

void Manager::AddWnd(MWindow* wnd) {
  std::lock_guard lock(S().mu);
  if (wnd && std::find(S().windows.begin(), S().windows.end(), wnd) == S().windows.end())
    S().windows.push_back(wnd);
}

void Manager::DeleteWnd(MWindow* wnd) {
  std::lock_guard lock(S().mu);
  auto& w = S().windows;
  w.erase(std::remove(w.begin(), w.end(), wnd), w.end());
}

std::vector<MWindow*> Manager::GetWnds() {
  std::lock_guard lock(S().mu);
  return S().windows;
}

namespace {
bool AltF4Down() {
  namespace pf = kelvo::platform;
  return (pf::GetKeyState(pf::VK_MENU) & 0x8000) && (pf::GetKeyState(pf::VK_F1 + 3) & 0x8000);
}
}  // namespace

int Manager::PreTranslateMessage(const void*) { return AltF4Down() ? 1 : 0; }

int Manager::MessageLoop() {
  namespace pf = kelvo::platform;
  pf::MSG msg;
  while (pf::GetMessage(&msg, nullptr, 0, 0)) {
    if (PreTranslateMessage(&msg)) continue;
    pf::TranslateMessage(&msg);
    pf::DispatchMessage(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace kelvo
