#include <gtest/gtest.h>

#include <filesystem>

#include "app/profile_rules.h"
#include "keys/key_codes.h"
#include "keys/macro_model.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

class MacroModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "db");
    ASSERT_TRUE(store_.Open(dir_.path().wstring() + L"/", L"K"));
  }
  std::wstring Name(int id) {
    MacroInfo m;
    store_.GetMacro(id, m);
    return m.name;
  }
  test::TempDir dir_;
  ProfileStore store_;
  MacroModel model_{store_, L"Macro"};
};

TEST(MacroNames, NextFreeNumberAndDisplay) {
  EXPECT_EQ(NextFreeName(L"Macro", {L"Macro 1", L"Macro 3"}), L"Macro 2");
  EXPECT_EQ(NextFreeName(L"Macro", {L"macro 1"}), L"Macro 1");
  EXPECT_EQ(MacroDisplayName(L"Macro 7", 1046, L"Macro_pt"), L"Macro_pt 7");
  EXPECT_EQ(MacroDisplayName(L"Macro 7", 2052, L"Macro_pt"), L"Macro 7");
  EXPECT_EQ(MacroDisplayName(L"Macr", 1046, L"X"), L"Macr");
}

TEST(MacroNames, ForbiddenWords) {
  ASSERT_EQ(ForbiddenWords().size(), 15u);
  for (const wchar_t* bad : {L"a/b", L"a\\b", L"C:", L"x*", L"why?", L"\"q\"", L"<", L">", L"a|b",
                             L"tab\there", L"line\nbreak", L"\x7F"})
    EXPECT_TRUE(ContainsForbiddenWord(bad)) << bad;
  for (const wchar_t* ok : {L"Profile 7", L"perfil 7", L"Macro 3 - 1", L"custom", L"Personalizado",
                            L"木马宏"})
    EXPECT_FALSE(ContainsForbiddenWord(ok)) << ok;
  const std::wstring name = L"Mixed Case";
  ContainsForbiddenWord(name);
  EXPECT_EQ(name, L"Mixed Case");
}

TEST_F(MacroModelTest, NewDuplicateRenameDelete) {
  const int a = model_.NewMacro();
  const int b = model_.NewMacro();
  EXPECT_EQ(Name(a), L"Macro 1");
  EXPECT_EQ(Name(b), L"Macro 2");
  ASSERT_TRUE(model_.AddKeyEvent(a, kEventPress, 'A', 30));
  const int d1 = model_.DuplicateMacro(a);
  const int d2 = model_.DuplicateMacro(a);
  EXPECT_EQ(Name(d1), L"Macro 1 - 1");
  EXPECT_EQ(Name(d2), L"Macro 1 - 2");
  ASSERT_EQ(model_.Events(d1).size(), 1u);
  EXPECT_EQ(model_.Events(d1)[0].value, 'A');
  EXPECT_EQ(model_.Rename(a, L"bad/name"), RenameResult::Forbidden);
  EXPECT_EQ(model_.Rename(a, L""), RenameResult::Empty);
  EXPECT_EQ(Name(a), L"Macro 1");
  EXPECT_EQ(model_.Rename(a, L"Greeting"), RenameResult::Renamed);
  EXPECT_EQ(Name(a), L"Greeting");
  EXPECT_TRUE(model_.Delete(b));
  MacroInfo gone;
  EXPECT_FALSE(store_.GetMacro(b, gone));
}

TEST_F(MacroModelTest, PlaybackIsClamped) {
  const int id = model_.NewMacro();
  struct Case { int play, type, delay; PlaybackSettings out; };
  const Case cases[] = {{0, 1, 500, {1, 1, 10}}, {150, 3, 50, {99, 3, 50}}, {5, 2, 7, {5, 2, 10}},
                        {5, 3, 99999, {5, 3, 31000}}};
  for (const Case& c : cases) {
    model_.SavePlayback(id, c.play, c.type, c.delay);
    MacroInfo m;
    store_.GetMacro(id, m);
    EXPECT_EQ(m.play_times, c.out.playTimes);
    EXPECT_EQ(m.delay_type, c.out.delayType);
    EXPECT_EQ(m.delay_time, c.out.delayTime);
  }
}

TEST_F(MacroModelTest, EventEditsKeepIndexesContiguous) {
  const int id = model_.NewMacro();
  for (int vk : {'A', 'B', 'C'}) ASSERT_TRUE(model_.AddKeyEvent(id, kEventPress, vk, 10));
  EXPECT_FALSE(model_.MoveEventUp(id, 0));
  EXPECT_FALSE(model_.MoveEventDown(id, 2));
  EXPECT_TRUE(model_.MoveEventDown(id, 0));  // B A C
  EXPECT_TRUE(model_.DeleteEvent(id, 2));    // B A
  EXPECT_TRUE(model_.SetEventDelay(id, 1, 40000));
  const auto ev = model_.Events(id);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].value, 'B');
  EXPECT_EQ(ev[1].value, 'A');
  EXPECT_EQ(ev[0].record_index, 0);
  EXPECT_EQ(ev[1].record_index, 1);
  EXPECT_EQ(ev[1].delay_time, 31000);
  EXPECT_EQ(ev[0].desc, L"B");
}

TEST_F(MacroModelTest, EightyKeyEventsAtMost) {
  const int id = model_.NewMacro();
  for (int i = 0; i < 80; ++i)
    ASSERT_TRUE(model_.AddKeyEvent(id, i % 2 ? kEventRelease : kEventPress, 'A', 0)) << i;
  EXPECT_FALSE(model_.AddKeyEvent(id, kEventPress, 'A', 0));
  EXPECT_EQ(store_.CountMacroKeyEvents(id), 80);
  EXPECT_FALSE(model_.AddKeyEvent(id, kEventDelay, 0, 10));
}

}  // namespace
}  // namespace brumkey
