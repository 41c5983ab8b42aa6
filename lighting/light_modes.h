#pragma once
// Light modes on the store side: the default rows of a profile and the
// field changes of the lighting page's controls, and worker command 7.
#include <vector>

#include "device/device_link.h"
#include "device/light_commands.h"
#include "store/profile_store.h"

namespace brumkey {

struct LightDefaults {
  int deviceType = 0;
  int defaultLightMode = 0;
  int defaultBrightness = 0;
  int defaultSpeed = 0;
  // The layout's mode list: name, mode and config_func are used.
  std::vector<LightSetting> modes;
};

// Adds one row per mode when `profile` has none and makes the default mode
// active. Returns the rows added (0 when the profile already had rows).
int EnsureDefaultLightRows(ProfileStore& store, int profile, const LightDefaults& defaults);

// Each changes one field of (profile, mode)'s row and writes it back; false
// when the row cannot be read or written (then nothing should be queued).
bool SetLightBrightness(ProfileStore& store, int profile, int mode, int value);
bool SetLightSpeed(ProfileStore& store, int profile, int mode, int value);
// The direction pair: 0 / 1, or 1 / 2 on second-family keyboards.
bool SetLightDirection(ProfileStore& store, int profile, int mode, int deviceType,
                       bool firstChecked);
// byCheckBox: unchecked by the box itself resets the colour to red.
bool SetLightColourful(ProfileStore& store, int profile, int mode, bool checked, bool byCheckBox);
// Channels are clamped to 0-255; a colourful row becomes single-colour.
bool SetLightColour(ProfileStore& store, int profile, int mode, int red, int green, int blue);
bool SetLightColorIndex(ProfileStore& store, int profile, int mode, int index);
// Area 1-6, colour position 0-6 (red ... white).
bool SetLightArea(ProfileStore& store, int profile, int mode, int area, int colourPosition);
// Reads an area's stored nibble back; -1 for an unknown area.
int LightAreaValue(const LightSetting& row, int area);

// Worker command 7 for (profile, mode). False when nothing was sent.
bool SendLightSettings(DeviceLink& link, ProfileStore& store, int deviceType, int profile,
                       int mode, LightProtocolState& state);

// The stored custom colour set (light_id 128) as upload input.
std::vector<KeyColour> StoredCustomColours(ProfileStore& store);

}  // namespace brumkey
