#include "setup/engine/engine_cache.h"

#include <gtest/gtest.h>

#include "setup/platform/sim/sim_machine.h"
#include "setup/platform/sim/sim_os_profiles.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

namespace profiles = sim::profiles;

struct CacheCase {
  const char* name;
  sim::OsProfile (*profile)();
  const char* perMachineRoot;
  const char* perUserRoot;
  const char* programFiles;
};

class EngineCacheTest : public ::testing::TestWithParam<CacheCase> {
 protected:
  testing::TempFolder folder;
};

TEST_P(EngineCacheTest, RootsAndProgramFilesFollowTheSystem) {
  const CacheCase& c = GetParam();
  sim::SimMachine machine(folder.path(), c.profile());
  EngineCacheLocations locations(machine.platform);
  EXPECT_EQ(locations.Root(true), c.perMachineRoot);
  EXPECT_EQ(locations.Root(false), c.perUserRoot);
  EXPECT_EQ(locations.ProgramFilesFolder(), c.programFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, EngineCacheTest,
    ::testing::Values(
        CacheCase{"XpAdministrator", profiles::WindowsXpSp2Administrator,
                  R"(C:\Documents and Settings\All Users\Application Data\)",
                  R"(C:\Documents and Settings\User\Local Settings\Application Data\)",
                  R"(C:\Program Files\)"},
        // A limited user installs below the parent of the documents folder.
        CacheCase{"XpLimitedUser", profiles::WindowsXpSp2LimitedUser,
                  R"(C:\Documents and Settings\All Users\Application Data\)",
                  R"(C:\Documents and Settings\User\Local Settings\Application Data\)",
                  R"(C:\Documents and Settings\User\)"},
        CacheCase{"Vista", profiles::WindowsVista, R"(C:\ProgramData\)",
                  R"(C:\Users\User\AppData\Local\)", R"(C:\Program Files\)"},
        // A 32-bit program on 64-bit Windows sees the 32-bit program files folder.
        CacheCase{"Windows7x64", profiles::Windows7x64, R"(C:\ProgramData\)",
                  R"(C:\Users\User\AppData\Local\)", R"(C:\Program Files (x86)\)"},
        CacheCase{"Windows98", profiles::Windows98, R"(C:\Program Files\Common Files\)",
                  R"(C:\Program Files\Common Files\)", R"(C:\Program Files\)"}),
    [](const auto& info) { return info.param.name; });

TEST(EngineCache, PerUserRootFallsBackThroughTheRoamingFolderToTheDesktopsParent) {
  testing::TempFolder folder;
  sim::SimMachine machine(folder.path(), profiles::WindowsXpSp2LimitedUser());
  EngineCacheLocations locations(machine.platform);
  machine.machine.folders.erase(platform::csidl::kLocalAppData);
  EXPECT_EQ(locations.Root(false), R"(C:\Documents and Settings\User\Application Data\)");
  machine.machine.folders.erase(platform::csidl::kAppData);
  machine.machine.folders[platform::csidl::kDesktop] = R"(C:\Profiles\Anna\Desktop)";
  EXPECT_EQ(locations.Root(false), R"(C:\Profiles\Anna\Application Data\)");
  machine.machine.folders.erase(platform::csidl::kDesktop);
  EXPECT_EQ(locations.Root(false), "");
}

TEST(EngineCache, FolderNameIsTheRevisionOrTheInstalledFolder) {
  EXPECT_EQ(EngineCacheLocations::FolderName("{REV}", 1, "TX880"), "{REV}");
  EXPECT_EQ(EngineCacheLocations::FolderName("{REV}", 2, "TX880"), "{REV}");
  EXPECT_EQ(EngineCacheLocations::FolderName("{REV}", 3, "TX880"), "TX880");
  EXPECT_EQ(ParentFolder(R"(C:\a\b\)"), R"(C:\a\)");
  EXPECT_EQ(ParentFolder(R"(C:\a\b)"), R"(C:\a\)");
}

}  // namespace
}  // namespace zev
