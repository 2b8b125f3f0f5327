#include "setup/engine/platform_mode.h"

#include <gtest/gtest.h>

#include "command_harness.h"
#include "setup/platform/error.h"

namespace zev {
namespace {

using testing::CommandHarness;
using testing::Set64;

TEST(PlatformModeTest, StartsAsWin32WithoutAView) {
  PlatformMode mode;
  EXPECT_EQ(mode.TargetPlatform(), "Win32");
  EXPECT_TRUE(mode.TargetsWin32());
  EXPECT_EQ(mode.RegistryViewFlag(), 0u);
  EXPECT_EQ(mode.RegistryView(), platform::RegistryView::Default);
}

TEST(PlatformModeTest, FlagMapsToTheSeamsView) {
  struct Case {
    unsigned flag;
    platform::RegistryView view;
  } cases[] = {
      {0, platform::RegistryView::Default},
      {0x100, platform::RegistryView::Force64},
      {0x200, platform::RegistryView::Force32},
  };
  for (const auto& c : cases) EXPECT_EQ(RegistryViewOf(c.flag), c.view) << c.flag;
}

struct ScopeCase {
  const char* profile;
  bool wow64;
  const char* target;
  unsigned flagInside;
  unsigned flagAfter;
  bool redirectionOffInside;
};

const ScopeCase kScopeCases[] = {
    {"Windows 7 x64", true, "Win32", 0x200, 0x200, false},
    {"Windows 7 x64", true, "x64", 0x100, 0x200, true},
    {"Windows 7 x64", true, "ia64", 0x100, 0x200, true},
    {"Windows XP", false, "Win32", 0, 0, false},
    {"Windows XP", false, "x64", 0, 0, false},
};

sim::OsProfile ProfileOf(bool wow64) {
  return wow64 ? sim::profiles::Windows7x64() : sim::OsProfile::WindowsXp();
}

TEST(PlatformScopesTest, ViewFlagAndRedirectionFollowTargetAndWow64) {
  for (const auto& c : kScopeCases) {
    sim::SimSystemInfo system(ProfileOf(c.wow64));
    sim::SimMachineInfo machine(system);
    PlatformMode mode;
    mode.SetTargetPlatform(c.target);
    {
      RegistryViewScope view(mode, machine);
      RedirectionScope redirection(mode, machine);
      EXPECT_EQ(mode.RegistryViewFlag(), c.flagInside) << c.profile << " " << c.target;
      EXPECT_EQ(machine.fsRedirectionOff, c.redirectionOffInside) << c.profile << " " << c.target;
    }
    EXPECT_EQ(mode.RegistryViewFlag(), c.flagAfter) << c.profile << " " << c.target;
    EXPECT_FALSE(machine.fsRedirectionOff) << c.profile << " " << c.target;
  }
}

struct Seen {
  unsigned flag = 0xFFFF;
  bool redirectionOff = false;
};

// Runs a probe registered with the flags after "Set 64 Bit Mode" selected the target.
Seen RunProbe(CommandHarness& h, CommandFlags flags, const std::string& target, bool fail) {
  Seen seen;
  h.AddProbe("Probe", [&h, &seen, fail](ScriptRunner&) {
    seen.flag = h.host.Session().mode.RegistryViewFlag();
    seen.redirectionOff = h.machine.machine.fsRedirectionOff;
    if (fail) throw Error("probe failed");
  }, flags);
  h.Run({Set64(target == "Win32", target == "ia64", target == "x64"), {"Probe", {}}});
  return seen;
}

TEST(PlatformScopesTest, CommandsMarkedRAndVGetBothScopesAndLeaveThemEvenWhenTheyFail) {
  for (bool fail : {false, true}) {
    for (const auto& c : kScopeCases) {
      CommandHarness h(ProfileOf(c.wow64));
      Seen seen = RunProbe(h, {.r = true, .v = true}, c.target, fail);
      std::string label = std::string(c.profile) + " " + c.target + (fail ? " failing" : "");
      EXPECT_EQ(seen.flag, c.flagInside) << label;
      EXPECT_EQ(seen.redirectionOff, c.redirectionOffInside) << label;
      EXPECT_EQ(h.host.Session().mode.RegistryViewFlag(), c.flagAfter) << label;
      EXPECT_FALSE(h.machine.machine.fsRedirectionOff) << label;
      EXPECT_EQ(h.machine.machine.fsRedirectionPauses, c.redirectionOffInside ? 1 : 0) << label;
      EXPECT_EQ(h.RuntimeErrorShown(), fail) << label;
    }
  }
}

TEST(PlatformScopesTest, EachFlagBringsOnlyItsOwnScope) {
  struct Case {
    CommandFlags flags;
    unsigned flagInside;
    bool redirectionOff;
  } cases[] = {
      {{}, 0, false},
      {{.r = true}, 0, true},
      {{.v = true}, 0x100, false},
  };
  for (const auto& c : cases) {
    CommandHarness h(sim::profiles::Windows7x64());
    Seen seen = RunProbe(h, c.flags, "x64", false);
    EXPECT_EQ(seen.flag, c.flagInside) << c.flags.r << c.flags.v;
    EXPECT_EQ(seen.redirectionOff, c.redirectionOff) << c.flags.r << c.flags.v;
  }
}

}  // namespace
}  // namespace zev
