#include "store/profile_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "store/store_sql.h"
#include "util/text.h"

namespace brumkey {

namespace {

constexpr int kOpenExisting = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
constexpr int kOpenCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;

// Nestable all-or-nothing scope: released on Commit, rolled back otherwise.
class Savepoint {
 public:
  explicit Savepoint(SQLiteDB& db) : db_(db) {
    active_ = db_.Exec("SAVEPOINT store_op") == SQLITE_OK;
  }
  ~Savepoint() {
    if (active_) db_.Exec("ROLLBACK TO store_op; RELEASE store_op");
  }
  // Without a savepoint (no database) there is nothing to commit.
  bool Commit() {
    if (!active_) return true;
    active_ = false;
    if (db_.Exec("RELEASE store_op") == SQLITE_OK) return true;
    db_.Exec("ROLLBACK TO store_op; RELEASE store_op");
    return false;
  }
  bool Active() const { return active_; }

 private:
  SQLiteDB& db_;
  bool active_ = false;
};

int LowBits(int64_t id) { return static_cast<int>(static_cast<uint32_t>(id)); }

int ClampDelay(int ms) { return std::clamp(ms, 0, kMaxEventDelayMs); }

void ReadProfile(const SQLiteStatement& st, ProfileInfo& p) {
  p.profile = st.ColumnInt(0);
  p.name = st.ColumnWide(1);
  p.status = st.ColumnInt(2);
  p.app = st.ColumnWide(3);
  p.type = st.ColumnInt(4);
}

void ReadKeyFunction(const SQLiteStatement& st, KeyFunction& k) {
  k.key_id = st.ColumnInt(0);
  k.profile = st.ColumnInt(1);
  k.fn_layer = st.ColumnInt(2);
  k.key_code = st.ColumnInt(3);
  k.layout_value = st.ColumnInt(4);
  k.layout_desc = st.ColumnWide(5);
  k.macro_type = st.ColumnInt(6);
  k.macro_value = st.ColumnInt(7);
  k.macro_value2 = st.ColumnInt(8);
  k.macro_value3 = st.ColumnInt(9);
  k.macro_desc = st.ColumnWide(10);
}

void ReadLight(const SQLiteStatement& st, LightSetting& l) {
  l.light_id = st.ColumnInt(0);
  l.profile = st.ColumnInt(1);
  l.name = st.ColumnWide(2);
  l.mode = st.ColumnInt(3);
  l.brightness = st.ColumnInt(4);
  l.speed = st.ColumnInt(5);
  l.direction = st.ColumnInt(6);
  l.colorful = st.ColumnInt(7);
  l.colorindex = st.ColumnInt(8);
  l.color_value = st.ColumnInt(9);
  l.config_func = st.ColumnInt(10);
  l.reserved = st.ColumnInt(11);
  l.status = st.ColumnInt(12);
}

void ReadKeyLight(const SQLiteStatement& st, KeyLight& k) {
  k.keylight_id = st.ColumnInt(0);
  k.profile = st.ColumnInt(1);
  k.light_id = st.ColumnInt(2);
  k.key_code = st.ColumnInt(3);
  k.key_rgb = st.ColumnInt(4);
}

void ReadMacro(const SQLiteStatement& st, MacroInfo& m) {
  m.macro_id = st.ColumnInt(0);
  m.play_times = st.ColumnInt(1);
  m.delay_type = st.ColumnInt(2);
  m.delay_time = st.ColumnInt(3);
  m.link_count = st.ColumnInt(4);
  m.name = st.ColumnWide(5);
}

void ReadMacroEvent(const SQLiteStatement& st, MacroEvent& e) {
  e.record_id = st.ColumnInt(0);
  e.macro_id = st.ColumnInt(1);
  e.type = st.ColumnInt(2);
  e.record_index = st.ColumnInt(3);
  e.desc = st.ColumnWide(4);
  e.value = st.ColumnInt(5);
  e.delay_time = st.ColumnInt(6);
}

void BindInts(SQLiteStatement& st, std::initializer_list<int> ints, int first = 1) {
  int index = first;
  for (int v : ints) st.BindInt(index++, v);
}

template <typename Record, typename Reader>
int ReadAll(SQLiteStatement& st, std::vector<Record>& out, Reader read) {
  out.clear();
  while (st.Step() == SQLITE_ROW) {
    Record r;
    read(st, r);
    out.push_back(std::move(r));
  }
  return static_cast<int>(out.size());
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

}  // namespace

ProfileStore& ProfileStore::GetInstance() {
  static ProfileStore instance;
  return instance;
}

ProfileStore::ProfileStore() = default;

ProfileStore::~ProfileStore() {
  Lock lock = Hold();
  if (!db_.Close()) db_.CloseDeferred();
  path_.clear();
  openedPath_.clear();
}

const std::vector<std::string>& ProfileStore::SchemaStatements() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE IF NOT EXISTS t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, key TEXT, value TEXT)",
      "CREATE TABLE IF NOT EXISTS t_profile_data(profile INTEGER PRIMARY KEY AUTOINCREMENT, "
      "name TEXT, status INTEGER, app TEXT, type INTEGER)",
      "CREATE INDEX IF NOT EXISTS profileindex ON t_profile_data(profile)",
      "CREATE TABLE IF NOT EXISTS t_key_macro_data(key_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, fn_layer INTEGER, key_code INTEGER, layout_value INTEGER, layout_desc TEXT, "
      "macro_type INTEGER, macro_value INTEGER, macro_value2 INTEGER, macro_value3 INTEGER, "
      "macro_desc TEXT)",
      "CREATE INDEX IF NOT EXISTS keyindex ON t_key_macro_data(key_id)",
      "CREATE TABLE IF NOT EXISTS t_key_otherdata(macro_value INTEGER PRIMARY KEY AUTOINCREMENT, "
      "macro_desc TEXT, param TEXT, type INTEGER)",
      "CREATE INDEX IF NOT EXISTS otheridindex ON t_key_otherdata(macro_value)",
      "CREATE TABLE IF NOT EXISTS t_macro_data(macro_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "play_times INTEGER, delay_type INTEGER, delay_time INTEGER, link_count INTEGER, name TEXT)",
      "CREATE INDEX IF NOT EXISTS macroidindex ON t_macro_data(macro_id)",
      "CREATE TABLE IF NOT EXISTS t_macrorecord(record_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "macro_id INTEGER, type INTEGER, record_index INTEGER, desc TEXT, value INTEGER, "
      "delay_time INTEGER)",
      "CREATE INDEX IF NOT EXISTS macrorecordindex ON t_macrorecord(record_id)",
      "CREATE TABLE IF NOT EXISTS t_light_data(light_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, name TEXT, mode INTEGER, brightness INTEGER, speed INTEGER, "
      "direction INTEGER, colorful INTEGER, colorindex INTEGER, color_value INTEGER, "
      "config_func INTEGER, reserved INTEGER, status INTEGER)",
      "CREATE INDEX IF NOT EXISTS lightindex ON t_light_data(light_id)",
      "CREATE TABLE IF NOT EXISTS t_key_light_data(keylight_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, light_id INTEGER, key_code INTEGER, key_rgb INTEGER)",
      "CREATE INDEX IF NOT EXISTS keylightindex ON t_key_light_data(keylight_id)",
      "CREATE TABLE IF NOT EXISTS t_musiclayer_data(layer_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, name TEXT, deviceindex INTEGER, foremode INTEGER, fore_amplitude INTEGER, "
      "backmode INTEGER, backb_right INTEGER, sel INTEGER)",
      "CREATE INDEX IF NOT EXISTS musiclayerindex ON t_musiclayer_data(layer_id)",
  };
  return statements;
}

