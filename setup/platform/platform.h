#pragma once
#include "setup/platform/archive_library.h"
#include "setup/platform/file_system.h"
#include "setup/platform/installer.h"
#include "setup/platform/libraries.h"
#include "setup/platform/machine_info.h"
#include "setup/platform/registry.h"
#include "setup/platform/system_info.h"
#include "setup/platform/user_interface.h"

namespace zev::platform {

// Everything through which the engine reaches the machine. Each implementation (the real one
// and the simulated one) hands out one of these; engine objects take the parts they use.
struct Platform {
  FileSystem& files;
  SystemInfo& system;
  UserInterface& ui;
  ArchiveLibrary& archives;
  Libraries& libraries;
  Registry& registry;
  MachineInfo& machine;
  Installer& installer;
};

}  // namespace zev::platform
