#pragma once
#include <string>

#include "setup/engine/engine_cache.h"
#include "setup/engine/run_context.h"

namespace zev {

// Reads an installed product's engine state file into the run and writes the run's state back
// into the engine cache.
class EngineStateStore {
 public:
  explicit EngineStateStore(RunContext context) : context_(context), locations_(context.platform) {}

  // BaseName + ".dat" in the folder of that name under the cache root that holds it: the
  // per-user root when a per-user state file exists there, else the per-machine root.
  std::string StateFilePath(const std::string& folderName);
  std::string FolderPath(const std::string& folderName);

  // Replaces the component lists (keeping this package's sizes when asked) and restores
  // TARGETDIR, ALLUSERS, STARTMENU, the persistent variables and the 64-bit mode. False when the
  // file is missing or cannot be read; nothing changes then.
  bool Load(const std::string& path, bool keepSizes);
  // The saved Windows Installer property list beside a state file, when there is one.
  void LoadProperties(const std::string& statePath);

  // After the run: the cache folder hidden and compressed as VORN_COMPRESS_INSTALLER_CACHE asks;
  // with persistent variables the state file written whole after an installation, otherwise
  // an existing one rewritten with their current values.
  void Save();

 private:
  // The folder name the product's cache has in this run; empty when it cannot be known.
  std::string CacheFolderName();
  std::vector<std::pair<std::string, std::string>> PersistentValues();
  void WriteWhole(const std::string& path);
  void Rewrite(const std::string& path);

  RunContext context_;
  EngineCacheLocations locations_;
};

}  // namespace zev