std::wstring ProfileStore::DatabasePath(const std::wstring& dataRoot, const std::wstring& modelName) {
  std::wstring path = dataRoot;
  if (!path.empty() && path.back() != L'/') path += L'/';
  return path + L"db/" + modelName + L"_data_v1.db";
}

bool ProfileStore::OpenLocked(const std::string& path, int flags) {
  openedPath_.clear();
  // Any connection to another file goes first, so no write of one model can
  // land in another model's database.
  if (!db_.Close()) db_.CloseDeferred();
  if (!db_.Open(path.c_str(), flags)) return false;
  openedPath_ = path;
  return true;
}

bool ProfileStore::Open(const std::wstring& dataRoot, const std::wstring& modelName) {
  Lock lock = Hold();
  path_ = WideToUtf8(DatabasePath(dataRoot, modelName));
  bool result;
  if (FileExists(path_)) {
    result = (db_.IsOpen() && openedPath_ == path_) || OpenLocked(path_, kOpenExisting);
    // A file left empty by a crash before its schema committed is treated
    // as new; a file with any schema is used as it is.
    if (result && ReadSingleInt("SELECT count(*) FROM sqlite_master", {}) == 0) {
      db_.CloseDeferred();
      openedPath_.clear();
      result = CreateSchema();
    }
  } else {
    result = CreateSchema();
  }
  opened_ = result;
  return result;
}

