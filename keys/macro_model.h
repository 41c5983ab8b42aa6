#pragma once
// Macros on the model and store side: names, creating, duplicating,
// renaming, playback settings and editing the event list.
#include <string>
#include <vector>

#include "store/profile_store.h"

namespace brumkey {

inline constexpr int kMaxMacroKeyEvents = 80;
inline constexpr int kStringMacro = 331;
inline constexpr int kMsgForbiddenName = 621;
inline constexpr int kMsgEmptyName = 330;

// A stored name as the macro list shows it: "Macro..." names are shown with
// the language's word for macro in languages 1033 and 1046.
std::wstring MacroDisplayName(const std::wstring& name, int language, const std::wstring& macroWord);
// "<base> <n>" with the smallest n from 1 that no entry has exactly.
std::wstring NextFreeName(const std::wstring& base, const std::vector<std::wstring>& taken);

enum class RenameResult { Renamed, Forbidden, Empty, Failed };

struct PlaybackSettings {
  int playTimes = 1;  // 1-99
  int delayType = 1;  // 1 recorded, 2 none, 3 fixed
  int delayTime = 10;
};

class MacroModel {
 public:
  MacroModel(ProfileStore& store, std::wstring macroWord)
      : store_(store), macroWord_(std::move(macroWord)) {}

  // Names of every stored macro, store order.
  std::vector<std::wstring> Names();
  // New macro "<macro word> <n>"; its id, or 0.
  int NewMacro();
  // Copy with name "<old> - <n>", settings and events; its id, or 0.
  int DuplicateMacro(int macroId);
  RenameResult Rename(int macroId, const std::wstring& name);
  bool Delete(int macroId) { return macroId > 0 && store_.DeleteMacro(macroId); }
  // Play count clamped to 1-99; the fixed delay only for type 3 (else 10).
  // Returns what was stored.
  PlaybackSettings SavePlayback(int macroId, int playTimes, int delayType, int fixedDelay);

  std::vector<MacroEvent> Events(int macroId);
  // Replaces the events in list order, record_index 0, 1, 2, ...; delays
  // clamped to 0-31000.
  bool SaveEvents(int macroId, std::vector<MacroEvent> events);

  // Appends one key event; false at the 80-key-event limit or for a type
  // other than press/release.
  bool AddKeyEvent(int macroId, int type, int vk, int delayMs);
  bool SetEventDelay(int macroId, int index, int delayMs);
  // List edits; each saves. Out-of-range indexes change nothing.
  bool MoveEventUp(int macroId, int index);
  bool MoveEventDown(int macroId, int index);
  bool DeleteEvent(int macroId, int index);

 private:
  ProfileStore& store_;
  std::wstring macroWord_;
};

}  // namespace brumkey
