#pragma once
#include "setup/platform/machine_info.h"

namespace zev::win32 {

class Win32MachineInfo final : public platform::MachineInfo {
 public:
  // SHGetSpecialFolderLocation and SHGetPathFromIDListA.
  std::string SpecialFolder(int csidl) override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  // GetSystemWow64DirectoryA, looked up at run time.
  std::string Wow64SystemFolder() override;
  // The process token's membership of the built-in Administrators group.
  bool IsAdministrator() override;
  std::string UserName() override;
  bool IsWow64() override;
  // Wow64DisableWow64FsRedirection and Wow64RevertWow64FsRedirection, looked up at run time.
  std::unique_ptr<platform::FsRedirectionPause> PauseFsRedirection() override;
};

}  // namespace zev::win32
