#include "setup/commands/installer_commands.h"

#include <gtest/gtest.h>

#include "command_harness.h"

namespace zev {
namespace {

using testing::CommandHarness;
using testing::ScriptCommand;
using testing::Set64;
using testing::SetVar;

TEST(Set64BitModeTest, TheLastTrueParameterWinsAndNoneKeepsTheTarget) {
  struct Case {
    std::vector<ScriptCommand> commands;
    const char* expected;
  } cases[] = {
      {{}, "Win32"},
      {{Set64(false, false, true)}, "x64"},
      {{Set64(false, true, false)}, "ia64"},
      {{Set64(true, false, true)}, "x64"},
      {{Set64(true, true, false)}, "ia64"},
      {{Set64(false, false, true), Set64(false, false, false)}, "x64"},
      {{Set64(false, false, true), Set64(true, false, false)}, "Win32"},
      {{{"Set 64 Bit Mode", {"FALSE", "-1", "false"}}}, "ia64"},
      // Booleans are read raw: a reference is not true.
      {{SetVar("YES", "TRUE"), {"Set 64 Bit Mode", {"FALSE", "FALSE", "$YES$"}}}, "Win32"},
  };
  for (const auto& c : cases) {
    CommandHarness h;
    h.Run(c.commands);
    EXPECT_EQ(h.host.Session().mode.TargetPlatform(), c.expected) << c.commands.size();
  }
}

TEST(IsMsiSetupInstalledTest, OnlyTheInstalledStateCountsAsInstalled) {
  const std::string code = "{0D1E2F30-1111-4222-8333-444455556666}";
  struct Case {
    std::optional<int> state;  // nothing: the product is not on the machine
    const char* expected;
  } cases[] = {
      {platform::install_state::kDefault, "TRUE"},
      {platform::install_state::kAdvertised, "FALSE"},
      {platform::install_state::kAbsent, "FALSE"},
      {platform::install_state::kUnknown, "FALSE"},
      {std::nullopt, "FALSE"},
  };
  for (const auto& c : cases) {
    CommandHarness h;
    if (c.state) h.machine.installer.AddProduct(code, {.state = *c.state});
    h.Run({SetVar("INSTALLED", "unset"), {"Is MSI Setup Installed", {code, "INSTALLED"}}});
    EXPECT_EQ(h.Value("INSTALLED"), c.expected) << c.state.value_or(-99);
  }
}

TEST(IsMsiSetupInstalledTest, ProductCodeIsExpandedAsAPathAndTheResultCreated) {
  CommandHarness h;
  h.machine.installer.AddProduct("{ABCDEF00-1111-4222-8333-444455556666}", {});
  h.Run({SetVar("CODE", "{abcdef00-1111-4222-8333-444455556666}"),
         {"Is MSI Setup Installed", {"$CODE$", "found"}},
         {"Is MSI Setup Installed", {"{ABCDEF00-0000-4222-8333-444455556666}", "missing"}}});
  EXPECT_EQ(h.Value("FOUND"), "TRUE");
  EXPECT_EQ(h.Value("MISSING"), "FALSE");
  EXPECT_FALSE(h.RuntimeErrorShown());
}

TEST(IsMsiSetupInstalledTest, ResultUsesItsOwnOriginInSilentRuns) {
  // Its origin is not the override origin, so a command-line value survives in silent mode.
  CommandHarness h;
  h.state.commandLine.silent = true;
  h.state.commandLine.overrides = {"INSTALLED", "FORCED"};
  h.machine.installer.AddProduct("{ABCDEF00-1111-4222-8333-444455556666}", {});
  h.Run({SetVar("INSTALLED", "FORCED"),
         {"Is MSI Setup Installed", {"{ABCDEF00-1111-4222-8333-444455556666}", "INSTALLED"}}});
  EXPECT_EQ(h.Value("INSTALLED"), "FORCED");
}

}  // namespace
}  // namespace zev
