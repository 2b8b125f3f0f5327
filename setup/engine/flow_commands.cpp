// The commands the runner carries out itself: blocks, jumps, the wizard loop, variables,
// expressions, mathematics and the two ways to end a script.
#include "setup/engine/compile_script.h"
#include "setup/engine/condition.h"
#include "setup/engine/expression.h"
#include "setup/engine/mathematics.h"
#include "setup/engine/script_runner.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

void RunCondition(ScriptRunner& run) {
  std::string left = run.Translated(1, 1);
  std::string right = run.Translated(3, 2);
  ConditionParameters parameters{left, run.Parameter(2), right, run.Parameter(4)};
  if (!EvaluateCondition(run.Vars(), parameters)) run.SkipFalseBranch();
}

void SetVariableCommand(ScriptRunner& run) {
  Variables& variables = run.Vars();
  std::string value = variables.Expand(run.Parameter(2));
  if (!variables.GetVariable("LANGUAGE").empty())
    value = variables.Expand(run.Services().Translate(value, run.Parameter(0), 1));

  SetVariableTarget target = SplitPersistenceMarker(run.Parameter(1));
  std::string name = VariableNameOf(target.name);
  if (!name.empty() && !variables.Store().Exists(name)) variables.Store().Set(ToUpperAscii(name), "");
  variables.AssignVariable(name, value, "Set Variable Action");
  if (target.persistent && !name.empty()) run.AddPersistentVariable(name);
  if (EqualsIgnoreCase(name, "PROGRESS") || EqualsIgnoreCase(name, "PROGRESSTEXT"))
    run.UpdateProgressDisplay();
}

}  // namespace

void RegisterFlowCommands(ScriptRunner& runner) {
  runner.Register("If", RunCondition);
  runner.Register("Else If", [](ScriptRunner& run) {
    if (run.TakeElseIfFromScan())
      RunCondition(run);
    else
      run.SkipToEnd();
  });
  runner.Register("Else", [](ScriptRunner& run) { run.SkipToEnd(); });
  runner.Register("End", [](ScriptRunner& run) { run.EndBlock(); });
  runner.Register("Wizard Loop", [](ScriptRunner& run) { run.StartWizard(); });
  runner.Register("GoTo Label", [](ScriptRunner& run) { run.JumpToLabel(run.Parameter(1)); });
  runner.Register("Set Variable", SetVariableCommand);
  runner.Register("Evaluate Expression", [](ScriptRunner& run) {
    RunEvaluateExpression(run.Vars(), run.Parameter(1), run.Parameter(2));
  });
  runner.Register("Mathematics", [](ScriptRunner& run) {
    RunMathematics(run.Vars(), run.Random(), run.Parameter(1), run.Parameter(2), run.Parameter(3),
                   run.Parameter(4));
  });
  runner.Register("Terminate Install", [](ScriptRunner& run) { run.EndLoop(); });
  runner.Register("Terminate with Exit Code", [](ScriptRunner& run) {
    auto code = TextToInt32(run.Vars().Expand(run.Parameter(1)));
    run.SetExitCode(code ? *code : 0);
    run.EndLoop();
  });
}

}  // namespace zev
