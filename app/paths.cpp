#include "app/paths.h"

#include <mutex>
#include <sstream>
#include <vector>

#include "app/platform/os.h"
#include "store/xml_document.h"
#include "util/path.h"
#include "util/text.h"

namespace brumkey {
namespace {

std::mutex g_mu;
std::wstring g_deviceName = L"Brumkey";
std::wstring g_programDirOverride;
std::wstring g_dataRootOverride;
std::wstring g_settingsOverride;

std::wstring WithSlash(std::wstring s) {
  if (!s.empty() && s.back() != L'/') s.push_back(L'/');
  return s;
}

// The name becomes a folder name: keep it one path component.
std::wstring FolderSafe(std::wstring s) {
  for (auto& c : s)
    if (c == L'/' || c == L'\\' || c == 0) c = L'_';
  if (s.empty() || s == L"." || s == L"..") s = L"Brumkey";
  return s;
}

enum class KeyState { Opened, Missing, Unreadable };

KeyState ReadSettings(const std::string& path, std::vector<std::pair<std::string, std::string>>& out) {
  if (!os::FileExists(path)) return KeyState::Missing;
  std::string bytes;
  if (!ReadFileBytes(path, bytes, 1 << 20)) return KeyState::Unreadable;
  std::istringstream in(bytes);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '[' || line[0] == ';' || line[0] == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return KeyState::Opened;
}

bool CreateSettingsFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) CreateDirectoryTree(Utf8ToWide(path.substr(0, slash)));
  return WriteFileAtomic(path, "[" + WideToUtf8(L"SOFTWARE\\" + GetDeviceName()) + "]\n");
}

// Number read shared by ReadRegistryNumber and ReadLanguage; state tells how
// the key was found.
int ReadNumber(const std::wstring& valueName, KeyState& state, bool& created) {
  const std::string path = ToNativePath(GetSettingsPath());
  std::vector<std::pair<std::string, std::string>> values;
  state = ReadSettings(path, values);
  created = false;
  if (state == KeyState::Missing) {
    created = CreateSettingsFile(path);
    return 0;
  }
  if (state == KeyState::Unreadable) return 0;
  const std::string key = WideToUtf8(valueName);
  for (const auto& [k, v] : values)
    if (k == key) return ParseDecimal(Utf8ToWide(v));
  return 0;
}

}  // namespace

void SetDeviceName(const std::wstring& name) {
  std::lock_guard lock(g_mu);
  g_deviceName = name;
}

std::wstring GetDeviceName() {
  std::lock_guard lock(g_mu);
  return g_deviceName;
}

void SetProgramDirectoryOverride(const std::wstring& dir) {
  std::lock_guard lock(g_mu);
  g_programDirOverride = dir.empty() ? dir : WithSlash(dir);
}

std::wstring GetProgramDirectory() {
  {
    std::lock_guard lock(g_mu);
    if (!g_programDirOverride.empty()) return g_programDirOverride;
  }
  const std::string exe = os::ExecutablePath();
  const size_t slash = exe.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  if (os::FileExists(dir + "/config.xml")) return WithSlash(Utf8ToWide(dir));
  return WithSlash(Utf8ToWide(dir + "/../share/brumkey"));
}

void SetDataRootOverride(const std::wstring& dir) {
  std::lock_guard lock(g_mu);
  g_dataRootOverride = dir.empty() ? dir : WithSlash(dir);
}

std::wstring GetDataRoot() {
  {
    std::lock_guard lock(g_mu);
    if (!g_dataRootOverride.empty()) return g_dataRootOverride;
  }
  return Utf8ToWide(os::DataHome()) + L"/" + FolderSafe(GetDeviceName()) + L" Files/";
}

bool CreateDirectoryTree(const std::wstring& path) {
  const std::string p = ToNativePath(path);
  if (p.empty()) return false;
  if (os::IsDirectory(p)) return true;
  bool exists = false;
  for (size_t i = p.find('/', 1); i != std::string::npos; i = p.find('/', i + 1))
    os::MakeDirectory(p.substr(0, i), exists);
  if (os::MakeDirectory(p, exists)) return true;
  return exists && os::IsDirectory(p);
}

void SetSettingsPathOverride(const std::wstring& path) {
  std::lock_guard lock(g_mu);
  g_settingsOverride = path;
}

std::wstring GetSettingsPath() {
  {
    std::lock_guard lock(g_mu);
    if (!g_settingsOverride.empty()) return g_settingsOverride;
  }
  return Utf8ToWide(os::ConfigHome()) + L"/" + FolderSafe(GetDeviceName()) + L"/settings.ini";
}

int ReadRegistryNumber(const std::wstring& valueName) {
  KeyState state;
  bool created;
  return ReadNumber(valueName, state, created);
}

void WriteRegistryText(const std::wstring& valueName, const std::wstring& text) {
  const std::string path = ToNativePath(GetSettingsPath());
  std::vector<std::pair<std::string, std::string>> values;
  // Like a registry key that does not open: nothing is written.
  if (ReadSettings(path, values) != KeyState::Opened) return;
  const std::string key = WideToUtf8(valueName);
  std::string value = WideToUtf8(text);
  std::erase_if(value, [](char c) { return c == '\n' || c == '\r'; });
  bool replaced = false;
  for (auto& [k, v] : values)
    if (k == key) v = value, replaced = true;
  if (!replaced) values.emplace_back(key, value);
  std::string out = "[" + WideToUtf8(L"SOFTWARE\\" + GetDeviceName()) + "]\n";
  for (const auto& [k, v] : values) out += k + "=" + v + "\n";
  WriteFileAtomic(path, out);
}

int ReadLanguage() {
  KeyState state;
  bool created;
  const int v = ReadNumber(L"LCID", state, created);
  if (state == KeyState::Unreadable) return 1046;
  if (state == KeyState::Missing && !created) return 1046;
  return v;
}

void WriteLanguage(int langId) { WriteRegistryText(L"LCID", std::to_wstring(langId)); }

std::wstring ReadDeviceNameFromConfig(const std::wstring& configPath) {
  XmlDocument xml;
  if (!xml.Load(configPath) || !xml.Parse()) return {};
  if (!xml.FindElem(L"config") || !xml.IntoElem()) return {};
  if (!xml.FindElem(L"software")) return {};
  return xml.GetAttrib(L"name");
}

int ChooseActiveLanguage(int userUiLanguage) {
  const int stored = ReadLanguage();
  if (stored != 0) return stored;
  WriteLanguage(userUiLanguage == 1046 ? 1046 : 1033);
  return userUiLanguage;
}

}  // namespace brumkey
