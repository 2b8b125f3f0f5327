#include "setup/engine/variables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "setup/engine/variable_manager.h"
#include "support/expand_in_place.h"

namespace zev {
namespace {

using Strings = std::vector<std::string>;

TEST(VariableStore, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  TVariableManager store;
  store.Set("path", "1");
  store.Set("PATH", "2");
  store.Set("Other", "x");
  EXPECT_TRUE(store.Exists("Path"));
  EXPECT_EQ(store.Get("PaTh"), "2");
  Strings pairs;
  EXPECT_EQ(store.ExportPairs(pairs), 4u);
  EXPECT_EQ(pairs, (Strings{"path", "2", "Other", "x"}));
}

TEST(VariableStore, OnlyAsciiLettersFold) {
  TVariableManager store;
  store.Set("\xE9T\xC9", "accented");  // e-acute, T, E-acute
  EXPECT_TRUE(store.Exists("\xE9t\xC9"));
  EXPECT_FALSE(store.Exists("\xC9T\xC9"));
  store.Set("A[", "bracket");  // '[' sits right after 'Z' and is not a letter
  EXPECT_FALSE(store.Exists("A{"));
}

TEST(VariableStore, EmptyNameIsNeverStored) {
  TVariableManager store;
  store.Set("", "x");
  EXPECT_FALSE(store.Exists(""));
  EXPECT_EQ(store.Get(""), "");
  EXPECT_FALSE(store.Find("").has_value());
  Strings pairs;
  EXPECT_EQ(store.ExportPairs(pairs), 0u);
}

TEST(VariableStore, GetOfAbsentNameIsEmptyAndFindTellsTheDifference) {
  TVariableManager store;
  store.Set("EMPTY", "");
  EXPECT_EQ(store.Get("MISSING"), "");
  EXPECT_FALSE(store.Find("MISSING").has_value());
  EXPECT_EQ(store.Find("empty"), std::optional<std::string>(""));
}

TEST(VariableStore, ClearRemovesEverything) {
  TVariableManager store;
  store.Set("a", "1");
  store.Set("b", "2");
  store.Clear();
  EXPECT_FALSE(store.Exists("A"));
  Strings pairs{"kept"};
  EXPECT_EQ(store.ExportPairs(pairs), 1u);
  store.Set("A", "3");  // a name created again after Clear takes the new spelling
  pairs.clear();
  store.ExportPairs(pairs);
  EXPECT_EQ(pairs, (Strings{"A", "3"}));
}

TEST(VariableExpansion, FollowsTheScan) {
  TVariableManager store;
  store.Set("A", "x$B$y");
  store.Set("B", "1");
  store.Set("TITLE", "Setup");
  store.Set("EMPTY", "");
  store.Set("HALF", "$TI");    // a reference that only closes after the value
  store.Set("DOLLAR", "$");
  store.Set("X", "[x]");
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"", ""},
      {"no references", "no references"},
      {"$A$", "x1y"},
      {"$Title$ and $title$", "Setup and Setup"},
      {"$UNKNOWN$ then $A$", "$UNKNOWN$ then x1y"},
      {"5$ and $X$", "5$ and [x]"},  // "5$ and $" is no name; its closing '$' opens $X$
      {"$$", "$$"},
      {"$$X$", "$[x]"},
      {"$", "$"},
      {"a$", "a$"},
      {"$X", "$X"},
      {"$X$$X$", "[x][x]"},
      {"$X$X$", "[x]X$"},
      {"<$EMPTY$>", "<>"},
      {"$HALF$TLE$", "Setup"},
      {"$DOLLAR$X$", "[x]"},  // the inserted '$' pairs with the text after it
      {"$UNKNOWN$X$", "$UNKNOWN[x]"},
  };
  for (const auto& c : cases) EXPECT_EQ(store.Expand(c.text), c.expanded) << c.text;
}

TEST(VariableExpansion, QuotedWrapsEveryInsertedValue) {
  TVariableManager store;
  store.Set("A", "1");
  store.Set("B", "2");
  store.Set("C", "$A$");
  EXPECT_EQ(store.ExpandQuoted("$A$ = $B$"), "\"1\" = \"2\"");
  EXPECT_EQ(store.ExpandQuoted("$C$"), "\"\"1\"\"");
  EXPECT_EQ(store.ExpandQuoted("$NONE$"), "$NONE$");
}

