// brumkeyctl profiles: the profile list of the current model, with the same
// rules as the main window's profile panel.
#include <filesystem>
#include <ostream>

#include "app/language.h"
#include "cli/json.h"
#include "cli/store_session.h"
#include "store/exchange_files.h"
#include "util/text.h"

namespace brumkey::cli {
namespace {

constexpr char kUsage[] =
    "profiles list | add [NAME] | rename ID NAME | delete ID | select ID | export ID FILE | import FILE";

int Explain(Context& ctx, ProfileResult r, const std::string& what) {
  switch (r) {
    case ProfileResult::Ok:
      return kExitOk;
    case ProfileResult::LimitReached:
      return ctx.Failure("cannot create more than " + std::to_string(kMaxProfiles) + " profiles");
    case ProfileResult::InvalidName:
      return ctx.Failure("invalid name: it is empty or contains one of / \\ : * ? \" < > | or a control character");
    case ProfileResult::NotFound:
      return ctx.Failure("no profile with id " + what);
    case ProfileResult::LastProfile:
      return ctx.Failure("the last profile cannot be deleted");
    case ProfileResult::Failed:
      break;
  }
  return ctx.Failure("the database refused the change");
}

int List(Context& ctx, StoreSession& s) {
  const auto list = s.Rules().LoadList();
  const auto names = s.Rules().DisplayNames(list);
  const int active = s.Store().GetActiveProfile();
  if (ctx.Options().json) {
    JsonWriter j;
    j.BeginObject().Key("profiles").BeginArray();
    for (size_t i = 0; i < list.size(); ++i) {
      j.BeginObject();
      j.Key("id").Int(list[i].profile);
      j.Key("name").String(names[i]);
      j.Key("storedName").String(list[i].name);
      j.Key("active").Bool(list[i].profile == active);
      j.EndObject();
    }
    j.EndArray().EndObject();
    ctx.out << j.Text() << "\n";
    return kExitOk;
  }
  for (size_t i = 0; i < list.size(); ++i) {
    ctx.out << list[i].profile << "\t" << WideToUtf8(names[i]) << (list[i].profile == active ? "\t(active)" : "")
            << "\n";
  }
  return kExitOk;
}

int RunProfiles(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) return ctx.UsageError(kUsage);
  const std::string& sub = a[0];
  const size_t n = a.size();
  const bool known = (sub == "list" && n == 1) || (sub == "add" && n <= 2) || (sub == "rename" && n == 3) ||
                     (sub == "delete" && n == 2) || (sub == "select" && n == 2) || (sub == "export" && n == 3) ||
                     (sub == "import" && n == 2);
  if (!known) return ctx.UsageError(kUsage);
  std::optional<int> id;
  if (sub == "rename" || sub == "delete" || sub == "select" || sub == "export") {
    id = ParseId(a[1]);
    if (!id) return ctx.Failure("not a profile id: " + a[1]);
  }

  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileRules& rules = s.Rules();

  if (sub == "list") return List(ctx, s);
  if (sub == "add") {
    const std::wstring given = n == 2 ? Utf8ToWide(a[1]) : std::wstring();
    int newId = 0;
    std::wstring name;
    ProfileResult r = rules.Add(n == 2 ? &given : nullptr, newId, name);
    if (r != ProfileResult::Ok) return Explain(ctx, r, "");
    ctx.out << newId << "\t" << WideToUtf8(name) << "\n";
    return kExitOk;
  }
  if (sub == "rename") return Explain(ctx, rules.Rename(*id, Utf8ToWide(a[2])), a[1]);
  if (sub == "delete") return Explain(ctx, rules.Delete(*id), a[1]);
  if (sub == "select") return Explain(ctx, rules.Select(*id), a[1]);
  if (sub == "export") {
    const auto list = rules.LoadList();
    const auto names = rules.DisplayNames(list);
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].profile != *id) continue;
      if (!ExportProfile(s.Store(), *id, names[i], Utf8ToWide(a[2]))) return ctx.Failure("cannot write " + a[2]);
      return kExitOk;
    }
    return Explain(ctx, ProfileResult::NotFound, a[1]);
  }
  // import
  if (static_cast<int>(rules.LoadList().size()) >= kMaxProfiles) return Explain(ctx, ProfileResult::LimitReached, "");
  ProfileImport imported;
  if (!ImportProfile(s.Store(), Utf8ToWide(a[1]), imported)) {
    return ctx.Failure("cannot import " + a[1] + ": missing, unreadable or not a profile file");
  }
  ctx.out << imported.profileId << "\t" << WideToUtf8(imported.name) << "\n";
  return kExitOk;
}

const CommandRegistrar kProfiles("profiles", "list, add, rename, delete, select, export and import profiles",
                                 &RunProfiles);

}  // namespace
}  // namespace brumkey::cli
