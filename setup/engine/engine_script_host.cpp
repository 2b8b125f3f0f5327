#include "setup/engine/engine_script_host.h"

#include "setup/platform/error.h"

namespace zev {

namespace {

constexpr std::string_view kInitialization = "Initialization";

// The run's services as far as the engine has them: the variables that start-up owns are set
// at initialization; language, dialogs and plug-ins are not part of the engine yet.
class StartupRunServices : public RunServices {
 public:
  StartupRunServices(Variables& variables, const StartupState& state, const ScriptLists& script)
      : variables_(variables), state_(state), script_(script) {}

  void InitializeRun() override {
    variables_.SetVariable("SILENT", BoolText(state_.commandLine.silent), kInitialization);
    variables_.SetVariable("LOGGED", state_.commandLine.logPath, kInitialization);
    variables_.SetVariable("CMDLINE", state_.commandLine.text, kInitialization);
    variables_.SetVariable("TEMPDIR", state_.tempDir, kInitialization);
    variables_.SetVariable("SUPPORTDIR", state_.supportDir, kInitialization);
    variables_.SetVariable("TITLE", script_.productTitle, kInitialization);
  }

 private:
  Variables& variables_;
  const StartupState& state_;
  const ScriptLists& script_;
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
  StartupRunServices services(variables, state, *script_);
  ScriptRunner runner(*script_, variables, random_, services,
                      {platform_.files, platform_.system, platform_.ui, log, messages, state});
  for (const auto& registrar : registrars_) registrar(runner);
  runner.Run(state.supportDir + state.exeBaseName + ".msi");
}

}  // namespace zev
