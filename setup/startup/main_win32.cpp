// Entry point of the setup program.
#include <windows.h>

#include "setup/commands/catalogue.h"
#include "setup/engine/engine_script_host.h"
#include "setup/platform/win32/process_setup.h"
#include "setup/platform/win32/win32_archive_library.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_installer.h"
#include "setup/platform/win32/win32_libraries.h"
#include "setup/platform/win32/win32_machine_info.h"
#include "setup/platform/win32/win32_registry.h"
#include "setup/platform/win32/win32_system_info.h"
#include "setup/platform/win32/win32_user_interface.h"
#include "setup/startup/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  zev::win32::PrepareProcess();

  zev::win32::Win32FileSystem files;
  zev::win32::Win32SystemInfo system;
  zev::win32::Win32UserInterface ui;
  zev::win32::Win32ArchiveLibrary archives;
  zev::win32::Win32Libraries libraries;
  zev::win32::Win32Registry registry;
  zev::win32::Win32MachineInfo machine;
  zev::win32::Win32Installer installer;
  zev::platform::Platform platform{files, system, ui, archives, libraries,
                                   registry, machine, installer};

  zev::EngineScriptHost script(platform);
  zev::CommandEnvironment commandEnvironment{platform, script.Session().mode};
  script.AddCommands([&commandEnvironment](zev::ScriptRunner& runner) {
    zev::RegisterCatalogueCommands(runner, commandEnvironment);
  });
  zev::Startup startup(platform, script);
  int exitCode = startup.Run();
  ExitProcess(static_cast<UINT>(exitCode));
}
