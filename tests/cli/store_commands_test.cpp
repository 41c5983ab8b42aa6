#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"

namespace brumkey::cli {
namespace {

class StoreCommands : public CliTest {
 protected:
  // A refused command: status 1, a message, and the listing unchanged.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& message,
                     const std::vector<std::string>& listing) {
    const std::string before = Run(listing).out;
    Result r = Run(args);
    EXPECT_EQ(r.rc, 1) << args[1];
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(Run(listing).out, before) << args[1];
  }
};

TEST_F(StoreCommands, ProfilesFollowTheListRules) {
  Result r = Run({"profiles", "list"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "1\tProfile 1\t(active)\n2\tProfile 2\n3\tProfile 3\n");
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "db" / "Brumkey K201_data_v1.db"));

  ASSERT_EQ(Run({"profiles", "delete", "2"}).rc, 0);
  r = Run({"profiles", "add"});
  EXPECT_EQ(r.out, "4\tProfile 2\n");
  EXPECT_EQ(Run({"profiles", "add", "Jogo ação"}).out, "5\tJogo ação\n");
  EXPECT_EQ(Run({"profiles", "select", "3"}).rc, 0);
  EXPECT_EQ(Run({"profiles", "rename", "3", "Work"}).rc, 0);
  EXPECT_NE(Run({"profiles", "list"}).out.find("3\tWork\t(active)\n"), std::string::npos);

  const std::vector<std::string> list = {"profiles", "list"};
  ExpectRefused({"profiles", "add", "bad/name"}, "invalid name", list);
  ExpectRefused({"profiles", "rename", "3", "tab\there"}, "invalid name", list);
  ExpectRefused({"profiles", "rename", "42", "Fine"}, "no profile with id 42", list);
  ExpectRefused({"profiles", "select", "42"}, "no profile with id 42", list);
  ExpectRefused({"profiles", "delete", "x1"}, "not a profile id", list);
  ExpectRefused({"profiles", "export", "42", File("p.xml")}, "no profile with id 42", list);
  ExpectRefused({"profiles", "import", File("missing.xml")}, "cannot import", list);
  std::ofstream(File("broken.xml")) << "<profile><keyitems>";
  ExpectRefused({"profiles", "import", File("broken.xml")}, "cannot import", list);
  EXPECT_EQ(Run({"profiles", "frobnicate"}).rc, 2);
}

TEST_F(StoreCommands, LastProfileAndTheLimit) {
  Run({"profiles", "list"});
  ASSERT_EQ(Run({"profiles", "delete", "1"}).rc, 0);
  ASSERT_EQ(Run({"profiles", "delete", "2"}).rc, 0);
  ExpectRefused({"profiles", "delete", "3"}, "last profile", {"profiles", "list"});
  for (int i = 1; i < 200; ++i) ASSERT_EQ(Run({"profiles", "add"}).rc, 0);
  ASSERT_EQ(Run({"macros", "new", "M"}).rc, 0);
  ASSERT_EQ(Run({"profiles", "export", "3", File("Full.xml")}).rc, 0);
  ExpectRefused({"profiles", "add"}, "more than 200 profiles", {"profiles", "list"});
  ExpectRefused({"profiles", "import", File("Full.xml")}, "more than 200 profiles", {"profiles", "list"});
}

TEST_F(StoreCommands, ProfileExportImportThroughTheCommandLine) {
  Run({"profiles", "list"});
  ASSERT_EQ(Run({"profiles", "export", "1", File("Gaming.second.xml")}).rc, 0);
  Result r = Run({"profiles", "import", File("Gaming.second.xml")});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "4\tGaming\n");
  EXPECT_NE(Run({"profiles", "list"}).out.find("4\tGaming\t(active)\n"), std::string::npos);
}

TEST_F(StoreCommands, Macros) {
  Result r = Run({"macros", "new", "Combo"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "1\tCombo\n");
  const std::vector<std::string> list = {"macros", "list"};
  ExpectRefused({"macros", "new", "a:b"}, "invalid name", list);
  ExpectRefused({"macros", "rename", "1", ""}, "invalid name", list);
  ExpectRefused({"macros", "rename", "9", "X"}, "no macro with id 9", list);
  ExpectRefused({"macros", "show", "9"}, "no macro with id 9", list);
  ExpectRefused({"macros", "export", "9", File("m.xml")}, "no macro with id 9", list);
  ExpectRefused({"macros", "import", File("none.xml")}, "cannot import", list);
  std::ofstream(File("Fast.xml")) << "<macro><macroinfo times='2' type='1' delaytime='0'/><macroitems>"
                                     "<item desc='A' type='2' value='65' delay_time='20'/>"
                                     "<item desc='A' type='3' value='65' delay_time='0'/></macroitems></macro>";
  r = Run({"macros", "import", File("Fast.xml")});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "2\tFast\n");
  r = Run({"macros", "show", "2"});
  EXPECT_EQ(r.out, "2\tFast\nplays 2, delay type 1, fixed delay 0 ms\n0\tpress\t65\t20 ms\tA\n1\trelease\t65\t0 ms\tA\n");
  ASSERT_EQ(Run({"macros", "export", "2", File("Copy.xml")}).rc, 0);
  ASSERT_EQ(Run({"macros", "rename", "2", "Faster"}).rc, 0);
  ASSERT_EQ(Run({"macros", "delete", "1"}).rc, 0);
  EXPECT_EQ(Run(list).out, "2\tFaster\tplays 2\tdelay type 1\t2 key events\n");
}

TEST_F(StoreCommands, LayoutShowPerModel) {
  Result r = Run({"layout", "show"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("Brumkey K201 (device type 201)\npages 0x47: keys macro lighting settings\n"), std::string::npos);
  EXPECT_NE(r.out.find("  mode 9\t0x801\tAreas\n"), std::string::npos);
  EXPECT_NE(r.out.find("grid 6 x 21\n  29 .. 3A"), std::string::npos);
  EXPECT_NE(r.out.find("keys 107\n  0x29\t0\tEsc\tEscape\t14,23,50,59\n"), std::string::npos);
  r = Run({"--model", "101", "layout", "show"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("keys 108\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "db" / "Brumkey K100_data_v1.db"));
  r = Run({"--model", "555", "layout", "show"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("no model with device type 555"), std::string::npos);
}

}  // namespace
}  // namespace brumkey::cli
