#include "store/profile_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "support/temp_dir.h"

namespace brumkey {
namespace {

namespace fs = std::filesystem;

// Rows of one query as text, NULL as "<null>".
std::vector<std::vector<std::string>> Query(sqlite3* db, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return rows;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const unsigned char* t = sqlite3_column_text(st, i);
      row.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(st);
  return rows;
}

std::string QueryOne(sqlite3* db, const std::string& sql) {
  auto rows = Query(db, sql);
  return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() / "db");
    root_ = dir_.path().wstring() + L"/";
    ASSERT_TRUE(store_.Open(root_, L"K1"));
  }
  sqlite3* Db() { return store_.Database().Handle(); }
  std::string DbFile(const std::string& model) { return (dir_.path() / "db" / (model + "_data_v1.db")).string(); }

  KeyFunction Key(int profile, int code, int type, int value, int value2 = 0) {
    KeyFunction k;
    k.profile = profile;
    k.key_code = code;
    k.macro_type = type;
    k.macro_value = value;
    k.macro_value2 = value2;
    return k;
  }

  test::TempDir dir_;
  std::wstring root_;
  ProfileStore store_;
};

TEST_F(StoreTest, NewDatabaseHasTheNineTablesAndEightIndexesInCreationOrder) {
  EXPECT_TRUE(fs::exists(DbFile("K1")));
  // Creation order as sqlite_master records it (sqlite_sequence appears with
  // the first AUTOINCREMENT table).
  auto objects = Query(Db(), "SELECT type, name, tbl_name FROM sqlite_master ORDER BY rowid");
  std::vector<std::vector<std::string>> expected = {
      {"table", "t_configdata", "t_configdata"},
      {"table", "sqlite_sequence", "sqlite_sequence"},
      {"table", "t_profile_data", "t_profile_data"},
      {"index", "profileindex", "t_profile_data"},
      {"table", "t_key_macro_data", "t_key_macro_data"},
      {"index", "keyindex", "t_key_macro_data"},
      {"table", "t_key_otherdata", "t_key_otherdata"},
      {"index", "otheridindex", "t_key_otherdata"},
      {"table", "t_macro_data", "t_macro_data"},
      {"index", "macroidindex", "t_macro_data"},
      {"table", "t_macrorecord", "t_macrorecord"},
      {"index", "macrorecordindex", "t_macrorecord"},
      {"table", "t_light_data", "t_light_data"},
      {"index", "lightindex", "t_light_data"},
      {"table", "t_key_light_data", "t_key_light_data"},
      {"index", "keylightindex", "t_key_light_data"},
      {"table", "t_musiclayer_data", "t_musiclayer_data"},
      {"index", "musiclayerindex", "t_musiclayer_data"},
  };
  EXPECT_EQ(objects, expected);
  EXPECT_EQ(ProfileStore::SchemaStatements().size(), 17u);
}

