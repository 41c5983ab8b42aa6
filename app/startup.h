#pragma once
// The start-up steps that need no window: device name, single instance,
// language, data folders. The main window takes over from here.
#include <memory>
#include <string>

#include "app/platform/single_instance.h"

namespace brumkey {

struct StartupState {
  std::unique_ptr<SingleInstance> instance;  // held for the life of the process
  int activeLanguage = 0;
  bool anotherCopyRunning = false;
};

// Returns false when another copy runs; that copy has been asked to come
// forward and this process should exit with status 0. runtimeDir empty:
// the session's runtime directory.
bool PrepareStartup(StartupState& state, int userUiLanguage, const std::string& runtimeDir = {});

}  // namespace brumkey