TEST(VariableExpansion, SelfReferenceEndsAndLeavesTheReference) {
  ExpansionLimits limits;
  limits.baseReplacements = 50;
  limits.replacementsPerInputByte = 0;
  TVariableManager store(limits);
  store.Set("SELF", "$SELF$");
  store.Set("GROW", "x$GROW$");
  store.Set("P", "$Q$");
  store.Set("Q", "p$P$");
  store.Set("OK", "ok");
  EXPECT_EQ(store.Expand("a $SELF$ b"), "a $SELF$ b");
  EXPECT_EQ(store.Expand("$GROW$"), std::string(50, 'x') + "$GROW$");
  EXPECT_EQ(store.Expand("$P$|$OK$"), std::string(25, 'p') + "$P$|$OK$");
  // The bound is per expansion: the next one starts afresh.
  EXPECT_EQ(store.Expand("$OK$"), "ok");
}

TEST(VariableExpansion, DefaultBoundStopsCyclesQuickly) {
  TVariableManager store;
  store.Set("SELF", "$self$");
  store.Set("GROW", "x$GROW$");
  EXPECT_EQ(store.Expand("$SELF$"), "$self$");
  std::string grown = store.Expand("$GROW$");
  EXPECT_TRUE(grown.ends_with("x$GROW$"));
  EXPECT_GE(grown.size(), 10000u);
  EXPECT_LE(grown.size(), 100000u);
}

TEST(VariableExpansion, DoublingChainIsBoundedInSize) {
  ExpansionLimits limits;
  limits.maxInsertedBytes = 1 << 16;
  TVariableManager store(limits);
  // V0 holds 1 KiB; every further level names the one below twice: V40 would be 2^40 KiB.
  store.Set("V0", std::string(1024, 'a'));
  for (int level = 1; level <= 40; ++level) {
    std::string below = "$V" + std::to_string(level - 1) + "$";
    store.Set("V" + std::to_string(level), below + below);
  }
  std::string expanded = store.Expand("$V40$");
  EXPECT_LE(expanded.size(), (1u << 16) + 1024u);
  // Whole copies of V0 up to the bound, then the references not taken, as written.
  auto copied = expanded.find_first_not_of('a');
  ASSERT_NE(copied, std::string::npos);
  EXPECT_EQ(copied % 1024, 0u);
  EXPECT_GE(copied, 60u * 1024);
  std::string rest = expanded.substr(copied);
  EXPECT_TRUE(rest.starts_with("$V0$")) << rest;
  EXPECT_EQ(rest.find_first_not_of("$V0123456789"), std::string::npos) << rest;
}

TEST(VariableExpansion, NestedFanOutWithinBoundsExpandsFully) {
  TVariableManager store;
  // 4^5 = 1024 leaves through five levels: far below the default bound.
  store.Set("L0", "z");
  for (int level = 1; level <= 5; ++level) {
    std::string below = "$L" + std::to_string(level - 1) + "$";
    store.Set("L" + std::to_string(level), below + below + below + below);
  }
  EXPECT_EQ(store.Expand("$L5$"), std::string(1024, 'z'));
}

TEST(VariableExpansion, ManyReferencesInALongText) {
  TVariableManager store;
  store.Set("N", "1");
  std::string text, expected;
  for (int i = 0; i < 50000; ++i) {
    text += "$N$,";
    expected += "1,";
  }
  EXPECT_EQ(store.Expand(text), expected);
}

TEST(VariableExpansion, AgreesWithInPlaceRescanning) {
  ExpansionLimits limits;
  limits.baseReplacements = 40;
  limits.replacementsPerInputByte = 1;
  TVariableManager store(limits);
  // Values full of dollar signs, pieces of names and references to each other.
  store.Set("A", "$");
  store.Set("B", "x$A$");
  store.Set("AB", "$A$B$");
  store.Set("BA", "A$");
  store.Set("C", "$B");
  std::mt19937 random(2024);
  const char alphabet[] = {'$', '$', '$', 'A', 'B', 'C', 'a', 'x'};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (auto length = random() % 12; length > 0; --length) text += alphabet[random() % 8];
    std::size_t bound = 40 + text.size();
    ASSERT_EQ(store.Expand(text), testing::ExpandInPlace(store, text, false, bound)) << text;
    ASSERT_EQ(store.ExpandQuoted(text), testing::ExpandInPlace(store, text, true, bound)) << text;
  }
}