TEST_F(StoreTest, ColumnsTypesAndIndexedColumnsAreAsDeclared) {
  const std::vector<std::pair<std::string, std::string>> tables = {
      {"t_configdata", "config_id:INTEGER profile:INTEGER key:TEXT value:TEXT"},
      {"t_profile_data", "profile:INTEGER name:TEXT status:INTEGER app:TEXT type:INTEGER"},
      {"t_key_macro_data",
       "key_id:INTEGER profile:INTEGER fn_layer:INTEGER key_code:INTEGER layout_value:INTEGER "
       "layout_desc:TEXT macro_type:INTEGER macro_value:INTEGER macro_value2:INTEGER "
       "macro_value3:INTEGER macro_desc:TEXT"},
      {"t_key_otherdata", "macro_value:INTEGER macro_desc:TEXT param:TEXT type:INTEGER"},
      {"t_macro_data",
       "macro_id:INTEGER play_times:INTEGER delay_type:INTEGER delay_time:INTEGER link_count:INTEGER "
       "name:TEXT"},
      {"t_macrorecord",
       "record_id:INTEGER macro_id:INTEGER type:INTEGER record_index:INTEGER desc:TEXT value:INTEGER "
       "delay_time:INTEGER"},
      {"t_light_data",
       "light_id:INTEGER profile:INTEGER name:TEXT mode:INTEGER brightness:INTEGER speed:INTEGER "
       "direction:INTEGER colorful:INTEGER colorindex:INTEGER color_value:INTEGER "
       "config_func:INTEGER reserved:INTEGER status:INTEGER"},
      {"t_key_light_data",
       "keylight_id:INTEGER profile:INTEGER light_id:INTEGER key_code:INTEGER key_rgb:INTEGER"},
      {"t_musiclayer_data",
       "layer_id:INTEGER profile:INTEGER name:TEXT deviceindex:INTEGER foremode:INTEGER "
       "fore_amplitude:INTEGER backmode:INTEGER backb_right:INTEGER sel:INTEGER"},
  };
  for (const auto& [table, columns] : tables) {
    std::string got;
    auto info = Query(Db(), "PRAGMA table_info(" + table + ")");
    for (const auto& col : info) {
      // cid, name, type, notnull, dflt_value, pk: nothing but the first
      // column may be a key, and no constraint or default is declared.
      got += (got.empty() ? "" : " ") + col[1] + ":" + col[2];
      EXPECT_EQ(col[3], "0") << table << "." << col[1];
      EXPECT_EQ(col[4], "<null>") << table << "." << col[1];
      EXPECT_EQ(col[5], col[0] == "0" ? "1" : "0") << table << "." << col[1];
    }
    EXPECT_EQ(got, columns) << table;
    EXPECT_EQ(QueryOne(Db(), "SELECT count(*) FROM " + table), "0") << table;
    std::string sql = QueryOne(Db(), "SELECT sql FROM sqlite_master WHERE name='" + table + "'");
    EXPECT_NE(sql.find("PRIMARY KEY AUTOINCREMENT"), std::string::npos) << sql;
  }
  const std::vector<std::pair<std::string, std::string>> indexes = {
      {"profileindex", "profile"},    {"keyindex", "key_id"},     {"otheridindex", "macro_value"},
      {"macroidindex", "macro_id"},   {"macrorecordindex", "record_id"},
      {"lightindex", "light_id"},     {"keylightindex", "keylight_id"},
      {"musiclayerindex", "layer_id"},
  };
  for (const auto& [index, column] : indexes) {
    auto cols = Query(Db(), "PRAGMA index_info(" + index + ")");
    ASSERT_EQ(cols.size(), 1u) << index;
    EXPECT_EQ(cols[0][2], column) << index;
  }
}

