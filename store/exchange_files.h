#pragma once
// Profile and macro exchange files: XML documents written and read through
// XmlDocument, their values going straight into the store. Ids in a file
// are those of the exporting database; an import creates new rows.
#include <string>
#include <vector>

#include "store/profile_store.h"

namespace brumkey {

struct ProfileImport {
  int profileId = 0;
  std::wstring name;                  // the file name cut before its first '.'
  std::vector<MacroInfo> newMacros;   // created macros (id and name), file order
};

// `name` is the profile's name as the list shows it.
bool ExportProfile(ProfileStore& store, int profileId, const std::wstring& name, const std::wstring& path);
// Creates the file's macros (except those already present with the same name
// and id), then the profile with its key functions, and makes it active.
// A file that is missing, does not parse or has another root creates nothing.
bool ImportProfile(ProfileStore& store, const std::wstring& path, ProfileImport& out);

bool ExportMacro(ProfileStore& store, int macroId, const std::wstring& path);
// Creates one macro named after the file; false and nothing created when the
// file is missing, does not parse or has another root.
bool ImportMacro(ProfileStore& store, const std::wstring& path, int& macroId, std::wstring& name);

// "Gaming.second.xml" -> "Gaming"; the folder is dropped first.
std::wstring ImportNameFromPath(const std::wstring& path);

}  // namespace brumkey
