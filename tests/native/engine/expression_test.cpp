#include "setup/engine/expression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/engine/variable_manager.h"
#include "setup/engine/variables.h"

namespace zev {
namespace {

TEST(ExpressionText, Evaluates) {
  struct Case {
    std::string text;
    std::string_view result;
  } cases[] = {
      {R"("1"="1" and "2"="2")", "TRUE"},
      {R"("1"="1" and "2"="3")", "FALSE"},
      {R"("1"="2" or "2"="2")", "TRUE"},
      {R"("1"="2" or "2"="3")", "FALSE"},
      {R"("10" < "9")", "TRUE"},  // bytes, not numbers
      {R"("a" = "A")", "FALSE"},
      {R"("a" <> "b")", "TRUE"},
      {R"("a" <> "a")", "FALSE"},
      {R"("a" <= "a")", "TRUE"},
      {R"("b" <= "a")", "FALSE"},
      {R"("b" > "a")", "TRUE"},
      {R"("a" >= "b")", "FALSE"},
      {R"("ab" > "a")", "TRUE"},
      {"\"\xE9\" > \"z\"", "TRUE"},  // unsigned bytes
      {R"("" = "")", "TRUE"},
      // Left to right without precedence: (false or true) and false.
      {R"("a"="b" or "c"="c" and "d"="e")", "FALSE"},
      // (true or false) and false; with "and" binding tighter this would be true.
      {R"("a"="a" or "b"="c" and "d"="e")", "FALSE"},
      {R"("a"="a" or ("b"="c" and "d"="e"))", "TRUE"},
      {R"(("a"="a"))", "TRUE"},
      {R"((("a"="a") and ("b"="c")))", "FALSE"},
      {R"("a"="a" and ("b"="c" or "d"="d"))", "TRUE"},
      // Doubled quotes inside a literal.
      {R"("a""b" = "a""b")", "TRUE"},
      {R"("a""b" = "a")", "FALSE"},
      {R"("""" = """")", "TRUE"},
      {R"("""" = "")", "FALSE"},
      // Blanks are optional where a quote ends the word.
      {R"(  "a"="a"and"b"="b"  )", "TRUE"},
      {R"(   ( "a" = "a" )   )", "TRUE"},
  };
  for (const auto& c : cases) EXPECT_EQ(EvaluateExpressionText(c.text), c.result) << c.text;
}

TEST(ExpressionText, SyntaxProblemsGiveError) {
  const char* cases[] = {
      "",
      "   ",
      "()",
      R"("1"="1" AND "2"="2")",
      R"("1"="1" Or "2"="2")",
      R"("a" == "a")",
      R"("a" => "a")",
      R"("a" "a")",
      R"("a" = )",
      R"("a")",
      "\"a\"\t=\t\"a\"",  // only the blank separates
      R"(a = "a")",
      R"(1=1)",
      R"("abc)",
      R"("a" = "b)",
      R"(("a"="a")",
      R"("a"="a"))",
      R"("a"="a") or ("b"="b")",
      R"("a"="a" and)",
      R"(and "a"="a")",
      R"("a"="a" and("b"="b"))",  // the connective runs up to a blank or quote
      R"("a"="a" xor "b"="b")",
      R"("a"="a" "b"="b")",
      R"("a"=("a"))",
      ")",
      "(",
  };
  for (const char* text : cases) EXPECT_EQ(EvaluateExpressionText(text), "ERROR") << text;
}

TEST(ExpressionText, DeepNestingNeitherOverflowsNorMisparses) {
  constexpr std::size_t depth = 200000;
  std::string nested = std::string(depth, '(') + R"("a"="a")" + std::string(depth, ')');
  EXPECT_EQ(EvaluateExpressionText(nested), "TRUE");
  EXPECT_EQ(EvaluateExpressionText(std::string(depth, '(')), "ERROR");
  EXPECT_EQ(EvaluateExpressionText(nested + ")"), "ERROR");
}

TEST(ExpressionCompileCheck, ReferencesAreCheckedAsLiterals) {
  EXPECT_TRUE(ExpressionPassesCompileCheck(R"($X$ = "1")"));
  EXPECT_TRUE(ExpressionPassesCompileCheck("$X$ <> $Y$ and ($Z$ = \"\")"));
  EXPECT_FALSE(ExpressionPassesCompileCheck(R"($X$ == "1")"));
  EXPECT_FALSE(ExpressionPassesCompileCheck("$X$ = 1"));
  EXPECT_FALSE(ExpressionPassesCompileCheck("$X = \"1\""));
}

class EvaluateExpressionCommand : public ::testing::Test {
 protected:
  TVariableManager store_;
  Variables variables_{store_, {"LOCKED", "keep"}};
};

TEST_F(EvaluateExpressionCommand, CreatesTheResultAndAssignsIt) {
  store_.Set("A", "1");
  store_.Set("B", "2");
  EXPECT_EQ(RunEvaluateExpression(variables_, "$A$ < $B$ and $a$ = \"1\"", "result"), "TRUE");
  std::vector<std::string> pairs;
  store_.ExportPairs(pairs);
  EXPECT_EQ(pairs, (std::vector<std::string>{"A", "1", "B", "2", "RESULT", "TRUE"}));

  store_.Set("Res", "old");
  EXPECT_EQ(RunEvaluateExpression(variables_, "$A$ = $B$", "RES"), "FALSE");
  EXPECT_EQ(store_.Get("res"), "FALSE");
}

TEST_F(EvaluateExpressionCommand, ValuesAreQuotedAsTheyAre) {
  store_.Set("Q", "x\"y");
  store_.Set("N", "10");
  // A value holding a double quote breaks the expression.
  EXPECT_EQ(RunEvaluateExpression(variables_, "$Q$ = \"x\"", "R"), "ERROR");
  EXPECT_EQ(store_.Get("R"), "ERROR");
  // An unknown reference stays as written and is no literal.
  EXPECT_EQ(RunEvaluateExpression(variables_, "$NOPE$ = \"a\"", "R"), "ERROR");
  // Numbers compare as texts.
  EXPECT_EQ(RunEvaluateExpression(variables_, "$N$ > \"9\"", "R"), "FALSE");
}

TEST_F(EvaluateExpressionCommand, ResultFollowsTheAssignmentRules) {
  store_.Set("LOCKED", "keep");
  variables_.SetSilent(true);
  EXPECT_EQ(RunEvaluateExpression(variables_, R"("a"="a")", "LOCKED"), "TRUE");
  EXPECT_EQ(store_.Get("LOCKED"), "keep");

  EXPECT_EQ(RunEvaluateExpression(variables_, R"("a"="a")", ""), "TRUE");
  EXPECT_FALSE(store_.Exists(""));
}

}  // namespace
}  // namespace zev
