#include "setup/commands/catalogue.h"

#include "setup/commands/installer_commands.h"

namespace zev {

void RegisterCatalogueCommands(ScriptRunner& runner, CommandEnvironment& environment) {
  RegisterInstallerCommands(runner, environment);
}

}  // namespace zev
