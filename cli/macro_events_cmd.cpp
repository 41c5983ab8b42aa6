#include "cli/macro_events_cmd.h"

#include "cli/protocol_cli.h"
#include "keys/key_codes.h"
#include "keys/macro_model.h"
#include "app/language.h"

namespace brumkey::cli {

namespace {
constexpr char kUsage[] =
    "macros add-event ID press|release VK [DELAY_MS] | set-delay ID INDEX MS | "
    "set-playback ID TIMES TYPE DELAY";
const std::string kDelayRange = "a delay is 0 to " + std::to_string(kMaxEventDelayMs) + " ms";
}  // namespace

bool IsMacroEventCommand(const std::vector<std::string>& a) {
  return !a.empty() && (a[0] == "add-event" || a[0] == "set-delay" || a[0] == "set-playback");
}

int RunMacroEventCommand(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  const std::string& sub = a[0];
  const size_t n = a.size();
  if (!((sub == "add-event" && (n == 4 || n == 5)) || (sub == "set-delay" && n == 4) ||
        (sub == "set-playback" && n == 5)))
    return ctx.UsageError(kUsage);
  const std::optional<int> id = ParseId(a[1]);
  if (!id) return ctx.Failure("not a macro id: " + a[1]);

  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  ProfileStore& store = s.Store();
  MacroInfo info;
  if (!store.GetMacro(*id, info)) return ctx.Failure("no macro with id " + a[1]);
  MacroModel model(store, GetLangString(kStringMacro));

  if (sub == "add-event") {
    int type = 0;
    if (a[2] == "press") type = kEventPress;
    if (a[2] == "release") type = kEventRelease;
    if (type == 0) return ctx.UsageError(kUsage);
    const std::optional<int> vk = ParseNumber(a[3]);
    if (!vk || VkToKeyCode(*vk) == 0) return ctx.Failure("unknown virtual-key code " + a[3]);
    std::optional<int> delay = 0;
    if (n == 5) delay = ParseBounded(a[4], 0, kMaxEventDelayMs);
    if (!delay) return ctx.Failure(kDelayRange);
    if (store.CountMacroKeyEvents(*id) >= kMaxMacroKeyEvents)
      return ctx.Failure("a macro holds at most " + std::to_string(kMaxMacroKeyEvents) + " key events");
    if (!model.AddKeyEvent(*id, type, *vk, *delay)) return ctx.Failure("the event could not be saved");
    return kExitOk;
  }
  if (sub == "set-delay") {
    const std::optional<int> index = ParseId(a[2]);
    const int count = static_cast<int>(model.Events(*id).size());
    if (!index || *index >= count)
      return ctx.Failure("no event " + a[2] + " (the macro has " + std::to_string(count) + ")");
    const std::optional<int> delay = ParseBounded(a[3], 0, kMaxEventDelayMs);
    if (!delay) return ctx.Failure(kDelayRange);
    if (!model.SetEventDelay(*id, *index, *delay)) return ctx.Failure("the delay could not be saved");
    return kExitOk;
  }
  const std::optional<int> times = ParseBounded(a[2], 1, 99);
  if (!times) return ctx.Failure("a macro plays 1 to 99 times");
  const std::optional<int> type = ParseBounded(a[3], 1, 3);
  if (!type) return ctx.Failure("the delay type is 1 (recorded), 2 (none) or 3 (fixed)");
  const std::optional<int> delay = ParseBounded(a[4], 0, kMaxEventDelayMs);
  if (!delay) return ctx.Failure(kDelayRange);
  model.SavePlayback(*id, *times, *type, *delay);
  return kExitOk;
}

}  // namespace brumkey::cli
