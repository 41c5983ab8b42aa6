#include "util/text.h"

#include <climits>
#include <cwctype>

namespace brumkey {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i]; returns the length consumed (>= 1) and
// sets ok=false on a malformed sequence.
size_t DecodeOne(std::string_view s, size_t i, char32_t& cp, bool& ok) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  ok = true;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  int len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ok = false;
    return 1;
  }
  for (int k = 1; k < len; ++k) {
    if (i + k >= s.size()) {
      ok = false;
      return k;
    }
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ok = false;
      return k;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) ok = false;
  return static_cast<size_t>(len);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp;
    bool ok;
    i += DecodeOne(utf8, i, cp, ok);
    out.push_back(static_cast<wchar_t>(ok ? cp : kReplacement));
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (wchar_t wc : wide) {
    auto cp = static_cast<char32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp;
    bool ok;
    i += DecodeOne(bytes, i, cp, ok);
    if (!ok) return false;
  }
  return true;
}

std::wstring ToUpperAscii(std::wstring_view s) {
  std::wstring out(s);
  for (auto& c : out)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  return out;
}

std::string ToUpperAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::wstring ToLowerAscii(std::wstring_view s) {
  std::wstring out(s);
  for (auto& c : out)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return out;
}

int ParseDecimal(std::wstring_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == L' ' || (s[i] >= L'\t' && s[i] <= L'\r'))) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) neg = s[i++] == L'-';
  long long v = 0;
  for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
    v = v * 10 + (s[i] - L'0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (neg) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

int ParseHex(std::wstring_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == L' ' || (s[i] >= L'\t' && s[i] <= L'\r'))) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) neg = s[i++] == L'-';
  if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) i += 2;
  long long v = 0;
  for (; i < s.size(); ++i) {
    int d;
    wchar_t c = s[i];
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else break;
    v = v * 16 + d;
    if (v > INT_MAX) v = INT_MAX;
  }
  return static_cast<int>(neg ? -v : v);
}

}  // namespace brumkey