TEST(EngineVariables, SetAndGet) {
  TVariableManager store;
  Variables variables(store, {});
  variables.SetVariable("", "x", "Set Variable Action");
  EXPECT_FALSE(store.Exists(""));
  variables.SetVariable("Name", "1", "Set Variable Action");
  variables.SetVariable("NAME", "2", "Set Variable Action");
  EXPECT_EQ(variables.GetVariable("name"), "2");
  EXPECT_EQ(variables.GetVariable("missing"), "");
}

TEST(EngineVariables, CommandLineNamesAreProtectedOnlyWhileSilent) {
  TVariableManager store;
  Variables variables(store, {"NAME", "1", "OTHER", "NAME2"});
  variables.SetVariable("NAME", "1", kOriginCommandLineOverride);

  variables.SetSilent(true);
  variables.AssignVariable("name", "2", "Set Variable Action");
  EXPECT_EQ(store.Get("NAME"), "1");
  variables.SetVariable("NAME", "3", "Set Variable Action");
  EXPECT_EQ(store.Get("NAME"), "1");
  variables.AssignVariable("NAME", "4", kOriginCommandLineOverride);
  EXPECT_EQ(store.Get("NAME"), "4");
  // A name that only appears as a VALUE is free.
  variables.AssignVariable("NAME2", "free", "Set Variable Action");
  EXPECT_EQ(store.Get("NAME2"), "free");
  // A protected name that does not exist yet: assignment is dropped, not created.
  variables.AssignVariable("OTHER", "x", "Set Variable Action");
  EXPECT_FALSE(store.Exists("OTHER"));

  variables.SetSilent(false);
  variables.AssignVariable("NAME", "2", "Set Variable Action");
  EXPECT_EQ(store.Get("NAME"), "2");
}

TEST(EngineVariables, SilentSetOfANewProtectedNameCreatesIt) {
  // Only an existing name goes through the protected assignment.
  TVariableManager store;
  Variables variables(store, {"NAME", "1"}, true);
  variables.SetVariable("NAME", "script", "Set Variable Action");
  EXPECT_EQ(store.Get("NAME"), "script");
}

