#include "setup/engine/mathematics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/engine/variable_manager.h"
#include "setup/engine/variables.h"

namespace zev {
namespace {

struct Case {
  const char* a;
  const char* b;
  const char* op;
  std::string result;
};

void ExpectResults(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    RandomGenerator random;
    EXPECT_EQ(Calculate(random, c.op, c.a, c.b), c.result)
        << "op " << c.op << " a " << c.a << " b " << c.b;
  }
}

TEST(Mathematics, ArithmeticIn64Bits) {
  ExpectResults({
      {"2", "3", "0", "5"},
      {"2147483647", "1", "0", "2147483648"},
      {"-2147483648", "-1", "0", "-2147483649"},
      {"5", "7", "1", "-2"},
      {"-2147483648", "1", "1", "-2147483649"},
      {"2147483647", "2147483647", "2", "4611686014132420609"},
      {"-2147483648", "-2147483648", "2", "4611686018427387904"},
      {"7", "2", "3", "3"},
      {"-7", "2", "3", "-3"},
      {"-2147483648", "-1", "3", "2147483648"},
      {"-7", "2", "4", "-1"},
      {"7", "-2", "4", "1"},
      {"+010", "-0", "0", "10"},
  });
}

TEST(Mathematics, BitsAndShifts) {
  ExpectResults({
      {"12", "10", "5", "8"},
      {"-1", "255", "5", "255"},
      {"12", "3", "6", "15"},
      {"12", "10", "7", "6"},
      {"1", "4", "8", "16"},
      {"2147483647", "1", "8", "4294967294"},
      {"-1", "1", "8", "-2"},
      {"1", "63", "8", "-9223372036854775808"},
      {"1", "64", "8", "0"},
      {"1", "255", "8", "0"},
      {"1", "256", "8", "1"},  // only the low byte of B counts
      {"1", "-1", "8", "0"},   // low byte 255
      {"16", "2", "9", "4"},
      {"-1", "1", "9", "9223372036854775807"},  // logical shift of the widened value
      {"-1", "64", "9", "0"},
      {"8", "259", "9", "1"},
      {"0", "junk", "10", "-1"},  // B is not read
      {"5", "", "10", "-6"},
  });
}

TEST(Mathematics, Characters) {
  ExpectResults({
      {"ABC", "junk", "11", "65"},
      {"\xE9", "", "11", "233"},
      {"not a number", "", "11", "110"},
      {"", "", "11", ""},
      {"65", "junk", "12", "A"},
      {"321", "", "12", "A"},
      {"-191", "", "12", "A"},
      {"0", "", "12", std::string(1, '\0')},
      {"abc", "", "12", ""},
  });
}

TEST(Mathematics, FailuresGiveAnEmptyResult) {
  ExpectResults({
      {"7", "0", "3", ""},
      {"7", "0", "4", ""},
      {"x", "1", "0", ""},
      {"1", "x", "0", ""},
      {"1", "", "0", ""},
      {"2147483648", "0", "0", ""},
      {" 1", "1", "0", ""},
      {"1", "1", "16", ""},
      {"1", "1", "-1", ""},
      {"1", "1", "", ""},
      {"1", "1", " 0", ""},
      {"1", "1", "add", ""},
  });
}

TEST(MathematicsRandom, SeedStateAndSteps) {
  RandomGenerator random;
  EXPECT_EQ(Calculate(random, "13", "7", "3"), "10");
  EXPECT_EQ(random.multiplier, 7);
  EXPECT_EQ(random.increment, 3);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Calculate(random, "14", "1", "junk"), "1");
    EXPECT_EQ(Calculate(random, "15", "100", "junk"), "10");
    EXPECT_EQ(Calculate(random, "15", "100", ""), "73");
    EXPECT_EQ(Calculate(random, "15", "100", ""), "14");
  }
}

TEST(MathematicsRandom, WrapsIn32BitsAndKeepsTheSignOfTheStep) {
  RandomGenerator random{2147483647, 0, 2};
  EXPECT_EQ(Calculate(random, "15", "100", ""), "-2");  // 2147483647 * 2 wraps to -2
  EXPECT_EQ(random.state, -2);
  EXPECT_EQ(Calculate(random, "15", "100", ""), "2");  // 2147483647 * -2 wraps to 2
  random = {1000, 0, 100};
  EXPECT_EQ(Calculate(random, "15", "7", ""), "5");  // 100000 mod 7
  EXPECT_EQ(random.state, 100000 % 32767);
  random = {1, 10, 0};
  EXPECT_EQ(Calculate(random, "15", "-3", ""), "1");  // 10 mod -3 has the sign of 10
}

TEST(MathematicsRandom, StepWithZeroModulusFailsButMovesOn) {
  RandomGenerator random{7, 3, 1};
  EXPECT_EQ(Calculate(random, "15", "0", ""), "");
  EXPECT_EQ(random.state, 10);
  EXPECT_EQ(Calculate(random, "15", "x", ""), "");  // A is read before the step
  EXPECT_EQ(random.state, 10);
  EXPECT_EQ(Calculate(random, "15", "100", ""), "73");
}

class MathematicsCommand : public ::testing::Test {
 protected:
  TVariableManager store_;
  Variables variables_{store_, {"LOCKED", "1"}};
  RandomGenerator random_;
};

TEST_F(MathematicsCommand, ExpandsOperandsAndCreatesTheResult) {
  store_.Set("X", "40");
  store_.Set("OP", "0");
  EXPECT_EQ(RunMathematics(variables_, random_, "$X$", "2", "0", "sum"), "42");
  std::vector<std::string> pairs;
  store_.ExportPairs(pairs);
  EXPECT_EQ(pairs, (std::vector<std::string>{"X", "40", "OP", "0", "SUM", "42"}));
  // The operation code is not expanded.
  EXPECT_EQ(RunMathematics(variables_, random_, "1", "1", "$OP$", "Sum"), "");
  EXPECT_EQ(store_.Get("SUM"), "");
}

TEST_F(MathematicsCommand, FailureAssignsAnEmptyText) {
  store_.Set("R", "old");
  EXPECT_EQ(RunMathematics(variables_, random_, "1", "0", "3", "R"), "");
  EXPECT_TRUE(store_.Exists("R"));
  EXPECT_EQ(store_.Get("R"), "");
}

TEST_F(MathematicsCommand, WithoutResultNameOnlyTheGeneratorChanges) {
  EXPECT_EQ(RunMathematics(variables_, random_, "7", "3", "13", ""), "10");
  EXPECT_EQ(random_.multiplier, 7);
  std::vector<std::string> pairs;
  EXPECT_EQ(store_.ExportPairs(pairs), 0u);
}

TEST_F(MathematicsCommand, ProtectedResultKeepsItsCommandLineValue) {
  store_.Set("LOCKED", "1");
  variables_.SetSilent(true);
  EXPECT_EQ(RunMathematics(variables_, random_, "2", "2", "0", "locked"), "4");
  EXPECT_EQ(store_.Get("LOCKED"), "1");
}

}  // namespace
}  // namespace zev
