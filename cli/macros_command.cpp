// brumkeyctl macros: the macros of the current model's database.
#include <ostream>

#include "cli/json.h"
#include "cli/macro_events_cmd.h"
#include "cli/store_session.h"
#include "store/exchange_files.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

constexpr char kUsage[] =
    "macros list | show ID | new NAME | rename ID NAME | delete ID | export ID FILE | import FILE";

const char* EventKind(int type) {
  switch (type) {
    case 1: return "delay";
    case 2: return "press";
    case 3: return "release";
  }
  return "unknown";
}

int RunMacros(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) return ctx.UsageError(kUsage);
  if (IsMacroEventCommand(a)) return RunMacroEventCommand(ctx);
  const std::string& sub = a[0];
  const size_t n = a.size();
  const bool known = (sub == "list" && n == 1) || (sub == "show" && n == 2) || (sub == "new" && n == 2) ||
                     (sub == "rename" && n == 3) || (sub == "delete" && n == 2) || (sub == "export" && n == 3) ||
                     (sub == "import" && n == 2);
  if (!known) return ctx.UsageError(kUsage);
  std::optional<int> id;
  if (sub == "show" || sub == "rename" || sub == "delete" || sub == "export") {
    id = ParseId(a[1]);
    if (!id) return ctx.Failure("not a macro id: " + a[1]);
  }

  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileStore& store = s.Store();
  MacroInfo info;
  if (id && !store.GetMacro(*id, info)) return ctx.Failure("no macro with id " + a[1]);
  const auto invalidName = [&] {
    return ctx.Failure("invalid name: it is empty or contains one of / \\ : * ? \" < > | or a control character");
  };

  if (sub == "list") {
    std::vector<MacroInfo> macros;
    store.LoadMacros(macros);
    JsonWriter j;
    j.BeginObject().Key("macros").BeginArray();
    for (const MacroInfo& m : macros) {
      const int keyEvents = store.CountMacroKeyEvents(m.macro_id);
      if (ctx.Options().json) {
        j.BeginObject().Key("id").Int(m.macro_id).Key("name").String(m.name);
        j.Key("playTimes").Int(m.play_times).Key("delayType").Int(m.delay_type);
        j.Key("delayTime").Int(m.delay_time).Key("keyEvents").Int(keyEvents).EndObject();
      } else {
        ctx.out << m.macro_id << "\t" << WideToUtf8(m.name) << "\tplays " << m.play_times << "\tdelay type "
                << m.delay_type << "\t" << keyEvents << " key events\n";
      }
    }
    if (ctx.Options().json) ctx.out << j.EndArray().EndObject().Text() << "\n";
    return kExitOk;
  }
  if (sub == "show") {
    std::vector<MacroEvent> events;
    store.LoadMacroEvents(*id, events);
    if (ctx.Options().json) {
      JsonWriter j;
      j.BeginObject().Key("id").Int(info.macro_id).Key("name").String(info.name);
      j.Key("playTimes").Int(info.play_times).Key("delayType").Int(info.delay_type);
      j.Key("delayTime").Int(info.delay_time).Key("events").BeginArray();
      for (const MacroEvent& e : events) {
        j.BeginObject().Key("type").Int(e.type).Key("value").Int(e.value);
        j.Key("delayTime").Int(e.delay_time).Key("desc").String(e.desc).EndObject();
      }
      ctx.out << j.EndArray().EndObject().Text() << "\n";
      return kExitOk;
    }
    ctx.out << info.macro_id << "\t" << WideToUtf8(info.name) << "\nplays " << info.play_times << ", delay type "
            << info.delay_type << ", fixed delay " << info.delay_time << " ms\n";
    for (const MacroEvent& e : events) {
      ctx.out << e.record_index << "\t" << EventKind(e.type) << "\t" << e.value << "\t" << e.delay_time << " ms\t"
              << WideToUtf8(e.desc) << "\n";
    }
    return kExitOk;
  }
  if (sub == "new") {
    const std::wstring name = Utf8ToWide(a[1]);
    if (!ProfileRules::ValidateName(name)) return invalidName();
    const int newId = store.AddMacro(name);
    if (newId <= 0) return ctx.Failure("the database refused the new macro");
    ctx.out << newId << "\t" << a[1] << "\n";
    return kExitOk;
  }
  if (sub == "rename") {
    const std::wstring name = Utf8ToWide(a[2]);
    if (!ProfileRules::ValidateName(name)) return invalidName();
    return store.RenameMacro(*id, name) ? kExitOk : ctx.Failure("the database refused the change");
  }
  if (sub == "delete") return store.DeleteMacro(*id) ? kExitOk : ctx.Failure("the database refused the change");
  if (sub == "export") {
    return ExportMacro(store, *id, Utf8ToWide(a[2])) ? kExitOk : ctx.Failure("cannot write " + a[2]);
  }
  int newId = 0;
  std::wstring name;
  if (!ImportMacro(store, Utf8ToWide(a[1]), newId, name)) {
    return ctx.Failure("cannot import " + a[1] + ": missing, unreadable or not a macro file");
  }
  ctx.out << newId << "\t" << WideToUtf8(name) << "\n";
  return kExitOk;
}

const CommandRegistrar kMacros("macros", "list, show, create, rename, delete, export and import macros",
                               &RunMacros);

}  // namespace
}  // namespace brumkey::cli
