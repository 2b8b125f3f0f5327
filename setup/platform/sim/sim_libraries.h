#pragma once
#include "setup/platform/libraries.h"
#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/sim/sim_system_info.h"

namespace zev::sim {

// Libraries "load" by reading the start of their file from the simulated disk, which is all
// the engine looks at in a module's image.
class SimLibraries : public platform::Libraries {
 public:
  SimLibraries(SimFileSystem& files, SimSystemInfo& system) : files_(files), system_(system) {}

  std::unique_ptr<platform::LoadedModule> LoadFromPath(const std::string& path) override;
  std::unique_ptr<platform::LoadedModule> ProgramModule() override;

 private:
  SimFileSystem& files_;
  SimSystemInfo& system_;
};

}  // namespace zev::sim
