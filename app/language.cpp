#include "app/language.h"

#include <atomic>

#include "app/paths.h"
#include "util/path.h"
#include "util/text.h"

namespace brumkey {
namespace {

std::atomic<int> g_language{1033};

constexpr size_t kMaxLanguageFileBytes = 4 << 20;

std::wstring Decode(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
        char32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          i += 2;
          continue;
        }
      }
      out.push_back(unit >= 0xD800 && unit <= 0xDFFF ? L'\uFFFD' : static_cast<wchar_t>(unit));
    }
    return out;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return Utf8ToWide(bytes);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == L'\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

void SetActiveLanguage(int langId) { g_language = langId; }
int GetActiveLanguage() { return g_language; }

std::wstring ReadProfileString(std::string_view fileBytes, std::wstring_view section, std::wstring_view key) {
  const std::wstring text = Decode(fileBytes);
  const std::wstring wantSection = ToLowerAscii(section);
  const std::wstring wantKey = ToLowerAscii(key);
  bool inSection = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring_view line = Trim(std::wstring_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == L';') continue;
    if (line.front() == L'[') {
      size_t close = line.find(L']');
      if (close == std::wstring_view::npos) continue;
      inSection = ToLowerAscii(Trim(line.substr(1, close - 1))) == wantSection;
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos) continue;
    if (ToLowerAscii(Trim(line.substr(0, eq))) != wantKey) continue;
    std::wstring_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::wstring(value.substr(0, kMaxLangStringChars));
  }
  return {};
}

std::wstring GetLangString(int number, std::wstring_view section) {
  const std::wstring path = GetProgramDirectory() + L"language/" + std::to_wstring(GetActiveLanguage()) + L".lan";
  std::string bytes;
  if (!ReadFileBytes(ToNativePath(path), bytes, kMaxLanguageFileBytes)) return {};
  return ReadProfileString(bytes, section, std::to_wstring(number));
}

}  // namespace brumkey
