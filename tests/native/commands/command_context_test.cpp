#include "setup/commands/command_context.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "command_harness.h"
#include "setup/platform/error.h"

namespace zev {
namespace {

using testing::CommandHarness;
using testing::ScriptCommand;
using testing::SetVar;

bool HasName(const std::vector<std::string>& pairs, const std::string& name) {
  for (std::size_t i = 0; i < pairs.size(); i += 2)
    if (pairs[i] == name) return true;
  return false;
}

TEST(ResultOriginTest, IsTheCommandNameWithAction) {
  EXPECT_EQ(ResultOrigin("Get Environment"), "Get Environment Action");
  EXPECT_EQ(ResultOrigin("Read Registry"), "Read Registry Action");
}

TEST(StoreResultTest, CreatesAMissingVariableUpperCasedAndStoresTheValue) {
  CommandHarness h;
  h.AddProbe("Store Probe", [](ScriptRunner& run) { StoreResult(run, 1, run.Parameter(2)); });
  h.Run({{"Store Probe", {"fresh", "value 1"}}});
  auto pairs = h.Pairs();
  EXPECT_TRUE(HasName(pairs, "FRESH"));
  EXPECT_FALSE(HasName(pairs, "fresh"));
  EXPECT_EQ(h.Value("fresh"), "value 1");
}

TEST(StoreResultTest, OverwritesAnExistingVariableKeepingItsSpelling) {
  CommandHarness h;
  h.AddProbe("Store Probe", [](ScriptRunner& run) { StoreResult(run, 1, run.Parameter(2)); });
  h.Run({SetVar("Existing", "old"), {"Store Probe", {"EXISTING", "new"}}});
  EXPECT_EQ(h.Value("existing"), "new");
  EXPECT_FALSE(HasName(h.Pairs(), "EXISTING") && HasName(h.Pairs(), "Existing"));
}

TEST(StoreResultTest, EmptyResultParameterStoresNothing) {
  CommandHarness baseline;
  baseline.Run({{"Nothing", {}}});
  CommandHarness h;
  bool ran = false;
  h.AddProbe("Store Probe", [&ran](ScriptRunner& run) {
    StoreResult(run, 1, "value");
    ran = true;
  });
  h.Run({{"Store Probe", {"", "x"}}});
  EXPECT_TRUE(ran);
  EXPECT_EQ(h.Pairs().size(), baseline.Pairs().size());
  EXPECT_FALSE(h.Exists(""));
}

TEST(StoreResultTest, SilentCommandLineNameKeepsItsValueUnlessTheOriginIsTheOverride) {
  struct Case {
    bool silent;
    std::optional<std::string_view> origin;
    const char* expected;
  } cases[] = {
      {true, std::nullopt, "from command line"},
      {true, std::string_view("Some Command Action"), "from command line"},
      {true, kOriginCommandLineOverride, "from script"},
      {false, std::nullopt, "from script"},
  };
  for (const auto& c : cases) {
    CommandHarness h;
    h.state.commandLine.silent = c.silent;
    h.state.commandLine.overrides = {"RESULT", "from command line"};
    auto origin = c.origin;
    h.AddProbe("Store Probe", [origin](ScriptRunner& run) {
      StoreNamedResult(run, run.Parameter(1), "from script", origin);
    });
    h.Run({SetVar("RESULT", "from command line"), {"Store Probe", {"result"}}});
    EXPECT_EQ(h.Value("RESULT"), c.expected) << c.silent << " " << c.origin.value_or("default");
  }
}

struct Readings {
  std::string text, path, name, nameOrReference;
  bool flag = false;
  int number = 0;
};

Readings ReadAll(const std::vector<std::string>& parameters) {
  CommandHarness h;
  Readings readings;
  h.AddProbe("Read Probe", [&readings](ScriptRunner& run) {
    readings.text = TextParameter(run, 1);
    readings.path = PathParameter(run, 2);
    readings.flag = BoolParameter(run, 3);
    readings.number = NumberParameter(run, 4);
    readings.name = ResultName(run, 5);
    readings.nameOrReference = ResultNameOrReference(run, 5);
  });
  h.Run({SetVar("DIR", R"(C:\Program Files\)"), SetVar("FLAG", "TRUE"), SetVar("N", "5"),
         {"Read Probe", parameters}});
  EXPECT_FALSE(h.RuntimeErrorShown());
  return readings;
}

TEST(ParameterReadingTest, EachKindIsReadItsOwnWay) {
  struct Case {
    std::vector<std::string> parameters;
    std::string text, path;
    bool flag;
    int number;
    std::string name, nameOrReference;
  } cases[] = {
      {{"in $DIR$", R"($DIR$\TX880)", "true", "42", "RES"},
       R"(in C:\Program Files\)", R"(C:\Program Files\TX880)", true, 42, "RES", "RES"},
      {{"plain", R"(\\server\\share\\x)", "-1", "-7", "$RES$"},
       "plain", R"(\\server\share\x)", true, -7, "$RES$", "RES"},
      // Booleans and numbers are never expanded.
      {{"", "", "$FLAG$", "0", "$A$B$"}, "", "", false, 0, "$A$B$", "$A$B$"},
      {{"", "", "1", "+3", "x"}, "", "", false, 3, "x", "x"},
  };
  for (const auto& c : cases) {
    Readings r = ReadAll(c.parameters);
    EXPECT_EQ(r.text, c.text) << c.parameters[0];
    EXPECT_EQ(r.path, c.path) << c.parameters[1];
    EXPECT_EQ(r.flag, c.flag) << c.parameters[2];
    EXPECT_EQ(r.number, c.number) << c.parameters[3];
    EXPECT_EQ(r.name, c.name) << c.parameters[4];
    EXPECT_EQ(r.nameOrReference, c.nameOrReference) << c.parameters[4];
  }
}

TEST(ParameterReadingTest, ANumberThatIsNotDecimalEndsTheRunWithAnError) {
  for (const char* text : {"$N$", "4x", "", " 4"}) {
    CommandHarness h;
    bool after = false;
    h.AddProbe("Number Probe", [](ScriptRunner& run) { NumberParameter(run, 1); });
    h.AddProbe("After", [&after](ScriptRunner&) { after = true; });
    h.Run({{"Number Probe", {text}}, {"After", {}}});
    EXPECT_TRUE(h.RuntimeErrorShown()) << text;
    EXPECT_FALSE(after) << text;
  }
}

TEST(TranslatedTextTest, WithoutALanguageItIsTheExpandedParameter) {
  CommandHarness h;
  std::string first, second;
  h.AddProbe("Translate Probe", [&](ScriptRunner& run) {
    first = TranslatedText(run, 1, 1);
    second = TranslatedText(run, 2, 2);
  });
  h.Run({SetVar("PRODUCT", "TX880"), {"Translate Probe", {"$PRODUCT$ Control Panel", "Help"}}});
  EXPECT_EQ(first, "TX880 Control Panel");
  EXPECT_EQ(second, "Help");
}

// Translates by key and slot into a text that itself holds a reference.
class TranslatingServices : public RunServices {
 public:
  std::string Translate(const std::string& text, const std::string& key, int slot) override {
    return "$PRODUCT$ [" + key + " " + std::to_string(slot) + "] " + text;
  }
};

TEST(TranslatedTextTest, WithALanguageTheTranslationByIdentifierAndSlotIsExpanded) {
  CommandHarness h;
  h.machine.files.WriteText(R"(C:\Temp\zev.tmp)",
                            testing::ScriptText({SetVar("PRODUCT", "TX880"),
                                                 SetVar("LANGUAGE", "German"),
                                                 {"Translate Probe", {"Panel", "Help"}}}));
  ScriptLists script = ReadScript(h.machine.files, R"(C:\Temp\zev.tmp)");
  TVariableManager store;
  Variables variables(store, {});
  RandomGenerator random;
  TranslatingServices services;
  RunEnvironment environment{h.machine.files, h.machine.system, h.machine.ui, h.log,
                             h.messages,      h.state,          h.host.Session()};
  ScriptRunner runner(script, variables, random, services, environment);
  std::string first, second;
  RegisterCommand(runner, h.environment, "Translate Probe", [&](ScriptRunner& run) {
    first = TranslatedText(run, 1, 1);
    second = TranslatedText(run, 2, 2);
  });
  runner.Run(h.state.supportDir + "setup.msi");
  EXPECT_EQ(first, "TX880 [" + testing::CommandIdentifier(2) + " 1] Panel");
  EXPECT_EQ(second, "TX880 [" + testing::CommandIdentifier(2) + " 2] Help");
}

}  // namespace
}  // namespace zev
