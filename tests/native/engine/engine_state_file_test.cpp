#include "setup/engine/engine_state_file.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

using Lines = std::vector<std::string>;

EngineState Sample() {
  EngineState state;
  state.componentNames = {"VORN-PREDEF-COMPONENT", "Driver", "Samples"};
  state.componentStates = {"TRUE", "TRUE", "FALSE"};
  state.hidden = {"Samples"};
  state.componentSizes = {"VORN-PREDEF-COMPONENT", "0", "Driver", "1048576"};
  state.targetDir = R"(C:\Program Files\TX880\)";
  state.allUsers = "TRUE";
  state.startMenu = "TX880";
  state.dataDir = R"(C:\Setup\data\)";
  state.variables = {{"COUNT", "3"}, {"NOTE", "line one\r\nline two"}, {"EMPTY", ""}};
  state.wow64Setting = "x64";
  return state;
}

TEST(EngineStateFile, WholeFileLayout) {
  EXPECT_EQ(FormatEngineState(Sample()),
            "VORN-PREDEF-COMPONENT\r\nDriver\r\nSamples\r\n$\r\n"
            "TRUE\r\nTRUE\r\nFALSE\r\n$\r\n"
            "$\r\n"
            "Samples\r\n$\r\n"
            "$\r\n"
            "VORN-PREDEF-COMPONENT\r\n0\r\nDriver\r\n1048576\r\n$\r\n"
            "C:\\Program Files\\TX880\\\r\nTRUE\r\nTX880\r\nC:\\Setup\\data\\\r\n"
            "COUNT\r\n3\r\nNOTE\r\nline one$NEWLINE$line two\r\nEMPTY\r\n\r\n"
            "VORN64WOW\r\nx64\r\n");
}

TEST(EngineStateFile, ReadsBackWhatWasWritten) {
  EngineState read = ParseEngineState(FormatEngineState(Sample()));
  EngineState expected = Sample();
  expected.variables[1].second = "line one$NEWLINE$line two";  // kept as stored
  EXPECT_EQ(read.componentNames, expected.componentNames);
  EXPECT_EQ(read.componentStates, expected.componentStates);
  EXPECT_EQ(read.deleted, expected.deleted);
  EXPECT_EQ(read.hidden, expected.hidden);
  EXPECT_EQ(read.choiceLocked, expected.choiceLocked);
  EXPECT_EQ(read.componentSizes, expected.componentSizes);
  EXPECT_EQ(read.targetDir, expected.targetDir);
  EXPECT_EQ(read.allUsers, expected.allUsers);
  EXPECT_EQ(read.startMenu, expected.startMenu);
  EXPECT_EQ(read.dataDir, expected.dataDir);
  EXPECT_EQ(read.variables, expected.variables);
  EXPECT_EQ(read.wow64Setting, "x64");
}

TEST(EngineStateFile, DamagedFilesGiveWhatTheyHold) {
  EngineState cut = ParseEngineState("A\nB\n$\nTRUE\n");
  EXPECT_EQ(cut.componentNames, (Lines{"A", "B"}));
  EXPECT_EQ(cut.componentStates, Lines{"TRUE"});
  EXPECT_TRUE(cut.componentSizes.empty());
  EXPECT_TRUE(cut.targetDir.empty());

  // A name without its value line is dropped; nothing else is lost.
  EngineState odd = ParseEngineState("$\n$\n$\n$\n$\n$\nT\nFALSE\nS\n\nX\n1\nDANGLING");
  EXPECT_EQ(odd.targetDir, "T");
  EXPECT_EQ(odd.variables, (std::vector<std::pair<std::string, std::string>>{{"X", "1"}}));
  EXPECT_TRUE(odd.wow64Setting.empty());

  EngineState empty = ParseEngineState("");
  EXPECT_TRUE(empty.componentNames.empty() && empty.variables.empty());
}

TEST(EngineStateFile, RewriteKeepsTheTableAndTheSixtyFourBitSetting) {
  std::string old = FormatEngineState(Sample());
  auto rewritten = RewritePersistentVariables(old, {{"COUNT", "4"}, {"NEW", "a\r\nb"}});
  ASSERT_TRUE(rewritten);
  std::string head = old.substr(0, old.find("COUNT\r\n"));
  EXPECT_EQ(*rewritten, head + "COUNT\r\n4\r\nNEW\r\na$NEWLINE$b\r\nVORN64WOW\r\nx64\r\n");

  EngineState read = ParseEngineState(*rewritten);
  EXPECT_EQ(read.componentNames, Sample().componentNames);
  EXPECT_EQ(read.targetDir, Sample().targetDir);
  EXPECT_EQ(read.wow64Setting, "x64");
}

TEST(EngineStateFile, RewriteRefusesFilesWithoutTheFixedPart) {
  EXPECT_FALSE(RewritePersistentVariables("", {{"A", "1"}}));
  EXPECT_FALSE(RewritePersistentVariables("$\n$\n$\n$\n$\n$\nT\nTRUE\n", {{"A", "1"}}));
  EXPECT_TRUE(RewritePersistentVariables("$\n$\n$\n$\n$\n$\nT\nTRUE\nS\nD\n", {{"A", "1"}}));
}

}  // namespace
}  // namespace zev
