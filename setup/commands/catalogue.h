#pragma once
#include "setup/commands/command_context.h"

namespace zev {

// Registers the handlers of every built-in command family on a runner.
void RegisterCatalogueCommands(ScriptRunner& runner, CommandEnvironment& environment);

}  // namespace zev
