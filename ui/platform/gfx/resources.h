#pragma once
// Where the toolkit's files are on this system.
#include <string>

namespace kelvo::gfx {

// Directory of the running program (trailing '/'): the executable's own
// directory when it holds config.xml, else <exe>/../share/brumkey/ when that
// exists, else the executable's directory.
std::string ProgramDirectory();
// Installed font file of a family and style ("" when none matches exactly).
std::string FindFontFile(const std::string& family, const std::string& style);

}  // namespace kelvo::gfx
