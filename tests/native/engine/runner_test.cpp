#include "setup/engine/engine_script_host.h"

#include <gtest/gtest.h>

#include <deque>

#include "script_text.h"
#include "setup/platform/error.h"
#include "setup/platform/sim/sim_machine.h"
#include "setup/startup/language_file.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

using testing::ScriptCommand;
using Lines = std::vector<std::string>;

ScriptCommand Set(const std::string& name, const std::string& value) {
  return {"Set Variable", {name, value, "FALSE"}};
}
ScriptCommand If(const std::string& variable, const std::string& op, const std::string& value,
                 const std::string& negate = "FALSE") {
  return {"If", {variable, op, value, negate}};
}
ScriptCommand ElseIf(const std::string& variable, const std::string& op, const std::string& value) {
  return {"Else If", {variable, op, value, "FALSE"}};
}
ScriptCommand Plain(const std::string& name) { return {name, {}}; }
// A command of the tests' own: appends its parameter to the trace.
ScriptCommand Trace(const std::string& text) { return {"Trace", {text}}; }
ScriptCommand Dialog(const std::string& name) { return {"Display Dialog", {name, "", "", ""}}; }
ScriptCommand Label(const std::string& name) { return {"Label", {name}}; }
ScriptCommand GoTo(const std::string& name) { return {"GoTo Label", {name}}; }
ScriptCommand Disabled(ScriptCommand command) {
  command.disabled = true;
  return command;
}

const Lines kPreparationLog = {"    <Variables>", "    </Variables>", "    <CompileScript>",
                               "    </CompileScript>", "    <BootStrap>", "    </BootStrap>"};

class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest() {
    state.exeDir = R"(C:\Setup\)";
    state.exeBaseName = "setup";
    state.tempDir = R"(C:\Temp\)";
    state.supportDir = R"(C:\Temp\zev1\)";
    state.commandLine.logPath = R"(C:\setup.log)";
    machine.files.WriteText(state.supportDir + "setup.msi", "database");
    log.SetPath(state.commandLine.logPath);
    host.AddCommands([this](ScriptRunner& runner) {
      runner.Register("Trace", [this](ScriptRunner& run) { trace.push_back(run.Vars().Expand(run.Parameter(1))); });
      runner.Register("Fail", [](ScriptRunner& run) { throw Error(run.Parameter(1)); });
      runner.Register("Display Dialog", [this](ScriptRunner& run) {
        trace.push_back("dialog " + run.Parameter(1));
        std::string answer = answers.empty() ? "NEXT" : answers.front();
        if (!answers.empty()) answers.pop_front();
        run.Vars().AssignVariable("WIZARD", answer, "Display Dialog Action");
        run.DialogReturned(answer);
      });
    });
  }

  // Runs the script; the exit code, or the code the process ended with at once.
  int Run(const std::vector<ScriptCommand>& commands, const std::vector<std::string>& plugins = {}) {
    machine.files.WriteText(R"(C:\Temp\zev.tmp)", testing::ScriptText(commands, plugins));
    host.ReadScriptLists(R"(C:\Temp\zev.tmp)");
    try {
      host.RunScript(state, log, messages);
    } catch (const sim::ProcessEnded& ended) {
      return ended.exitCode;
    }
    return state.exitCode;
  }

  Lines LogLines() {
    std::string bytes = machine.files.ReadText(R"(C:\setup.log)");
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) text += bytes[i];
    return SplitLines(text);
  }
  std::string Value(const std::string& name) { return host.Store().Get(name); }

  zev::testing::TempFolder folder;
  sim::SimMachine machine{folder.path()};
  StartupState state;
  SetupLog log{machine.files, machine.system};
  EngineMessages messages;
  EngineScriptHost host{machine.platform};
  Lines trace;
  std::deque<std::string> answers;
};

TEST_F(RunnerTest, FalseIfWithoutElseResumesAfterItsEnd) {
  Run({Set("A", "1"), If("A", "0", "2"), Trace("inside"), If("A", "0", "1"), Trace("nested"),
       Plain("End"), Trace("still inside"), Plain("End"), Trace("after")});
  EXPECT_EQ(trace, Lines{"after"});
}

