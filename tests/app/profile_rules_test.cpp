#include "app/profile_rules.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "app/language.h"
#include "app/paths.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

const std::wstring kSourceData = std::filesystem::path(BRUMKEY_TEST_SOURCE_DIR).wstring() + L"/data/";

TEST(Language, ReadProfileStringRules) {
  const std::string file =
      "; comment\r\n[Other]\r\n65=wrong\r\n[kb.dialog]\r\n  65  =  Perfil  \r\n83=\"Brilho: \"\r\n"
      "84='x'\r\n85=\"open\r\nlong=" + std::string(300, 'a') + "\r\nempty=\r\n";
  struct Case {
    const wchar_t* key;
    std::wstring value;
  } cases[] = {
      {L"65", L"Perfil"},  {L"83", L"Brilho: "}, {L"84", L"x"},      {L"85", L"\"open"},
      {L"LONG", std::wstring(259, L'a')},        {L"empty", L""},    {L"99", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadProfileString(file, L"KB.DIALOG", c.key), c.value) << c.key;
  EXPECT_EQ(ReadProfileString(file, L"Missing", L"65"), L"");
  // UTF-16 LE with its mark, as the files are made on the original platform.
  std::u16string text = u"[KB.DIALOG]\r\n65=Configuração 🎹\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t ch : text) utf16 += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
  EXPECT_EQ(ReadProfileString(utf16, L"KB.DIALOG", L"65"), L"Configuração 🎹");
  EXPECT_EQ(ReadProfileString("\xEF\xBB\xBF[KB.DIALOG]\n65=ação\n", L"KB.DIALOG", L"65"), L"ação");
}

class ShippedLanguage : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectoryOverride(kSourceData); }
  void TearDown() override {
    SetProgramDirectoryOverride(L"");
    SetActiveLanguage(1033);
  }
};

TEST_F(ShippedLanguage, PrefixWordsAndMissingLanguage) {
  SetActiveLanguage(1046);
  EXPECT_EQ(GetLangString(65), L"Perfil");
  EXPECT_EQ(GetLangString(331), L"Macro");
  EXPECT_EQ(GetLangString(408), L"Áreas");
  SetActiveLanguage(1033);
  EXPECT_EQ(GetLangString(65), L"Profile");
  EXPECT_EQ(GetLangString(295), L"You cannot create more than 200 profiles.");
  SetActiveLanguage(1031);
  EXPECT_EQ(GetLangString(65), L"");
}

TEST(ProfileNames, ForbiddenWordsAndDisplayNames) {
  struct Case {
    std::wstring name;
    bool valid;
  } cases[] = {
      {L"Profile 2", true}, {L"Jogo ação", true}, {L"Macro 3 - 1", true}, {L"", false},
      {L"a/b", false},      {L"a\\b", false},     {L"C:", false},         {L"what?", false},
      {L"\"q\"", false},    {L"<x>", false},      {L"a|b", false},        {L"a*", false},
      {L"tab\there", false}, {L"line\nfeed", false}, {L"cr\r", false},    {L"del\x7F", false},
      {L"vt\v", false},     {L"ff\f", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ProfileRules::ValidateName(c.name), c.valid) << c.name.size();
  EXPECT_EQ(ForbiddenWords().size(), 15u);

  EXPECT_EQ(ProfileDisplayName(L"Profile 7", 1046, L"Perfil"), L"Perfil 7");
  EXPECT_EQ(ProfileDisplayName(L"Profile 7", 1033, L"Profile"), L"Profile 7");
  EXPECT_EQ(ProfileDisplayName(L"perfil 7", 1033, L"Profile"), L"Profile 7");
  EXPECT_EQ(ProfileDisplayName(L"Perfil 7", 1033, L"Profile"), L"Perfil 7");
  EXPECT_EQ(ProfileDisplayName(L"Profil", 1046, L"Perfil"), L"Profil");
}

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "db");
    ASSERT_TRUE(store_.Open(dir_.path().wstring() + L"/", L"K"));
  }
  test::TempDir dir_;
  ProfileStore store_;
  int language_ = 1033;
  ProfileRules rules_{store_, [](int n) { return n == 65 ? std::wstring(L"Profile") : std::wstring(); },
                      [this] { return language_; }};
};

