#pragma once
// Starting things on the desktop for the PC-side key actions: a program
// detached from this process, or a document or address with the desktop's
// default handler (xdg-open).
#include <string>
#include <vector>

namespace brumkey::os {

// Runs `program` (looked up in PATH) with `args` in its own session; the
// program is not a child this process must reap. False when it could not be
// started.
bool StartDetached(const std::string& program, const std::vector<std::string>& args = {});
// xdg-open TARGET, detached.
bool OpenWithDesktop(const std::string& target);

}  // namespace brumkey::os
