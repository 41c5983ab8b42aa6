#include "store/exchange_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "store/xml_document.h"
#include "util/path.h"
#include "util/text.h"

namespace brumkey {
namespace {

constexpr wchar_t kDeclaration[] = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

int Num(const XmlDocument& xml, const wchar_t* name) { return ParseDecimal(xml.GetAttrib(name)); }

void WriteEvents(XmlDocument& xml, ProfileStore& store, int macroId) {
  std::vector<MacroEvent> events;
  store.LoadMacroEvents(macroId, events);
  for (const MacroEvent& e : events) {
    xml.AddElem(L"item");
    xml.SetAttrib(L"desc", e.desc);
    xml.SetAttrib(L"type", e.type);
    xml.SetAttrib(L"value", e.value);
    xml.SetAttrib(L"delay_time", e.delay_time);
  }
}

// Reads the item children of the current macroitems element (the cursor is
// inside it) as the events of `macroId`.
void ReadEvents(XmlDocument& xml, ProfileStore& store, int macroId) {
  int index = 0;
  while (xml.FindElem(L"item")) {
    MacroEvent e;
    e.macro_id = macroId;
    e.record_index = index++;
    e.desc = xml.GetAttrib(L"desc");
    e.type = Num(xml, L"type");
    e.value = Num(xml, L"value");
    e.delay_time = std::clamp(Num(xml, L"delay_time"), 0, kMaxEventDelayMs);
    store.AddMacroEvent(std::move(e));
  }
}

bool FileExists(const std::wstring& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::u8path(ToNativePath(path)), ec);
}

bool LoadRooted(XmlDocument& xml, const std::wstring& path, const wchar_t* root) {
  return FileExists(path) && xml.Load(path) && xml.Parse() && xml.FindElem(root);
}

// Software actions point at rows of this database; a file's id means
// nothing here unless the same kind of row exists under it.
bool SoftwareActionExists(ProfileStore& store, int id, int type) {
  std::wstring desc, param;
  int storedType = 0;
  store.GetKeyOtherData(id, desc, param, storedType);
  return storedType == type;
}

}  // namespace

std::wstring ImportNameFromPath(const std::wstring& path) {
  size_t slash = path.find_last_of(L"/\\");
  std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = file.find(L'.');
  return dot == std::wstring::npos ? std::wstring() : file.substr(0, dot);
}

bool ExportProfile(ProfileStore& store, int profileId, const std::wstring& name, const std::wstring& path) {
  XmlDocument xml;
  xml.SetDoc(kDeclaration);
  xml.AddElem(L"profile");
  xml.IntoElem();
  xml.AddElem(L"profileinfo");
  xml.SetAttrib(L"name", name);
  xml.AddElem(L"keyitems");
  xml.IntoElem();
  std::vector<KeyFunction> keys;
  std::vector<int> macroIds;
  store.LoadKeyFunctions(profileId, 0, keys);
  for (const KeyFunction& k : keys) {
    xml.AddElem(L"item");
    xml.SetAttrib(L"fn_layer", k.fn_layer);
    xml.SetAttrib(L"key_code", k.key_code);
    xml.SetAttrib(L"layout_value", k.layout_value);
    xml.SetAttrib(L"layout_desc", k.layout_desc);
    xml.SetAttrib(L"macro_type", k.macro_type);
    xml.SetAttrib(L"macro_value", k.macro_value);
    xml.SetAttrib(L"macro_value2", k.macro_value2);
    xml.SetAttrib(L"macro_value3", k.macro_value3);
    xml.SetAttrib(L"macro_desc", k.macro_desc);
    if (k.macro_type == 3) macroIds.push_back(k.macro_value);
  }
  xml.OutOfElem();
  for (int id : macroIds) {
    MacroInfo info;
    store.GetMacro(id, info);
    xml.AddElem(L"macroinfo");
    xml.SetAttrib(L"name", info.name);
    xml.SetAttrib(L"macro_id", info.macro_id);
    xml.SetAttrib(L"times", info.play_times);
    xml.SetAttrib(L"type", info.delay_type);
    xml.SetAttrib(L"delaytime", info.delay_time);
    xml.IntoElem();
    xml.AddElem(L"macroitems");
    xml.IntoElem();
    if (info.macro_id != 0) WriteEvents(xml, store, id);
    xml.OutOfElem();
    xml.OutOfElem();
  }
  return xml.Save(path);
}