TEST_F(RulesTest, FirstUseCreatesThreeProfilesAndTheConfigurationRows) {
  auto list = rules_.LoadList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].profile, 1);
  EXPECT_EQ(list[2].name, L"Profile 3");
  EXPECT_EQ(rules_.CurrentProfile(), 1);
  sqlite3* db = store_.Database().Handle();
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*), min(profile), max(profile) FROM t_configdata", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 11);
  EXPECT_EQ(sqlite3_column_int(st, 1), 1);
  EXPECT_EQ(sqlite3_column_int(st, 2), 1);
  sqlite3_finalize(st);
  EXPECT_EQ(rules_.LoadList().size(), 3u) << "a second load creates nothing";
}

TEST_F(RulesTest, NewNamesTakeTheSmallestFreeNumberOfTheShownNames) {
  rules_.LoadList();
  ASSERT_EQ(rules_.Delete(2), ProfileResult::Ok);
  int id = 0;
  std::wstring name;
  ASSERT_EQ(rules_.Add(nullptr, id, name), ProfileResult::Ok);
  EXPECT_EQ(name, L"Profile 2");
  EXPECT_EQ(rules_.CurrentProfile(), id);
  ASSERT_EQ(rules_.Add(nullptr, id, name), ProfileResult::Ok);
  EXPECT_EQ(name, L"Profile 4");
  // A stored "perfil 5" is shown as "Profile 5" in 1033, so 5 is taken.
  ASSERT_TRUE(store_.RenameProfile(id, L"perfil 5"));
  ASSERT_EQ(rules_.Add(nullptr, id, name), ProfileResult::Ok);
  EXPECT_EQ(name, L"Profile 4");
  ASSERT_EQ(rules_.Add(nullptr, id, name), ProfileResult::Ok);
  EXPECT_EQ(name, L"Profile 6");
  const std::wstring bad = L"a/b";
  EXPECT_EQ(rules_.Add(&bad, id, name), ProfileResult::InvalidName);
}

TEST_F(RulesTest, TwoHundredProfilesAtMost) {
  rules_.LoadList();
  int id = 0;
  std::wstring name;
  for (int i = 3; i < kMaxProfiles; ++i) ASSERT_EQ(rules_.Add(nullptr, id, name), ProfileResult::Ok);
  EXPECT_EQ(name, L"Profile 200");
  EXPECT_EQ(rules_.Add(nullptr, id, name), ProfileResult::LimitReached);
  EXPECT_EQ(rules_.LoadList().size(), 200u);
}

TEST_F(RulesTest, DeleteKeepsOneAndMovesTheActiveProfile) {
  rules_.LoadList();
  ASSERT_EQ(rules_.Select(2), ProfileResult::Ok);
  EXPECT_EQ(rules_.Select(42), ProfileResult::NotFound);
  EXPECT_EQ(store_.GetActiveProfile(), 2);
  ASSERT_EQ(rules_.Delete(2), ProfileResult::Ok);
  EXPECT_EQ(store_.GetActiveProfile(), 1);
  ASSERT_EQ(rules_.Delete(1), ProfileResult::Ok);
  EXPECT_EQ(store_.GetActiveProfile(), 3);
  EXPECT_EQ(rules_.Delete(3), ProfileResult::LastProfile);
  EXPECT_EQ(rules_.Delete(7), ProfileResult::NotFound);
  EXPECT_EQ(rules_.LoadList().size(), 1u);
  EXPECT_EQ(rules_.Rename(3, L"x:y"), ProfileResult::InvalidName);
  EXPECT_EQ(rules_.Rename(3, L""), ProfileResult::InvalidName);
  EXPECT_EQ(rules_.Rename(3, L"Jogo"), ProfileResult::Ok);
  EXPECT_EQ(rules_.LoadList()[0].name, L"Jogo");
}

TEST_F(RulesTest, ActiveProfileIsRepairedWhenNoneIsMarked) {
  rules_.LoadList();
  sqlite3_exec(store_.Database().Handle(), "UPDATE t_profile_data SET status = 0", nullptr, nullptr, nullptr);
  EXPECT_EQ(rules_.CurrentProfile(), 1);
}

}  // namespace
}  // namespace brumkey
