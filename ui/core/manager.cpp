#include "kelvo/manager.h"

#include <mutex>

namespace kelvo {
namespace {
std::mutex g_mu;
std::wstring g_deviceName = L"Brumkey";
std::wstring g_theme = L"theme1";
void* g_instance = nullptr;
}  // namespace

void Manager::SetDeviceName(const std::wstring& name) {
  std::lock_guard lock(g_mu);
  g_deviceName = name;
}
std::wstring Manager::GetDeviceName() {
  std::lock_guard lock(g_mu);
  return g_deviceName;
}
void Manager::SetInstance(void* instance) {
  std::lock_guard lock(g_mu);
  g_instance = instance;
}
void* Manager::GetInstance() {
  std::lock_guard lock(g_mu);
  return g_instance;
}
void Manager::SetTheme(const std::wstring& theme) {
  std::lock_guard lock(g_mu);
  g_theme = theme;
}
std::wstring Manager::GetTheme() {
  std::lock_guard lock(g_mu);
  return g_theme;
}

}  // namespace kelvo
