#include "util/path.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "util/text.h"

namespace brumkey {

std::string ToNativePath(std::wstring_view path) {
  std::string s = WideToUtf8(path);
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  return out;
}

bool ReadFileBytes(const std::string& path, std::string& out, size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  out.clear();
  char buf[65536];
  while (in) {
    in.read(buf, sizeof buf);
    const auto n = static_cast<size_t>(in.gcount());
    if (out.size() + n > maxBytes) return false;
    out.append(buf, n);
  }
  return in.eof();
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
  const std::string tmp = path + ".tmp~";
  {
    std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
    if (!o) return false;
    o.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    o.flush();
    if (!o) {
      o.close();
      std::remove(tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace brumkey
