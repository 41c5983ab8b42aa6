#pragma once
// File-system paths: wide program paths to UTF-8, with '\' and doubled
// separators normalised (never use this on URLs).
#include <string>
#include <string_view>

namespace brumkey {

std::string ToNativePath(std::wstring_view path);

// Reads a whole file; false when it cannot be opened or exceeds maxBytes.
bool ReadFileBytes(const std::string& path, std::string& out, size_t maxBytes);
// Writes through a temporary file and a rename, so readers never see half.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

}  // namespace brumkey
