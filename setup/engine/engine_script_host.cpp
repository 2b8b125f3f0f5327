#include "setup/engine/engine_script_host.h"

#include "setup/engine/engine_state_store.h"
#include "setup/engine/run_initialization.h"
#include "setup/platform/error.h"

namespace zev {

namespace {

// The run's services as far as the engine has them: initialization, the engine cache and the
// 64-bit mode; language, dialogs and plug-ins are not part of the engine yet.
class EngineRunServices : public RunServices {
 public:
  EngineRunServices(RunContext context, std::string databasePath)
      : context_(context), initialization_(context), databasePath_(std::move(databasePath)) {}

  void ResetCommandGlobals() override { context_.session.mode = PlatformMode(); }
  void ClearComponentLists() override { context_.session.components.Reset(context_.script.ComponentSizes); }
  void PreInitialize() override { initialization_.PreInitialize(); }
  void Bootstrap() override { initialization_.Bootstrap(); }
  void InitializeRun() override { initialization_.InitializeRun(databasePath_); }
  void RefreshEngineCache() override { initialization_.RefreshEngineCache(); }

  // The engine cache keeps the run's state once the bootstrap has looked for an earlier one.
  void SaveState() {
    if (initialization_.BootstrapDone()) EngineStateStore(context_).Save();
  }

 private:
  RunContext context_;
  RunInitialization initialization_;
  std::string databasePath_;
};

}  // namespace

void EngineScriptHost::ReadScriptLists(const std::string& scriptPath) {
  script_ = ReadScript(platform_.files, scriptPath);
}

std::vector<DialogCommand> EngineScriptHost::DialogCommands() {
  std::vector<DialogCommand> dialogs;
  if (!script_) return dialogs;
  for (std::size_t i = 0; i < script_->CommandCount(); ++i) {
    if (script_->CommandName(i) == "Display Dialog" && script_->IsEnabled(i))
      dialogs.push_back({i, script_->GetParameter(i, 1)});
  }
  return dialogs;
}

void EngineScriptHost::RunScript(StartupState& state, SetupLog& log, const EngineMessages& messages) {
  if (!script_) throw Error("The script has not been read");
  Variables variables(store_, state.commandLine.overrides, state.commandLine.silent);
  const std::string databasePath = state.supportDir + state.exeBaseName + ".msi";
  EngineRunServices services({platform_, variables, session_, *script_, state}, databasePath);
  ScriptRunner runner(*script_, variables, random_, services,
                      {platform_.files, platform_.system, platform_.ui, log, messages, state, session_});
  for (const auto& registrar : registrars_) registrar(runner);
  runner.Run(databasePath);
  services.SaveState();
}

}  // namespace zev
