#include "cli/store_session.h"

#include <filesystem>
#include <system_error>

#include "app/language.h"
#include "app/paths.h"
#include "lighting/light_modes.h"
#include "util/path.h"
#include "util/text.h"

namespace brumkey::cli {

StoreSession::StoreSession(Context& ctx)
    : ctx_(ctx),
      store_(ProfileStore::GetInstance()),
      rules_(store_, [](int n) { return GetLangString(n); }, [] { return GetActiveLanguage(); }) {}

int StoreSession::Open() {
  // Read the language only where one was chosen; a listing writes nothing.
  std::error_code ec;
  if (std::filesystem::exists(ToNativePath(GetSettingsPath()), ec)) {
    const int language = ReadLanguage();
    if (language != 0) SetActiveLanguage(language);
  }
  const std::wstring dataRoot = GetDataRoot();
  CreateDirectoryTree(dataRoot + L"db/");
  const int model = ctx_.Options().model;
  result_ = LoadKeyboardLayout(model, ctx_.Config().keyboards, GetProgramDirectory(), dataRoot, store_, layout_);
  if (!result_.modelFound) return ctx_.Failure("config declares no model with device type " + std::to_string(model));
  if (!result_.databaseOpened) {
    return ctx_.Failure("cannot open the database " + store_.GetPath());
  }
  return kExitOk;
}

std::optional<int> ParseId(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

void StoreSession::EnsureLightRows() {
  LightDefaults d;
  d.deviceType = ctx_.Options().model;
  d.defaultLightMode = layout_.defaultLightMode;
  d.defaultBrightness = layout_.defaultBrightness;
  d.defaultSpeed = layout_.defaultSpeed;
  d.modes = layout_.lightModes;
  EnsureDefaultLightRows(store_, rules_.CurrentProfile(), d);
}

}  // namespace brumkey::cli
