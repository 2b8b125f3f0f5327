#include "setup/engine/compile_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/platform/error.h"
#include "test_script.h"

namespace zev {
namespace {

using testing::TestCommand;
using Commands = std::vector<TestCommand>;
using Lines = std::vector<std::string>;

TestCommand If(std::string variable, std::string value = "x", std::string op = "0") {
  return {"If", {std::move(variable), std::move(op), std::move(value), "FALSE"}};
}
TestCommand ElseIf(std::string variable, std::string value = "x") {
  return {"Else If", {std::move(variable), "0", std::move(value), "FALSE"}};
}
TestCommand Set(std::string name, std::string value = "1") {
  return {"Set Variable", {std::move(name), std::move(value)}};
}
TestCommand Label(std::string name) { return {"Label", {std::move(name)}}; }
TestCommand GoTo(std::string name) { return {"GoTo Label", {std::move(name)}}; }
TestCommand Dialog(std::string name, std::string skipVariable = "", std::string result = "WIZARD") {
  return {"Display Dialog", {std::move(name), std::move(result), "TRUE", std::move(skipVariable), "TRUE", "FALSE"}};
}
TestCommand Disabled(TestCommand command) {
  command.disabled = true;
  return command;
}
const TestCommand kEnd{"End", {}};
const TestCommand kElse{"Else", {}};
const TestCommand kWizardLoop{"Wizard Loop", {}};

constexpr int kValid = kScriptValid;
constexpr int kUnbalanced = kUnbalancedEndIndex;
const std::string kOk(kCompiledSuccessfully);

class CompileScriptTest : public ::testing::Test {
 public:
  CompileResult Compile(const Commands& commands) {
    script = testing::TestScript(commands);
    return CompileScript(script, symbols, check);
  }

