#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "keys/key_functions.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

// Records what the model asks of the view, as text.
class RecordingView : public KeyView {
 public:
  std::vector<std::string> calls;
  void SetKeyCheck(int k, bool c) override { Add("check " + std::to_string(k) + " " + std::to_string(c)); }
  void SetTip(int k, int label, const std::wstring& text) override {
    Add("tip " + std::to_string(k) + " " + std::to_string(label) + " " + std::string(text.begin(), text.end()));
  }
  void ResetAllChecks() override { Add("reset"); }
  void Deselect() override { Add("deselect"); }
  void Redraw() override {}
  void SelectPickerItem(int v, int v2, int v3) override {
    Add("pick " + std::to_string(v) + " " + std::to_string(v2) + " " + std::to_string(v3));
  }
  void ShowMessage(int caption, int text) override {
    Add("message " + std::to_string(caption) + "/" + std::to_string(text));
  }
  std::wstring LangString(int id) override { return L"S" + std::to_wstring(id); }
  void RequestKeyMapSend(int k) override { Add("send " + std::to_string(k)); }
  bool Has(const std::string& c) const { return std::find(calls.begin(), calls.end(), c) != calls.end(); }

 private:
  void Add(std::string s) { calls.push_back(std::move(s)); }
};

class KeyFunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "db");
    ASSERT_TRUE(store_.Open(dir_.path().wstring() + L"/", L"K"));
  }
  std::vector<KeyFunction> Rows() {
    std::vector<KeyFunction> r;
    store_.LoadKeyFunctions(1, 0, r);
    return r;
  }
  void Pick(int key, int code) {
    model_.SetSelectedKey(key);
    PickerItem item{code, 0, 0, L"K"};
    model_.AssignPicked(&item);
  }

  test::TempDir dir_;
  ProfileStore store_;
  RecordingView view_;
  KeyFunctionModel model_{store_, view_};
};

TEST_F(KeyFunctionTest, PickerAssignmentReplacesAMacroAndMarksTheKey) {
  model_.SetSelectedKey(0x04);
  KeyFunction macro;
  macro.macro_type = kFnMacro;
  macro.macro_value = 5;
  macro.macro_desc = L"M";
  model_.Assign(macro);
  Pick(0x04, 0x29);
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].macro_type, kFnKey);
  EXPECT_EQ(rows[0].macro_value, 0x29);
  EXPECT_TRUE(view_.Has("tip 4 205 K"));
  EXPECT_TRUE(view_.Has("pick 41 0 0"));
  EXPECT_TRUE(view_.Has("send 4"));
}

TEST_F(KeyFunctionTest, ExtendedCodesGetType12) {
  Pick(0x05, 512);
  EXPECT_EQ(Rows().at(0).macro_type, kFnExtendedKey);
}

TEST_F(KeyFunctionTest, EleventhRemapIsRefusedButAnEleventhDisableIsKept) {
  for (int k = 0; k < 10; ++k) Pick(0x04 + k, 0x29);
  ASSERT_EQ(Rows().size(), 10u);
  view_.calls.clear();
  Pick(0x20, 0x29);
  EXPECT_EQ(Rows().size(), 10u);
  EXPECT_TRUE(view_.Has("message 368/367"));
  EXPECT_FALSE(view_.Has("send 32"));
  view_.calls.clear();
  model_.SetSelectedKey(0x21);
  model_.DisableKey();
  EXPECT_EQ(Rows().size(), 11u);
  EXPECT_EQ(Rows().back().macro_desc, L"S202");
  EXPECT_TRUE(view_.Has("message 368/367"));
  EXPECT_TRUE(view_.Has("tip 33 202 "));
}

TEST_F(KeyFunctionTest, Key255CannotBeAssigned) {
  Pick(255, 0x29);
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(view_.Has("message 366/365"));
  EXPECT_FALSE(model_.SelectKeyInView(255));
}

TEST_F(KeyFunctionTest, ThirteenthFunctionKeyIsRefused) {
  for (int k = 0; k < 12; ++k) {
    ASSERT_TRUE(model_.CanChooseMacroOrShortcut());
    model_.SetSelectedKey(0x04 + k);
    KeyFunction s;
    s.macro_type = kFnShortcut;
    s.macro_value = 1 + k;
    model_.Assign(s);
  }
  EXPECT_FALSE(model_.CanChooseMacroOrShortcut());
  EXPECT_TRUE(view_.Has("message 364/363"));
}

TEST_F(KeyFunctionTest, RestoringAKeyWithoutRowChangesNothingAndClearsItsMark) {
  model_.SetSelectedKey(0x07);
  model_.RestoreKey();
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(view_.Has("check 7 0"));
  EXPECT_TRUE(view_.Has("pick 0 0 0"));
}

TEST_F(KeyFunctionTest, ShowingMarksEveryRowUnknownTypesWithoutTip) {
  KeyFunction odd;
  odd.profile = 1;
  odd.key_code = 0x09;
  odd.macro_type = 42;
  odd.macro_value = 1;
  store_.SaveKeyFunction(odd);
  view_.calls.clear();
  model_.ShowKeyFunctions();
  EXPECT_TRUE(view_.Has("check 9 1"));
  for (const std::string& c : view_.calls) EXPECT_NE(c.rfind("tip 9", 0), 0u) << c;
}

class RecordingHost : public KeyActionHost {
 public:
  std::vector<std::wstring> calls;
  void OpenDocument(const std::wstring& t) override { calls.push_back(L"open " + t); }
  void StartProgram(const std::wstring& p) override { calls.push_back(L"start " + p); }
  void SwitchProfile(int p) override { calls.push_back(L"profile " + std::to_wstring(p)); }
  void TypeText(const std::wstring& t) override { calls.push_back(L"type " + t); }
};

TEST(WebActionAddress, Table) {
  struct Case { const wchar_t* in; const wchar_t* out; };
  for (Case c : {Case{L"example.org", L"www.example.org"}, {L"www.example.org", L"www.example.org"},
                 {L"https://example.org", L"https://example.org"}, {L"a.www.b", L"a.www.b"},
                 {L"", L""}})
    EXPECT_EQ(WebActionAddress(c.in), c.out);
}

TEST_F(KeyFunctionTest, RunKeyActionByType) {
  RecordingHost host;
  const int pid = store_.AddProfile(ProfileInfo{0, L"Two", L"", 0, 0});
  ASSERT_GT(pid, 0);
  const int prog = store_.AddKeyOtherData({L"/usr/bin/true", L"/usr/bin/true", 8});
  const int web = store_.AddKeyOtherData({L"example.org", L"", 9});
  const int text = store_.AddKeyOtherData({L"hello", L"", 10});
  const int sw = store_.AddKeyOtherData({L"Two", std::to_wstring(pid), 11});
  const int gone = store_.AddKeyOtherData({L"Gone", L"9999", 11});
  EXPECT_TRUE(RunKeyAction(store_, host, prog));
  EXPECT_TRUE(RunKeyAction(store_, host, web));
  EXPECT_TRUE(RunKeyAction(store_, host, text));
  EXPECT_TRUE(RunKeyAction(store_, host, sw));
  EXPECT_FALSE(RunKeyAction(store_, host, gone));
  EXPECT_FALSE(RunKeyAction(store_, host, 123456));
  EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"start /usr/bin/true", L"open www.example.org",
                                                   L"type hello", L"profile " + std::to_wstring(pid)}));
}

}  // namespace
}  // namespace brumkey