bool ImportProfile(ProfileStore& store, const std::wstring& path, ProfileImport& out) {
  out = ProfileImport{};
  // Both passes read the same file; parse both before creating anything.
  XmlDocument macros, profile;
  if (!LoadRooted(macros, path, L"profile") || !LoadRooted(profile, path, L"profile")) return false;

  ProfileStore::Lock lock = store.Hold();
  // One transaction: an import lands whole, and 800 events cost one commit.
  SQLiteAutoTransaction transaction(&store.Database());

  std::vector<MacroInfo> existing;
  store.LoadMacros(existing);
  std::map<int, int> newIdByFileId;
  macros.IntoElem();
  while (macros.FindElem(L"macroinfo")) {
    const std::wstring name = macros.GetAttrib(L"name");
    const int fileId = Num(macros, L"macro_id");
    const bool present = std::any_of(existing.begin(), existing.end(), [&](const MacroInfo& m) {
      return m.name == name && m.macro_id == fileId;
    });
    if (present) continue;
    MacroInfo info;
    info.name = name;
    info.play_times = Num(macros, L"times");
    info.delay_type = Num(macros, L"type");
    info.delay_time = Num(macros, L"delaytime");
    const int newId = store.AddMacroInfo(info);
    newIdByFileId[fileId] = newId;
    if (newId > 0) {
      info.macro_id = newId;
      out.newMacros.push_back(info);
    }
    macros.IntoElem();
    if (macros.FindElem(L"macroitems")) {
      macros.IntoElem();
      ReadEvents(macros, store, newId);
      macros.OutOfElem();
    }
    macros.OutOfElem();
  }

  profile.IntoElem();
  profile.FindElem(L"profileinfo");
  out.name = ImportNameFromPath(path);
  ProfileInfo info;
  info.name = out.name;
  out.profileId = store.AddProfile(info);
  if (out.profileId > 0 && profile.FindElem(L"keyitems")) {
    profile.IntoElem();
    while (profile.FindElem(L"item")) {
      KeyFunction k;
      k.profile = out.profileId;
      k.fn_layer = Num(profile, L"fn_layer");
      k.key_code = Num(profile, L"key_code");
      k.layout_value = Num(profile, L"layout_value");
      k.layout_desc = profile.GetAttrib(L"layout_desc");
      k.macro_type = Num(profile, L"macro_type");
      k.macro_value = Num(profile, L"macro_value");
      k.macro_value2 = Num(profile, L"macro_value2");
      k.macro_value3 = Num(profile, L"macro_value3");
      k.macro_desc = profile.GetAttrib(L"macro_desc");
      if (k.macro_type == 3) {
        auto it = newIdByFileId.find(k.macro_value);
        if (it != newIdByFileId.end()) k.macro_value = it->second;
      } else if (k.macro_type >= 8 && k.macro_type <= 11 && !SoftwareActionExists(store, k.macro_value, k.macro_type)) {
        continue;
      }
      store.SaveKeyFunction(k);
    }
    profile.OutOfElem();
  }
  if (out.profileId > 0) store.SetActiveProfile(out.profileId);
  transaction.End();
  return out.profileId > 0;
}

bool ExportMacro(ProfileStore& store, int macroId, const std::wstring& path) {
  MacroInfo info;
  if (!store.GetMacro(macroId, info)) return false;
  XmlDocument xml;
  xml.SetDoc(kDeclaration);
  xml.AddElem(L"macro");
  xml.IntoElem();
  xml.AddElem(L"macroinfo");
  xml.SetAttrib(L"name", info.name);
  xml.SetAttrib(L"times", info.play_times);
  xml.SetAttrib(L"type", info.delay_type);
  xml.SetAttrib(L"delaytime", info.delay_time);
  xml.AddElem(L"macroitems");
  xml.IntoElem();
  WriteEvents(xml, store, macroId);
  return xml.Save(path);
}

bool ImportMacro(ProfileStore& store, const std::wstring& path, int& macroId, std::wstring& name) {
  macroId = 0;
  name.clear();
  XmlDocument xml;
  if (!LoadRooted(xml, path, L"macro")) return false;
  xml.IntoElem();
  MacroInfo info;
  info.name = ImportNameFromPath(path);
  if (xml.FindElem(L"macroinfo")) {
    info.play_times = Num(xml, L"times");
    info.delay_type = Num(xml, L"type");
    info.delay_time = Num(xml, L"delaytime");
  }
  ProfileStore::Lock lock = store.Hold();
  SQLiteAutoTransaction transaction(&store.Database());
  macroId = store.AddMacroInfo(info);
  if (macroId > 0 && xml.FindElem(L"macroitems")) {
    xml.IntoElem();
    ReadEvents(xml, store, macroId);
    xml.OutOfElem();
  }
  transaction.End();
  name = info.name;
  return macroId > 0;
}

}  // namespace brumkey