TEST_F(StoreTest, ExistingFileIsOpenedWithoutRunningTheSchema) {
  ASSERT_EQ(sqlite3_exec(Db(), "DROP INDEX keyindex", nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_TRUE(store_.Close());
  ASSERT_TRUE(store_.Open(root_, L"K1"));
  EXPECT_EQ(QueryOne(Db(), "SELECT count(*) FROM sqlite_master WHERE name='keyindex'"), "0");
}

TEST_F(StoreTest, ConnectionIsDurableWal) {
  EXPECT_EQ(QueryOne(Db(), "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(QueryOne(Db(), "PRAGMA synchronous"), "1");  // NORMAL
}

TEST_F(StoreTest, MissingDirectoryFailsEveryOperationQuietly) {
  ProfileStore other;
  test::TempDir empty;
  EXPECT_FALSE(other.Open(empty.path().wstring() + L"/", L"K1"));
  EXPECT_FALSE(other.IsOpen());
  ProfileInfo p;
  p.name = L"x";
  EXPECT_EQ(other.AddProfile(p), 0);
  std::vector<ProfileInfo> profiles(2);
  EXPECT_EQ(other.LoadProfiles(profiles), 0);
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(other.SetActiveProfile(1));
  EXPECT_EQ(other.SaveKeyFunction(Key(1, 4, 2, 5)), 0);
  EXPECT_FALSE(other.DeleteMacro(1));
  EXPECT_FALSE(other.ReplaceMacroEvents(1, {}));
  EXPECT_EQ(other.GetActiveProfile(), 0);
}

TEST_F(StoreTest, ModelsHaveSeparateFilesAndASwitchNeverWritesIntoTheOldOne) {
  ProfileInfo p;
  p.name = L"in K1";
  ASSERT_GT(store_.AddProfile(p), 0);
  // No Close in between: the connection to K1 must still be replaced.
  ASSERT_TRUE(store_.Open(root_, L"Teclado ção"));
  EXPECT_TRUE(fs::exists(DbFile("Teclado ção")));
  p.name = L"in K2";
  ASSERT_GT(store_.AddProfile(p), 0);
  std::vector<ProfileInfo> list;
  ASSERT_EQ(store_.LoadProfiles(list), 1);
  EXPECT_EQ(list[0].name, L"in K2");
  ASSERT_TRUE(store_.Open(root_, L"K1"));
  ASSERT_EQ(store_.LoadProfiles(list), 1);
  EXPECT_EQ(list[0].name, L"in K1");
}

TEST_F(StoreTest, FactoryResetLeavesAFreshEmptyDatabase) {
  ProfileInfo p;
  p.name = L"old";
  ASSERT_EQ(store_.AddProfile(p), 1);
  ASSERT_TRUE(store_.Close());
  store_.DeleteDatabaseFile(root_, L"K1");
  EXPECT_FALSE(fs::exists(DbFile("K1")));
  EXPECT_FALSE(fs::exists(DbFile("K1") + "-wal"));
  ASSERT_TRUE(store_.Open(root_, L"K1"));
  std::vector<ProfileInfo> list;
  EXPECT_EQ(store_.LoadProfiles(list), 0);
  EXPECT_EQ(store_.AddProfile(p), 1) << "ids restart in a new file";
}

TEST_F(StoreTest, EmptyFileLeftByACrashGetsItsSchema) {
  ASSERT_TRUE(store_.Close());
  store_.DeleteDatabaseFile(root_, L"K1");
  { std::ofstream(DbFile("K1")); }
  ASSERT_TRUE(store_.Open(root_, L"K1"));
  ProfileInfo p;
  p.name = L"a";
  EXPECT_EQ(store_.AddProfile(p), 1);
}

TEST_F(StoreTest, FileThatIsNotADatabaseDoesNotOpen) {
  ASSERT_TRUE(store_.Close());
  store_.DeleteDatabaseFile(root_, L"K1");
  { std::ofstream(DbFile("K1")) << std::string(4096, 'x'); }
  EXPECT_FALSE(store_.Open(root_, L"K1"));
}

TEST(SQLiteWrappers, PrepareFinalisesThePreviousStatementAndMisuseIs21) {
  SQLiteDB db;
  SQLiteStatement st;
  EXPECT_EQ(db.Prepare(st, "SELECT 1"), SQLITE_MISUSE);
  EXPECT_EQ(st.BindInt(1, 1), SQLITE_MISUSE);
  EXPECT_EQ(st.Step(), SQLITE_MISUSE);
  EXPECT_EQ(st.ColumnInt(0), 0);
  EXPECT_STREQ(st.ColumnText(0), "");
  EXPECT_EQ(db.LastInsertRowId(), -1);
  ASSERT_TRUE(db.Open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
  ASSERT_EQ(db.Prepare(st, "SELECT ?"), SQLITE_OK);
  EXPECT_NE(db.Prepare(st, "SELEC nonsense"), SQLITE_OK);
  EXPECT_FALSE(st.IsPrepared());
  EXPECT_EQ(st.BindInt(1, 1), SQLITE_MISUSE);
  // Text is copied at bind time: the buffer may change before the step.
  ASSERT_EQ(db.Prepare(st, "SELECT ?, NULL"), SQLITE_OK);
  {
    std::string temp = "copied";
    st.BindText(1, temp.data(), static_cast<int>(temp.size()));
    temp.assign("XXXXXX");
  }
  ASSERT_EQ(st.Step(), SQLITE_ROW);
  EXPECT_STREQ(st.ColumnText(0), "copied");
  EXPECT_STREQ(st.ColumnText(1), "");
  EXPECT_EQ(st.ColumnWide(1), L"");
  EXPECT_EQ(st.Step(), SQLITE_DONE);
  EXPECT_EQ(st.ResetFlag(), 1);
}

TEST(SQLiteWrappers, AutoTransactionEndsOnceAndNeverEndsAnOuterOne) {
  SQLiteDB db;
  ASSERT_TRUE(db.Open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
  ASSERT_EQ(db.Exec("CREATE TABLE t(x)"), SQLITE_OK);
  ASSERT_EQ(db.Exec("BEGIN"), SQLITE_OK);
  {
    SQLiteAutoTransaction inner(&db);  // BEGIN fails inside a transaction
    EXPECT_FALSE(inner.IsBegun());
    EXPECT_FALSE(inner.End());
  }
  EXPECT_EQ(sqlite3_get_autocommit(db.Handle()), 0) << "the outer transaction is still open";
  ASSERT_EQ(db.Exec("ROLLBACK"), SQLITE_OK);
  {
    SQLiteAutoTransaction t(&db);
    EXPECT_TRUE(t.IsBegun());
    EXPECT_FALSE(t.Begin());
    db.Exec("INSERT INTO t VALUES(1)");
    EXPECT_TRUE(t.End());
    EXPECT_FALSE(t.End());
  }
  SQLiteAutoTransaction none(nullptr);
  EXPECT_FALSE(none.Begin());
}

TEST_F(StoreTest, ProfilesAddRenameAndExactlyOneActive) {
  ProfileInfo p;
  for (const wchar_t* name : {L"Perfil 1", L"Jogo \"ação\" & <x>", L"Três"}) {
    p.name = name;
    p.app = L"ignored?";
    ASSERT_GT(store_.AddProfile(p), 0);
  }
  EXPECT_TRUE(store_.SetActiveProfile(2));
  EXPECT_TRUE(store_.SetActiveProfile(3));
  EXPECT_EQ(store_.GetActiveProfile(), 3);
  EXPECT_EQ(QueryOne(Db(), "SELECT count(*) FROM t_profile_data WHERE status=1"), "1");
  EXPECT_TRUE(store_.RenameProfile(2, L"Renamed"));
  std::wstring name = L"untouched";
  EXPECT_FALSE(store_.GetProfileName(99, name));
  EXPECT_EQ(name, L"untouched");
  ASSERT_TRUE(store_.GetProfileName(2, name));
  EXPECT_EQ(name, L"Renamed");
  std::vector<ProfileInfo> list;
  ASSERT_EQ(store_.LoadProfiles(list), 3);
  EXPECT_EQ(list[0].name, L"Perfil 1");
  EXPECT_EQ(list[2].name, L"Três");
  EXPECT_EQ(list[2].status, 1);
  EXPECT_EQ(list[0].app, L"ignored?");
  EXPECT_TRUE(store_.DeleteProfile(2));
  ASSERT_EQ(store_.LoadProfiles(list), 2);
  EXPECT_EQ(list[1].profile, 3);
}

TEST_F(StoreTest, SaveKeyFunctionEdgeCases) {
  EXPECT_EQ(store_.SaveKeyFunction(Key(1, 0, 2, 5)), 0) << "key code 0";
  EXPECT_EQ(QueryOne(Db(), "SELECT count(*) FROM t_key_macro_data"), "0");
  int first = store_.SaveKeyFunction(Key(1, 4, 2, 5));
  ASSERT_GT(first, 0);
  KeyFunction again = Key(1, 4, 2, 6);
  again.layout_desc = L"a\"b";
  again.macro_desc = L"ç";
  int second = store_.SaveKeyFunction(again);
  EXPECT_GT(second, first) << "delete then insert gives a new key_id";
  EXPECT_EQ(QueryOne(Db(), "SELECT count(*) FROM t_key_macro_data WHERE profile=1 AND key_code=4"), "1");
  KeyFunction out;
  ASSERT_TRUE(store_.GetKeyFunction(1, 0, 4, out));
  EXPECT_EQ(out.key_id, second);
  EXPECT_EQ(out.macro_value, 6);
  EXPECT_EQ(out.layout_desc, L"a\"b");
  EXPECT_EQ(out.macro_desc, L"ç");
  // Another layer and another profile are separate keys.
  EXPECT_GT(store_.SaveKeyFunction(Key(2, 4, 2, 7)), 0);
  KeyFunction fn = Key(1, 4, 2, 8);
  fn.fn_layer = 1;
  EXPECT_GT(store_.SaveKeyFunction(fn), 0);
  // Both values 0: back to default, twice harmlessly.
  EXPECT_EQ(store_.SaveKeyFunction(Key(1, 4, 2, 0, 0)), 0);
  EXPECT_EQ(store_.SaveKeyFunction(Key(1, 4, 2, 0, 0)), 0);
  EXPECT_FALSE(store_.GetKeyFunction(1, 0, 4, out));
  std::vector<KeyFunction> keys;
  EXPECT_EQ(store_.LoadKeyFunctions(2, 0, keys), 1);
  EXPECT_EQ(store_.LoadKeyFunctions(1, 1, keys), 1);
  // macro_value2 alone keeps the row (a shortcut's second value).
  EXPECT_GT(store_.SaveKeyFunction(Key(1, 5, 7, 0, 3)), 0);
  store_.DeleteProfileKeyFunctions(1);
  EXPECT_EQ(store_.LoadKeyFunctions(1, 0, keys), 0);
  EXPECT_EQ(store_.LoadKeyFunctions(1, 1, keys), 0);
  EXPECT_EQ(store_.LoadKeyFunctions(2, 0, keys), 1);
}

TEST_F(StoreTest, DeleteMacroRemovesItsEventsAndItsKeysInEveryProfile) {
  int m = store_.AddMacro(L"Macro 1");
  int other = store_.AddMacro(L"Macro 2");
  ASSERT_GT(m, 0);
  MacroEvent e;
  e.macro_id = m;
  e.type = 2;
  store_.AddMacroEvents({e, e});
  e.macro_id = other;
  store_.AddMacroEvent(e);
  store_.SaveKeyFunction(Key(1, 4, 3, m));
  store_.SaveKeyFunction(Key(2, 5, 3, m));
  store_.SaveKeyFunction(Key(2, 6, 3, other));
  store_.SaveKeyFunction(Key(2, 7, 2, m));  // a plain key whose value happens to equal the id
  ASSERT_TRUE(store_.DeleteMacro(m));
  MacroInfo info;
  EXPECT_FALSE(store_.GetMacro(m, info));
  std::vector<MacroEvent> events;
  EXPECT_EQ(store_.LoadMacroEvents(m, events), 0);
  EXPECT_EQ(store_.LoadMacroEvents(other, events), 1);
  auto rows = Query(Db(), "SELECT profile, key_code FROM t_key_macro_data ORDER BY key_code");
  std::vector<std::vector<std::string>> expected = {{"2", "6"}, {"2", "7"}};
  EXPECT_EQ(rows, expected);
}

TEST_F(StoreTest, SetActiveLightClearsEveryProfile) {
  for (int profile : {1, 2}) {
    for (int mode : {1, 2}) {
      LightSetting l;
      l.profile = profile;
      l.mode = mode;
      l.name = L"m";
      ASSERT_GT(store_.AddLight(l), 0);
    }
  }
  ASSERT_TRUE(store_.SetActiveLight(1, 2));
  ASSERT_TRUE(store_.SetActiveLight(2, 1));
  EXPECT_EQ(store_.GetActiveLightMode(1), 0);
  EXPECT_EQ(store_.GetActiveLightMode(2), 1);
  EXPECT_EQ(store_.CountLights(1), 2);
  LightSetting update;
  update.brightness = 4;
  update.color_value = 0x00FF8040;
  update.config_func = 65;
  ASSERT_TRUE(store_.UpdateLight(2, 1, update));
  LightSetting got;
  ASSERT_TRUE(store_.GetLight(2, 1, got));
  EXPECT_EQ(got.brightness, 4);
  EXPECT_EQ(got.color_value, 0x00FF8040);
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.name, L"m");
  std::vector<LightSetting> lights;
  EXPECT_EQ(store_.LoadLights(1, lights), 2);
}

TEST_F(StoreTest, MacroEventsComeBackInRecordOrderAndDelaysAreNotCounted) {
  int m = store_.AddMacro(L"M");
  // (type, record_index): two delay entries among three key events.
  const std::vector<std::pair<int, int>> rows = {{2, 3}, {1, 1}, {3, 0}, {1, 4}, {2, 2}};
  for (auto [type, index] : rows) {
    MacroEvent e;
    e.macro_id = m;
    e.type = type;
    e.record_index = index;
    e.value = 100 + index;
    e.desc = L"d" + std::to_wstring(index);
    ASSERT_GT(store_.AddMacroEvent(e), 0);
  }
  std::vector<MacroEvent> events;
  ASSERT_EQ(store_.LoadMacroEvents(m, events), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(events[i].record_index, i);
    EXPECT_EQ(events[i].value, 100 + i);
    EXPECT_EQ(events[i].desc, L"d" + std::to_wstring(i));
  }
  EXPECT_EQ(store_.CountMacroKeyEvents(m), 3);
  MacroInfo info;
  ASSERT_TRUE(store_.GetMacro(m, info));
  EXPECT_EQ(std::tie(info.play_times, info.delay_type, info.delay_time, info.link_count),
            std::make_tuple(1, 1, 0, 0));
  info.play_times = 5;
  info.delay_type = 3;
  info.delay_time = 40;
  ASSERT_TRUE(store_.UpdateMacroPlayback(info));
  int times = 0;
  ASSERT_TRUE(store_.GetMacroPlayTimes(m, times));
  EXPECT_EQ(times, 5);
  ASSERT_TRUE(store_.RenameMacro(m, L"N"));
  std::vector<MacroInfo> macros;
  ASSERT_EQ(store_.LoadMacros(macros), 1);
  EXPECT_EQ(macros[0].name, L"N");
  EXPECT_EQ(macros[0].delay_time, 40);
}

// A trigger makes one particular insert fail the way a full disk or a
// constraint would.
void FailInsertsOf(sqlite3* db, const std::string& table, const std::string& condition) {
  std::string sql = "CREATE TRIGGER fail_" + table + " BEFORE INSERT ON " + table + " WHEN " + condition +
                    " BEGIN SELECT RAISE(ABORT, 'refused'); END";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(StoreTest, FailedInsertInsideAReplaceKeepsTheOldRows) {
  std::vector<KeyLight> old;
  for (int code = 4; code < 8; ++code) old.push_back({0, 1, kCustomLightMode, code, 0x0000FF});
  ASSERT_TRUE(store_.ReplaceCustomKeyLights(old));
  int m = store_.AddMacro(L"M");
  std::vector<MacroEvent> oldEvents(3);
  for (auto& e : oldEvents) e.type = 2;
  ASSERT_TRUE(store_.ReplaceMacroEvents(m, oldEvents));
  ASSERT_GT(store_.SaveKeyFunction(Key(1, 4, 2, 5)), 0);

  FailInsertsOf(Db(), "t_key_light_data", "NEW.key_code = 99");
  FailInsertsOf(Db(), "t_macrorecord", "NEW.value = 99");
  FailInsertsOf(Db(), "t_key_macro_data", "NEW.macro_value = 99");

  std::vector<KeyLight> fresh = {{0, 1, kCustomLightMode, 10, 1}, {0, 1, kCustomLightMode, 99, 2}};
  EXPECT_FALSE(store_.ReplaceCustomKeyLights(fresh));
  std::vector<KeyLight> lights;
  ASSERT_EQ(store_.LoadKeyLights(kCustomLightMode, lights), 4);
  EXPECT_EQ(lights[0].key_code, 4);

  std::vector<MacroEvent> freshEvents(2);
  freshEvents[1].value = 99;
  EXPECT_FALSE(store_.ReplaceMacroEvents(m, freshEvents));
  std::vector<MacroEvent> events;
  EXPECT_EQ(store_.LoadMacroEvents(m, events), 3);

  EXPECT_EQ(store_.SaveKeyFunction(Key(1, 4, 2, 99)), 0);
  KeyFunction kept;
  ASSERT_TRUE(store_.GetKeyFunction(1, 0, 4, kept));
  EXPECT_EQ(kept.macro_value, 5);

  // The store is still usable afterwards: no transaction was left open.
  EXPECT_EQ(sqlite3_get_autocommit(Db()), 1);
  EXPECT_TRUE(store_.ReplaceCustomKeyLights({{0, 2, kCustomLightMode, 11, 3}}));
  EXPECT_EQ(store_.LoadKeyLights(kCustomLightMode, lights), 1);
  EXPECT_EQ(lights[0].profile, 2);
}

TEST_F(StoreTest, ReplacedEventsAreClampedAndBelongToTheMacro) {
  int m = store_.AddMacro(L"M");
  std::vector<MacroEvent> events(3);
  events[0].delay_time = -5;
  events[1].delay_time = 31000;
  events[2].delay_time = 40000;
  for (auto& e : events) e.macro_id = 777;
  ASSERT_TRUE(store_.ReplaceMacroEvents(m, events));
  std::vector<MacroEvent> got;
  ASSERT_EQ(store_.LoadMacroEvents(m, got), 3);
  EXPECT_EQ(got[0].delay_time, 0);
  EXPECT_EQ(got[1].delay_time, 31000);
  EXPECT_EQ(got[2].delay_time, 31000);
}

TEST_F(StoreTest, OtherDataAndMusicLayer) {
  KeyOtherData d{L"Calc", L"/usr/bin/gnome-calculator --x \"y\"", 8};
  int id = store_.AddKeyOtherData(d);
  ASSERT_GT(id, 0);
  std::wstring desc = L"keep", param = L"keep";
  int type = -1;
  EXPECT_TRUE(store_.GetKeyOtherData(id + 1, desc, param, type));
  EXPECT_EQ(std::tie(desc, param, type), std::make_tuple(std::wstring(L"keep"), std::wstring(L"keep"), -1));
  EXPECT_TRUE(store_.GetKeyOtherData(id, desc, param, type));
  EXPECT_EQ(param, d.param);
  EXPECT_EQ(type, 8);

  EXPECT_EQ(store_.CountMusicLayers(), 0);
  ASSERT_EQ(store_.AddMusicLayer(L"layer", 2), 1);
  EXPECT_EQ(store_.GetSelectedMusicLayer(), 0);
  ASSERT_TRUE(store_.SelectMusicLayer());
  EXPECT_EQ(store_.GetSelectedMusicLayer(), 1);
  MusicLayer layer;
  ASSERT_TRUE(store_.GetMusicLayer(1, layer));
  EXPECT_EQ(std::tie(layer.profile, layer.foremode, layer.fore_amplitude, layer.backb_right),
            std::make_tuple(1, 2, 300, 100));
  layer.layer_id = 55;  // ignored: the layer is always 1
  layer.backmode = 7;
  ASSERT_TRUE(store_.UpdateMusicLayer(layer));
  ASSERT_TRUE(store_.GetMusicLayer(1, layer));
  EXPECT_EQ(layer.backmode, 7);
}

TEST_F(StoreTest, DefaultConfigRows) {
  store_.WriteDefaultConfig();
  auto rows = Query(Db(), "SELECT profile, key, value FROM t_configdata ORDER BY config_id");
  std::vector<std::vector<std::string>> expected = {
      {"1", "version", "1.0.1"},       {"1", "keyboard_layout", "1"}, {"1", "fn_layer", "0"},
      {"1", "lightmode", "1"},         {"1", "sleep_light", "1"},     {"1", "userlight", "0"},
      {"1", "customlight_run", "0"},   {"1", "gamemode", "0"},        {"1", "disable_alttab", "0"},
      {"1", "disable_altf4", "0"},     {"1", "disable_win", "0"},
  };
  EXPECT_EQ(rows, expected);
}

TEST_F(StoreTest, ReaderNeverSeesAHalfReplacedSet) {
  std::vector<KeyLight> a, b;
  for (int code = 0; code < 104; ++code) {
    a.push_back({0, 1, kCustomLightMode, code, 1});
    b.push_back({0, 1, kCustomLightMode, code, 2});
  }
  ASSERT_TRUE(store_.ReplaceCustomKeyLights(a));
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::thread reader([&] {
    std::vector<KeyLight> got;
    while (!stop) {
      int n = store_.LoadKeyLights(kCustomLightMode, got);
      bool mixed = false;
      for (const KeyLight& k : got) mixed |= k.key_rgb != got[0].key_rgb;
      if (n != 104 || mixed) ++torn;
      ++reads;
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(store_.ReplaceCustomKeyLights(i % 2 ? a : b));
  while (reads < 50) std::this_thread::yield();
  stop = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST_F(StoreTest, KilledWriterLeavesAnIntactDatabase) {
  ASSERT_TRUE(store_.Close());
  const std::string path = DbFile("K1");
  std::string ready = (dir_.path() / "ready").string();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ProfileStore writer;
    if (!writer.Open(root_, L"K1")) _exit(2);
    int m = writer.AddMacro(L"M");
    std::vector<KeyLight> lights;
    for (int code = 0; code < 104; ++code) lights.push_back({0, 1, kCustomLightMode, code, code});
    std::vector<MacroEvent> events(80);
    for (int i = 0;; ++i) {
      writer.ReplaceCustomKeyLights(lights);
      writer.ReplaceMacroEvents(m, events);
      writer.SaveKeyFunction(Key(1, 4 + i % 50, 2, i + 1));
      if (i == 20) std::ofstream{ready};
    }
  }
  for (int i = 0; i < 500 && !fs::exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was still writing";

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  EXPECT_EQ(QueryOne(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM t_key_light_data"), "104");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM t_macrorecord"), "80");
  sqlite3_close(db);
}

}  // namespace
}  // namespace brumkey
