#include "device/light_commands.h"

#include <cstring>

namespace brumkey {

namespace {
uint8_t B(int v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t Dec(int v) { return B(v == 0 ? 0 : v - 1); }
uint8_t SlotByte(const LightSetting& row, int slot) {
  return (row.config_func & kCapCustom) ? B(slot) : 0;
}

// Mode, palette, direction, speed, brightness, slot, as both second-family
// light commands carry them.
std::array<uint8_t, 6> SecondFamilyLightFields(const LightSetting& row, int slot) {
  const int m = row.mode;
  std::array<uint8_t, 6> f = {B(m - 1), B(row.colorindex), B(row.direction),
                              Dec(row.speed), Dec(row.brightness), SlotByte(row, slot)};
  if (m == 4) {
    f[2] = Red(row.color_value);
    f[3] = Green(row.color_value);
    f[5] = Blue(row.color_value);
  }
  return f;
}
}  // namespace

Report65 FirstFamilyModeReport(int mode) { return MakeShortOutput({0x88, 0x00, B(mode)}); }

Report65 FirstFamilyParamsReport(const LightSetting& row) {
  const uint8_t packed = static_cast<uint8_t>(((row.direction & 3) << 4) |
                                              (row.colorful ? 0x40 : 0) | (row.speed & 0x0F));
  return MakeShortOutput({0x89, 0x00, packed, Red(row.color_value), Green(row.color_value),
                          Blue(row.color_value), B(row.brightness)});
}

Feature8 SecondFamilyLightFeature(const LightSetting& row, int customSlot) {
  std::array<uint8_t, 6> f = SecondFamilyLightFields(row, customSlot);
  if (row.mode == 9) f[3] = B(row.speed);
  return MakeFeature({0xF7, f[0], f[1], f[2], f[3], f[4], f[5]});
}

Receiver64 ReceiverLightCommand(const LightSetting& row, int customSlot) {
  const std::array<uint8_t, 6> f = SecondFamilyLightFields(row, customSlot);
  return MakeReceiverCommand({0xAA, f[0], f[1], f[2], f[3], f[4], f[5]});
}

Feature8 CustomSlotFeature(const LightSetting& row, int customSlot) {
  return MakeFeature({0xFF, 0xFF, B(row.mode - 1), B(row.brightness), B(row.speed), 0x00,
                      SlotByte(row, customSlot)});
}

bool SendLightRow(DeviceLink& link, int deviceType, const LightSetting& row,
                  LightProtocolState& state) {
  switch (CommandFamily(deviceType)) {
    case 1: {
      const Report65 r =
          state.paramsFollow ? FirstFamilyParamsReport(row) : FirstFamilyModeReport(row.mode);
      state.paramsFollow = true;
      return link.WriteReport(r.data());
    }
    case 2:
      if (link.GetConnectionMode() == 0) {
        const Feature8 f = SecondFamilyLightFeature(row, state.customSlot);
        return link.SendFeaturePaced(f.data());
      } else {
        const Receiver64 r = ReceiverLightCommand(row, state.customSlot);
        return link.WriteReportZero(r.data());
      }
    default: return false;
  }
}

bool SelectCustomSlot(DeviceLink& link, int deviceType, const LightSetting& row,
                      LightProtocolState& state, int slot) {
  state.customSlot = slot;
  if (deviceType >= 200) return false;
  const Feature8 f = CustomSlotFeature(row, slot);
  return link.SendFeaturePaced(f.data());
}

std::array<uint8_t, 600> UploadImage(const std::vector<KeyColour>& keys,
                                     const std::map<uint32_t, int>& lightIndexByCode) {
  std::array<uint8_t, 600> img{};
  for (const KeyColour& k : keys) {
    auto it = lightIndexByCode.find(static_cast<uint32_t>(k.keyCode));
    if (it == lightIndexByCode.end() || it->second < 0 || it->second >= kUploadPositions) continue;
    uint8_t* p = img.data() + 4 * it->second;
    p[0] = Red(k.colour);
    p[1] = Green(k.colour);
    p[2] = Blue(k.colour);
    p[3] = 0xFF;
  }
  return img;
}

std::vector<Report65> UploadChunks(const std::array<uint8_t, 600>& image) {
  std::vector<Report65> out;
  for (int k = 0; k < 8; ++k) {
    const uint8_t len = k == 7 ? 20 : 60;
    out.push_back(MakeTableChunk(0x8B, len, static_cast<uint16_t>(60 * k), image.data() + 60 * k, len));
  }
  return out;
}

std::array<uint8_t, 600> StreamImage(const std::vector<KeyColour>& keys,
                                     const std::map<uint32_t, int>& lightIndexByCode) {
  std::array<uint8_t, 600> img{};
  for (const KeyColour& k : keys) {
    auto it = lightIndexByCode.find(static_cast<uint32_t>(k.keyCode));
    if (it == lightIndexByCode.end() || it->second < 0 || it->second >= kStreamPositions) continue;
    uint8_t* p = img.data() + 3 * it->second;
    p[0] = Red(k.colour);
    p[1] = Green(k.colour);
    p[2] = Blue(k.colour);
  }
  return img;
}

std::vector<Report65> StreamChunks(const std::array<uint8_t, 600>& image) {
  std::vector<Report65> out;
  for (int k = 0; k < 6; ++k) {
    const uint8_t len = k == 5 ? 30 : 60;
    out.push_back(MakeTableChunk(0xF1, len, static_cast<uint16_t>(60 * k), image.data() + 60 * k, len));
  }
  return out;
}

Report65 StreamStartReport() { return MakeShortOutput({0xF0, 0xF4, 0x01}); }

int UploadCustomColours(DeviceLink& link, Clock& clock, const std::vector<KeyColour>& keys,
                        const std::map<uint32_t, int>& lightIndexByCode) {
  int sent = 0;
  for (const Report65& chunk : UploadChunks(UploadImage(keys, lightIndexByCode))) {
    clock.SleepMs(1);
    if (!link.WriteReport(chunk.data())) break;
    ++sent;
  }
  return sent;
}

int StreamKeyColours(DeviceLink& link, Clock& clock, const std::vector<KeyColour>& keys,
                     const std::map<uint32_t, int>& lightIndexByCode, LightProtocolState& state) {
  if (!state.streamStarted) {
    const Report65 start = StreamStartReport();
    link.WriteReport(start.data());
    state.streamStarted = true;
  }
  int sent = 0;
  for (const Report65& chunk : StreamChunks(StreamImage(keys, lightIndexByCode))) {
    clock.SleepMs(1);
    if (!link.WriteStreamReport(chunk.data())) break;
    ++sent;
  }
  return sent;
}

}  // namespace brumkey
