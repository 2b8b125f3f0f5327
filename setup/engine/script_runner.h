#pragma once
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/engine/engine_session.h"
#include "setup/engine/mathematics.h"
#include "setup/engine/run_services.h"
#include "setup/engine/script_lists.h"
#include "setup/engine/variables.h"
#include "setup/platform/platform.h"
#include "setup/startup/engine_messages.h"
#include "setup/startup/setup_log.h"
#include "setup/startup/startup_state.h"

namespace zev {

// What the runner reaches outside the script and the variables.
struct RunEnvironment {
  platform::FileSystem& files;
  platform::SystemInfo& system;
  platform::UserInterface& ui;
  SetupLog& log;
  const EngineMessages& messages;
  StartupState& state;
  EngineSession& session;
};

// Runs a loaded script command by command: run preparation, then the loop that refreshes the
// engine settings, moves the instruction pointer by the pending control flow, fetches the next
// command and dispatches it by name. Blocks, jumps and the wizard loop are forward and backward
// scans over the command list.
class ScriptRunner {
 public:
  using Handler = std::function<void(ScriptRunner&)>;
  // Called with the instruction pointer before every command; false ends the run.
  using ProgressCallback = std::function<bool(int)>;

  ScriptRunner(const ScriptLists& script, Variables& variables, RandomGenerator& random,
               RunServices& services, RunEnvironment environment);

  // The handler of a command name (compared exactly). A name without one does nothing.
  void Register(std::string name, Handler handler);

  void Run(const std::string& databasePath, const ProgressCallback& progress = {});

  // For handlers.
  const ScriptLists& Script() const { return script_; }
  Variables& Vars() { return variables_; }
  RunServices& Services() { return services_; }
  RunEnvironment& Environment() { return environment_; }
  RandomGenerator& Random() { return random_; }
  int Ip() const { return ip_; }
  std::size_t CurrentIndex() const { return static_cast<std::size_t>(ip_ - 1); }
  const std::string& Current() const { return current_; }
  // Parameter n of the current command, raw.
  const std::string& Parameter(int n) const;
  // A parameter translated for the current language (identity without one).
  std::string Translated(int n, int slot);
  bool WizardActive() const { return wizardActive_; }
  // The shown wizard dialog's result: "NEXT", "BACK" or "CANCEL" moves the wizard.
  void DialogReturned(std::string_view result);
  // Ends the loop after the current command.
  void EndLoop() { ended_ = true; }
  void SetExitCode(int code) { environment_.state.exitCode = code; }
  // One mark per command: "SKIP", or "FALSE" for an installation-changing command that has
  // not run yet; its handler sets "TRUE" once it has.
  std::vector<std::string>& CommandMarks() { return commandMarks_; }
  // Names of the variables kept in the engine state file, in the order first marked.
  const std::vector<std::string>& PersistentVariables() const {
    return environment_.session.persistentVariables;
  }
  void AddPersistentVariable(const std::string& name) { environment_.session.AddPersistentVariable(name); }
  // Shows PROGRESSTEXT and PROGRESS on the progress display.
  void UpdateProgressDisplay();

  // Control flow, for the handlers of the flow commands.
  void JumpToLabel(const std::string& label);
  void SkipFalseBranch() { skipFalse_ = true; }
  void SkipToEnd() { skipToEnd_ = true; }
  // An "Else If" is evaluated only when the false-branch scan stopped at it; reached by
  // running through a taken branch it ends that branch.
  bool TakeElseIfFromScan();
  void StartWizard();
  void EndBlock();

 private:
  bool Prepare(const std::string& databasePath);
  void Loop(const ProgressCallback& progress);
  // Next: go on. Leave: past the last command, end the loop normally. Stop: end the run
  // without the closing log lines.
  enum class Step { Next, Leave, Stop };
  Step Iterate(const ProgressCallback& progress);
  void RefreshSettings();
  void ReportRuntimeError(const std::string& message);

  bool Counts(std::size_t index) const;
  // Moves to the next command; a scan past the last command is an error.
  void Take();
  void NormalFetch();
  // Moves forward to the first counting command named in stops that does not belong to a block
  // opened after the scan began.
  void ScanPastBlocks(std::initializer_list<std::string_view> stops);
  void FalseBranchScan();
  void EndScan();
  void WizardStep();
  void LeaveWizardAtEnd();
  void Dispatch();
  void ResetRunState();

  const ScriptLists& script_;
  Variables& variables_;
  RandomGenerator& random_;
  RunServices& services_;
  RunEnvironment environment_;
  std::unordered_map<std::string, Handler> handlers_;
  std::unordered_map<std::string, std::size_t> labels_;  // upper-cased name -> command index
  std::vector<std::string> LabelTable;                    // name, index, name, index ...
  std::vector<std::string> commandMarks_;

  int ip_ = 0;
  std::string current_;
  bool skipFalse_ = false;
  bool skipToEnd_ = false;
  bool pendingEnd_ = false;
  bool elseIfFromScan_ = false;
  bool wizardActive_ = false;
  int wizardStep_ = 0;
  bool wizardExit_ = false;
  bool ended_ = false;
  std::string previousLanguage_ = "ZILCH";
  std::string lastProgressText_;
  int lastProgress_ = 0;

  // Engine settings refreshed before every command.
  bool silent_ = false;
  std::string title_;
  std::string logo_;
};

// Registers the handlers of the control-flow commands and of "Set Variable", "Evaluate
// Expression", "Mathematics", "Terminate Install" and "Terminate with Exit Code".
void RegisterFlowCommands(ScriptRunner& runner);

// A script integer as the engine's conversions read it; Error "'x' is not a valid integer
// value" otherwise.
int ToIntegerOrError(const std::string& text);

}  // namespace zev
