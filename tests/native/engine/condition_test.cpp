#include "setup/engine/condition.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "setup/engine/variable_manager.h"
#include "setup/engine/variables.h"

namespace zev {
namespace {

class ConditionTest : public ::testing::Test {
 protected:
  bool If(const char* left, const char* code, const char* right, const char* negate = "FALSE") {
    return EvaluateCondition(variables_, {left, code, right, negate});
  }
  void SetX(const char* value) { store_.Set("X", value); }

  // X holds x; "If X <code> value" must give result.
  struct Case {
    const char* x;
    const char* code;
    const char* value;
    bool result;
  };
  void ExpectCases(std::initializer_list<Case> cases) {
    for (const auto& c : cases) {
      SetX(c.x);
      EXPECT_EQ(If("X", c.code, c.value), c.result) << c.x << " op " << c.code << " " << c.value;
    }
  }

  TVariableManager store_;
  Variables variables_{store_, {}};
};

TEST(ConditionOperators, CodesNameTheOperators) {
  struct Case {
    const char* code;
    std::optional<ConditionOperator> op;
  } cases[] = {
      {"0", ConditionOperator::Equals},
      {"1", ConditionOperator::Contains},
      {"2", ConditionOperator::GreaterThan},
      {"3", ConditionOperator::ContainsIgnoreCase},
      {"4", ConditionOperator::EqualsIgnoreCase},
      {"5", ConditionOperator::Defined},
      {"6", std::nullopt},
      {"-1", std::nullopt},
      {"", std::nullopt},
      {"=", std::nullopt},
      {" 1", std::nullopt},
      {"4294967296", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseConditionOperator(c.code), c.op) << c.code;
}

TEST_F(ConditionTest, ComparesNumbersWhenBothSidesAreIntegers) {
  ExpectCases({
      {"10", "0", "010", true},       // numeric equality
      {"10", "2", "9", true},         // numeric, though "10" sorts before "9"
      {"100", "2", "99", true},
      {"-10", "2", "-2", false},
      {"12", "1", "2", false},        // Contains is equality on numbers
      {"12", "1", "12", true},
      {"12", "3", "+12", true},
      {"007", "4", "7", true},
      {"-0", "0", "0", true},
      {"2147483647", "2", "-2147483648", true},
      // Outside the 32-bit range the texts are compared: "2..." sorts before "3".
      {"2147483648", "2", "3", false},
      {"4294967296", "0", "0", false},
      // Blanks make a text.
      {" 1", "0", "1", false},
      {"1", "0", "1 ", false},
  });
}

TEST_F(ConditionTest, ComparesTextsOtherwise) {
  ExpectCases({
      {"abc", "0", "abc", true},
      {"abc", "0", "ABC", false},
      {"abc", "4", "ABC", true},
      {"abc", "4", "ABCD", false},
      {"abc", "2", "abd", false},
      {"abd", "2", "abc", true},
      {"abc", "2", "abc", false},
      {"abcd", "2", "abc", true},
      {"\xE9", "2", "z", true},  // bytes compare as unsigned numbers
      {"z", "2", "\xE9", false},
      {"a1b2", "1", "2", true},
      {"Hello World", "1", "WORLD", false},
      {"Hello World", "3", "WORLD", true},
      {"Hello World", "3", "worlds", false},
      {"abc", "1", "", false},  // an empty value is never contained
      {"abc", "3", "", false},
      {"", "1", "", false},
      {"", "0", "", true},
  });
}

TEST_F(ConditionTest, LeftSideIsNameOrReferenceTakenAsStored) {
  store_.Set("Y", "1");
  store_.Set("X", "$Y$");
  store_.Set("ONE", "1");
  // The left value is not expanded ...
  EXPECT_FALSE(If("X", "0", "1"));
  EXPECT_TRUE(If("$X$", "3", "$y"));
  // ... the right text is.
  EXPECT_TRUE(If("ONE", "0", "$Y$"));
  EXPECT_TRUE(If("$one$", "0", "$Y$"));
  // A missing variable is empty.
  EXPECT_TRUE(If("MISSING", "0", ""));
  EXPECT_FALSE(If("$MISSING$", "0", "$Y$"));
}

TEST_F(ConditionTest, DefinedLooksUpTheTextAsWritten) {
  SetX("");
  EXPECT_TRUE(If("X", "5", "ignored"));
  EXPECT_TRUE(If("x", "5", ""));
  EXPECT_FALSE(If("$X$", "5", ""));
  EXPECT_TRUE(If("$X$", "5", "", "TRUE"));
  EXPECT_FALSE(If("MISSING", "5", ""));
}

TEST_F(ConditionTest, NegateFlagInvertsEveryResult) {
  SetX("abc");
  EXPECT_FALSE(If("X", "0", "abc", "true"));
  EXPECT_TRUE(If("X", "0", "abd", "-1"));
  EXPECT_TRUE(If("X", "0", "abc", "1"));  // "1" is not a true text
  // An unknown operator is false, so negated it is true.
  EXPECT_FALSE(If("X", "9", "abc"));
  EXPECT_TRUE(If("X", "9", "abc", "TRUE"));
}

}  // namespace
}  // namespace zev