bool ProfileStore::CreateSchema() {
  Lock lock = Hold();
  if (db_.IsOpen() && openedPath_ == path_) return true;
  if (!OpenLocked(path_, kOpenCreate)) return false;
  bool ok = true;
  SQLiteAutoTransaction transaction(&db_);
  for (const std::string& statement : SchemaStatements()) {
    if (db_.Exec(statement.c_str()) != SQLITE_OK) ok = false;
  }
  if (!transaction.End()) ok = false;
  return ok;
}

void ProfileStore::DeleteDatabaseFile(const std::wstring& dataRoot, const std::wstring& modelName) {
  Lock lock = Hold();
  std::string path = WideToUtf8(DatabasePath(dataRoot, modelName));
  if (db_.IsOpen() && openedPath_ == path) {
    db_.CloseDeferred();
    openedPath_.clear();
  }
  std::error_code ec;
  // A WAL left beside a fresh file would be replayed into it.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::remove(std::filesystem::u8path(path + suffix), ec);
  }
}

bool ProfileStore::Close() {
  Lock lock = Hold();
  if (!db_.Close()) return false;
  openedPath_.clear();
  return true;
}

bool ProfileStore::IsOpen() const {
  Lock lock(mutex_);
  return db_.IsOpen();
}

bool ProfileStore::IsOpened() const {
  Lock lock(mutex_);
  return opened_;
}

void ProfileStore::SetOpened(bool opened) {
  Lock lock(mutex_);
  opened_ = opened;
}

void ProfileStore::SetCurrentDeviceType(int deviceType) {
  Lock lock(mutex_);
  currentDeviceType_ = deviceType;
}

int ProfileStore::GetCurrentDeviceType() const {
  Lock lock(mutex_);
  return currentDeviceType_;
}

std::string ProfileStore::GetPath() const {
  Lock lock(mutex_);
  return path_;
}

void ProfileStore::WriteDefaultConfig() {
  static const char* const kRows[][2] = {
      {"version", "1.0.1"},  {"keyboard_layout", "1"}, {"fn_layer", "0"},       {"lightmode", "1"},
      {"sleep_light", "1"},  {"userlight", "0"},       {"customlight_run", "0"}, {"gamemode", "0"},
      {"disable_alttab", "0"}, {"disable_altf4", "0"}, {"disable_win", "0"},
  };
  Lock lock = Hold();
  SQLiteAutoTransaction transaction(&db_);
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertConfig);
  for (const auto& row : kRows) {
    st.Reset();
    st.BindInt(1, 1);
    st.BindText(2, row[0], static_cast<int>(std::char_traits<char>::length(row[0])));
    st.BindText(3, row[1], static_cast<int>(std::char_traits<char>::length(row[1])));
    st.Step();
  }
  transaction.End();
}

bool ProfileStore::ExecWrite(const char* text, std::initializer_list<int> ints) {
  SQLiteStatement st;
  db_.Prepare(st, text);
  BindInts(st, ints);
  return IsStepSuccess(st.Step());
}

int ProfileStore::ReadSingleInt(const char* text, std::initializer_list<int> ints) {
  SQLiteStatement st;
  db_.Prepare(st, text);
  BindInts(st, ints);
  return st.Step() == SQLITE_ROW ? st.ColumnInt(0) : 0;
}

// --- profiles ------------------------------------------------------------

int ProfileStore::AddProfile(const ProfileInfo& info) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertProfile);
  st.BindText(1, info.name);
  st.BindInt(2, 0);
  st.BindText(3, info.app);
  st.BindInt(4, 0);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

bool ProfileStore::DeleteProfile(int profile) {
  Lock lock = Hold();
  return ExecWrite(sql::kDeleteProfile, {profile});
}

bool ProfileStore::RenameProfile(int profile, const std::wstring& name) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kRenameProfile);
  st.BindText(1, name);
  st.BindInt(2, profile);
  return IsStepSuccess(st.Step());
}

bool ProfileStore::GetProfileName(int profile, std::wstring& name) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectProfileName);
  st.BindInt(1, profile);
  if (st.Step() != SQLITE_ROW) return false;
  name = st.ColumnWide(0);
  return true;
}

int ProfileStore::LoadProfiles(std::vector<ProfileInfo>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectProfiles);
  return ReadAll(st, out, ReadProfile);
}

