// brumkeyctl's keyboard commands: store edits with their limits, and apply,
// reset-keyboard and firmware-version against the simulated keyboards.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_fixture.h"

namespace brumkey::cli {
namespace {

class ProtocolCommands : public CliTest {
 protected:
  void Ok(const std::vector<std::string>& args) {
    const Result r = Run(args);
    ASSERT_EQ(r.rc, 0) << args[0] << " " << (args.size() > 1 ? args[1] : "") << ": " << r.err;
  }
  // Status 1, the message, and `listing` prints the same before and after.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& message,
                     const std::vector<std::string>& listing) {
    const std::string before = Run(listing).out;
    const Result r = Run(args);
    EXPECT_EQ(r.rc, 1) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(Run(listing).out, before);
  }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
};

TEST_F(ProtocolCommands, KeyLimitsAndBadKeysChangeNothing) {
  const std::vector<std::string> show = {"keys", "show"};
  for (int k = 0; k < 10; ++k) Ok({"keys", "set", std::to_string(4 + k), "key", "41"});
  ExpectRefused({"keys", "set", "20", "key", "41"}, "at most 10 keys", show);
  ExpectRefused({"keys", "disable", "20"}, "at most 10 keys", show);
  Ok({"keys", "set", "4", "key", "0x2A"});  // replacing one of the ten is fine
  for (int k = 0; k < 12; ++k) Ok({"keys", "set", std::to_string(20 + k), "shortcut", std::to_string(1 + k)});
  ExpectRefused({"keys", "set", "40", "shortcut", "3"}, "at most 12 keys", show);
  ExpectRefused({"keys", "set", "2", "key", "41"}, "unknown key code 2", show);
  ExpectRefused({"keys", "set", "41", "shortcut", "16"}, "1 to 15", show);
  ExpectRefused({"keys", "set", "41", "macro", "99"}, "no macro with id 99", show);
  ExpectRefused({"keys", "set", "41", "mouse", "4"}, "1, 2, 3, 7 or 8", show);
  EXPECT_EQ(Run({"keys", "set", "41", "colour", "1"}).rc, 2);
  const Result r = Run(show);
  EXPECT_TRUE(Has(r.out, "4\tA\tkey\t42\t")) << r.out;
  Ok({"keys", "reset", "4"});
  EXPECT_FALSE(Has(Run(show).out, "4\tA\t"));
  Ok({"keys", "clear"});
  EXPECT_EQ(Run(show).out, "");
}

TEST_F(ProtocolCommands, SoftwareActionsAreStoredWithTheirRow) {
  Ok({"keys", "set", "4", "website", "example.org"});
  Ok({"keys", "set", "5", "profile", "2"});
  const Result r = Run({"keys", "show"});
  EXPECT_TRUE(Has(r.out, "\twebsite\t")) << r.out;
  EXPECT_TRUE(Has(r.out, "\texample.org\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "\tprofile\t")) << r.out;
  ExpectRefused({"keys", "set", "6", "profile", "77"}, "no profile with id 77", {"keys", "show"});
}

TEST_F(ProtocolCommands, MacroEventsAndPlaybackAreChecked) {
  Ok({"macros", "new", "Hello"});
  const std::vector<std::string> show = {"macros", "show", "1"};
  Ok({"macros", "add-event", "1", "press", "65", "30"});
  ExpectRefused({"macros", "add-event", "1", "release", "65", "31001"}, "0 to 31000", show);
  ExpectRefused({"macros", "add-event", "1", "release", "7"}, "unknown virtual-key code 7", show);
  ExpectRefused({"macros", "set-delay", "1", "3", "10"}, "no event 3", show);
  ExpectRefused({"macros", "set-playback", "1", "100", "1", "0"}, "1 to 99", show);
  ExpectRefused({"macros", "set-playback", "1", "5", "4", "0"}, "delay type", show);
  ExpectRefused({"macros", "add-event", "9", "press", "65"}, "no macro with id 9", show);
  Ok({"macros", "set-delay", "1", "0", "31000"});
  Ok({"macros", "set-playback", "1", "5", "3", "50"});
  for (int i = 1; i < 80; ++i) Ok({"macros", "add-event", "1", i % 2 ? "release" : "press", "66"});
  ExpectRefused({"macros", "add-event", "1", "press", "66"}, "at most 80 key events", show);
  const Result list = Run({"macros", "list"});
  EXPECT_TRUE(Has(list.out, "plays 5\tdelay type 3\t80 key events")) << list.out;
}

TEST_F(ProtocolCommands, ApplyKeysLandsInBothFamilies) {
  for (const char* model : {"201", "101"}) {  // one database per model
    Ok({"--model", model, "macros", "new", "Hello"});
    Ok({"--model", model, "macros", "add-event", "1", "press", "65", "30"});
    Ok({"--model", model, "macros", "add-event", "1", "release", "65", "40"});
    Ok({"--model", model, "keys", "set", "41", "key", "0x2A"});
    Ok({"--model", model, "keys", "set", "6", "macro", "1"});
  }
  Result r = Run({"--simulate=201:1", "--model", "201", "--state", "apply", "keys"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "errors 0")) << r.out;
  EXPECT_TRUE(Has(r.out, "combination slot 1: key 41 -> 42")) << r.out;
  EXPECT_TRUE(Has(r.out, "macro slot 1: key 6, plays 1: down:4/30 up:4/40")) << r.out;

  r = Run({"--simulate=101", "--model", "101", "--state", "apply", "keys"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "macro slot 0: plays 1, rows 2: down:4/30 up:4/40")) << r.out;
  EXPECT_TRUE(Has(r.out, "=0:40")) << r.out;
}

TEST_F(ProtocolCommands, TracePrintsReportsAndPauses) {
  Ok({"--model", "101", "light", "set", "3", "--brightness", "2", "--color", "336699", "--colorful", "0"});
  const Result r = Run({"--simulate=101", "--model", "101", "--trace", "apply", "light"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string select = "write 00 88 00 03 00";
  const std::string params = "write 00 89 00 ";
  ASSERT_TRUE(Has(r.out, select)) << r.out;
  ASSERT_TRUE(Has(r.out, params)) << r.out;
  EXPECT_LT(r.out.find(select), r.out.find(params));
  EXPECT_TRUE(Has(r.out, " 33 66 99 02 00")) << r.out;  // red, green, blue, brightness
  EXPECT_TRUE(Has(r.out, "pause 100\n")) << r.out;
}

TEST_F(ProtocolCommands, ApplyOnAFreshDatabaseSendsTheDefaultLight) {
  // No other command ran first: the defaults must still reach the keyboard.
  const Result r = Run({"--simulate=201", "--state", "apply", "light"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "light: mode 3 ")) << r.out;
}

TEST_F(ProtocolCommands, LightAndColourValuesAreChecked) {
  const std::vector<std::string> show = {"light", "show"};
  Ok(show);
  ExpectRefused({"light", "set", "3", "--brightness", "9999"}, "--brightness takes", show);
  ExpectRefused({"light", "set", "77"}, "no light mode 77", show);
  ExpectRefused({"light", "set", "3", "--color", "12345"}, "RRGGBB", show);
  ExpectRefused({"light", "set", "3", "--area", "7=red"}, "--area", show);
  EXPECT_EQ(Run({"colors", "set", "2=FF0000"}).rc, 1);
  EXPECT_EQ(Run({"colors", "set", "4=GG0000"}).rc, 1);
  Ok({"colors", "set", "41=FDA810", "58=0000FF"});
  Ok({"colors", "set", "58=00FF00"});  // replaces that key, keeps the other
  const Result r = Run({"--simulate=201", "--state", "apply", "colors"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "custom colours: 0=FDA810 1=00FF00\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "errors 0")) << r.out;
}

TEST_F(ProtocolCommands, ResetFirmwareAndMissingKeyboard) {
  Result r = Run({"--simulate=201", "--state", "reset-keyboard"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "resets 1")) << r.out;
  r = Run({"--simulate=201", "firmware-version"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "0x105 (105)\n");
  r = Run({"--simulate=101", "--model", "201", "apply", "all"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_TRUE(Has(r.err, "no keyboard of model 201")) << r.err;
  EXPECT_EQ(Run({"--simulate=101", "--model", "101", "firmware-version"}).rc, 1);
}

}  // namespace
}  // namespace brumkey::cli
