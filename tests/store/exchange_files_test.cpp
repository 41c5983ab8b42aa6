#include "store/exchange_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "store/xml_document.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() / "db");
    root_ = dir_.path().wstring() + L"/";
    ASSERT_TRUE(a_.Open(root_, L"A"));
    ASSERT_TRUE(b_.Open(root_, L"B"));
  }
  std::wstring File(const std::string& name) { return dir_.WFile(name); }

  int Macro(ProfileStore& s, const std::wstring& name, int events) {
    MacroInfo info;
    info.name = name;
    info.play_times = 3;
    info.delay_type = 2;
    info.delay_time = 15;
    int id = s.AddMacroInfo(info);
    std::vector<MacroEvent> list;
    for (int i = 0; i < events; ++i) {
      MacroEvent e;
      e.macro_id = id;
      e.type = 2 + i % 2;
      e.record_index = i;
      e.value = 0x41 + i;
      e.delay_time = 10 * i;
      e.desc = L"K" + std::to_wstring(i);
      list.push_back(e);
    }
    s.AddMacroEvents(list);
    return id;
  }
  int Key(ProfileStore& s, int profile, int code, int type, int value, const std::wstring& desc = L"") {
    KeyFunction k;
    k.profile = profile;
    k.key_code = code;
    k.macro_type = type;
    k.macro_value = value;
    k.layout_value = code + 1000;
    k.layout_desc = L"L" + std::to_wstring(code);
    k.macro_desc = desc;
    return s.SaveKeyFunction(k);
  }
  int CountProfiles(ProfileStore& s) {
    std::vector<ProfileInfo> v;
    return s.LoadProfiles(v);
  }
  int CountMacros(ProfileStore& s) {
    std::vector<MacroInfo> v;
    return s.LoadMacros(v);
  }

  test::TempDir dir_;
  std::wstring root_;
  ProfileStore a_, b_;
};

TEST_F(ExchangeTest, ProfileRoundTripTranslatesMacroIdsAndKeepsEveryField) {
  ProfileInfo p;
  p.name = L"Source";
  int pa = a_.AddProfile(p);
  b_.AddMacro(L"occupies id 1 in B");
  int m = Macro(a_, L"Combo \"A\" & B", 5);
  const std::wstring tricky = L"say \"hi\" & <bye>\nline\ttab\rcr 'ç'";
  Key(a_, pa, 4, 2, 5, tricky);
  Key(a_, pa, 5, 3, m);
  Key(a_, pa, 6, 7, 3);
  KeyFunction fn;  // layer 1 is not exported
  fn.profile = pa;
  fn.fn_layer = 1;
  fn.key_code = 7;
  fn.macro_type = 2;
  fn.macro_value = 9;
  a_.SaveKeyFunction(fn);

  const std::wstring path = File("Gaming.second.xml");
  ASSERT_TRUE(ExportProfile(a_, pa, L"Shown name", path));
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u) << "no byte-order mark";
  EXPECT_NE(bytes.find("&#10;"), std::string::npos);
  EXPECT_NE(bytes.find("&#9;"), std::string::npos);
  EXPECT_NE(bytes.find("&#13;"), std::string::npos);

  ProfileImport result;
  ASSERT_TRUE(ImportProfile(b_, path, result));
  EXPECT_EQ(result.name, L"Gaming");
  EXPECT_EQ(b_.GetActiveProfile(), result.profileId);
  ASSERT_EQ(result.newMacros.size(), 1u);
  const int newMacro = result.newMacros[0].macro_id;
  EXPECT_NE(newMacro, m);
  std::wstring name;
  ASSERT_TRUE(b_.GetProfileName(result.profileId, name));
  EXPECT_EQ(name, L"Gaming");

  std::vector<KeyFunction> keys;
  ASSERT_EQ(b_.LoadKeyFunctions(result.profileId, 0, keys), 3);
  EXPECT_EQ(keys[0].macro_desc, tricky);
  EXPECT_EQ(keys[0].layout_value, 1004);
  EXPECT_EQ(keys[0].layout_desc, L"L4");
  EXPECT_EQ(keys[1].macro_type, 3);
  EXPECT_EQ(keys[1].macro_value, newMacro);
  EXPECT_EQ(keys[2].macro_type, 7);
  EXPECT_EQ(keys[2].macro_value, 3);
  EXPECT_EQ(b_.LoadKeyFunctions(result.profileId, 1, keys), 0);

  MacroInfo info;
  ASSERT_TRUE(b_.GetMacro(newMacro, info));
  EXPECT_EQ(info.name, L"Combo \"A\" & B");
  EXPECT_EQ(std::make_tuple(info.play_times, info.delay_type, info.delay_time, info.link_count),
            std::make_tuple(3, 2, 15, 0));
  std::vector<MacroEvent> events;
  ASSERT_EQ(b_.LoadMacroEvents(newMacro, events), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(events[i].record_index, i);
    EXPECT_EQ(events[i].value, 0x41 + i);
    EXPECT_EQ(events[i].delay_time, 10 * i);
    EXPECT_EQ(events[i].desc, L"K" + std::to_wstring(i));
  }
}

