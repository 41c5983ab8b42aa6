#pragma once
// The event and playback editing part of `brumkeyctl macros`.
#include <string>
#include <vector>

#include "cli/cli.h"

namespace brumkey::cli {

// add-event, set-delay, set-playback.
bool IsMacroEventCommand(const std::vector<std::string>& args);
int RunMacroEventCommand(Context& ctx);

}  // namespace brumkey::cli
