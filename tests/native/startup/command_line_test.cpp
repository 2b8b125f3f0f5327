#include "setup/startup/command_line.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

using Strings = std::vector<std::string>;

TEST(CommandLineText, TakesWhatFollowsTheProgramPath) {
  struct Case {
    const char* commandLine;
    const char* text;
  } cases[] = {
      {R"("C:\Setup Files\setup.exe")", ""},
      {R"("C:\Setup Files\setup.exe" /s A=1)", "/s A=1"},
      {R"(C:\Setup\setup.exe)", ""},
      {R"(C:\Setup\setup.exe /s A=1)", "/s A=1"},
      {R"("C:\Setup\setup.exe"  /s)", " /s"},
      {R"("C:\unterminated)", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ArgumentText(c.commandLine), c.text) << c.commandLine;
}

TEST(CommandLineSplit, QuotesGroupAndAreRemoved) {
  EXPECT_EQ(SplitCommandLine(R"("C:\A B\setup.exe"  /s "target=C:\My Folder" x"y z"w)"),
            (Strings{R"(C:\A B\setup.exe)", "/s", R"(target=C:\My Folder)", "xy zw"}));
  EXPECT_EQ(SplitCommandLine("a\tb\r\nc"), (Strings{"a", "b", "c"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(CommandLineSwitches, SilentOnlyForTheExactSwitches) {
  struct Case {
    const char* argument;
    bool silent;
  } cases[] = {{"/S", true},      {"-s", true},      {"/QN", true},   {"-qn", true},
               {"/silent", false}, {"s", false},     {"/s=1", false}, {"--s", false},
               {"/q", false},      {"/update", false}};
  for (const auto& c : cases) {
    auto settings = ParseCommandLine(std::string("setup.exe ") + c.argument);
    EXPECT_EQ(settings.silent, c.silent) << c.argument;
    EXPECT_EQ(settings.suppressStartupWindows, c.silent || std::string(c.argument) == "/update")
        << c.argument;
  }
}

TEST(CommandLineSwitches, UpdateHidesWindowsWithoutSilence) {
  for (const char* argument : {"/update", "-UPDATE", "/UpdateSetup", "-updatesetup"}) {
    auto settings = ParseCommandLine(std::string("setup.exe ") + argument);
    EXPECT_TRUE(settings.suppressStartupWindows) << argument;
    EXPECT_FALSE(settings.silent) << argument;
  }
  EXPECT_FALSE(ParseCommandLine("setup.exe /updates").suppressStartupWindows);
}

TEST(CommandLineSwitches, ValueSwitchesAreLowerCasedAndFirstWins) {
  auto settings = ParseCommandLine(
      R"(setup.exe /L=C:\Logs\Setup.txt -l=D:\second.txt /G=\\Srv\Policy\x.pol /m=C:\Sfx\Pack.EXE -P=E:\Media)");
  EXPECT_EQ(settings.logPath, R"(c:\logs\setup.txt)");
  EXPECT_EQ(settings.groupPolicyPath, R"(\\srv\policy\x.pol)");
  EXPECT_EQ(settings.selfExtractorPath, R"(c:\sfx\pack.exe)");
  EXPECT_EQ(settings.mediaFolderOverride, R"(e:\media)");

  EXPECT_EQ(ParseCommandLine("setup.exe -l=first.log /l=second.log").logPath, "first.log");
  EXPECT_EQ(ParseCommandLine("setup.exe").logPath, "");
  // The switch text may stand anywhere in the parameter; three characters are dropped.
  EXPECT_EQ(ParseCommandLine("setup.exe x/l=a.log").logPath, "=a.log");
}

TEST(CommandLineOverrides, NameValuePairsInOrder) {
  auto settings = ParseCommandLine(
      R"("C:\setup.exe" "target=C:\My Folder" /s -X=1 /Y=2 =orphan a=1 A=2 b==c)");
  EXPECT_EQ(settings.overrides,
            (Strings{"TARGET", R"(C:\My Folder)", "", "orphan", "A", "1", "A", "2", "B", "=c"}));
  EXPECT_EQ(settings.text, R"("target=C:\My Folder" /s -X=1 /Y=2 =orphan a=1 A=2 b==c)");
}

}  // namespace
}  // namespace zev
