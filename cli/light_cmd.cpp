// brumkeyctl light and colors: light modes and per-key colours of the
// current profile (store only; `apply` sends them).
#include <map>
#include <ostream>
#include <sstream>

#include "cli/protocol_cli.h"
#include "keys/key_codes.h"
#include "lighting/light_modes.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

constexpr char kLightUsage[] =
    "light modes | show | set MODE [--brightness N] [--speed N] [--direction N] [--colorful 0|1]\n"
    "  [--color RRGGBB] [--colorindex N] [--area N=COLOUR[,N=COLOUR...]]  (COLOUR: 0-6 or\n"
    "  red, green, blue, yellow, magenta, cyan, white)";
constexpr char kColorsUsage[] = "colors set KEYCODE=RRGGBB ... | clear";

constexpr const char* kAreaColours[] = {"red", "green", "blue", "yellow", "magenta", "cyan", "white"};

void PrintRow(std::ostream& o, const LightSetting& r) {
  o << "mode " << r.mode << "\tbrightness " << r.brightness << "\tspeed " << r.speed << "\tdirection "
    << r.direction << "\tcolorful " << r.colorful << "\tcolorindex " << r.colorindex << "\tcolor "
    << RgbText(r.color_value) << "\tconfig 0x" << std::hex << r.config_func << std::dec << "\n";
}

// "N=COLOUR,..." into (area, position) pairs; empty on any bad item.
std::vector<std::pair<int, int>> ParseAreas(const std::string& text) {
  std::vector<std::pair<int, int>> out;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return {};
    const std::optional<int> area = ParseBounded(item.substr(0, eq), 1, 6);
    const std::string c = item.substr(eq + 1);
    std::optional<int> pos = ParseBounded(c, 0, 6);
    for (int i = 0; i < 7 && !pos; ++i)
      if (c == kAreaColours[i]) pos = i;
    if (!area || !pos) return {};
    out.push_back({*area, *pos});
  }
  return out;
}

int RunLight(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) return ctx.UsageError(kLightUsage);
  const std::string& sub = a[0];
  if (!((sub == "modes" || sub == "show") && a.size() == 1) && !(sub == "set" && a.size() == 2))
    return ctx.UsageError(kLightUsage);

  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileStore& store = s.Store();
  const KeyboardLayout& layout = s.Layout();
  const int profile = s.Rules().CurrentProfile();
  const int type = ctx.Options().model;

  if (sub == "modes") {
    for (const LightSetting& m : layout.lightModes)
      ctx.out << m.mode << "\tname " << WideToUtf8(m.name) << "\tconfig 0x" << std::hex << m.config_func
              << std::dec << "\n";
    return kExitOk;
  }
  s.EnsureLightRows();
  if (sub == "show") {
    LightSetting row;
    if (!store.GetLight(profile, store.GetActiveLightMode(profile), row))
      return ctx.Failure("the profile has no active light mode");
    PrintRow(ctx.out, row);
    return kExitOk;
  }

  const std::optional<int> mode = ParseNumber(a[1]);
  LightSetting row;
  if (!mode || !store.GetLight(profile, *mode, row))
    return ctx.Failure("model " + std::to_string(type) + " has no light mode " + a[1]);

  // Everything is checked before anything is written.
  struct Change {
    const char* option;
    int lo, hi;
    std::optional<int> value;
  };
  Change changes[] = {{"--brightness", 0, layout.brightnessMax, {}},
                      {"--speed", 0, layout.speedMax, {}},
                      {"--direction", 0, 2, {}},
                      {"--colorful", 0, 1, {}},
                      {"--colorindex", 0, 7, {}}};
  for (Change& c : changes) {
    if (std::optional<std::string> v = ctx.Option(c.option)) {
      c.value = ParseBounded(*v, c.lo, c.hi);
      if (!c.value)
        return ctx.Failure(std::string(c.option) + " takes a number from " + std::to_string(c.lo) + " to " +
                           std::to_string(c.hi));
    }
  }
  std::optional<int> colour;
  if (std::optional<std::string> v = ctx.Option("--color")) {
    colour = ParseRgb(*v);
    if (!colour) return ctx.Failure("--color takes RRGGBB in hexadecimal");
  }
  std::vector<std::pair<int, int>> areas;
  if (std::optional<std::string> v = ctx.Option("--area")) {
    areas = ParseAreas(*v);
    if (areas.empty()) return ctx.Failure("--area takes N=COLOUR with N from 1 to 6");
  }

  store.SetActiveLight(profile, *mode);
  const int m = *mode;
  if (changes[0].value) SetLightBrightness(store, profile, m, *changes[0].value);
  if (changes[1].value) SetLightSpeed(store, profile, m, *changes[1].value);
  if (changes[2].value) {
    store.GetLight(profile, m, row);
    row.direction = *changes[2].value;
    store.UpdateLight(profile, m, row);
  }
  if (colour) SetLightColour(store, profile, m, *colour & 0xFF, (*colour >> 8) & 0xFF, (*colour >> 16) & 0xFF);
  if (changes[3].value) SetLightColourful(store, profile, m, *changes[3].value == 1, /*byCheckBox=*/!colour);
  if (changes[4].value) SetLightColorIndex(store, profile, m, *changes[4].value);
  for (auto [area, pos] : areas) SetLightArea(store, profile, m, area, pos);
  store.GetLight(profile, m, row);
  PrintRow(ctx.out, row);
  return kExitOk;
}

int RunColors(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty() || (a[0] == "clear" && a.size() != 1) || (a[0] == "set" && a.size() < 2) ||
      (a[0] != "set" && a[0] != "clear"))
    return ctx.UsageError(kColorsUsage);
  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileStore& store = s.Store();
  if (a[0] == "clear") {
    if (!store.ReplaceCustomKeyLights({})) return ctx.Failure("the colours could not be cleared");
    return kExitOk;
  }
  std::map<int, int> colours;  // key code -> colour, stored set first
  std::vector<int> order;
  for (const KeyColour& k : StoredCustomColours(store)) {
    if (!colours.count(k.keyCode)) order.push_back(k.keyCode);
    colours[k.keyCode] = k.colour;
  }
  const int profile = s.Rules().CurrentProfile();
  for (size_t i = 1; i < a.size(); ++i) {
    const size_t eq = a[i].find('=');
    const std::optional<int> key = eq == std::string::npos ? std::nullopt : ParseNumber(a[i].substr(0, eq));
    if (!key || s.Layout().lightIndexByCode.count(static_cast<uint32_t>(*key)) == 0)
      return ctx.Failure("unknown key code in " + a[i]);
    const std::optional<int> c = ParseRgb(a[i].substr(eq + 1));
    if (!c) return ctx.Failure("not a colour RRGGBB in " + a[i]);
    if (!colours.count(*key)) order.push_back(*key);
    colours[*key] = *c;
  }
  std::vector<KeyLight> lights;
  for (int key : order) lights.push_back({0, profile, kCustomLightMode, key, colours[key]});
  if (!store.ReplaceCustomKeyLights(lights)) return ctx.Failure("the colours could not be saved");
  return kExitOk;
}

const CommandRegistrar kLight("light", "show and change the light modes of the current profile", &RunLight,
                              {{"--brightness", true},
                               {"--speed", true},
                               {"--direction", true},
                               {"--colorful", true},
                               {"--color", true},
                               {"--colorindex", true},
                               {"--area", true}});
const CommandRegistrar kColors("colors", "set or clear the per-key custom colours", &RunColors);

}  // namespace
}  // namespace brumkey::cli
