#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/engine/script_lists.h"
#include "setup/platform/error.h"

namespace zev {
namespace {

using Lines = std::vector<std::string>;

TEST(ExpandCompilerVariablesTest, Cases) {
  struct Case {
    const char* what;
    Lines pairs;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"no #: unchanged", {"LOCMODE", "NEWONLY"}, "LOCMODE", "LOCMODE"},
      {"replaced", {"LOCMODE", "NEWONLY"}, "#LOCMODE#", "NEWONLY"},
      {"name ignores case", {"LocMode", "NEWONLY"}, "#locmode#", "NEWONLY"},
      {"every occurrence", {"A", "1"}, "#A#-#a#-#A", "1-1-#A"},
      {"unknown name stays", {"A", "1"}, "#B# #A#", "#B# 1"},
      {"no pairs", {}, "#A#", "#A#"},
      {"earlier value expanded by a later pair", {"A", "#B#", "B", "x"}, "#A#", "x"},
      {"later value not expanded by an earlier pair", {"A", "x", "B", "#A#"}, "#B#", "#A#"},
      {"own value not rescanned", {"A", "#A#"}, "#A#", "#A#"},
      {"with $ and changed: second pass", {"A", "1", "B", "$#A#"}, "#B#", "$1"},
      {"second pass only once", {"A", "v", "B", "$#C#", "C", "$#B#"}, "#C#", "$$$#B#"},
      {"with $ but unchanged: one pass", {"A", "1"}, "$#B#", "$#B#"},
      {"$ from the text also counts", {"A", "1", "B", "#A#"}, "$#B#", "$1"},
      {"name without a value line is no pair", {"A", "1", "B"}, "#A##B#", "1#B#"},
      {"empty name matches ##", {"", "x"}, "a##b", "axb"},
      {"overlapping patterns left to right", {"A", "1"}, "#A#A#", "1A#"},
      {"empty text", {"A", "1"}, "", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandCompilerVariables(c.pairs, c.text), c.expected) << c.what;
}

TEST(ExpandCompilerVariablesTest, RunawayGrowthIsAnError) {
  // Each pair multiplies the text by 40: 40^5 patterns would be some 300 MB.
  Lines pairs;
  const char* names[] = {"A", "B", "C", "D", "E", "F"};
  for (int i = 0; i < 5; ++i) {
    std::string value;
    for (int k = 0; k < 40; ++k) value += std::string("#") + names[i + 1] + "#";
    pairs.push_back(names[i]);
    pairs.push_back(value);
  }
  EXPECT_THROW(ExpandCompilerVariables(pairs, "#A#"), Error);
  pairs.resize(6);  // 40^3 patterns of three bytes stay well below the bound
  EXPECT_EQ(ExpandCompilerVariables(pairs, "#A#").size(), 64000u * 3);
}

}  // namespace
}  // namespace zev
