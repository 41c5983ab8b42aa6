#include "device/sim/firmware_model.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace brumkey {

namespace {
constexpr uint8_t kSig[4] = {0xBB, 0xAA, 0x99, 0x88};
constexpr size_t kSecondBlockLen = 168;
constexpr int kFirstBlockMax = 2 + 3 * 255;

int FamilyOf(int deviceType) {
  if (deviceType <= 200) return 1;
  if (deviceType <= 299) return 2;
  return 0;
}

// Bit 7 release, bits 6-5 unit, bits 4-0 count.
FirmwareMacroEvent DecodeDelayEvent(uint8_t usage, uint8_t b) {
  static constexpr int kUnitMs[4] = {10, 50, 100, 1000};
  return {usage, (b & 0x80) != 0, (b & 0x1F) * kUnitMs[(b >> 5) & 3]};
}
}  // namespace

ProtocolFirmware::ProtocolFirmware(int deviceType, bool receiver) : receiver_(receiver) {
  s_.family = FamilyOf(deviceType);
}

void ProtocolFirmware::Error(const std::string& what) {
  ++s_.errors;
  s_.lastError = what;
}

void ProtocolFirmware::FactoryReset() {
  ++s_.resets;
  s_.keyTable.fill(0);
  s_.firstMacros.clear();
  firstBlocks_.clear();
  for (auto& m : s_.macroSlots) m = FirmwareMacroSlot{};
  for (auto& c : s_.comboSlots) c = {0, 0};
  s_.customColours.fill(0);
  s_.light = FirmwareLight{};
  blockOpen_ = false;
}

void ProtocolFirmware::OnReport(SimReportKind kind, int interfaceNumber, const uint8_t* data,
                                size_t len) {
  if (!data || len == 0) return Error("empty report");
  if (kind == SimReportKind::Output) return OnOutput(interfaceNumber, data, len);
  if (kind == SimReportKind::FeatureSet) return OnFeature(data, len);
}

void ProtocolFirmware::OnOutput(int interfaceNumber, const uint8_t* d, size_t len) {
  if (len != 65) return Error("output report of " + std::to_string(len) + " bytes");
  if (d[0] != 0x00) return Error("output report id " + std::to_string(d[0]));
  if (std::memcmp(d + 1, kSig, 4) == 0) {
    if (s_.family != 2 || !receiver_) return Error("receiver command on a wired keyboard");
    return OnReceiver(d);
  }
  const uint8_t cmd = d[1];
  const int valid = d[2];
  const int offset = d[3] | (d[4] << 8);
  auto table = [&](uint8_t* image, size_t size) {
    if (valid > 60) return Error("length byte beyond the payload");
    if (static_cast<size_t>(offset) + valid > size) return Error("chunk offset out of range");
    std::memcpy(image + offset, d + 5, valid);
  };
  // The custom colour table is the one output command both families take.
  if (cmd == 0x8B) return table(s_.customColours.data(), s_.customColours.size());
  if (s_.family != 1) return Error("output command for the other family");

  switch (cmd) {
    case 0x8D: return table(s_.keyTable.data(), s_.keyTable.size());
    case 0x8E: return FirstFamilyMacroChunk(d);
    case 0x88:
      s_.light.mode = d[3];
      ++s_.light.commands;
      return;
    case 0x89:
      s_.light.params = d[3];
      s_.light.direction = (d[3] >> 4) & 3;
      s_.light.speed = d[3] & 0x0F;
      s_.light.red = d[4];
      s_.light.green = d[5];
      s_.light.blue = d[6];
      s_.light.brightness = d[7];
      ++s_.light.commands;
      return;
    case 0xF0:
      if (d[2] == 0xF4 && d[3] == 0x01) {
        s_.streamStarted = true;
        return;
      }
      return Error("unknown 0xF0 command");
    case 0xF1:
      if (interfaceNumber != 3) return Error("stream chunk on the command interface");
      if (!s_.streamStarted) return Error("stream chunk before the stream start");
      table(s_.streamFrame.data(), s_.streamFrame.size());
      ++s_.streamChunks;
      return;
    case 0xFF:
      if (d[2] == 0xFE && d[3] == 0xAA && d[4] == 0xFF) return FactoryReset();
      return Error("unknown 0xFF command");
    default: return Error("unknown output command " + std::to_string(cmd));
  }
}

