// Profile store operations against a raw sqlite3 prepared-statement loop
// doing the same rows on an identical file in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>

#include "store/exchange_files.h"
#include "store/profile_store.h"

namespace {

namespace fs = std::filesystem;
using brumkey::KeyFunction;
using brumkey::KeyLight;
using brumkey::ProfileStore;

constexpr int kKeys = 104;

struct Fixture {
  Fixture() {
    std::random_device rd;
    dir = fs::temp_directory_path() / ("brumkey-bench-" + std::to_string(rd()));
    fs::create_directories(dir / "db");
    root = dir.wstring() + L"/";
    store.Open(root, L"Bench");
    sqlite3_open_v2((dir / "db" / "Raw_data_v1.db").c_str(), &raw,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    sqlite3_exec(raw, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
    for (const std::string& s : ProfileStore::SchemaStatements()) sqlite3_exec(raw, s.c_str(), nullptr, nullptr, nullptr);
  }
  ~Fixture() {
    sqlite3_close(raw);
    store.Close();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path dir;
  std::wstring root;
  ProfileStore store;
  sqlite3* raw = nullptr;
};

std::vector<KeyLight> Colours() {
  std::vector<KeyLight> lights;
  for (int i = 0; i < kKeys; ++i) lights.push_back({0, 1, brumkey::kCustomLightMode, 4 + i, 0x102030 * i});
  return lights;
}

void BM_SaveColours_RawBaseline(benchmark::State& state) {
  Fixture f;
  auto lights = Colours();
  for (auto _ : state) {
    sqlite3_exec(f.raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_exec(f.raw, "DELETE FROM t_key_light_data WHERE light_id = 128", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.raw, "INSERT INTO t_key_light_data(profile, light_id, key_code, key_rgb) VALUES (?, ?, ?, ?);",
                       -1, &st, nullptr);
    for (const KeyLight& k : lights) {
      sqlite3_bind_int(st, 1, k.profile);
      sqlite3_bind_int(st, 2, k.light_id);
      sqlite3_bind_int(st, 3, k.key_code);
      sqlite3_bind_int(st, 4, k.key_rgb);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(f.raw, "COMMIT", nullptr, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_SaveColours_RawBaseline);

void BM_SaveColours_ReplaceCustomKeyLights(benchmark::State& state) {
  Fixture f;
  auto lights = Colours();
  for (auto _ : state) benchmark::DoNotOptimize(f.store.ReplaceCustomKeyLights(lights));
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_SaveColours_ReplaceCustomKeyLights);

void BM_SaveColours_DeleteThenAddKeyLights(benchmark::State& state) {
  Fixture f;
  auto lights = Colours();
  for (auto _ : state) {
    f.store.DeleteCustomKeyLights();
    benchmark::DoNotOptimize(f.store.AddKeyLights(lights));
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_SaveColours_DeleteThenAddKeyLights);

void FillKeys(Fixture& f) {
  sqlite3_exec(f.raw, "BEGIN", nullptr, nullptr, nullptr);
  for (int i = 0; i < kKeys; ++i) {
    KeyFunction k;
    k.profile = 1;
    k.key_code = 4 + i;
    k.macro_type = 2;
    k.macro_value = 5 + i;
    k.layout_desc = L"Layout";
    k.macro_desc = L"Key description";
    f.store.SaveKeyFunction(k);
    std::string sql = "INSERT INTO t_key_macro_data(profile, fn_layer, key_code, layout_value, layout_desc, "
                      "macro_type, macro_value, macro_value2, macro_value3, macro_desc) VALUES (1, 0, " +
                      std::to_string(4 + i) + ", 0, 'Layout', 2, " + std::to_string(5 + i) +
                      ", 0, 0, 'Key description')";
    sqlite3_exec(f.raw, sql.c_str(), nullptr, nullptr, nullptr);
  }
  sqlite3_exec(f.raw, "COMMIT", nullptr, nullptr, nullptr);
}

void BM_LoadKeyFunctions_RawBaseline(benchmark::State& state) {
  Fixture f;
  FillKeys(f);
  for (auto _ : state) {
    std::vector<KeyFunction> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(f.raw, "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ?", -1, &st, nullptr);
    sqlite3_bind_int(st, 1, 1);
    sqlite3_bind_int(st, 2, 0);
    while (sqlite3_step(st) == SQLITE_ROW) {
      KeyFunction k;
      k.key_id = sqlite3_column_int(st, 0);
      k.profile = sqlite3_column_int(st, 1);
      k.fn_layer = sqlite3_column_int(st, 2);
      k.key_code = sqlite3_column_int(st, 3);
      k.layout_value = sqlite3_column_int(st, 4);
      const unsigned char* t = sqlite3_column_text(st, 5);
      k.layout_desc.assign(t, t + sqlite3_column_bytes(st, 5));
      k.macro_type = sqlite3_column_int(st, 6);
      k.macro_value = sqlite3_column_int(st, 7);
      k.macro_value2 = sqlite3_column_int(st, 8);
      k.macro_value3 = sqlite3_column_int(st, 9);
      t = sqlite3_column_text(st, 10);
      k.macro_desc.assign(t, t + sqlite3_column_bytes(st, 10));
      out.push_back(std::move(k));
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_LoadKeyFunctions_RawBaseline);

void BM_LoadKeyFunctions_Store(benchmark::State& state) {
  Fixture f;
  FillKeys(f);
  for (auto _ : state) {
    std::vector<KeyFunction> out;
    benchmark::DoNotOptimize(f.store.LoadKeyFunctions(1, 0, out));
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_LoadKeyFunctions_Store);

constexpr int kMacros = 10;
constexpr int kEvents = 80;

// What an export and an import of the profile amount to in rows: read the
// keys, macros and events, then write them all again in one transaction.
void BM_ProfileExchange_RawBaseline(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    sqlite3_exec(f.raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* macro = nullptr;
    sqlite3_stmt* event = nullptr;
    sqlite3_prepare_v2(f.raw, "INSERT INTO t_macro_data(play_times, delay_type, delay_time, link_count, name) VALUES (1, 1, 0, 0, ?)",
                       -1, &macro, nullptr);
    sqlite3_prepare_v2(f.raw, "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) VALUES (?, ?, ?, ?, ?, ?)",
                       -1, &event, nullptr);
    for (int m = 0; m < kMacros; ++m) {
      sqlite3_bind_text(macro, 1, "Macro", 5, SQLITE_TRANSIENT);
      sqlite3_step(macro);
      sqlite3_reset(macro);
      int id = static_cast<int>(sqlite3_last_insert_rowid(f.raw));
      for (int e = 0; e < kEvents; ++e) {
        sqlite3_bind_int(event, 1, id);
        sqlite3_bind_int(event, 2, 2 + e % 2);
        sqlite3_bind_int(event, 3, e);
        sqlite3_bind_text(event, 4, "A", 1, SQLITE_TRANSIENT);
        sqlite3_bind_int(event, 5, 65);
        sqlite3_bind_int(event, 6, 10);
        sqlite3_step(event);
        sqlite3_reset(event);
      }
    }
    sqlite3_finalize(macro);
    sqlite3_finalize(event);
    sqlite3_exec(f.raw, "COMMIT", nullptr, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * kMacros * kEvents);
}
BENCHMARK(BM_ProfileExchange_RawBaseline);

void BM_ProfileExchange_ExportImport(benchmark::State& state) {
  Fixture f;
  brumkey::ProfileInfo p;
  p.name = L"Bench";
  int profile = f.store.AddProfile(p);
  for (int m = 0; m < kMacros; ++m) {
    int id = f.store.AddMacro(L"Macro " + std::to_wstring(m));
    std::vector<brumkey::MacroEvent> events;
    for (int e = 0; e < kEvents; ++e) events.push_back({0, id, 2 + e % 2, e, 65 + e % 26, 10, L"A"});
    f.store.AddMacroEvents(events);
    KeyFunction k;
    k.profile = profile;
    k.key_code = 4 + m;
    k.macro_type = 3;
    k.macro_value = id;
    f.store.SaveKeyFunction(k);
  }
  // Import into a second model so every iteration creates all macros anew.
  ProfileStore target;
  target.Open(f.root, L"Target");
  const std::wstring path = (f.dir / "Bench.xml").wstring();
  for (auto _ : state) {
    brumkey::ExportProfile(f.store, profile, L"Bench", path);
    brumkey::ProfileImport result;
    benchmark::DoNotOptimize(brumkey::ImportProfile(target, path, result));
  }
  state.SetItemsProcessed(state.iterations() * kMacros * kEvents);
}
BENCHMARK(BM_ProfileExchange_ExportImport);

}  // namespace

BENCHMARK_MAIN();
