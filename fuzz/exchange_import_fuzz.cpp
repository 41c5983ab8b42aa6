// Arbitrary bytes as a profile file and as a macro file, imported into a
// real database. Whatever lands in the store must read back, and a profile
// created from a file must export to a file that imports again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/exchange_files.h"
#include "store/profile_store.h"

namespace fs = std::filesystem;
using namespace brumkey;

namespace {

struct Env {
  Env() {
    dir = fs::temp_directory_path() / ("brumkey-fuzz-" + std::to_string(getpid()));
    fs::create_directories(dir / "db");
    root = dir.wstring() + L"/";
    Reset();
  }
  ~Env() {
    store.Close();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // Keeps the database small so every run costs about the same.
  void Reset() {
    store.Close();
    store.DeleteDatabaseFile(root, L"Fuzz");
    if (!store.Open(root, L"Fuzz")) abort();
    runs = 0;
  }
  fs::path dir;
  std::wstring root;
  ProfileStore store;
  int runs = 0;
};

Env& GetEnv() {
  static Env env;
  return env;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Env& env = GetEnv();
  if (++env.runs > 500) env.Reset();
  const fs::path input = env.dir / "Input.name.xml";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ProfileImport imported;
  if (ImportProfile(env.store, input.wstring(), imported)) {
    if (imported.name != L"Input") abort();
    std::vector<KeyFunction> keys;
    env.store.LoadKeyFunctions(imported.profileId, 0, keys);
    const fs::path again = env.dir / "Again.xml";
    if (!ExportProfile(env.store, imported.profileId, imported.name, again.wstring())) abort();
    ProfileImport second;
    if (!ImportProfile(env.store, again.wstring(), second)) abort();
    std::vector<KeyFunction> keys2;
    env.store.LoadKeyFunctions(second.profileId, 0, keys2);
    if (keys2.size() != keys.size()) abort();
  }
  int macroId = 0;
  std::wstring name;
  if (ImportMacro(env.store, input.wstring(), macroId, name)) {
    std::vector<MacroEvent> events;
    env.store.LoadMacroEvents(macroId, events);
    for (const MacroEvent& e : events)
      if (e.delay_time < 0 || e.delay_time > kMaxEventDelayMs) abort();
  }
  return 0;
}
