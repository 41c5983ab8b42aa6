#include "ui/platform/gfx/resources.h"

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace kelvo::gfx {

std::string ProgramDirectory() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "./";
  buf[n] = 0;
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(buf).parent_path();
  std::error_code ec;
  if (fs::exists(dir / "config.xml", ec)) return dir.string() + "/";
  const fs::path share = dir.parent_path() / "share" / "brumkey";
  if (fs::exists(share / "config.xml", ec)) return share.string() + "/";
  return dir.string() + "/";
}

std::string FindFontFile(const std::string& family, const std::string& style) {
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!style.empty()) FcPatternAddString(pat, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* m = FcFontMatch(nullptr, pat, &res);
  FcPatternDestroy(pat);
  if (!m) return "";
  std::string out;
  FcChar8* fam = nullptr;
  FcChar8* sty = nullptr;
  FcChar8* file = nullptr;
  const bool famOk = FcPatternGetString(m, FC_FAMILY, 0, &fam) == FcResultMatch &&
                     strcasecmp(reinterpret_cast<char*>(fam), family.c_str()) == 0;
  bool styOk = style.empty();
  for (int i = 0; !styOk && FcPatternGetString(m, FC_STYLE, i, &sty) == FcResultMatch; ++i)
    styOk = strcasecmp(reinterpret_cast<char*>(sty), style.c_str()) == 0;
  if (famOk && styOk && FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) out = reinterpret_cast<char*>(file);
  FcPatternDestroy(m);
  return out;
}

}  // namespace kelvo::gfx
