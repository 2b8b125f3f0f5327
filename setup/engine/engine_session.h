#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "setup/engine/component_table.h"
#include "setup/engine/platform_mode.h"

namespace zev {

// What the engine keeps for the whole process beside the variable store: the component table,
// the persistent-variable names, the Windows Installer property list and the 64-bit mode. The
// bootstrap fills them from an installed product's state file, the commands change them, and
// the end of the run saves them.
struct EngineSession {
  ComponentTable components;
  // Names of the variables kept in the engine state file, in the order first marked.
  std::vector<std::string> persistentVariables;
  // The property list handed to Windows Installer: name, value, name, value ...
  std::vector<std::string> runProperties;
  PlatformMode mode;

  // What the last "Apply Changes" of the run did; decides how the state file is saved.
  enum class Apply { None, Installed, Removed };
  Apply lastApply = Apply::None;

  // The installed product's cache folder name where it is not the revision code (a patch run,
  // media mode 3); empty until known.
  std::string installedCacheFolder;

  // Adds a name once (names compare ignoring case).
  void AddPersistentVariable(std::string_view name);
};

}  // namespace zev