TEST_F(ExchangeTest, SameMacroOnTwoKeysIsWrittenTwiceAndBothKeysFollowTheSecondCopy) {
  ProfileInfo p;
  p.name = L"P";
  int pa = a_.AddProfile(p);
  int m = Macro(a_, L"Twice", 2);
  Key(a_, pa, 4, 3, m);
  Key(a_, pa, 5, 3, m);
  const std::wstring path = File("twice.xml");
  ASSERT_TRUE(ExportProfile(a_, pa, L"P", path));

  XmlDocument xml;
  ASSERT_TRUE(xml.Load(path) && xml.Parse());
  ASSERT_TRUE(xml.FindElem(L"profile"));
  xml.IntoElem();
  int infos = 0;
  while (xml.FindElem(L"macroinfo")) {
    ++infos;
    EXPECT_EQ(xml.GetAttrib(L"macro_id"), std::to_wstring(m));
    xml.IntoElem();
    EXPECT_TRUE(xml.FindElem(L"macroitems")) << "profile files nest macroitems in macroinfo";
    xml.OutOfElem();
  }
  EXPECT_EQ(infos, 2);

  b_.AddMacro(L"shift ids");
  ProfileImport result;
  ASSERT_TRUE(ImportProfile(b_, path, result));
  ASSERT_EQ(result.newMacros.size(), 2u);
  std::vector<KeyFunction> keys;
  ASSERT_EQ(b_.LoadKeyFunctions(result.profileId, 0, keys), 2);
  EXPECT_EQ(keys[0].macro_value, result.newMacros[1].macro_id);
  EXPECT_EQ(keys[1].macro_value, result.newMacros[1].macro_id);
}

TEST_F(ExchangeTest, ImportIntoTheExportingDatabaseReusesItsMacros) {
  ProfileInfo p;
  p.name = L"P";
  int pa = a_.AddProfile(p);
  int m = Macro(a_, L"Mine", 3);
  Key(a_, pa, 4, 3, m);
  Key(a_, pa, 5, 3, 999);  // a macro that exists nowhere keeps its id
  const std::wstring path = File("back");
  ASSERT_TRUE(ExportProfile(a_, pa, L"P", path));
  ProfileImport result;
  ASSERT_TRUE(ImportProfile(a_, path, result));
  EXPECT_EQ(result.name, L"") << "a file name without '.' gives an empty name";
  // The dangling key's macroinfo has an empty name and id 0: it becomes a macro.
  ASSERT_EQ(result.newMacros.size(), 1u);
  EXPECT_EQ(result.newMacros[0].name, L"");
  std::vector<KeyFunction> keys;
  ASSERT_EQ(a_.LoadKeyFunctions(result.profileId, 0, keys), 2);
  EXPECT_EQ(keys[0].macro_value, m);
  EXPECT_EQ(keys[1].macro_value, 999);
  std::vector<MacroEvent> events;
  EXPECT_EQ(a_.LoadMacroEvents(m, events), 3) << "no events were added to the existing macro";
}

TEST_F(ExchangeTest, SoftwareActionsAreKeptOnlyWhenTheSameKindOfRowExistsHere) {
  ProfileInfo p;
  p.name = L"P";
  int pa = a_.AddProfile(p);
  int run = a_.AddKeyOtherData({L"calc", L"/usr/bin/calc", 8});
  int web = a_.AddKeyOtherData({L"example.com", L"", 9});
  Key(a_, pa, 4, 8, run);
  Key(a_, pa, 5, 9, web);
  Key(a_, pa, 6, 10, 77);
  const std::wstring path = File("actions.xml");
  ASSERT_TRUE(ExportProfile(a_, pa, L"P", path));

  // In B the id of the web row holds a program instead, and 77 is missing.
  b_.AddKeyOtherData({L"calc", L"/usr/bin/calc", 8});
  b_.AddKeyOtherData({L"rm", L"/bin/rm", 8});
  ProfileImport result;
  ASSERT_TRUE(ImportProfile(b_, path, result));
  std::vector<KeyFunction> keys;
  ASSERT_EQ(b_.LoadKeyFunctions(result.profileId, 0, keys), 1);
  EXPECT_EQ(keys[0].key_code, 4);
  EXPECT_EQ(keys[0].macro_value, run);
}

