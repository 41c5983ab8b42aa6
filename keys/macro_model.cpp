#include "keys/macro_model.h"

#include <algorithm>

#include "app/profile_rules.h"
#include "keys/key_codes.h"
#include "util/text.h"

namespace brumkey {

std::wstring MacroDisplayName(const std::wstring& name, int language, const std::wstring& macroWord) {
  if ((language == 1046 || language == 1033) && name.compare(0, 5, L"Macro") == 0 && name.size() >= 5)
    return macroWord + name.substr(5);
  return name;
}

std::wstring NextFreeName(const std::wstring& base, const std::vector<std::wstring>& taken) {
  for (int n = 1;; ++n) {
    std::wstring candidate = base + L" " + std::to_wstring(n);
    if (std::find(taken.begin(), taken.end(), candidate) == taken.end()) return candidate;
  }
}

std::vector<std::wstring> MacroModel::Names() {
  std::vector<MacroInfo> macros;
  store_.LoadMacros(macros);
  std::vector<std::wstring> names;
  for (const MacroInfo& m : macros) names.push_back(m.name);
  return names;
}

int MacroModel::NewMacro() {
  const int id = store_.AddMacro(NextFreeName(macroWord_, Names()));
  return id > 0 ? id : 0;
}

int MacroModel::DuplicateMacro(int macroId) {
  MacroInfo src;
  if (macroId <= 0 || !store_.GetMacro(macroId, src)) return 0;
  MacroInfo copy = src;
  copy.macro_id = 0;
  copy.name = NextFreeName(src.name + L" -", Names());
  const int id = store_.AddMacroInfo(copy);
  if (id <= 0) return 0;
  std::vector<MacroEvent> events;
  store_.LoadMacroEvents(macroId, events);
  for (MacroEvent e : events) {
    e.record_id = 0;
    e.macro_id = id;
    store_.AddMacroEvent(e);
  }
  return id;
}

RenameResult MacroModel::Rename(int macroId, const std::wstring& name) {
  if (ContainsForbiddenWord(name)) return RenameResult::Forbidden;
  if (name.empty()) return RenameResult::Empty;
  return store_.RenameMacro(macroId, name) ? RenameResult::Renamed : RenameResult::Failed;
}

PlaybackSettings MacroModel::SavePlayback(int macroId, int playTimes, int delayType, int fixedDelay) {
  PlaybackSettings p;
  p.playTimes = std::clamp(playTimes, 1, 99);
  p.delayType = delayType == 2 || delayType == 3 ? delayType : 1;
  p.delayTime = p.delayType == 3 ? std::clamp(fixedDelay, 0, kMaxEventDelayMs) : 10;
  MacroInfo info;
  if (macroId <= 0 || !store_.GetMacro(macroId, info)) return p;
  info.play_times = p.playTimes;
  info.delay_type = p.delayType;
  info.delay_time = p.delayTime;
  store_.UpdateMacroPlayback(info);
  return p;
}

std::vector<MacroEvent> MacroModel::Events(int macroId) {
  std::vector<MacroEvent> events;
  store_.LoadMacroEvents(macroId, events);
  return events;
}

bool MacroModel::SaveEvents(int macroId, std::vector<MacroEvent> events) {
  if (macroId <= 0) return false;
  for (size_t i = 0; i < events.size(); ++i) {
    events[i].macro_id = macroId;
    events[i].record_index = static_cast<int>(i);
    events[i].delay_time = std::clamp(events[i].delay_time, 0, kMaxEventDelayMs);
  }
  return store_.ReplaceMacroEvents(macroId, events);
}

bool MacroModel::AddKeyEvent(int macroId, int type, int vk, int delayMs) {
  MacroInfo info;
  if (type != kEventPress && type != kEventRelease) return false;
  if (macroId <= 0 || !store_.GetMacro(macroId, info)) return false;
  if (store_.CountMacroKeyEvents(macroId) >= kMaxMacroKeyEvents) return false;
  std::vector<MacroEvent> events = Events(macroId);
  MacroEvent e;
  e.type = type;
  e.value = vk;
  e.delay_time = delayMs;
  e.desc = KeyLegend(VkToKeyCode(vk));
  events.push_back(e);
  return SaveEvents(macroId, std::move(events));
}

bool MacroModel::SetEventDelay(int macroId, int index, int delayMs) {
  std::vector<MacroEvent> events = Events(macroId);
  if (index < 0 || index >= static_cast<int>(events.size())) return false;
  events[index].delay_time = delayMs;
  return SaveEvents(macroId, std::move(events));
}

bool MacroModel::MoveEventUp(int macroId, int index) {
  std::vector<MacroEvent> events = Events(macroId);
  if (index < 1 || index >= static_cast<int>(events.size())) return false;
  std::swap(events[index], events[index - 1]);
  return SaveEvents(macroId, std::move(events));
}

bool MacroModel::MoveEventDown(int macroId, int index) {
  std::vector<MacroEvent> events = Events(macroId);
  if (index < 0 || index + 1 >= static_cast<int>(events.size())) return false;
  std::swap(events[index], events[index + 1]);
  return SaveEvents(macroId, std::move(events));
}

bool MacroModel::DeleteEvent(int macroId, int index) {
  std::vector<MacroEvent> events = Events(macroId);
  if (index < 0 || index >= static_cast<int>(events.size())) return false;
  events.erase(events.begin() + index);
  return SaveEvents(macroId, std::move(events));
}

}  // namespace brumkey
