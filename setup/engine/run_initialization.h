#pragma once
#include <string>

#include "setup/engine/engine_cache.h"
#include "setup/engine/run_context.h"

namespace zev {

// Fills the variable store before the first command: decides between a first installation, a
// maintenance run and an upgrade, restores an installed product's state and locates its engine
// cache; keeps ENGINECACHE and UNINSTALLLINK current while the script runs.
class RunInitialization {
 public:
  explicit RunInitialization(RunContext context);

  // TARGETDIR empty, STARTMENU the title, ALLUSERS from the user's rights.
  void PreInitialize();
  void Bootstrap();
  // The predefined component and variables, the patch's installed state, the engine cache
  // values and the removal of the resume entry.
  void InitializeRun(const std::string& databasePath);
  // Before every command.
  void RefreshEngineCache();

  bool BootstrapDone() const { return bootstrapDone_; }

 private:
  void ReadInstanceFile();
  std::string DefaultAllUsers();
  std::string DefaultTarget();
  void DetectInstalledProduct(bool& needsUpgrade, bool& maintenance);
  void LoadOldData();
  void SetInitializationVariables(const std::string& databasePath);
  void PreparePatch(const std::string& databasePath);
  void RemoveResumeEntry();
  void Set(std::string_view name, std::string_view value, std::string_view origin);

  RunContext context_;
  EngineCacheLocations locations_;
  std::string productCode_;
  std::string revisionCode_;
  std::string title_;
  bool hasInstanceFile_ = false;
  bool bootstrapDone_ = false;
};

}  // namespace zev
