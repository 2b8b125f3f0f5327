#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "setup/startup/engine_messages.h"
#include "setup/startup/setup_log.h"
#include "setup/startup/startup_state.h"

namespace zev {

// A "Display Dialog" command that start-up preloads: its position among all commands and the
// dialog name (its first parameter).
struct DialogCommand {
  std::size_t index = 0;
  std::string name;
};

// What start-up asks of the script engine and the dialog pool.
class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  // Creates the global script lists and reads the script file into them.
  virtual void ReadScriptLists(const std::string& scriptPath) = 0;
  // The enabled dialog commands, in script order.
  virtual std::vector<DialogCommand> DialogCommands() = 0;
  virtual void InitDialogPool(const std::string& supportDir) = 0;
  virtual void LoadDialog(const std::string& dialogFile, const std::string& key) = 0;
  // Runs the script to its end; the script's exit code goes into state.exitCode.
  virtual void RunScript(StartupState& state, SetupLog& log, const EngineMessages& messages) = 0;
  virtual void FreeScriptLists() = 0;
};

// Stands in while the script engine is not part of the build: the script file is read by no
// one, there are no dialogs and no command runs. Start-up and its clean-up still run for real.
class AbsentScriptEngine : public ScriptHost {
 public:
  void ReadScriptLists(const std::string&) override {}
  std::vector<DialogCommand> DialogCommands() override { return {}; }
  void InitDialogPool(const std::string&) override {}
  void LoadDialog(const std::string&, const std::string&) override {}
  void RunScript(StartupState&, SetupLog&, const EngineMessages&) override {}
  void FreeScriptLists() override {}
};

}  // namespace zev
