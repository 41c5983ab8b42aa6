#pragma once
// Operating-system facts the program's path and settings helpers need.
#include <string>

namespace brumkey::os {

// Absolute path of the running executable, UTF-8; empty if unknown.
std::string ExecutablePath();
// XDG base directories with their documented defaults, no trailing '/'.
std::string DataHome();
std::string ConfigHome();
std::string RuntimeDir();
// The user's interface language as a Windows language identifier, from
// LC_ALL / LC_MESSAGES / LANG (1033 when unset or "C").
int UserUiLanguage();
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path, bool& alreadyExists);
bool FileExists(const std::string& path);

}  // namespace brumkey::os
