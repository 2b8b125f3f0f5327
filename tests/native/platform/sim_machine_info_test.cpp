#include <gtest/gtest.h>

#include "setup/platform/sim/sim_machine_info.h"
#include "setup/platform/sim/sim_os_profiles.h"

namespace zev::sim {
namespace {

namespace csidl = platform::csidl;

struct ProfileCase {
  const char* name;
  OsProfile profile;
  bool administrator;
  bool wow64;
  const char* programFiles;
  const char* commonAppData;
  const char* userStartMenu;
  const char* commonStartMenu;
  const char* system;
  const char* wow64System;
};

std::vector<ProfileCase> ProfileCases() {
  return {
      {"xp admin", profiles::WindowsXpSp2Administrator(), true, false, "C:\\Program Files",
       "C:\\Documents and Settings\\All Users\\Application Data",
       "C:\\Documents and Settings\\User\\Start Menu", "C:\\Documents and Settings\\All Users\\Start Menu",
       "C:\\WINDOWS\\system32", ""},
      {"xp limited", profiles::WindowsXpSp2LimitedUser(), false, false, "C:\\Program Files",
       "C:\\Documents and Settings\\All Users\\Application Data",
       "C:\\Documents and Settings\\User\\Start Menu", "C:\\Documents and Settings\\All Users\\Start Menu",
       "C:\\WINDOWS\\system32", ""},
      {"vista", profiles::WindowsVista(), true, false, "C:\\Program Files", "C:\\ProgramData",
       "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
       "C:\\ProgramData\\Microsoft\\Windows\\Start Menu", "C:\\Windows\\system32", ""},
      {"7 x64", profiles::Windows7x64(), true, true, "C:\\Program Files (x86)", "C:\\ProgramData",
       "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
       "C:\\ProgramData\\Microsoft\\Windows\\Start Menu", "C:\\Windows\\system32", "C:\\Windows\\SysWOW64"},
      {"98", profiles::Windows98(), false, false, "C:\\Program Files", "", "C:\\WINDOWS\\Start Menu",
       "C:\\WINDOWS\\Start Menu", "C:\\WINDOWS\\SYSTEM", ""},
  };
}

TEST(SimMachineInfoTest, FoldersAndUserFollowTheProfile) {
  for (const ProfileCase& c : ProfileCases()) {
    SCOPED_TRACE(c.name);
    SimSystemInfo system(c.profile);
    SimMachineInfo info(system);
    EXPECT_EQ(info.IsAdministrator(), c.administrator);
    EXPECT_EQ(info.IsWow64(), c.wow64);
    EXPECT_EQ(info.UserName(), "User");
    EXPECT_EQ(info.SpecialFolder(csidl::kProgramFiles), c.programFiles);
    EXPECT_EQ(info.SpecialFolder(csidl::kCommonAppData), c.commonAppData);
    EXPECT_EQ(info.SpecialFolder(csidl::kStartMenu), c.userStartMenu);
    EXPECT_EQ(info.SpecialFolder(csidl::kCommonStartMenu), c.commonStartMenu);
    EXPECT_EQ(info.SpecialFolder(csidl::kCommonPrograms), std::string(c.commonStartMenu) + "\\Programs");
    EXPECT_EQ(info.SystemFolder(), c.system);
    EXPECT_EQ(info.Wow64SystemFolder(), c.wow64System);
    EXPECT_FALSE(info.WindowsFolder().empty());
    EXPECT_EQ(info.SpecialFolder(csidl::kFonts), info.WindowsFolder() + "\\" +
                                                   (c.profile.version.ntFamily ? "Fonts" : "FONTS"));
    EXPECT_FALSE(info.SpecialFolder(csidl::kAppData).empty());
    EXPECT_FALSE(info.SpecialFolder(csidl::kDesktop).empty());
  }
}

TEST(SimMachineInfoTest, FoldersCarryTheUserName) {
  OsProfile profile = profiles::WindowsVista();
  profile.userName = "Mira";
  SimSystemInfo system(profile);
  SimMachineInfo info(system);
  EXPECT_EQ(info.UserName(), "Mira");
  EXPECT_EQ(info.SpecialFolder(csidl::kLocalAppData), "C:\\Users\\Mira\\AppData\\Local");
  EXPECT_EQ(info.SpecialFolder(csidl::kPersonal), "C:\\Users\\Mira\\Documents");
}

TEST(SimMachineInfoTest, UnknownOrRemovedFoldersAreEmpty) {
  SimSystemInfo system(profiles::WindowsXpSp2Administrator());
  SimMachineInfo info(system);
  EXPECT_EQ(info.SpecialFolder(9999), "");
  info.folders.erase(csidl::kAppData);
  EXPECT_EQ(info.SpecialFolder(csidl::kAppData), "");
}

TEST(SimMachineInfoTest, WindowsNineXUserIsNeverAdministrator) {
  OsProfile profile = profiles::Windows98();
  profile.isAdministrator = true;
  SimSystemInfo system(profile);
  EXPECT_FALSE(SimMachineInfo(system).IsAdministrator());
}

TEST(SimMachineInfoTest, RedirectionPauseRestoresThePreviousState) {
  SimSystemInfo system(profiles::Windows7x64());
  SimMachineInfo info(system);
  {
    auto outer = info.PauseFsRedirection();
    ASSERT_NE(outer, nullptr);
    EXPECT_TRUE(info.fsRedirectionOff);
    {
      auto inner = info.PauseFsRedirection();
      EXPECT_TRUE(info.fsRedirectionOff);
    }
    EXPECT_TRUE(info.fsRedirectionOff);
  }
  EXPECT_FALSE(info.fsRedirectionOff);
  EXPECT_EQ(info.fsRedirectionPauses, 2);
}

TEST(SimMachineInfoTest, NoRedirectionToPauseOnA32BitSystem) {
  SimSystemInfo system(profiles::WindowsXpSp2Administrator());
  SimMachineInfo info(system);
  EXPECT_EQ(info.PauseFsRedirection(), nullptr);
  EXPECT_FALSE(info.fsRedirectionOff);
  EXPECT_EQ(info.fsRedirectionPauses, 0);
}

}  // namespace
}  // namespace zev::sim
