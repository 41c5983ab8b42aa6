#include "app/platform/os.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace brumkey::os {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string Home() { return EnvOr("HOME", "/tmp"); }

struct LocaleId {
  const char* prefix;
  int lcid;
};
// Longest prefixes first: a region-specific entry wins over the language.
constexpr LocaleId kLocales[] = {
    {"pt_BR", 1046}, {"pt_PT", 2070}, {"en_US", 1033}, {"en_GB", 2057}, {"es_ES", 3082},
    {"es_MX", 2058}, {"zh_CN", 2052}, {"zh_TW", 1028}, {"pt", 2070},    {"en", 1033},
    {"de", 1031},    {"fr", 1036},    {"es", 3082},    {"it", 1040},    {"ja", 1041},
    {"ko", 1042},    {"ru", 1049},    {"pl", 1045},    {"nl", 1043},    {"tr", 1055},
    {"zh", 2052},
};

}  // namespace

std::string ExecutablePath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::string DataHome() { return EnvOr("XDG_DATA_HOME", Home() + "/.local/share"); }
std::string ConfigHome() { return EnvOr("XDG_CONFIG_HOME", Home() + "/.config"); }
std::string RuntimeDir() {
  return EnvOr("XDG_RUNTIME_DIR", "/tmp/brumkey-runtime-" + std::to_string(getuid()));
}

int UserUiLanguage() {
  std::string loc;
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    loc = EnvOr(var, "");
    if (!loc.empty()) break;
  }
  for (const auto& l : kLocales)
    if (std::string_view(loc).substr(0, std::strlen(l.prefix)) == l.prefix) return l.lcid;
  return 1033;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path, bool& alreadyExists) {
  alreadyExists = false;
  if (mkdir(path.c_str(), 0700) == 0) return true;
  alreadyExists = errno == EEXIST;
  return false;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace brumkey::os