TEST_F(RunnerTest, IfElseTakesExactlyOneBranch) {
  struct Case {
    const char* value;
    Lines expected;
  } cases[] = {
      {"1", {"then", "nested then", "after"}},
      {"2", {"else", "after"}},
  };
  for (const auto& c : cases) {
    trace.clear();
    Run({Set("A", c.value), If("A", "0", "1"), Trace("then"), If("A", "0", "1"), Trace("nested then"),
         Plain("Else"), Trace("nested else"), Plain("End"), Plain("Else"), Trace("else"),
         If("A", "0", "2"), Trace("nested in else"), Plain("Else"), Trace("nested else in else"),
         Plain("End"), Plain("End"), Trace("after")});
    Lines expected = c.expected;
    if (std::string(c.value) == "2") expected.insert(expected.begin() + 1, "nested in else");
    EXPECT_EQ(trace, expected) << "A=" << c.value;
  }
}

TEST_F(RunnerTest, DisabledCommandsInsideSkippedBranchesCloseNothing) {
  Run({Set("A", "1"), If("A", "0", "2"), Trace("skipped"), Disabled(Plain("End")),
       Disabled(Plain("Else")), Trace("still skipped"), Plain("Else"), Trace("else"), Plain("End"),
       Trace("after")});
  EXPECT_EQ(trace, (Lines{"else", "after"}));
}

TEST_F(RunnerTest, ElseIfChains) {
  struct Case {
    const char* value;
    Lines expected;
  } cases[] = {
      {"1", {"one", "after"}},
      {"2", {"two", "after"}},
      {"3", {"three", "after"}},
      {"4", {"other", "after"}},
  };
  for (const auto& c : cases) {
    trace.clear();
    Run({Set("A", c.value), If("A", "0", "1"), Trace("one"), ElseIf("A", "0", "2"), Trace("two"),
         ElseIf("A", "4", "3"), Trace("three"), Plain("Else"), Trace("other"), Plain("End"),
         Trace("after")});
    EXPECT_EQ(trace, c.expected) << "A=" << c.value;
  }
}

TEST_F(RunnerTest, ElseIfInsideTakenBranchOfFalseNestedIf) {
  // A false nested chain inside a taken branch: the outer "Else If" must still end the branch.
  Run({Set("A", "1"), Set("B", "9"), If("A", "0", "1"), If("B", "0", "1"), Trace("b1"),
       ElseIf("B", "0", "9"), Trace("b9"), Plain("End"), Trace("in a1"), ElseIf("A", "0", "1"),
       Trace("wrong"), Plain("End"), Trace("after")});
  EXPECT_EQ(trace, (Lines{"b9", "in a1", "after"}));
}

TEST_F(RunnerTest, NegatedConditionAndDefinedOperator) {
  Run({Set("A", "x"), If("A", "0", "x", "TRUE"), Trace("negated equal"), Plain("Else"),
       Trace("negated false"), Plain("End"), If("A", "5", "", "FALSE"), Trace("defined"),
       Plain("End")});
  EXPECT_EQ(trace, (Lines{"negated false", "defined"}));
}

TEST_F(RunnerTest, GoToLabelLeavesNestedBlocksWithoutPendingSkips) {
  Run({Set("A", "1"), If("A", "0", "1"), If("A", "0", "1"), Trace("deep"), GoTo("Out"),
       Trace("never"), Plain("End"), Plain("End"), Trace("never either"), Label("OUT"),
       Trace("at label"), If("A", "0", "2"), Trace("skipped"), Plain("End"), Trace("end")});
  EXPECT_EQ(trace, (Lines{"deep", "at label", "end"}));
}

TEST_F(RunnerTest, GoToLabelBackwardsMakesALoop) {
  Run({Set("N", "0"), Label("again"), {"Mathematics", {"$N$", "1", "0", "N"}}, Trace("$N$"),
       If("N", "0", "2", "TRUE"), GoTo("again"), Plain("End")});
  EXPECT_EQ(trace, (Lines{"1", "2"}));
  EXPECT_EQ(Value("N"), "2");
}

struct WizardCase {
  const char* name;
  std::vector<std::string> answers;
  Lines expected;
  const char* wizard;
};

class WizardTest : public RunnerTest, public ::testing::WithParamInterface<WizardCase> {};

