// brumkeyctl keys: the current profile's key assignments (store only).
#include <ostream>

#include "app/language.h"
#include "cli/protocol_cli.h"
#include "keys/key_functions.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

constexpr char kUsage[] =
    "keys show | set KEYCODE KIND VALUE [DESC] | disable KEYCODE | reset KEYCODE | clear\n"
    "  KIND: key, disabled, macro, shortcut, media, mouse, program, website, text, profile";

struct Kind {
  const char* name;
  int type;
};
constexpr Kind kKinds[] = {{"disabled", kFnDisabled}, {"key", kFnKey},        {"macro", kFnMacro},
                           {"mouse", kFnMouse},       {"media", kFnMedia},    {"shortcut", kFnShortcut},
                           {"program", kFnRunProgram}, {"website", kFnOpenWebsite},
                           {"text", kFnTypeText},     {"profile", kFnSwitchProfile},
                           {"extended-key", kFnExtendedKey}};

std::string KindName(int type) {
  for (const Kind& k : kKinds)
    if (k.type == type) return k.name;
  return "type " + std::to_string(type);
}

// Refuses what the program's limits refuse; empty when allowed.
std::string LimitProblem(ProfileStore& store, int profile, int keyCode, int type) {
  std::vector<KeyFunction> rows;
  store.LoadKeyFunctions(profile, 0, rows);
  int remap = 0, function = 0;
  for (const KeyFunction& r : rows) {
    if (r.key_code == keyCode) continue;  // replacing a key's row adds nothing
    remap += IsRemapKind(r.macro_type);
    function += IsFunctionKind(r.macro_type);
  }
  if (IsRemapKind(type) && remap >= kMaxRemapKeys)
    return "limit reached: at most " + std::to_string(kMaxRemapKeys) +
           " keys may be remapped or disabled per profile";
  if (IsFunctionKind(type) && function >= kMaxFunctionKeys)
    return "limit reached: at most " + std::to_string(kMaxFunctionKeys) +
           " keys may hold macros or shortcuts per profile";
  return "";
}

int Save(Context& ctx, ProfileStore& store, KeyFunction kf) {
  if (store.SaveKeyFunction(kf) < 1 && (kf.macro_value != 0 || kf.macro_value2 != 0))
    return ctx.Failure("the assignment could not be saved");
  return kExitOk;
}

int RunKeys(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) return ctx.UsageError(kUsage);
  const std::string& sub = a[0];
  const size_t n = a.size();
  const bool known = (sub == "show" && n == 1) || (sub == "clear" && n == 1) ||
                     (sub == "set" && (n == 4 || n == 5)) || ((sub == "disable" || sub == "reset") && n == 2);
  if (!known) return ctx.UsageError(kUsage);

  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileStore& store = s.Store();
  const int profile = s.Rules().CurrentProfile();
  const KeyboardLayout& layout = s.Layout();

  if (sub == "show") {
    std::vector<KeyFunction> rows;
    store.LoadKeyFunctions(profile, 0, rows);
    for (const KeyFunction& r : rows) {
      ctx.out << r.key_code << "\t" << WideToUtf8(KeyLegend(r.key_code)) << "\t" << KindName(r.macro_type)
              << "\t" << r.macro_value << "\t" << WideToUtf8(r.macro_desc) << "\n";
    }
    return kExitOk;
  }
  if (sub == "clear") {
    store.DeleteProfileKeyFunctions(profile);
    return kExitOk;
  }

  const std::optional<int> key = ParseNumber(a[1]);
  if (!key || layout.keyIndexByCode.count(static_cast<uint32_t>(*key)) == 0)
    return ctx.Failure("unknown key code " + a[1] + " for model " + std::to_string(ctx.Options().model));
  if (*key == kNotRemappableKey) return ctx.Failure("key code 255 cannot be reassigned");

  KeyFunction kf;
  kf.profile = profile;
  kf.key_code = *key;
  if (sub == "reset") return Save(ctx, store, kf);

  std::string kindName = sub == "disable" ? "disabled" : a[2];
  int type = -1;
  for (const Kind& k : kKinds)
    if (kindName == k.name) type = k.type;
  if (type < 0 || type == kFnExtendedKey) return ctx.UsageError(kUsage);
  const std::string value = sub == "disable" ? "1" : a[3];
  std::wstring desc = n == 5 ? Utf8ToWide(a[4]) : L"";

  kf.macro_type = type;
  switch (type) {
    case kFnDisabled:
      kf.macro_value = 1;
      if (desc.empty()) desc = GetLangString(kStringDisabled);
      break;
    case kFnKey: {
      const std::optional<int> code = ParseBounded(value, 1, 0xFFFF);
      if (!code) return ctx.Failure("not a key code: " + value);
      if (*code >= kExtendedKeyCodeStart) kf.macro_type = kFnExtendedKey;
      kf.macro_value = *code;
      if (desc.empty()) desc = KeyLegend(*code);
      break;
    }
    case kFnMacro: {
      const std::optional<int> id = ParseId(value);
      MacroInfo info;
      if (!id || !store.GetMacro(*id, info)) return ctx.Failure("no macro with id " + value);
      kf.macro_value = *id;
      if (desc.empty()) desc = info.name;
      break;
    }
    case kFnShortcut: {
      const std::optional<int> v = ParseBounded(value, 1, kShortcutCount);
      if (!v) return ctx.Failure("a shortcut is a number from 1 to 15");
      kf.macro_value = *v;
      break;
    }
    case kFnMedia: {
      const std::optional<int> v = ParseBounded(value, 1, kMediaFunctionCount);
      if (!v) return ctx.Failure("a media function is a number from 1 to 7");
      kf.macro_value = *v;
      break;
    }
    case kFnMouse: {
      const std::optional<int> v = ParseNumber(value);
      if (!v || !IsMouseFunction(*v)) return ctx.Failure("a mouse function is 1, 2, 3, 7 or 8");
      kf.macro_value = *v;
      break;
    }
    case kFnSwitchProfile: {
      const std::optional<int> id = ParseId(value);
      std::wstring name;
      if (!id || *id == 0 || !store.GetProfileName(*id, name)) return ctx.Failure("no profile with id " + value);
      kf.macro_value = *id;  // replaced by the action row below
      if (desc.empty()) desc = name;
      break;
    }
    default:  // program, website, text
      if (value.empty()) return ctx.Failure("the " + kindName + " must not be empty");
      kf.macro_value = 1;
      break;
  }
  if (const std::string problem = LimitProblem(store, profile, *key, kf.macro_type); !problem.empty())
    return ctx.Failure(problem);

  if (type >= kFnRunProgram && type <= kFnSwitchProfile) {
    KeyOtherData other;
    other.type = type;
    if (type == kFnRunProgram) {
      other.param = Utf8ToWide(value);
      other.macro_desc = desc.empty() ? other.param : desc;
    } else if (type == kFnSwitchProfile) {
      other.param = std::to_wstring(kf.macro_value);
      other.macro_desc = desc;
    } else {
      other.macro_desc = Utf8ToWide(value);
    }
    const int id = store.AddKeyOtherData(other);
    if (id <= 0) return ctx.Failure("the action could not be saved");
    kf.macro_value = id;
    desc = other.macro_desc;
  }
  kf.macro_desc = desc;
  return Save(ctx, store, kf);
}

const CommandRegistrar kKeys("keys", "show and change the current profile's key assignments", &RunKeys);

}  // namespace
}  // namespace brumkey::cli
