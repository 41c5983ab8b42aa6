#pragma once
// Text helpers shared by the program and the toolkit. Wide strings are
// std::wstring (UTF-32 on Linux); files and system calls use UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace brumkey {

// Invalid sequences become U+FFFD; never throws.
std::wstring Utf8ToWide(std::string_view utf8);
// Surrogates and values above U+10FFFF become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// ASCII upper case, the way device paths are compared.
std::wstring ToUpperAscii(std::wstring_view s);
std::string ToUpperAscii(std::string_view s);
std::wstring ToLowerAscii(std::wstring_view s);

// Decimal with leading blanks and a sign, stopping at the first non-digit;
// 0 when there is no number. Saturates instead of overflowing.
int ParseDecimal(std::wstring_view s);
// Base 16 with an optional "0x", either case, stopping at the first
// non-hex character; 0 when there is none. Saturates at INT32_MAX.
int ParseHex(std::wstring_view s);

}  // namespace brumkey
