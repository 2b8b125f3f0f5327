#include "setup/platform/sim/sim_os_profiles.h"

namespace zev::sim::profiles {

OsProfile WindowsXpSp2Administrator() {
  OsProfile profile = OsProfile::WindowsXp();
  profile.isAdministrator = true;
  return profile;
}

OsProfile WindowsXpSp2LimitedUser() {
  OsProfile profile = OsProfile::WindowsXp();
  profile.isAdministrator = false;
  return profile;
}

OsProfile WindowsVista() {
  OsProfile profile = OsProfile::Windows7();
  profile.version = {6, 0, 6002, true};
  return profile;
}

OsProfile Windows7x64() {
  OsProfile profile = OsProfile::Windows7();
  profile.is64Bit = true;
  return profile;
}

OsProfile Windows98() {
  OsProfile profile = OsProfile::Windows98();
  // Windows 9x has no user accounts with rights; the setup treats everyone alike.
  profile.isAdministrator = false;
  return profile;
}

}  // namespace zev::sim::profiles