  ScriptLists script;
  NameSet symbols;
  Lines checkedExpressions;
  // Stands in for the expression language: anything holding BAD is a syntax error.
  ExpressionCheck check = [this](std::string_view parameter) {
    checkedExpressions.emplace_back(parameter);
    return parameter.find("BAD") == std::string_view::npos;
  };
};

struct Case {
  const char* what;
  Commands commands;
  int index;
  std::string message;
};

void RunCases(CompileScriptTest& test, const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    CompileResult result = test.Compile(c.commands);
    EXPECT_EQ(result.index, c.index) << c.what;
    EXPECT_EQ(result.message, c.message) << c.what;
    EXPECT_EQ(result.Valid(), c.index == kValid) << c.what;
  }
}

TEST_F(CompileScriptTest, NestingAndEndCount) {
  const std::string nested = "LABEL statements cannot be nested inside loops/conditionals";
  RunCases(*this, {
      {"empty script", {}, kValid, kOk},
      {"label inside If", {If("TITLE"), Label("L"), kEnd}, 1, nested},
      {"label after the matching End", {If("TITLE"), kEnd, Label("L")}, kValid, kOk},
      {"label inside Else", {If("TITLE"), kElse, Label("L"), kEnd}, 2, nested},
      {"label inside a wizard loop", {kWizardLoop, Label("L"), kEnd}, 1, nested},
      {"label below depth 0", {kEnd, Label("L"), If("TITLE")}, 1, nested},
      {"disabled opener and closer do not count", {Disabled(If("TITLE")), Label("L"), Disabled(kEnd)}, kValid, kOk},
      {"disabled label inside If", {If("TITLE"), Disabled(Label("L")), kEnd}, kValid, kOk},
      {"three If, two End", {If("TITLE"), If("TITLE"), If("TITLE"), kEnd, kEnd}, kUnbalanced,
       "Insufficient END statements"},
      {"End without If", {kEnd}, kUnbalanced, "Too many END statements"},
      {"disabled End leaves If open", {If("TITLE"), Disabled(kEnd)}, kUnbalanced, "Insufficient END statements"},
      {"Else and Else If do not change the depth", {If("TITLE"), ElseIf("TITLE"), kElse, kEnd, Label("L")}, kValid, kOk},
      {"nesting error before an End count error", {If("TITLE"), Label("L")}, 1, nested},
  });
}

TEST_F(CompileScriptTest, Labels) {
  RunCases(*this, {
      {"same name in other letter case", {Label("Start"), Label("START")}, 1, "LABEL re-defined: START"},
      {"GoTo a later label", {GoTo("end"), Label("End")}, kValid, kOk},
      {"GoTo an unknown label", {Label("A"), GoTo("Missing")}, 1, "LABEL undefined: Missing"},
      {"GoTo a disabled label", {TestCommand{"Comment", {"Skipped"}, true}, GoTo("Skipped")}, 1,
       "LABEL undefined: Skipped"},
      {"disabled GoTo is not checked", {Disabled(GoTo("Missing"))}, kValid, kOk},
      {"re-definition found before command checks", {If("NOPE"), kEnd, Label("A"), Label("a")}, 3,
       "LABEL re-defined: a"},
  });
}

TEST_F(CompileScriptTest, VariablesMustBeDeclaredBeforeUse) {
  const std::string undefined = "Variable not defined: ";
  RunCases(*this, {
      {"predefined name", {If("TARGETDIR"), kEnd}, kValid, kOk},
      {"assigned before", {Set("COUNT"), If("COUNT"), kEnd}, kValid, kOk},
      {"assigned after", {If("COUNT"), kEnd, Set("COUNT")}, 0, undefined + "COUNT"},
      {"operator 5 makes no difference", {If("COUNT", "", "5"), kEnd, Set("COUNT")}, 0, undefined + "COUNT"},
      {"persistent, assigned after", {If("COUNT"), kEnd, Set("count$VORN$VORN$TRUE")}, kValid, kOk},
      {"not persistent, assigned after", {If("COUNT"), kEnd, Set("COUNT$VORN$VORN$FALSE")}, 0, undefined + "COUNT"},
      {"persistent flag only in upper case", {If("COUNT"), kEnd, Set("COUNT$VORN$VORN$true")}, 0, undefined + "COUNT"},
      {"disabled persistent Set Variable still declares", {If("COUNT"), kEnd, Disabled(Set("COUNT$VORN$VORN$TRUE"))},
       kValid, kOk},
      {"disabled Set Variable declares nothing", {Disabled(Set("COUNT")), If("COUNT"), kEnd}, 1, undefined + "COUNT"},
      {"marker stripped from the name", {Set("N$VORN$VORN$FALSE"), If("N"), kEnd}, kValid, kOk},
      {"empty variable", {If(""), kEnd}, 0, "Variable required"},
      {"reference to a defined name", {Set("X"), If("$X$"), kEnd}, kValid, kOk},
      {"reference to an undefined name", {If("$Y$"), kEnd}, 0, undefined + "$Y$"},
      {"value: literal", {If("TITLE", "any text"), kEnd}, kValid, kOk},
      {"value: defined reference", {If("TITLE", "$LANGUAGE$"), kEnd}, kValid, kOk},
      {"value: undefined reference", {If("TITLE", "$Z$"), kEnd}, 0, undefined + "$Z$"},
      {"value: not a single reference", {If("TITLE", "$Z$ and $W$"), kEnd}, kValid, kOk},
      {"value: $$ is a literal", {If("TITLE", "$$"), kEnd}, kValid, kOk},
      {"both wrong: the value is named", {If("Y", "$Z$"), kEnd}, 0, undefined + "$Z$"},
      {"Else If checked like If", {If("TITLE"), ElseIf("Q"), kEnd}, 1, undefined + "Q"},
      {"Else If empty variable", {If("TITLE"), ElseIf(""), kEnd}, 1, "Variable required"},
      {"disabled If is not checked", {Disabled(If("Q")), Disabled(kEnd)}, kValid, kOk},
      {"declared only for later commands", {If("FREE"), kEnd, {"Check Disk Space", {"FREE", "C:\\", "TRUE"}}}, 0,
       undefined + "FREE"},
      {"symbols start empty each time", {If("COUNT"), kEnd}, 0, undefined + "COUNT"},
  });
}

TEST_F(CompileScriptTest, CommandChecks) {
  const std::string undefined = "Variable not defined: ";
  const std::string required = "Variable required";
  const std::string badName = "Web Media Block name must be a legal file name";
  const std::string noUrl = "Web Media Block must have at least one download URL";
  const std::string syntax =
      "Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax.";
  RunCases(*this, {
      {"web block", {{"Web Media Block", {"Audio Drivers", "https://x/Audio Drivers.7zip"}}}, kValid, kOk},
      {"web block, empty name and URL", {{"Web Media Block", {"", ""}}}, kValid, kOk},
      {"web block without URL", {{"Web Media Block", {"Audio", ""}}}, 0, noUrl},
      {"web block *", {{"Web Media Block", {"a*b", "u"}}}, 0, badName},
      {"web block ?", {{"Web Media Block", {"a?b", "u"}}}, 0, badName},
      {"web block \"", {{"Web Media Block", {"a\"b", "u"}}}, 0, badName},
      {"web block <", {{"Web Media Block", {"a<b", "u"}}}, 0, badName},
      {"web block >", {{"Web Media Block", {"a>b", "u"}}}, 0, badName},
      {"web block |", {{"Web Media Block", {"a|b", "u"}}}, 0, badName},
      {"web block /", {{"Web Media Block", {"a/b", "u"}}}, 0, badName},
      {"web block: folder part not checked", {{"Web Media Block", {"C:\\a*\\ok", "u"}}}, kValid, kOk},
      {"web block: name checked before URL", {{"Web Media Block", {"a|b", ""}}}, 0, badName},
      {"MSI query without variable", {{"Is MSI Setup Installed", {"{P}", ""}}}, 0, required},
      {"MSI query", {{"Is MSI Setup Installed", {"{P}", "STATE"}}, If("STATE"), kEnd}, kValid, kOk},
      {"delete without a mode", {{"Delete Files", {"*.tmp", "C:\\", "FALSE", "no"}}}, 0,
       "At least one delete mode must be selected"},
      {"delete files", {{"Delete Files", {"*.tmp", "C:\\", "FALSE", "true"}}}, kValid, kOk},
      {"delete folders", {{"Delete Files", {"*.tmp", "C:\\", "-1", ""}}}, kValid, kOk},
      {"install without folder", {{"Install Files", {"a.dll", "OFFLINE", ""}}}, 0,
       "A target folder must be specified for files that are being installed.\r"
       "The value $TARGETDIR$ represents the destination folder chosen by the user."},
      {"install", {{"Install Files", {"a.dll", "OFFLINE", "$TARGETDIR$"}}}, kValid, kOk},
      {"convert path of an undefined variable", {{"Convert Path", {"P", "TRUE"}}}, 0, undefined + "P"},
      {"convert case of a defined variable", {Set("P"), {"Convert Case", {"P", "TRUE"}}}, kValid, kOk},
      {"extract path takes the bare name", {Set("P"), {"Extract Path", {"$P$", "0"}}}, 1, undefined + "$P$"},
      {"replace string", {{"Replace String", {"Q", "a", "b"}}}, 0, undefined + "Q"},
      {"expression", {{"Evaluate Expression", {"$A$ = \"1\"", "R"}}, If("R"), kEnd}, kValid, kOk},
      {"bad expression", {{"Evaluate Expression", {"BAD", "R"}}}, 0, syntax},
      {"disk space without variable", {{"Check Disk Space", {"", "C:\\"}}}, 0, required},
      {"find files without variable", {{"Find All Files", {"*.*", "TRUE", "FALSE", ""}}}, 0, required},
      {"dialog without name", {Dialog("")}, 0, "Dialog name not specified"},
      {"dialog skip variable undefined", {Dialog("welcome", "SKIPIT")}, 0, undefined + "SKIPIT"},
      {"dialog skip variable as reference", {Set("SKIPIT"), Dialog("welcome", "$SKIPIT$")}, kValid, kOk},
      {"dialog declares its result", {Dialog("welcome", "", "page"), If("PAGE"), kEnd}, kValid, kOk},
      {"dialog result declared after its checks", {Dialog("welcome", "PAGE", "PAGE")}, 0, undefined + "PAGE"},
      {"unknown command", {{"Frobnicate", {"$NOPE$"}}}, kValid, kOk},
      {"disabled commands are not checked", {Disabled({"Install Files", {"a", "b", ""}})}, kValid, kOk},
  });
}

TEST_F(CompileScriptTest, ExpressionVariableIsDeclaredBeforeItsCheck) {
  CompileResult result = Compile({{"Evaluate Expression", {"$A$ BAD", "result"}}});
  EXPECT_EQ(result.index, 0);
  EXPECT_TRUE(symbols.Exists("RESULT"));
  // The check receives parameter 1 raw; turning "$" into quotes is the checker's part.
  EXPECT_EQ(checkedExpressions, (Lines{"$A$ BAD"}));
}

TEST_F(CompileScriptTest, WizardLoops) {
  const std::string onlyDialogs = "Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP";
  RunCases(*this, {
      {"dialogs and comments", {kWizardLoop, Dialog("a"), {"Comment", {"c"}}, {"Ignore", {}}, Dialog("b"), kEnd},
       kValid, kOk},
      {"Set Variable inside", {kWizardLoop, Dialog("a"), Set("X"), kEnd}, 2, onlyDialogs},
      {"disabled Set Variable inside", {kWizardLoop, Disabled(Set("X")), Dialog("a"), kEnd}, kValid, kOk},
      {"If inside", {kWizardLoop, If("TITLE"), kEnd, kEnd}, 1, onlyDialogs},
      {"after the loop", {kWizardLoop, Dialog("a"), kEnd, Set("X")}, kValid, kOk},
      {"disabled End does not close", {kWizardLoop, Disabled(kEnd), Set("X"), kEnd}, 2, onlyDialogs},
      // Step order: command checks run over the whole script before the wizard loops.
      {"command error after a loop error", {kWizardLoop, Set("X"), kEnd, If("NOPE"), kEnd}, 3,
       "Variable not defined: NOPE"},
  });
}

// Each row: a command and the parameters it declares. Parameter p holds "Vp"; a following "If"
// on Vp must pass exactly for the declared ones.
TEST_F(CompileScriptTest, DeclarationsOfEveryCommand) {
  struct Row {
    std::string command;
    std::vector<int> declared;
  };
  const Row rows[] = {
      {"Is MSI Setup Installed", {2}}, {"Evaluate Expression", {2}}, {"Check Disk Space", {1}},
      {"Find All Files", {4}}, {"Run Program", {4}}, {"Run Program As", {8}}, {"Set Variable", {1}},
      {"Get Folder Location", {1}}, {"Get INI File Settings", {1}}, {"Check File Version", {1}},
      {"Get System Settings", {1}}, {"Get OS or SP Level", {1}}, {"Read Registry", {1}},
      {"Check Registry", {1}}, {"Does File/Folder Exist", {1}}, {"Localization Variable", {1}},
      {"Get Temporary File", {1}}, {"Get IIS Property", {1}}, {"Get IIS Site List", {1}},
      {"Run Light Mode Setup", {2}}, {"Get File Version", {2}}, {"Get Environment", {2}},
      {"Get IIS Site Index", {2}}, {"Extract 7Zip Archive", {3}}, {"Mathematics", {4}},
      {"Read from Text File", {2, 3}}, {"Parse String", {3, 4}}, {"MessageBox", {5}},
      {"Check Service", {3}}, {"Register Library", {3}}, {"Check Process", {2}},
      {"Apply Changes", {2}}, {"Get Component State", {2}}, {"Get Component Space", {2}},
      {"Apply Patch", {1}}, {"IIS Anonymous User", {1}}, {"Write Registry", {}}, {"Comment", {}},
  };
  for (const auto& row : rows) {
    Lines parameters;
    for (int p = 1; p <= 8; ++p) parameters.push_back("v" + std::to_string(p));
    for (int p = 1; p <= 8; ++p) {
      CompileResult result = Compile({{row.command, parameters}, If("V" + std::to_string(p)), kEnd});
      bool declared = std::find(row.declared.begin(), row.declared.end(), p) != row.declared.end();
      EXPECT_EQ(result.Valid(), declared) << row.command << " parameter " << p << ": " << result.message;
    }
  }
}

TEST_F(CompileScriptTest, CommandMarks) {
  CompileResult result = Compile({
      Set("X"),
      {"Install Files", {"a.dll", "OFFLINE", "$TARGETDIR$"}},
      Disabled({"Write Registry", {"HKLM"}}),
      {"Delete Files", {"*", "C:\\", "TRUE", "FALSE"}},
      {"Copy/Move Local Files", {}}, {"Create Folder", {}}, {"Create Shortcut", {}},
      {"Advertised Shortcut", {}}, {"Edit INI File", {}}, {"Install Assembly", {}},
      {"Set Environment", {}}, {"Install Service", {}}, {"Install ODBC Driver", {}},
      {"Create ODBC DSN", {}}, {"Control Service", {}}, {"Write Registry", {}},
      {"Create File Type", {}}, {"Advertised File Type", {}},
      {"write registry", {}},  // names are exact
      {"Apply Changes", {}},
  });
  ASSERT_TRUE(result.Valid()) << result.message;
  Lines expected = {"SKIP", "FALSE", "SKIP"};
  for (int i = 0; i < 15; ++i) expected.push_back("FALSE");
  expected.push_back("SKIP");
  expected.push_back("SKIP");
  EXPECT_EQ(result.CommandMarks, expected);
}

TEST_F(CompileScriptTest, CommandMarksStopAtTheFailingCommand) {
  EXPECT_TRUE(Compile({Set("X"), If("TITLE"), kEnd, If("Q"), kEnd}).CommandMarks ==
              (Lines{"SKIP", "SKIP", "SKIP", "SKIP"}));
  // A failed check leaves the command's own mark at SKIP.
  EXPECT_TRUE(Compile({{"Delete Files", {"*", "C:\\", "FALSE", "FALSE"}}}).CommandMarks == (Lines{"SKIP"}));
  EXPECT_TRUE(Compile({If("TITLE")}).CommandMarks.empty());
}

TEST_F(CompileScriptTest, LabelNames) {
  CompileResult result = Compile({Label("Start"), Disabled(Label("off")), GoTo("START"), Label("end")});
  EXPECT_TRUE(result.Valid()) << result.message;
  EXPECT_EQ(result.LabelTable, (Lines{"START", "OFF", "END"}));
  EXPECT_EQ(BuildLabelTable(script), (Lines{"START", "0", "OFF", "1", "END", "3"}));
}

TEST_F(CompileScriptTest, PredefinedNamesAndDeclarationsGoIntoTheStore) {
  TVariableManager store;
  store.Set("STALE", "1");
  StoreSymbols storeSymbols(store);
  script = testing::TestScript({Set("count"), {"Check Disk Space", {"$Free$", "C:\\"}}});
  ASSERT_TRUE(CompileScript(script, storeSymbols, check).Valid());
  Lines pairs;
  store.ExportPairs(pairs);
  Lines names;
  for (std::size_t i = 0; i < pairs.size(); i += 2) names.push_back(pairs[i]);
  ASSERT_EQ(names.size(), 55u + 2u);
  EXPECT_EQ(names.front(), "VORN_COMPRESSCACHE");
  EXPECT_EQ(names[54], "LANGUAGE");
  EXPECT_EQ(names[55], "COUNT");
  EXPECT_EQ(names[56], "$FREE$");  // the text as written, upper-cased
  for (std::size_t i = 1; i < pairs.size(); i += 2) EXPECT_EQ(pairs[i], "");
}

TEST_F(CompileScriptTest, ShortPerCommandListsAreAnError) {
  // The file ended inside the flags: the second command has no flag line.
  script = ParseScript("If\r\nEnd\r\n$\r\n{1}\r\n{2}\r\n$\r\n$\r\n\r\n");
  EXPECT_THROW(CompileScript(script, symbols, check), Error);
}

TEST(SetVariableTargetTest, SplitsTheMarker) {
  struct Case {
    std::string parameter;
    std::string name;
    bool persistent;
  };
  const Case cases[] = {
      {"COUNT$VORN$VORN$TRUE", "COUNT", true},
      {"COUNT$VORN$VORN$FALSE", "COUNT", false},
      {"COUNT$VORN$VORN$true", "COUNT", false},
      {"COUNT$VORN$VORN$", "COUNT", false},
      {"COUNT", "COUNT", false},
      {"$COUNT$", "$COUNT$", false},
      {"$VORN$VORN$TRUE", "", true},
      {"A$VORN$VORN$B$VORN$VORN$TRUE", "A", false},
      {"", "", false},
  };
  for (const auto& c : cases) {
    SetVariableTarget target = SplitPersistenceMarker(c.parameter);
    EXPECT_EQ(target.name, c.name) << c.parameter;
    EXPECT_EQ(target.persistent, c.persistent) << c.parameter;
  }
}

}  // namespace
}  // namespace zev
