#pragma once
// The per-model profile database: profiles, key functions, software key
// actions, macros and their events, light settings, per-key colours and the
// music layer. One process-wide instance; every operation holds its lock.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "store/sqlite_db.h"

namespace brumkey {

struct ProfileInfo {
  int profile = 0;
  std::wstring name;
  std::wstring app;
  int type = 0;
  int status = 0;
};

struct KeyFunction {
  int key_id = 0;
  int profile = 0;
  int fn_layer = 0;
  int key_code = 0;
  int layout_value = 0;
  std::wstring layout_desc;
  int macro_type = 0;
  int macro_value = 0;
  int macro_value2 = 0;
  int macro_value3 = 0;
  std::wstring macro_desc;
};

struct KeyOtherData {
  std::wstring macro_desc;
  std::wstring param;
  int type = 0;
};

struct LightSetting {
  int light_id = 0;
  int profile = 0;
  std::wstring name;
  int mode = 0;
  int brightness = 0;
  int speed = 0;
  int direction = 0;
  int colorful = 0;
  int colorindex = 0;
  int color_value = 0;
  int config_func = 0;
  int reserved = 0;
  int status = 0;
};

struct KeyLight {
  int keylight_id = 0;
  int profile = 0;
  int light_id = 0;
  int key_code = 0;
  int key_rgb = 0;
};

struct MacroInfo {
  int macro_id = 0;
  std::wstring name;
  int link_count = 0;
  int play_times = 0;
  int delay_type = 0;
  int delay_time = 0;
};

struct MacroEvent {
  int record_id = 0;
  int macro_id = 0;
  int type = 0;
  int record_index = 0;
  int value = 0;
  int delay_time = 0;
  std::wstring desc;
};

struct MusicLayer {
  int layer_id = 0;
  int profile = 0;
  std::wstring name;
  int deviceindex = 0;
  int foremode = 0;
  int fore_amplitude = 0;
  int backmode = 0;
  int backb_right = 0;
};

// Light mode number whose per-key colours live in t_key_light_data.
inline constexpr int kCustomLightMode = 128;
// Longest delay a macro event may carry, in milliseconds.
inline constexpr int kMaxEventDelayMs = 31000;

class ProfileStore {
 public:
  using Lock = std::unique_lock<std::recursive_mutex>;

  static ProfileStore& GetInstance();

  // Tests build their own instances; the program uses GetInstance().
  ProfileStore();
  ~ProfileStore();
  ProfileStore(const ProfileStore&) = delete;
  ProfileStore& operator=(const ProfileStore&) = delete;

  // Holding this makes a sequence of operations atomic against other threads.
  Lock Hold() { return Lock(mutex_); }

  // --- database lifecycle ---------------------------------------------
  // <data root>db/<model>_data_v1.db (data root ends with '/').
  static std::wstring DatabasePath(const std::wstring& dataRoot, const std::wstring& modelName);
  // Opens the model's file, creating it with the schema when missing.
  // A connection to a different file is closed first.
  bool Open(const std::wstring& dataRoot, const std::wstring& modelName);
  bool CreateSchema();
  // Removes the file and its WAL companions; close first.
  void DeleteDatabaseFile(const std::wstring& dataRoot, const std::wstring& modelName);
  bool Close();
  bool IsOpen() const;
  bool IsOpened() const;
  void SetOpened(bool opened);
  void WriteDefaultConfig();
  void SetCurrentDeviceType(int deviceType);
  int GetCurrentDeviceType() const;
  std::string GetPath() const;

  // The creation statements, in the order they run.
  static const std::vector<std::string>& SchemaStatements();

  // --- profiles ---------------------------------------------------------
  int AddProfile(const ProfileInfo& info);
  bool DeleteProfile(int profile);
  bool RenameProfile(int profile, const std::wstring& name);
  bool GetProfileName(int profile, std::wstring& name);
  int LoadProfiles(std::vector<ProfileInfo>& out);
  bool SetActiveProfile(int profile);
  int GetActiveProfile();