void ProtocolFirmware::FirstFamilyMacroChunk(const uint8_t* d) {
  const int valid = d[2];
  const int offset = d[3] | (d[4] << 8);
  const int slot = d[5];
  if (valid > 59) return Error("length byte beyond the payload");
  if (offset + valid > kFirstBlockMax) return Error("chunk offset out of range");
  std::vector<uint8_t>& block = firstBlocks_[slot];
  if (offset == 0) block.assign(kFirstBlockMax + 59, 0);
  if (block.empty()) return Error("macro chunk without its first chunk");
  std::memcpy(block.data() + offset, d + 6, 59);

  FirmwareMacroSlot& m = s_.firstMacros[slot];
  if (offset == 0) m.declaredBytes = 0;
  m.declaredBytes += valid;
  m.playCount = block[0];
  m.rowCount = block[1];
  m.events.clear();
  for (int i = 0; i < m.rowCount; ++i) {
    const uint8_t* t = block.data() + 2 + 3 * i;
    if (t[0] == 0 && t[1] == 0 && t[2] == 0) continue;  // row not encoded (a pause)
    FirmwareMacroEvent e;
    e.usage = t[0];
    if (t[2] & 0x80) {
      e.delayMs = t[1] | ((t[2] & 0x7F) << 8);
    } else {
      e.release = true;
      e.delayMs = (t[1] & 0x7F) | (t[2] << 8);
    }
    m.events.push_back(e);
  }
}

void ProtocolFirmware::OnFeature(const uint8_t* d, size_t len) {
  if (len != 8) return Error("feature report of " + std::to_string(len) + " bytes");
  if (d[0] != 0x07) return Error("feature report id " + std::to_string(d[0]));
  const uint8_t cmd = d[1];
  if (s_.family == 1) {
    if (cmd == 0xFF && d[2] == 0xFF) {
      s_.light.mode = d[3] + 1;
      s_.light.brightness = d[4];
      s_.light.speed = d[5];
      s_.light.customSlot = d[7];
      return;
    }
    return Error("feature command for the other family");
  }
  switch (cmd) {
    case 0xF1:
      if (blockOpen_) Error("macro block restarted before it was complete");
      block_.assign(d + 2, d + 8);
      blockOpen_ = true;
      return;
    case 0x00:
      if (!blockOpen_) return Error("block continuation without a block");
      block_.insert(block_.end(), d + 2, d + 8);
      if (block_.size() >= kSecondBlockLen) FinishSecondFamilyBlock();
      return;
    case 0xF0:
      if (d[2] == 0xAA) return FactoryReset();
      return Error("unknown 0xF0 command");
    case 0xF7:
      s_.light.mode = d[2] + 1;
      s_.light.colorindex = d[3];
      s_.light.direction = d[4];
      s_.light.speed = d[5];
      s_.light.brightness = d[6];
      s_.light.customSlot = d[7];
      s_.light.red = d[4];
      s_.light.green = d[5];
      s_.light.blue = d[7];
      ++s_.light.commands;
      return;
    case 0xFA: {
      const int slot = d[3];
      if (d[2] != 0x01 || slot < 1 || slot > 10) return Error("combination slot out of range");
      s_.comboSlots[slot] = d[4] == 0 ? std::pair<uint8_t, uint8_t>{0, 0}
                                      : std::pair<uint8_t, uint8_t>{d[4], d[6]};
      return;
    }
    case 0xFB: {
      std::array<uint8_t, 28> image{};
      for (int n = 1; n <= 13; ++n) image[n] = s_.macroSlots[n].owner;
      for (int n = 1; n <= 10; ++n) image[13 + n] = s_.comboSlots[n].first;
      replies_.clear();
      for (int k = 0; k < 4; ++k) {
        std::vector<uint8_t> reply(8, 0);
        reply[0] = 0x07;
        std::memcpy(reply.data() + 1, image.data() + 7 * k, 7);
        replies_.push_back(reply);
      }
      return;
    }
    case 0xFD:
      replies_.clear();
      replies_.push_back({0x07, static_cast<uint8_t>(s_.firmwareVersion >> 8),
                          static_cast<uint8_t>(s_.firmwareVersion & 0xFF), 0, 0, 0, 0, 0});
      return;
    case 0x23:
      if (d[2] == 0x45 && d[3] == 0x67 && d[4] == 0x89) {
        s_.musicLevel = d[5];
        return;
      }
      return Error("unknown 0x23 command");
    default: return Error("unknown feature command " + std::to_string(cmd));
  }
}

void ProtocolFirmware::FinishSecondFamilyBlock() {
  blockOpen_ = false;
  const uint8_t* b = block_.data();
  const int slot = b[1];
  if (b[0] != 0x01 || slot < 1 || slot > 13) return Error("macro block slot out of range");
  FirmwareMacroSlot m;
  m.owner = b[2];
  m.playCount = b[3];
  for (size_t pos = 4; pos + 1 < kSecondBlockLen; pos += 2) {
    if (b[pos] == 0 && b[pos + 1] == 0) break;
    m.events.push_back(DecodeDelayEvent(b[pos], b[pos + 1]));
  }
  s_.macroSlots[slot] = m;
}

