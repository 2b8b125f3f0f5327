#pragma once
// Runs scripts through the engine host on a simulated machine with the command families
// registered, plus any probe commands a test adds.
#include <string>
#include <vector>

#include "script_text.h"
#include "setup/commands/catalogue.h"
#include "setup/engine/engine_script_host.h"
#include "setup/platform/sim/sim_machine.h"
#include "setup/platform/sim/sim_os_profiles.h"
#include "support/temp_folder.h"

namespace zev::testing {

inline ScriptCommand SetVar(const std::string& name, const std::string& value) {
  return {"Set Variable", {name, value, "FALSE"}};
}
inline ScriptCommand Set64(bool win32, bool ia64, bool x64) {
  auto text = [](bool value) { return std::string(value ? "TRUE" : "FALSE"); };
  return {"Set 64 Bit Mode", {text(win32), text(ia64), text(x64)}};
}

class CommandHarness {
 public:
  explicit CommandHarness(sim::OsProfile profile = sim::OsProfile::WindowsXp())
      : machine(folder.path(), std::move(profile)) {
    state.exeDir = R"(C:\Setup\)";
    state.exeBaseName = "setup";
    state.tempDir = R"(C:\Temp\)";
    state.supportDir = R"(C:\Temp\zev1\)";
    machine.files.WriteText(state.supportDir + "setup.msi", "database");
    host.AddCommands(
        [this](ScriptRunner& runner) { RegisterCatalogueCommands(runner, environment); });
  }
  CommandHarness(const CommandHarness&) = delete;
  CommandHarness& operator=(const CommandHarness&) = delete;

  // Registers a probe command on every run, with the given 64-bit flags.
  void AddProbe(const std::string& name, ScriptRunner::Handler handler, CommandFlags flags = {}) {
    host.AddCommands([this, name, handler, flags](ScriptRunner& runner) {
      RegisterCommand(runner, environment, name, handler, flags);
    });
  }

  void Run(const std::vector<ScriptCommand>& commands, const ScriptHeader& header = {}) {
    machine.files.WriteText(R"(C:\Temp\zev.tmp)", ScriptText(commands, header));
    host.ReadScriptLists(R"(C:\Temp\zev.tmp)");
    host.RunScript(state, log, messages);
  }

  std::string Value(const std::string& name) { return host.Store().Get(name); }
  bool Exists(const std::string& name) { return host.Store().Exists(name); }
  // Names as first created, each followed by its value.
  std::vector<std::string> Pairs() {
    std::vector<std::string> pairs;
    host.Store().ExportPairs(pairs);
    return pairs;
  }
  // Whether the run ended with a script runtime error.
  bool RuntimeErrorShown() const { return !machine.ui.messages.empty(); }

  TempFolder folder;
  sim::SimMachine machine;
  StartupState state;
  SetupLog log{machine.files, machine.system};
  EngineMessages messages;
  EngineScriptHost host{machine.platform};
  CommandEnvironment environment{machine.platform, host.Session().mode};
};

}  // namespace zev::testing
