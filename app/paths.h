#pragma once
// Program paths, the settings file (in place of the registry) and the device
// name every per-product name derives from.
#include <string>

namespace brumkey {

// The device name (config.xml software/name, default "Brumkey"). The program
// also hands it to kelvo::Manager.
void SetDeviceName(const std::wstring& name);
std::wstring GetDeviceName();

// Directory holding config.xml, with a trailing '/': the executable's
// directory when it holds config.xml, else <exe>/../share/brumkey/.
std::wstring GetProgramDirectory();
// Tests and the CLI may point the program directory elsewhere.
void SetProgramDirectoryOverride(const std::wstring& dir);

// <XDG_DATA_HOME>/<device name> Files/, with a trailing '/'.
std::wstring GetDataRoot();
void SetDataRootOverride(const std::wstring& dir);

// Creates every missing folder of the path, outermost first.
bool CreateDirectoryTree(const std::wstring& path);

// Settings of "SOFTWARE\<device name>":
// <XDG_CONFIG_HOME>/<device name>/settings.ini, written atomically.
std::wstring GetSettingsPath();
void SetSettingsPathOverride(const std::wstring& path);
int ReadRegistryNumber(const std::wstring& valueName);
void WriteRegistryText(const std::wstring& valueName, const std::wstring& text);
int ReadLanguage();
void WriteLanguage(int langId);

// Reads the device name from <program directory>/config.xml (start-up step 1).
std::wstring ReadDeviceNameFromConfig(const std::wstring& configPath);

// First-run language rule: returns the active language and writes LCID.
int ChooseActiveLanguage(int userUiLanguage);

}  // namespace brumkey
