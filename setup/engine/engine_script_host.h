#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "setup/engine/engine_session.h"
#include "setup/engine/mathematics.h"
#include "setup/engine/script_lists.h"
#include "setup/engine/script_runner.h"
#include "setup/engine/variable_manager.h"
#include "setup/platform/platform.h"
#include "setup/startup/script_host.h"

namespace zev {

// The script engine as start-up uses it: reads the appended script into the lists, names the
// dialogs to preload and runs the script, then saves the run's state in the engine cache. Owns
// the process-wide variable store, engine session and random generator.
class EngineScriptHost : public ScriptHost {
 public:
  // Adds command handlers to a runner before it runs (the command families register here).
  using CommandRegistrar = std::function<void(ScriptRunner&)>;

  explicit EngineScriptHost(platform::Platform& platform) : platform_(platform) {}

  void AddCommands(CommandRegistrar registrar) { registrars_.push_back(std::move(registrar)); }

  void ReadScriptLists(const std::string& scriptPath) override;
  std::vector<DialogCommand> DialogCommands() override;
  // The dialog pool arrives with the wizard; until then nothing is preloaded.
  void InitDialogPool(const std::string&) override {}
  void LoadDialog(const std::string&, const std::string&) override {}
  void RunScript(StartupState& state, SetupLog& log, const EngineMessages& messages) override;
  void FreeScriptLists() override { script_.reset(); }

  TVariableManager& Store() { return store_; }
  EngineSession& Session() { return session_; }

 private:
  platform::Platform& platform_;
  std::optional<ScriptLists> script_;
  TVariableManager store_;
  EngineSession session_;
  RandomGenerator random_;
  std::vector<CommandRegistrar> registrars_;
};

}  // namespace zev