bool ProfileStore::SetActiveProfile(int profile) {
  Lock lock = Hold();
  // Both updates commit together: a crash never leaves no active profile.
  Savepoint sp(db_);
  SQLiteStatement st;
  db_.Prepare(st, sql::kClearProfileStatus);
  st.BindInt(1, 0);
  st.Step();
  db_.Prepare(st, sql::kSetProfileStatus);
  st.BindInt(1, 1);
  st.BindInt(2, profile);
  if (!IsStepSuccess(st.Step())) return false;
  return sp.Commit();
}

int ProfileStore::GetActiveProfile() {
  Lock lock = Hold();
  return ReadSingleInt(sql::kSelectActiveProfile, {1});
}

// --- key functions ---------------------------------------------------------

int ProfileStore::SaveKeyFunction(const KeyFunction& kf) {
  if (kf.key_code == 0) return 0;
  Lock lock = Hold();
  Savepoint sp(db_);
  SQLiteStatement st;
  db_.Prepare(st, sql::kDeleteKeyFunction);
  BindInts(st, {kf.profile, kf.fn_layer, kf.key_code});
  st.Step();
  if (kf.macro_value == 0 && kf.macro_value2 == 0) {
    sp.Commit();
    return 0;
  }
  db_.Prepare(st, sql::kInsertKeyFunction);
  BindInts(st, {kf.profile, kf.fn_layer, kf.key_code, kf.layout_value});
  st.BindText(5, kf.layout_desc);
  BindInts(st, {kf.macro_type, kf.macro_value, kf.macro_value2, kf.macro_value3}, 6);
  st.BindText(10, kf.macro_desc);
  if (!IsStepSuccess(st.Step())) return 0;  // rolls back: the old row stays
  int id = LowBits(db_.LastInsertRowId());
  return sp.Commit() ? id : 0;
}

bool ProfileStore::GetKeyFunction(int profile, int fnLayer, int keyCode, KeyFunction& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectKeyFunction);
  BindInts(st, {profile, fnLayer, keyCode});
  if (st.Step() != SQLITE_ROW) return false;
  ReadKeyFunction(st, out);
  return true;
}

int ProfileStore::LoadKeyFunctions(int profile, int fnLayer, std::vector<KeyFunction>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectKeyFunctions);
  BindInts(st, {profile, fnLayer});
  return ReadAll(st, out, ReadKeyFunction);
}

void ProfileStore::DeleteProfileKeyFunctions(int profile) {
  Lock lock = Hold();
  ExecWrite(sql::kDeleteProfileKeys, {profile});
}

// --- software key actions ----------------------------------------------------

int ProfileStore::AddKeyOtherData(const KeyOtherData& data) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertKeyOtherData);
  st.BindText(1, data.macro_desc);
  st.BindText(2, data.param);
  st.BindInt(3, data.type);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

bool ProfileStore::GetKeyOtherData(int id, std::wstring& macroDesc, std::wstring& param, int& type) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectKeyOtherData);
  st.BindInt(1, id);
  if (st.Step() == SQLITE_ROW) {
    macroDesc = st.ColumnWide(0);
    param = st.ColumnWide(1);
    type = st.ColumnInt(2);
  }
  return true;
}

// --- light settings ------------------------------------------------------------

int ProfileStore::CountLights(int profile) {
  Lock lock = Hold();
  return ReadSingleInt(sql::kCountLights, {profile});
}

int ProfileStore::AddLight(const LightSetting& l) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertLight);
  st.BindInt(1, l.profile);
  st.BindText(2, l.name);
  BindInts(st, {l.mode, l.brightness, l.speed, l.direction, l.colorful, l.colorindex, l.color_value,
                l.config_func, l.reserved, l.status},
           3);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

bool ProfileStore::UpdateLight(int profile, int mode, const LightSetting& l) {
  Lock lock = Hold();
  return ExecWrite(sql::kUpdateLight, {l.brightness, l.speed, l.direction, l.colorful, l.colorindex,
                                       l.color_value, l.config_func, l.reserved, profile, mode});
}

bool ProfileStore::SetActiveLight(int profile, int mode) {
  Lock lock = Hold();
  Savepoint sp(db_);
  SQLiteStatement st;
  db_.Prepare(st, sql::kClearLightStatus);
  st.BindInt(1, 0);
  st.Step();
  db_.Prepare(st, sql::kSetLightStatus);
  BindInts(st, {1, profile, mode});
  if (!IsStepSuccess(st.Step())) return false;
  return sp.Commit();
}

