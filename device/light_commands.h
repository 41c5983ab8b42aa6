#pragma once
// Light commands of both families: preset mode and parameters, custom slot
// selection, the per-key colour upload and the per-key colour stream.
#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "device/device_link.h"
#include "device/protocol.h"
#include "store/profile_store.h"
#include "util/clock.h"

namespace brumkey {

// Capability bits of a light mode (config_func).
inline constexpr int kCapBrightness = 0x001;
inline constexpr int kCapSpeed = 0x002;
inline constexpr int kCapDirection1 = 0x004;
inline constexpr int kCapDirection2 = 0x008;
inline constexpr int kCapRgb = 0x010;
inline constexpr int kCapColourful = 0x020;
inline constexpr int kCapPalette = 0x040;
inline constexpr int kCapPalette2 = 0x080;
inline constexpr int kCapCustom = 0x100;
inline constexpr int kCapMusic = 0x200;
inline constexpr int kCapScreen = 0x400;
inline constexpr int kCapAreas = 0x800;

// 0x00BBGGRR channels.
inline uint8_t Red(int c) { return static_cast<uint8_t>(c & 0xFF); }
inline uint8_t Green(int c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
inline uint8_t Blue(int c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

// First family: 0x88 selects mode `mode`.
Report65 FirstFamilyModeReport(int mode);
// First family: 0x89 with the row's packed parameters.
Report65 FirstFamilyParamsReport(const LightSetting& row);
// Second family wired: 0xF7. `customSlot` is used when the mode is custom.
Feature8 SecondFamilyLightFeature(const LightSetting& row, int customSlot);
// Second family through a receiver: sub-command 0xAA with the same fields.
Receiver64 ReceiverLightCommand(const LightSetting& row, int customSlot);
// First family: 0xFF custom slot selection.
Feature8 CustomSlotFeature(const LightSetting& row, int customSlot);

// Host-side light protocol state of one program run.
struct LightProtocolState {
  // First family: the next light command carries parameters instead of
  // selecting the mode. Cleared by a mode selection.
  bool paramsFollow = true;
  int customSlot = 0;  // 0-2
  // The stream start goes out once per run.
  bool streamStarted = false;
};

// Sends `row` for the family; updates the parameters-follow flag. False
// when nothing was sent (no command set, or the link refused it).
bool SendLightRow(DeviceLink& link, int deviceType, const LightSetting& row,
                  LightProtocolState& state);
bool SelectCustomSlot(DeviceLink& link, int deviceType, const LightSetting& row,
                      LightProtocolState& state, int slot);

// A key colour for the upload or the stream.
struct KeyColour {
  int keyCode = 0;
  int colour = 0;  // 0x00BBGGRR
};

inline constexpr int kUploadPositions = 150;
inline constexpr int kStreamPositions = 200;
// 600-byte image, 4 bytes (r, g, b, 0xFF) per position.
std::array<uint8_t, 600> UploadImage(const std::vector<KeyColour>& keys,
                                     const std::map<uint32_t, int>& lightIndexByCode);
std::vector<Report65> UploadChunks(const std::array<uint8_t, 600>& image);
// 600-byte image, 3 bytes (r, g, b) per position.
std::array<uint8_t, 600> StreamImage(const std::vector<KeyColour>& keys,
                                     const std::map<uint32_t, int>& lightIndexByCode);
std::vector<Report65> StreamChunks(const std::array<uint8_t, 600>& image);
Report65 StreamStartReport();

// Worker command 8: the stored custom colours as eight 0x8B chunks; stops
// at the first chunk that fails. Returns the chunks written.
int UploadCustomColours(DeviceLink& link, Clock& clock, const std::vector<KeyColour>& keys,
                        const std::map<uint32_t, int>& lightIndexByCode);
// One stream frame (first family): the start report once per run, then six
// 0xF1 chunks to the stream interface, stopping at the first failure.
int StreamKeyColours(DeviceLink& link, Clock& clock, const std::vector<KeyColour>& keys,
                     const std::map<uint32_t, int>& lightIndexByCode, LightProtocolState& state);

}  // namespace brumkey
