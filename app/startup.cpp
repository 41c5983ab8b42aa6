#include "app/startup.h"

#include "app/language.h"
#include "app/paths.h"

namespace brumkey {

bool PrepareStartup(StartupState& state, int userUiLanguage, const std::string& runtimeDir) {
  const std::wstring name = ReadDeviceNameFromConfig(GetProgramDirectory() + L"config.xml");
  if (!name.empty()) SetDeviceName(name);

  state.instance = std::make_unique<SingleInstance>(GetDeviceName(), runtimeDir);
  if (!state.instance->Acquire()) {
    state.anotherCopyRunning = true;
    state.instance->Send(OutsideMessage{});
    return false;
  }
  state.activeLanguage = ChooseActiveLanguage(userUiLanguage);
  SetActiveLanguage(state.activeLanguage);
  // A failure here shows later, when the store cannot open its file.
  CreateDirectoryTree(GetDataRoot() + L"db");
  return true;
}

}  // namespace brumkey