TEST_P(WizardTest, WalksTheDialogs) {
  const WizardCase& c = GetParam();
  answers.assign(c.answers.begin(), c.answers.end());
  Run({Plain("Wizard Loop"), Dialog("One"), {"Comment", {"a note"}}, Dialog("Two"),
       Disabled(Dialog("Hidden")), Dialog("Three"), Plain("End"), Trace("after $WIZARD$")});
  EXPECT_EQ(trace, c.expected);
  EXPECT_EQ(Value("WIZARD"), c.wizard);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WizardTest,
    ::testing::Values(
        WizardCase{"NextOnEach", {"NEXT", "NEXT", "NEXT"},
                   {"dialog One", "dialog Two", "dialog Three", "after NEXT"}, "NEXT"},
        WizardCase{"BackOnFirst", {"BACK"}, {"dialog One", "after BACK"}, "BACK"},
        WizardCase{"BackAndForth", {"NEXT", "BACK", "NEXT", "NEXT", "NEXT"},
                   {"dialog One", "dialog Two", "dialog One", "dialog Two", "dialog Three",
                    "after NEXT"},
                   "NEXT"},
        WizardCase{"CancelLeavesAtOnce", {"NEXT", "CANCEL"},
                   {"dialog One", "dialog Two", "after CANCEL"}, "CANCEL"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RunnerTest, TerminateWithExitCodeEndsTheRunNormally) {
  EXPECT_EQ(Run({Set("CODE", "5"), Trace("before"), {"Terminate with Exit Code", {"$CODE$"}},
                 Trace("never")}),
            5);
  EXPECT_EQ(trace, Lines{"before"});
  Lines log = LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ((Lines{log.end() - 3, log.end()}),
            (Lines{"    </vorn>", "    <ExitScript>", "    </ExitScript>"}));
}

TEST_F(RunnerTest, ExitCodeThatIsNoNumberBecomesZero) {
  state.exitCode = 7;
  EXPECT_EQ(Run({{"Terminate with Exit Code", {"five"}}}), 0);
  EXPECT_EQ(Run({Trace("x"), Plain("Terminate Install"), Trace("never")}), 0);
  EXPECT_EQ(trace, Lines{"x"});
}

TEST_F(RunnerTest, FullLogOfARun) {
  Run({Trace("x")});
  Lines expected = kPreparationLog;
  expected.insert(expected.end(), {"    <vorn>", "    </vorn>", "    <ExitScript>", "    </ExitScript>"});
  EXPECT_EQ(LogLines(), expected);
}

TEST_F(RunnerTest, UnknownCommandsDoNothing) {
  Run({{"Frobnicate Registry", {"x"}}, Plain("set variable"), Trace("after")});
  EXPECT_EQ(trace, Lines{"after"});
  EXPECT_TRUE(machine.ui.messages.empty());
}

TEST_F(RunnerTest, RuntimeErrorNamesTheLineAndStopsTheScript) {
  state.exitCode = 3;
  EXPECT_EQ(Run({Set("TITLE", "TX880"), Trace("one"), {"Fail", {"Cannot open the file"}}, Trace("never")}), 3);
  EXPECT_EQ(trace, Lines{"one"});
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_EQ(machine.ui.messages[0].text,
            "Runtime error in setup script:\r\rLine 3: Cannot open the file");
  EXPECT_EQ(machine.ui.messages[0].caption, "TX880 - Kestrix Wizard");
  EXPECT_EQ(machine.ui.messages[0].owner, 0u);
  EXPECT_EQ(LogLines().back(), "    <vorn>");
}

TEST_F(RunnerTest, RuntimeErrorIsSilentWhenTheRunIs) {
  state.commandLine.silent = true;
  Run({{"Fail", {"x"}}});
  EXPECT_TRUE(machine.ui.messages.empty());
  // The script can switch silence itself.
  state.commandLine.silent = false;
  Run({Set("SILENT", "TRUE"), {"Fail", {"x"}}});
  EXPECT_TRUE(machine.ui.messages.empty());
}

TEST_F(RunnerTest, ProgressThatIsNoNumberIsARuntimeError) {
  Run({Set("PROGRESS", "half"), Trace("never")});
  ASSERT_EQ(machine.ui.messages.size(), 1u);
  EXPECT_EQ(machine.ui.messages[0].text,
            "Runtime error in setup script:\r\rLine 1: 'half' is not a valid integer value");
  EXPECT_TRUE(trace.empty());
}

TEST_F(RunnerTest, CompileFailureEndsTheProcessWith314) {
  EXPECT_EQ(Run({Set("A", "1"), If("A", "0", "1"), Trace("no end")}), 314);
  EXPECT_EQ(LogLines(), (Lines{"    <Variables>", "    </Variables>", "    <CompileScript>"}));
  EXPECT_TRUE(trace.empty());
}

TEST_F(RunnerTest, WithoutDatabaseOrPatchTheRunEndsAfterTheBootstrap) {
  machine.files.RemoveFile(state.supportDir + "setup.msi");
  Run({Trace("x")});
  EXPECT_EQ(LogLines(), kPreparationLog);
  EXPECT_TRUE(trace.empty());

  machine.files.WriteText(state.supportDir + "setup.msp", "patch");
  Run({Trace("x")});
  EXPECT_EQ(trace, Lines{"x"});
}

TEST_F(RunnerTest, CommandLineOverridesAndSilentProtection) {
  state.commandLine.overrides = {"NAME", "1", "TARGET", "C:\\My Folder", "", "ignored"};
  Run({Set("NAME", "2"), Trace("$NAME$ $TARGET$")});
  EXPECT_EQ(trace, Lines{"2 C:\\My Folder"});

  trace.clear();
  state.commandLine.silent = true;
  Run({Set("NAME", "2"), Trace("$NAME$")});
  EXPECT_EQ(trace, Lines{"1"});
}

TEST_F(RunnerTest, SetVariableNamesPersistenceAndReferences) {
  Run({Set("count$VORN$VORN$TRUE", "3"), Set("$Other$", "x$COUNT$"), Set("copy", "$other$")});
  EXPECT_EQ(Value("COUNT"), "3");
  EXPECT_EQ(Value("OTHER"), "x3");
  EXPECT_EQ(Value("COPY"), "x3");
  Lines names;
  host.Store().ExportPairs(names);
  EXPECT_NE(std::find(names.begin(), names.end(), "OTHER"), names.end());
}

TEST_F(RunnerTest, EvaluateExpressionAndMathematics) {
  Run({Set("A", "abc"), {"Evaluate Expression", {"$A$ = \"abc\" and \"x\" < \"y\"", "RESULT"}},
       {"Mathematics", {"7", "3", "4", "REST"}}, {"Mathematics", {"7", "0", "3", "QUOTIENT"}}});
  EXPECT_EQ(Value("RESULT"), "TRUE");
  EXPECT_EQ(Value("REST"), "1");
  EXPECT_EQ(Value("QUOTIENT"), "");
}

TEST_F(RunnerTest, EngineSettingsAreRefreshedBeforeEveryCommand) {
  machine.system.dateText = "24.12.2026";
  machine.system.timeText = "18:00:00";
  Run({Trace("$DATE$ $TIME$ $TITLE$ $SILENT$"), Set("LOGGED", "C:\\other.log"), Trace("moved")});
  EXPECT_EQ(trace, (Lines{"24.12.2026 18:00:00 TX880 Test FALSE", "moved"}));
  // The log moved with LOGGED: the closing lines went to the new file.
  EXPECT_EQ(LogLines().back(), "    <vorn>");
  EXPECT_TRUE(machine.files.FileExists("C:\\other.log"));
}

class RecordingServices : public RunServices {
 public:
  Lines calls;
  bool progressAnswer = true;
  void RunPluginCommand(ScriptRunner& run) override { calls.push_back("plugin " + run.Current()); }
  void ExitScript() override { calls.push_back("exit"); }
  void ProcessPendingMessages() override { calls.push_back("messages"); }
};

TEST_F(RunnerTest, PluginCommandsAndTheProgressCallback) {
  machine.files.WriteText(R"(C:\Temp\zev.tmp)",
                          testing::ScriptText({Trace("a"), {"Install Driver", {"x"}}, Trace("b"),
                                               {"Create Folder", {"C:\\x"}}},
                                              {"INSTALL DRIVER"}));
  ScriptLists script = ReadScript(machine.files, R"(C:\Temp\zev.tmp)");
  TVariableManager store;
  Variables variables(store, {});
  RandomGenerator random;
  RecordingServices services;
  EngineSession session;
  ScriptRunner runner(script, variables, random, services,
                      {machine.files, machine.system, machine.ui, log, messages, state, session});
  runner.Register("Trace", [this](ScriptRunner& run) { trace.push_back(run.Parameter(1)); });
  runner.Register("Install Driver", [this](ScriptRunner&) { trace.push_back("dispatched"); });
  std::vector<int> seen;
  runner.Run(state.supportDir + "setup.msi", [&seen](int ip) {
    seen.push_back(ip);
    return ip < 3;
  });
  EXPECT_EQ(trace, Lines{"a"});
  EXPECT_EQ(services.calls, (Lines{"messages", "plugin Install Driver", "exit"}));
  // The compile pass's marks: an installation-changing command has not run yet.
  EXPECT_EQ(runner.CommandMarks(), (Lines{"SKIP", "SKIP", "SKIP", "FALSE"}));
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace zev
