#pragma once
#include <string>
#include <string_view>

#include "setup/engine/engine_session.h"
#include "setup/engine/script_lists.h"
#include "setup/engine/variables.h"
#include "setup/platform/platform.h"
#include "setup/startup/startup_state.h"

namespace zev {

inline constexpr std::string_view kOriginPreInitialization = "Pre-Initialization";
inline constexpr std::string_view kOriginBootstrap = "Bootstrap";
inline constexpr std::string_view kOriginInitialization = "Initialization";
inline constexpr std::string_view kOriginLoadComponents = "LoadComponents";

inline constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// What a run's initialization and the saving after it work on.
struct RunContext {
  platform::Platform& platform;
  Variables& variables;
  EngineSession& session;
  const ScriptLists& script;
  const StartupState& state;

  // The setup program's file name ("setup.exe") and base name ("setup"), which names the
  // files in the engine cache.
  std::string ProgramFileName() const;
  std::string BaseName() const { return state.exeBaseName; }
  bool PerMachine() { return IsTrue(variables.GetVariable("ALLUSERS")); }
  bool NtFamily() { return platform.system.Version().ntFamily; }
  // "UninstallString" of the product's uninstall registration under one root, as a program
  // path; empty when there is none.
  std::string RegisteredUninstaller(platform::RegistryRoot root);
};

// The program path of an uninstall command line: the first double quote removed and
// everything from the next one on.
std::string UninstallerPath(std::string_view uninstallString);

// The name of the folder a program lies in ("{REV}" for "C:\Cache\{REV}\setup.exe"); empty for
// a bare file name.
std::string ContainingFolderName(std::string_view programPath);

}  // namespace zev
