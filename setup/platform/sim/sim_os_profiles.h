#pragma once
#include "setup/platform/sim/sim_system_info.h"

// Machines that scripts are tried against.
namespace zev::sim::profiles {

OsProfile WindowsXpSp2Administrator();
OsProfile WindowsXpSp2LimitedUser();
OsProfile WindowsVista();
// A 32-bit program on 64-bit Windows 7 (WOW64).
OsProfile Windows7x64();
OsProfile Windows98();

}  // namespace zev::sim::profiles
