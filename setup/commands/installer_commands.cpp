#include "setup/commands/installer_commands.h"

namespace zev {

namespace {

void IsMsiSetupInstalled(ScriptRunner& run, platform::Installer& installer) {
  int state = installer.QueryProductState(PathParameter(run, 1));
  // Advertised or absent products do not count as installed.
  StoreResult(run, 2, BoolText(state == platform::install_state::kDefault), "MsiQueryProductState");
}

void Set64BitMode(ScriptRunner& run, PlatformMode& mode) {
  // Later parameters win; none true keeps the current target.
  if (BoolParameter(run, 1)) mode.SetTargetPlatform(kTargetWin32);
  if (BoolParameter(run, 2)) mode.SetTargetPlatform(kTargetIa64);
  if (BoolParameter(run, 3)) mode.SetTargetPlatform(kTargetX64);
}

}  // namespace

void RegisterInstallerCommands(ScriptRunner& runner, CommandEnvironment& environment) {
  RegisterCommand(runner, environment, "Is MSI Setup Installed", [&environment](ScriptRunner& run) {
    IsMsiSetupInstalled(run, environment.platform.installer);
  });
  RegisterCommand(runner, environment, "Set 64 Bit Mode",
                  [&environment](ScriptRunner& run) { Set64BitMode(run, environment.mode); });
}

}  // namespace zev
