#pragma once
#include <filesystem>

#include "setup/platform/platform.h"
#include "setup/platform/sim/sim_archive_library.h"
#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/sim/sim_installer.h"
#include "setup/platform/sim/sim_libraries.h"
#include "setup/platform/sim/sim_machine_info.h"
#include "setup/platform/sim/sim_registry.h"
#include "setup/platform/sim/sim_system_info.h"
#include "setup/platform/sim/sim_user_interface.h"

namespace zev::sim {

// A whole simulated Windows machine with its disks in a host folder.
class SimMachine {
 public:
  explicit SimMachine(const std::filesystem::path& hostRoot, OsProfile profile = OsProfile::WindowsXp())
      : files(hostRoot),
        system(std::move(profile)),
        ui(files),
        archives([this](const std::string& path) { return files.HostPath(path); }),
        libraries(files, system),
        registry(system),
        machine(system),
        platform{files, system, ui, archives, libraries, registry, machine, installer} {}

  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  SimFileSystem files;
  SimSystemInfo system;
  SimUserInterface ui;
  SimArchiveLibrary archives;
  SimLibraries libraries;
  SimRegistry registry;
  SimMachineInfo machine;
  SimInstaller installer;
  platform::Platform platform;
};

}  // namespace zev::sim