TEST(EngineVariables, ValueOfNameOrReference) {
  TVariableManager store;
  Variables variables(store, {});
  store.Set("A", "x$B$y");
  store.Set("B", "1");
  store.Set("$ODD", "odd");
  struct Case {
    const char* text;
    const char* value;
    const char* valueOrMarker;
  } cases[] = {
      {"A", "x1y", "x1y"},   {"$A$", "x1y", "x1y"},       {"$a$", "x1y", "x1y"},
      {"NONE", "", "$VORNNX$"}, {"$NONE$", "", "$VORNNX$"}, {"", "", "$VORNNX$"},
      {"$ODD", "odd", "odd"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(variables.VariableValue(c.text), c.value) << c.text;
    EXPECT_EQ(variables.VariableValueOrMarker(c.text), c.valueOrMarker) << c.text;
  }
}

TEST(EngineVariables, ExpandPathCollapsesDoubledBackslashes) {
  TVariableManager store;
  Variables variables(store, {});
  store.Set("DIR", "C:\\Program Files\\Corvane\\");
  store.Set("UNC", "\\\\server\\share\\");
  struct Case {
    const char* text;
    const char* path;
  } cases[] = {
      {"$DIR$\\setup.ini", "C:\\Program Files\\Corvane\\setup.ini"},
      {"$UNC$\\file.txt", "\\\\server\\share\\file.txt"},
      {"\\\\\\\\x", "\\\\\\x"},  // four -> two, then the UNC backslash back in front
      {"a\\\\\\b", "a\\\\b"},     // three -> two
      {"\\", "\\"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(variables.ExpandPath(c.text), c.path) << c.text;
}

TEST(VariableTexts, StripReference) {
  struct Case {
    const char* text;
    const char* name;
  } cases[] = {{"$A$", "A"}, {"$LONG_NAME$", "LONG_NAME"}, {"A", ""},  {"$A", ""},
               {"A$", ""},   {"$A$B$", ""},               {"$$", ""}, {"$", ""},
               {"", ""},     {"$A$ ", ""}};
  for (const auto& c : cases) EXPECT_EQ(StripReference(c.text), c.name) << c.text;
  EXPECT_EQ(VariableNameOf("$A$"), "A");
  EXPECT_EQ(VariableNameOf("$A$B$"), "$A$B$");
}

TEST(VariableTexts, IsTrueAndBoolText) {
  for (const char* text : {"true", "True", "TRUE", "tRuE", "-1"}) EXPECT_TRUE(IsTrue(text)) << text;
  for (const char* text : {"1", "yes", "-1 ", " -1", "TRUE ", "", "FALSE", "-01", "truee"})
    EXPECT_FALSE(IsTrue(text)) << text;
  EXPECT_EQ(BoolText(true), "TRUE");
  EXPECT_EQ(BoolText(false), "FALSE");
}

TEST(VariableTexts, NewlineMarkers) {
  EXPECT_EQ(NewlinesToText("a\r\nb\r\n"), "a$NEWLINE$b$NEWLINE$");
  EXPECT_EQ(NewlinesToText("a\nb\rc\r\r\n"), "a\nb\rc\r$NEWLINE$");
  EXPECT_EQ(TextToNewlines("a$NEWLINE$b$newline$c$NewLine$"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(TextToNewlines("$NEWLINE"), "$NEWLINE");
  EXPECT_EQ(TextToNewlines("$$NEWLINE$$"), "$\r\n$");
  EXPECT_EQ(TextToNewlines(NewlinesToText("x\r\ny")), "x\r\ny");
}

TEST(VariableTexts, TextToInt32TakesSignedDecimalsOnly) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"0", 0},
      {"010", 10},
      {"-5", -5},
      {"+7", 7},
      {"-0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1a", std::nullopt},
      {"$10", std::nullopt},
      {"0x10", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt32(c.text), c.value) << c.text;
}

TEST(ProgressVariables, CreatedWithTheirInitialValues) {
  TVariableManager store;
  store.Set("VORN_THPROGRESS", "55");
  CreateProgressVariables(store);
  EXPECT_EQ(store.Get("VORN_thProgress"), "0");
  EXPECT_EQ(store.Get("VORN_thMax"), "100");
  EXPECT_EQ(store.Get("VORN_thMin"), "0");
  EXPECT_EQ(store.Find("VORN_thProgressText"), std::optional<std::string>(""));
  EXPECT_EQ(store.Get("VORN_thFinished"), "FALSE");
  EXPECT_EQ(store.Get("VORN_thCancelled"), "FALSE");
  Strings pairs;
  EXPECT_EQ(store.ExportPairs(pairs), 12u);
}

TEST(ProgressVariables, WorkersWriteWhileTheScriptExpands) {
  TVariableManager store;
  CreateProgressVariables(store);
  Variables variables(store, {});
  constexpr int kWrites = 20000;
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int worker = 0; worker < 3; ++worker) {
    workers.emplace_back([&, worker] {
      for (int i = 0; i < kWrites; ++i) {
        std::string n = std::to_string(i);
        variables.AssignVariable(kProgressVariable, n, "Worker");
        store.Set(kProgressTextVariable, "step " + n + " of worker " + std::to_string(worker));
        if (store.Get(kCancelledVariable) == "TRUE") break;
      }
    });
  }
  // Another thread creates unrelated names, so the table grows and rehashes meanwhile.
  workers.emplace_back([&] {
    for (int i = 0; !stop.load(); ++i) store.Set("TEMP" + std::to_string(i % 5000), "x");
  });
  // Every expansion sees whole values: a number, the fixed maximum and a complete step text.
  std::string malformed;
  for (int checked = 0; checked < 5000 && malformed.empty(); ++checked) {
    std::string text = store.Expand("$VORN_thProgress$/$VORN_thMax$: $VORN_thProgressText$");
    auto slash = text.find('/');
    std::string step = slash == std::string::npos ? "" : text.substr(slash);
    bool whole = slash != std::string::npos && TextToInt32(text.substr(0, slash)) &&
                 (step == "/100: " || (step.starts_with("/100: step ") && step.find(" of worker ") !=
                                                                              std::string::npos));
    if (!whole) malformed = text;
  }
  store.Set(kCancelledVariable, "TRUE");
  stop = true;
  for (auto& thread : workers) thread.join();
  EXPECT_EQ(malformed, "");
  store.Set(kFinishedVariable, "TRUE");
  EXPECT_EQ(store.Get("vorn_thfinished"), "TRUE");
}

}  // namespace
}  // namespace zev