void ProtocolFirmware::OnReceiver(const uint8_t* d) {
  const uint8_t* p = d + 5;
  bool allZero = std::all_of(p, d + 65, [](uint8_t b) { return b == 0; });
  if (allZero) {
    if (receiverResetArmed_) {
      receiverResetArmed_ = false;
      FactoryReset();
      return;
    }
    return Error("bare receiver signature without a reset");
  }
  if (p[0] != 0xAA) return Error("unknown receiver command");
  if (std::all_of(p, p + 6, [](uint8_t b) { return b == 0xAA; })) {
    receiverResetArmed_ = true;
    return;
  }
  s_.light.mode = p[1] + 1;
  s_.light.colorindex = p[2];
  s_.light.direction = p[3];
  s_.light.speed = p[4];
  s_.light.brightness = p[5];
  s_.light.customSlot = p[6];
  s_.light.red = p[3];
  s_.light.green = p[4];
  s_.light.blue = p[6];
  ++s_.light.commands;
}

void InstallProtocolFirmware(SimulatedKeyboard& keyboard, uint16_t firmwareVersion) {
  auto fw = std::make_unique<ProtocolFirmware>(keyboard.DeviceType(), keyboard.Mode() != 0);
  fw->SetFirmwareVersion(firmwareVersion);
  keyboard.SetFirmware(std::move(fw));
}

FirmwareState ReadFirmwareState(SimulatedKeyboard& keyboard) {
  return keyboard.WithFirmware([](KeyboardFirmware& f) {
    auto* p = dynamic_cast<ProtocolFirmware*>(&f);
    return p ? p->State() : FirmwareState{};
  });
}

void SetSimFirmwareVersion(SimulatedKeyboard& keyboard, uint16_t version) {
  keyboard.WithFirmware([version](KeyboardFirmware& f) {
    if (auto* p = dynamic_cast<ProtocolFirmware*>(&f)) p->SetFirmwareVersion(version);
  });
}

std::string DescribeFirmwareState(const FirmwareState& s) {
  std::ostringstream o;
  o << "family " << s.family << "  resets " << s.resets << "  errors " << s.errors;
  if (!s.lastError.empty()) o << " (last: " << s.lastError << ")";
  o << "\n";
  auto events = [&](const FirmwareMacroSlot& m) {
    for (const FirmwareMacroEvent& e : m.events)
      o << " " << (e.release ? "up:" : "down:") << std::hex << int(e.usage) << std::dec << "/"
        << e.delayMs;
  };
  if (s.family == 1) {
    o << "key table:";
    for (int p = 0; p < 180; ++p) {
      if (s.keyTable[2 * p] == 0 && s.keyTable[2 * p + 1] == 0) continue;
      o << " " << p << "=" << std::hex << int(s.keyTable[2 * p]) << ":"
        << int(s.keyTable[2 * p + 1]) << std::dec;
    }
    o << "\n";
    for (const auto& [slot, m] : s.firstMacros) {
      o << "macro slot " << slot << ": plays " << m.playCount << ", rows " << m.rowCount << ":";
      events(m);
      o << "\n";
    }
    o << "light: mode " << s.light.mode << " params 0x" << std::hex << s.light.params << std::dec
      << " rgb " << s.light.red << "," << s.light.green << "," << s.light.blue << " brightness "
      << s.light.brightness << "\n";
    o << "stream: " << (s.streamStarted ? "started" : "not started") << ", chunks "
      << s.streamChunks << "\n";
  } else if (s.family == 2) {
    for (int n = 1; n <= 13; ++n) {
      const FirmwareMacroSlot& m = s.macroSlots[n];
      if (m.owner == 0 && m.events.empty()) continue;
      o << "macro slot " << n << ": key " << int(m.owner) << ", plays " << m.playCount << ":";
      events(m);
      o << "\n";
    }
    for (int n = 1; n <= 10; ++n) {
      if (s.comboSlots[n].first == 0) continue;
      o << "combination slot " << n << ": key " << int(s.comboSlots[n].first) << " -> "
        << int(s.comboSlots[n].second) << "\n";
    }
    o << "light: mode " << s.light.mode << " colorindex " << s.light.colorindex << " direction "
      << s.light.direction << " speed " << s.light.speed << " brightness " << s.light.brightness
      << " slot " << s.light.customSlot << "\n";
  }
  if (s.family != 0) {
    o << "custom colours:";
    for (int p = 0; p < 150; ++p) {
      const uint8_t* c = s.customColours.data() + 4 * p;
      if (c[3] == 0) continue;
      char buf[16];
      std::snprintf(buf, sizeof buf, "%02X%02X%02X", c[0], c[1], c[2]);
      o << " " << p << "=" << buf;
    }
    o << "\n";
  }
  o << "firmware version 0x" << std::hex << s.firmwareVersion << std::dec << "\n";
  return o.str();
}

}  // namespace brumkey
