#pragma once
#include "setup/commands/command_context.h"

namespace zev {

// "Is MSI Setup Installed" and "Set 64 Bit Mode".
void RegisterInstallerCommands(ScriptRunner& runner, CommandEnvironment& environment);

}  // namespace zev
