#include "lighting/light_modes.h"

#include <algorithm>
#include <functional>

namespace brumkey {

namespace {
bool Change(ProfileStore& store, int profile, int mode, const std::function<void(LightSetting&)>& f) {
  auto hold = store.Hold();
  LightSetting row;
  if (!store.GetLight(profile, mode, row)) return false;
  f(row);
  return store.UpdateLight(profile, mode, row);
}

int SetNibble(int field, bool high, int value) {
  const int v = value & 0x0F;
  return high ? (field & ~0xF0) | (v << 4) : (field & ~0x0F) | v;
}
}  // namespace

int EnsureDefaultLightRows(ProfileStore& store, int profile, const LightDefaults& d) {
  auto hold = store.Hold();
  if (store.CountLights(profile) > 0) return 0;
  const bool second = d.deviceType >= 200 && d.deviceType <= 299;
  int added = 0;
  for (const LightSetting& m : d.modes) {
    LightSetting row;
    row.profile = profile;
    row.name = m.name;
    row.mode = m.mode;
    row.brightness = d.defaultBrightness;
    row.speed = d.defaultSpeed;
    row.direction = second ? 2 : 0;
    row.colorful = 1;
    row.colorindex = 0;
    row.color_value = 0x0000FF;
    row.config_func = m.config_func;
    row.reserved = 0;
    row.status = 0;
    if (m.mode == 9) row.speed = row.direction = row.colorindex = 0;
    if (store.AddLight(row) > 0) ++added;
  }
  store.SetActiveLight(profile, d.defaultLightMode);
  return added;
}

bool SetLightBrightness(ProfileStore& store, int profile, int mode, int value) {
  return Change(store, profile, mode, [&](LightSetting& r) { r.brightness = value; });
}

bool SetLightSpeed(ProfileStore& store, int profile, int mode, int value) {
  return Change(store, profile, mode, [&](LightSetting& r) { r.speed = value; });
}

bool SetLightDirection(ProfileStore& store, int profile, int mode, int deviceType,
                       bool firstChecked) {
  const bool second = deviceType >= 200 && deviceType <= 299;
  const int value = second ? (firstChecked ? 1 : 2) : (firstChecked ? 0 : 1);
  return Change(store, profile, mode, [&](LightSetting& r) { r.direction = value; });
}

bool SetLightColourful(ProfileStore& store, int profile, int mode, bool checked, bool byCheckBox) {
  return Change(store, profile, mode, [&](LightSetting& r) {
    r.colorful = checked ? 1 : 0;
    if (!checked && byCheckBox) r.color_value = 255;
  });
}

bool SetLightColour(ProfileStore& store, int profile, int mode, int red, int green, int blue) {
  const int c = std::clamp(red, 0, 255) | (std::clamp(green, 0, 255) << 8) |
                (std::clamp(blue, 0, 255) << 16);
  return Change(store, profile, mode, [&](LightSetting& r) {
    r.colorful = 0;
    r.color_value = c;
  });
}

bool SetLightColorIndex(ProfileStore& store, int profile, int mode, int index) {
  return Change(store, profile, mode, [&](LightSetting& r) { r.colorindex = index; });
}

bool SetLightArea(ProfileStore& store, int profile, int mode, int area, int pos) {
  if (area < 1 || area > 6 || pos < 0 || pos > 6) return false;
  return Change(store, profile, mode, [&](LightSetting& r) {
    switch (area) {
      case 1: r.speed = SetNibble(r.speed, false, pos); break;
      case 2: r.direction = SetNibble(r.direction, false, pos); break;
      case 3: r.direction = SetNibble(r.direction, true, pos); break;
      case 4: r.colorindex = SetNibble(r.colorindex, false, pos); break;
      case 5: r.colorindex = SetNibble(r.colorindex, true, pos); break;
      case 6: r.speed = SetNibble(r.speed, true, pos); break;
    }
  });
}

int LightAreaValue(const LightSetting& r, int area) {
  switch (area) {
    case 1: return r.speed & 0x0F;
    case 2: return r.direction & 0x0F;
    case 3: return (r.direction >> 4) & 0x0F;
    case 4: return r.colorindex & 0x0F;
    case 5: return (r.colorindex >> 4) & 0x0F;
    case 6: return (r.speed >> 4) & 0x0F;
    default: return -1;
  }
}

bool SendLightSettings(DeviceLink& link, ProfileStore& store, int deviceType, int profile,
                       int mode, LightProtocolState& state) {
  LightSetting row;
  if (!store.GetLight(profile, mode, row)) return false;
  return SendLightRow(link, deviceType, row, state);
}

std::vector<KeyColour> StoredCustomColours(ProfileStore& store) {
  std::vector<KeyLight> rows;
  store.LoadKeyLights(kCustomLightMode, rows);
  std::vector<KeyColour> out;
  out.reserve(rows.size());
  for (const KeyLight& k : rows) out.push_back({k.key_code, k.key_rgb});
  return out;
}

}  // namespace brumkey