int ProfileStore::GetActiveLightMode(int profile) {
  Lock lock = Hold();
  return ReadSingleInt(sql::kSelectActiveLightMode, {profile, 1});
}

bool ProfileStore::GetLight(int profile, int mode, LightSetting& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectLight);
  BindInts(st, {profile, mode});
  if (st.Step() != SQLITE_ROW) return false;
  ReadLight(st, out);
  return true;
}

int ProfileStore::LoadLights(int profile, std::vector<LightSetting>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectLights);
  st.BindInt(1, profile);
  return ReadAll(st, out, ReadLight);
}

// --- per-key colours -------------------------------------------------------------

int ProfileStore::InsertKeyLights(const std::vector<KeyLight>& lights, bool stopOnFailure, bool* ok) {
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertKeyLight);
  int inserted = 0;
  for (const KeyLight& k : lights) {
    st.Reset();
    BindInts(st, {k.profile, k.light_id, k.key_code, k.key_rgb});
    if (IsStepSuccess(st.Step())) {
      ++inserted;
    } else if (stopOnFailure) {
      *ok = false;
      break;
    }
  }
  return inserted;
}

int ProfileStore::AddKeyLights(std::vector<KeyLight> lights) {
  Lock lock = Hold();
  SQLiteAutoTransaction transaction(&db_);
  transaction.Begin();
  bool ok = true;
  InsertKeyLights(lights, false, &ok);
  transaction.End();
  return static_cast<int>(lights.size());
}

bool ProfileStore::DeleteCustomKeyLights() {
  Lock lock = Hold();
  return ExecWrite(sql::kDeleteCustomKeyLights, {kCustomLightMode});
}

int ProfileStore::LoadKeyLights(int lightId, std::vector<KeyLight>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectKeyLights);
  st.BindInt(1, lightId);
  return ReadAll(st, out, ReadKeyLight);
}

bool ProfileStore::ReplaceCustomKeyLights(const std::vector<KeyLight>& lights) {
  Lock lock = Hold();
  Savepoint sp(db_);
  if (!sp.Active()) return false;
  if (!ExecWrite(sql::kDeleteCustomKeyLights, {kCustomLightMode})) return false;
  bool ok = true;
  InsertKeyLights(lights, true, &ok);
  return ok && sp.Commit();
}

// --- macros ------------------------------------------------------------------------

int ProfileStore::AddMacro(const std::wstring& name) {
  MacroInfo info;
  info.name = name;
  info.play_times = 1;
  info.delay_type = 1;
  return AddMacroInfo(std::move(info));
}

int ProfileStore::AddMacroInfo(MacroInfo info) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertMacro);
  BindInts(st, {info.play_times, info.delay_type, info.delay_time, info.link_count});
  st.BindText(5, info.name);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

bool ProfileStore::RenameMacro(int macroId, const std::wstring& name) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kRenameMacro);
  st.BindText(1, name);
  st.BindInt(2, macroId);
  return IsStepSuccess(st.Step());
}

bool ProfileStore::UpdateMacroPlayback(const MacroInfo& info) {
  Lock lock = Hold();
  return ExecWrite(sql::kUpdateMacroPlayback,
                   {info.play_times, info.delay_type, info.delay_time, info.macro_id});
}

bool ProfileStore::DeleteMacro(int macroId) {
  Lock lock = Hold();
  Savepoint sp(db_);
  if (!ExecWrite(sql::kDeleteMacro, {macroId})) return false;
  ExecWrite(sql::kDeleteMacroEvents, {macroId});
  if (!ExecWrite(sql::kDeleteMacroKeys, {3, macroId})) return false;
  return sp.Commit();
}

bool ProfileStore::GetMacroPlayTimes(int macroId, int& count) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMacroPlayTimes);
  st.BindInt(1, macroId);
  if (st.Step() != SQLITE_ROW) return false;
  count = st.ColumnInt(0);
  return true;
}

bool ProfileStore::GetMacro(int macroId, MacroInfo& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMacro);
  st.BindInt(1, macroId);
  if (st.Step() != SQLITE_ROW) return false;
  ReadMacro(st, out);
  return true;
}

int ProfileStore::LoadMacros(std::vector<MacroInfo>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMacros);
  return ReadAll(st, out, ReadMacro);
}

