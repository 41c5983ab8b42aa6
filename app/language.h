#pragma once
// Numbered user texts from language/<LCID>.lan in the program directory,
// read with the initialisation-file rules the texts are written for.
#include <string>
#include <string_view>

namespace brumkey {

inline constexpr wchar_t kLangSection[] = L"KB.DIALOG";
// Longest value returned, in characters (a 260-character buffer with its zero).
inline constexpr size_t kMaxLangStringChars = 259;

void SetActiveLanguage(int langId);
int GetActiveLanguage();

// The file is read at every call, so a language change takes effect at once.
// Missing file, section or key: empty text.
std::wstring GetLangString(int number, std::wstring_view section = kLangSection);

// One value of an initialisation file's text (UTF-8, or UTF-8/UTF-16 LE with
// a byte-order mark). Section and key compare case-insensitively; blanks
// around the value and one pair of enclosing quotes are removed.
std::wstring ReadProfileString(std::string_view fileBytes, std::wstring_view section, std::wstring_view key);

}  // namespace brumkey