TEST_F(ExchangeTest, MacroFileRoundTripAndRepeatedImport) {
  int m = Macro(a_, L"Stored name", 4);
  const std::wstring path = File("Fast.combo.xml");
  ASSERT_TRUE(ExportMacro(a_, m, path));
  EXPECT_FALSE(ExportMacro(a_, m + 100, File("none.xml")));
  EXPECT_FALSE(fs::exists(File("none.xml")));

  XmlDocument xml;
  ASSERT_TRUE(xml.Load(path) && xml.Parse());
  ASSERT_TRUE(xml.FindElem(L"macro"));
  xml.IntoElem();
  ASSERT_TRUE(xml.FindElem(L"macroinfo"));
  EXPECT_EQ(xml.GetAttrib(L"name"), L"Stored name");
  EXPECT_EQ(xml.GetAttrib(L"macro_id"), L"") << "a macro file carries no id";
  ASSERT_TRUE(xml.FindElem(L"macroitems")) << "macroitems is a sibling of macroinfo";

  for (int round = 0; round < 2; ++round) {
    int id = 0;
    std::wstring name;
    ASSERT_TRUE(ImportMacro(b_, path, id, name));
    EXPECT_EQ(name, L"Fast");
    MacroInfo info;
    ASSERT_TRUE(b_.GetMacro(id, info));
    EXPECT_EQ(info.name, L"Fast");
    EXPECT_EQ(info.play_times, 3);
    std::vector<MacroEvent> events;
    ASSERT_EQ(b_.LoadMacroEvents(id, events), 4);
    EXPECT_EQ(events[3].record_index, 3);
    EXPECT_EQ(events[3].desc, L"K3");
  }
  EXPECT_EQ(CountMacros(b_), 2);
}

TEST_F(ExchangeTest, ImportedDelaysAreClamped) {
  std::ofstream(fs::path(File("d.xml"))) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                  "<macro><macroinfo times='1' type='1' delaytime='0'/><macroitems>"
                                  "<item type='1' delay_time='-20'/><item type='2' delay_time='99999'/>"
                                  "<item type='3' delay_time='300'/></macroitems></macro>";
  int id = 0;
  std::wstring name;
  ASSERT_TRUE(ImportMacro(b_, File("d.xml"), id, name));
  std::vector<MacroEvent> events;
  ASSERT_EQ(b_.LoadMacroEvents(id, events), 3);
  EXPECT_EQ(events[0].delay_time, 0);
  EXPECT_EQ(events[1].delay_time, kMaxEventDelayMs);
  EXPECT_EQ(events[2].delay_time, 300);
}

TEST_F(ExchangeTest, FilesThatDoNotParseOrHaveAnotherRootCreateNothing) {
  ProfileInfo p;
  p.name = L"P";
  int pa = a_.AddProfile(p);
  Key(a_, pa, 4, 3, Macro(a_, L"M", 2));
  const std::wstring good = File("good.xml");
  ASSERT_TRUE(ExportProfile(a_, pa, L"P", good));
  std::string bytes = ReadBytes(good);
  // Cut after the macros: a reader that acts while parsing would create them.
  std::ofstream(fs::path(File("cut.xml")), std::ios::binary) << bytes.substr(0, bytes.size() - 12);
  ASSERT_TRUE(ExportMacro(a_, 1, File("macro.xml")));
  std::ofstream(fs::path(File("empty.xml")));
  std::ofstream(fs::path(File("bomb.xml"))) << std::string(100000, '<');

  const int profiles = CountProfiles(b_), macros = CountMacros(b_);
  for (const char* name : {"cut.xml", "macro.xml", "empty.xml", "bomb.xml", "missing.xml"}) {
    ProfileImport result;
    EXPECT_FALSE(ImportProfile(b_, File(name), result)) << name;
    EXPECT_EQ(result.profileId, 0);
  }
  for (const char* name : {"cut.xml", "good.xml", "empty.xml", "missing.xml"}) {
    int id = -1;
    std::wstring macroName;
    EXPECT_FALSE(ImportMacro(b_, File(name), id, macroName)) << name;
    EXPECT_EQ(id, 0);
  }
  EXPECT_EQ(CountProfiles(b_), profiles);
  EXPECT_EQ(CountMacros(b_), macros);
}

TEST(ExchangeNames, FileNameBeforeTheFirstDot) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"/x/y/Gaming.second.xml", L"Gaming"}, {L"Gaming.xml", L"Gaming"}, {L"/a.b/c.xml", L"c"},
      {L"/a.b/noext", L""},                   {L".hidden.xml", L""},      {L"C:\\dir\\Win.xml", L"Win"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(ImportNameFromPath(path), name) << path.size();
}

}  // namespace
}  // namespace brumkey