int ProfileStore::InsertMacroEvents(const std::vector<MacroEvent>& events, bool stopOnFailure, bool* ok) {
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertMacroEvent);
  int inserted = 0;
  for (const MacroEvent& e : events) {
    st.Reset();
    BindInts(st, {e.macro_id, e.type, e.record_index});
    st.BindText(4, e.desc);
    BindInts(st, {e.value, e.delay_time}, 5);
    if (IsStepSuccess(st.Step())) {
      ++inserted;
    } else if (stopOnFailure) {
      *ok = false;
      break;
    }
  }
  return inserted;
}

int ProfileStore::AddMacroEvent(MacroEvent e) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertMacroEvent);
  BindInts(st, {e.macro_id, e.type, e.record_index});
  st.BindText(4, e.desc);
  BindInts(st, {e.value, e.delay_time}, 5);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

void ProfileStore::AddMacroEvents(std::vector<MacroEvent> events) {
  Lock lock = Hold();
  SQLiteAutoTransaction transaction(&db_);
  transaction.Begin();
  bool ok = true;
  InsertMacroEvents(events, false, &ok);
  transaction.End();
}

int ProfileStore::LoadMacroEvents(int macroId, std::vector<MacroEvent>& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMacroEvents);
  st.BindInt(1, macroId);
  return ReadAll(st, out, ReadMacroEvent);
}

bool ProfileStore::DeleteMacroEvents(int macroId) {
  Lock lock = Hold();
  return ExecWrite(sql::kDeleteMacroEvents, {macroId});
}

int ProfileStore::CountMacroKeyEvents(int macroId) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMacroEvents);
  st.BindInt(1, macroId);
  int count = 0;
  while (st.Step() == SQLITE_ROW) {
    if (st.ColumnInt(2) != 1) ++count;
  }
  return count;
}

bool ProfileStore::ReplaceMacroEvents(int macroId, const std::vector<MacroEvent>& events) {
  Lock lock = Hold();
  Savepoint sp(db_);
  if (!sp.Active()) return false;
  if (!ExecWrite(sql::kDeleteMacroEvents, {macroId})) return false;
  std::vector<MacroEvent> rows = events;
  for (MacroEvent& e : rows) {
    e.macro_id = macroId;
    e.delay_time = ClampDelay(e.delay_time);
  }
  bool ok = true;
  InsertMacroEvents(rows, true, &ok);
  return ok && sp.Commit();
}

// --- music layer ---------------------------------------------------------------------

int ProfileStore::CountMusicLayers() {
  Lock lock = Hold();
  return ReadSingleInt(sql::kCountMusicLayers, {1});
}

int ProfileStore::AddMusicLayer(const std::wstring& name, int foremode) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kInsertMusicLayer);
  st.BindInt(1, 1);
  st.BindText(2, name);
  BindInts(st, {0, foremode, 300, 0, 100, 0}, 3);
  return IsStepSuccess(st.Step()) ? LowBits(db_.LastInsertRowId()) : 0;
}

bool ProfileStore::GetMusicLayer(int layerId, MusicLayer& out) {
  Lock lock = Hold();
  SQLiteStatement st;
  db_.Prepare(st, sql::kSelectMusicLayer);
  st.BindInt(1, layerId);
  if (st.Step() != SQLITE_ROW) return false;
  out.layer_id = st.ColumnInt(0);
  out.profile = st.ColumnInt(1);
  out.name = st.ColumnWide(2);
  out.deviceindex = st.ColumnInt(3);
  out.foremode = st.ColumnInt(4);
  out.fore_amplitude = st.ColumnInt(5);
  out.backmode = st.ColumnInt(6);
  out.backb_right = st.ColumnInt(7);
  return true;
}

bool ProfileStore::UpdateMusicLayer(const MusicLayer& m) {
  Lock lock = Hold();
  return ExecWrite(sql::kUpdateMusicLayer,
                   {m.deviceindex, m.foremode, m.fore_amplitude, m.backmode, m.backb_right, 1});
}

bool ProfileStore::SelectMusicLayer() {
  Lock lock = Hold();
  Savepoint sp(db_);
  ExecWrite(sql::kClearMusicLayerSel, {0, 1});
  if (!ExecWrite(sql::kSetMusicLayerSel, {1, 1, 1})) return false;
  return sp.Commit();
}

int ProfileStore::GetSelectedMusicLayer() {
  Lock lock = Hold();
  return ReadSingleInt(sql::kSelectSelectedMusicLayer, {1, 1});
}

}  // namespace brumkey
