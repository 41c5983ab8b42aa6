#pragma once
// Firmware of a simulated keyboard that understands the command protocol:
// it decodes what the host sends into keyboard state and answers the
// slot-table and firmware-version reads from that state.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/sim/simulated_keyboard.h"

namespace brumkey {

struct FirmwareMacroEvent {
  uint8_t usage = 0;
  bool release = false;
  int delayMs = 0;  // first family: exact; second family: decoded delay byte
  bool operator==(const FirmwareMacroEvent&) const = default;
};

struct FirmwareMacroSlot {
  uint8_t owner = 0;      // second family: owning key code (0 = free)
  int playCount = 0;
  int rowCount = 0;       // first family: the block's row count
  int declaredBytes = 0;  // first family: sum of the chunks' length bytes
  std::vector<FirmwareMacroEvent> events;
};

struct FirmwareLight {
  int mode = 0;          // as the keyboard numbers it (second family: byte + 1)
  int params = 0;        // first family: packed byte of 0x89
  int red = 0, green = 0, blue = 0;
  int brightness = 0;
  int speed = 0;         // raw byte as received
  int direction = 0;
  int colorindex = 0;
  int customSlot = 0;
  int commands = 0;      // light commands taken
};

struct FirmwareState {
  int family = 0;
  int resets = 0;
  int errors = 0;
  std::string lastError;
  // First family.
  std::array<uint8_t, 360> keyTable{};
  std::map<int, FirmwareMacroSlot> firstMacros;  // slot (from 0) -> contents
  std::array<uint8_t, 600> customColours{};
  std::array<uint8_t, 600> streamFrame{};
  int streamChunks = 0;
  bool streamStarted = false;
  // Second family.
  std::array<FirmwareMacroSlot, 14> macroSlots{};          // 1-13
  std::array<std::pair<uint8_t, uint8_t>, 11> comboSlots{};  // 1-10: (key, usage)
  int musicLevel = -1;
  // Both.
  FirmwareLight light;
  uint16_t firmwareVersion = 0;
};

class ProtocolFirmware final : public KeyboardFirmware {
 public:
  // Receiver: the keyboard hangs off a wireless receiver (modes 1, 2).
  ProtocolFirmware(int deviceType, bool receiver);

  void OnReport(SimReportKind kind, int interfaceNumber, const uint8_t* data, size_t len) override;

  const FirmwareState& State() const { return s_; }
  void SetFirmwareVersion(uint16_t v) { s_.firmwareVersion = v; }

 private:
  void Error(const std::string& what);
  void OnOutput(int interfaceNumber, const uint8_t* d, size_t len);
  void OnFeature(const uint8_t* d, size_t len);
  void OnReceiver(const uint8_t* d);
  void FirstFamilyMacroChunk(const uint8_t* d);
  void FinishSecondFamilyBlock();
  void FactoryReset();

  FirmwareState s_;
  bool receiver_ = false;
  // First-family macro reassembly, per slot.
  std::map<int, std::vector<uint8_t>> firstBlocks_;
  // Second-family 0xF1 block in progress.
  std::vector<uint8_t> block_;
  bool blockOpen_ = false;
  bool receiverResetArmed_ = false;
};

// Installs a protocol firmware model on `keyboard` (by its type and mode).
void InstallProtocolFirmware(SimulatedKeyboard& keyboard, uint16_t firmwareVersion = 0x0105);
// A copy of the decoded state; family 0 when no protocol firmware runs.
FirmwareState ReadFirmwareState(SimulatedKeyboard& keyboard);
void SetSimFirmwareVersion(SimulatedKeyboard& keyboard, uint16_t version);
// Readable dump of the state, for the command line's --state.
std::string DescribeFirmwareState(const FirmwareState& s);

}  // namespace brumkey
