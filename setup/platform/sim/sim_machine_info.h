#pragma once
#include <map>

#include "setup/platform/machine_info.h"
#include "setup/platform/sim/sim_system_info.h"

namespace zev::sim {

// The folders of a simulated machine follow its profile: the Windows 9x layout, the
// "Documents and Settings" layout of 2000/XP or the "Users" layout of Vista and later.
class SimMachineInfo : public platform::MachineInfo {
 public:
  explicit SimMachineInfo(SimSystemInfo& system);

  // Shell folders by CSIDL; a test may change or remove entries.
  std::map<int, std::string> folders;
  // Whether file-system redirection is currently off, and how often it was turned off.
  bool fsRedirectionOff = false;
  int fsRedirectionPauses = 0;

  std::string SpecialFolder(int csidl) override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string Wow64SystemFolder() override;
  bool IsAdministrator() override;
  std::string UserName() override { return system_.Profile().userName; }
  bool IsWow64() override { return system_.Profile().is64Bit; }
  std::unique_ptr<platform::FsRedirectionPause> PauseFsRedirection() override;

 private:
  SimSystemInfo& system_;
};

// The folders a machine with this profile has.
std::map<int, std::string> DefaultFolders(const OsProfile& profile);

}  // namespace zev::sim