  // --- key functions ----------------------------------------------------
  // The delete and the insert commit together: a failed insert keeps the
  // key's previous row.
  int SaveKeyFunction(const KeyFunction& kf);
  bool GetKeyFunction(int profile, int fnLayer, int keyCode, KeyFunction& out);
  int LoadKeyFunctions(int profile, int fnLayer, std::vector<KeyFunction>& out);
  void DeleteProfileKeyFunctions(int profile);

  // --- software key actions ---------------------------------------------
  int AddKeyOtherData(const KeyOtherData& data);
  // Outputs stay untouched when the row is missing; always true.
  bool GetKeyOtherData(int id, std::wstring& macroDesc, std::wstring& param, int& type);

  // --- light settings ---------------------------------------------------
  int CountLights(int profile);
  int AddLight(const LightSetting& light);
  bool UpdateLight(int profile, int mode, const LightSetting& light);
  bool SetActiveLight(int profile, int mode);
  int GetActiveLightMode(int profile);
  bool GetLight(int profile, int mode, LightSetting& out);
  int LoadLights(int profile, std::vector<LightSetting>& out);

  // --- per-key colours --------------------------------------------------
  int AddKeyLights(std::vector<KeyLight> lights);
  bool DeleteCustomKeyLights();
  int LoadKeyLights(int lightId, std::vector<KeyLight>& out);
  // DeleteCustomKeyLights + AddKeyLights as one transaction: all new rows
  // or, on any failure, the old set untouched.
  bool ReplaceCustomKeyLights(const std::vector<KeyLight>& lights);

  // --- macros -----------------------------------------------------------
  int AddMacro(const std::wstring& name);
  int AddMacroInfo(MacroInfo info);
  bool RenameMacro(int macroId, const std::wstring& name);
  bool UpdateMacroPlayback(const MacroInfo& info);
  bool DeleteMacro(int macroId);
  bool GetMacroPlayTimes(int macroId, int& count);
  bool GetMacro(int macroId, MacroInfo& out);
  int LoadMacros(std::vector<MacroInfo>& out);
  int AddMacroEvent(MacroEvent event);
  void AddMacroEvents(std::vector<MacroEvent> events);
  int LoadMacroEvents(int macroId, std::vector<MacroEvent>& out);
  bool DeleteMacroEvents(int macroId);
  int CountMacroKeyEvents(int macroId);
  // DeleteMacroEvents + AddMacroEvents as one transaction; delays are
  // clamped to 0..kMaxEventDelayMs. On failure the old events stay.
  bool ReplaceMacroEvents(int macroId, const std::vector<MacroEvent>& events);

  // --- music layer (always profile 1, layer 1) --------------------------
  int CountMusicLayers();
  int AddMusicLayer(const std::wstring& name, int foremode);
  bool GetMusicLayer(int layerId, MusicLayer& out);
  bool UpdateMusicLayer(const MusicLayer& layer);
  bool SelectMusicLayer();
  int GetSelectedMusicLayer();

  // The connection, for tests and benchmarks that inspect the file.
  SQLiteDB& Database() { return db_; }

 private:
  bool OpenLocked(const std::string& path, int flags);
  int InsertKeyLights(const std::vector<KeyLight>& lights, bool stopOnFailure, bool* ok);
  int InsertMacroEvents(const std::vector<MacroEvent>& events, bool stopOnFailure, bool* ok);
  bool ExecWrite(const char* sql, std::initializer_list<int> ints);
  int ReadSingleInt(const char* sql, std::initializer_list<int> ints);

  mutable std::recursive_mutex mutex_;
  SQLiteDB db_;
  std::string path_;        // last opened or created file
  std::string openedPath_;  // file the connection belongs to, empty if none
  std::string key_;         // always empty: no key is applied
  int currentDeviceType_ = 0;
  bool opened_ = false;
};

}  // namespace brumkey
