#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "child_modes.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system_info.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

class Win32SystemInfoTest : public ::testing::Test {
 protected:
  Win32SystemInfo info;
};

TEST_F(Win32SystemInfoTest, ProgramPathCommandLineAndTempFolder) {
  std::string program = info.ExecutablePath();
  EXPECT_THAT(program, EndsWith("\\win32_platform_tests.exe"));
  EXPECT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_THAT(info.CommandLine(), HasSubstr("win32_platform_tests"));

  std::string temp = info.TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(Win32FileSystem().FolderExists(temp));
}

TEST_F(Win32SystemInfoTest, VersionAgreesWithGetVersion) {
  DWORD packed = GetVersion();
  platform::OsVersion version = info.Version();
  EXPECT_EQ(version.major, LOBYTE(LOWORD(packed)));
  EXPECT_EQ(version.minor, HIBYTE(LOWORD(packed)));
  EXPECT_EQ(version.build, static_cast<int>(HIWORD(packed)));
  EXPECT_TRUE(version.ntFamily);
}

TEST_F(Win32SystemInfoTest, VersionFollowsThePerProgramWineSetting) {
  if (!test::RunningUnderWine()) GTEST_SKIP() << "the per-program version is a Wine setting";
  test::ScratchFolder folder;
  const std::string probe = folder / "zev_version_probe.exe";
  ASSERT_TRUE(CopyFileA(test::OwnExecutablePath().c_str(), probe.c_str(), FALSE));
  test::SetWineAppDefault("zev_version_probe.exe", "", "Version", "winxp");
  test::ProgramResult result = test::RunProgram(probe, {test::kPrintVersion}, folder.Path());
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_THAT(result.output, HasSubstr("version=5.1.2600 nt=1"));
}

TEST_F(Win32SystemInfoTest, PinningLeavesOnlyTheFirstProcessor) {
  EXPECT_TRUE(info.PinToFirstProcessor());
  DWORD_PTR processMask = 0;
  DWORD_PTR systemMask = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask));
  EXPECT_EQ(processMask, 1u);
}

TEST_F(Win32SystemInfoTest, LanguageIdsComeFromTheUserLocale) {
  EXPECT_EQ(info.UserLanguageId(false), static_cast<int>(LANGIDFROMLCID(GetUserDefaultLCID())));
  EXPECT_NE(info.UserLanguageId(true), 0);
}

TEST_F(Win32SystemInfoTest, EnglishLanguageNames) {
  EXPECT_EQ(info.EnglishLanguageName(0x0407), "German");
  EXPECT_EQ(info.EnglishLanguageName(0x0409), "English");
  EXPECT_EQ(info.EnglishLanguageName(0x040C), "French");
  EXPECT_EQ(info.EnglishLanguageName(0), "");
  EXPECT_EQ(info.EnglishLanguageName(-1), "");
  EXPECT_EQ(info.EnglishLanguageName(0x10407), "");
}

TEST_F(Win32SystemInfoTest, AnsiTextBecomesUtf16) {
  EXPECT_EQ(info.AnsiToUtf16(""), u"");
  EXPECT_EQ(info.AnsiToUtf16("Setup"), u"Setup");
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, this system uses " << GetACP();
  EXPECT_EQ(info.AnsiToUtf16("Gr\xFC\xDF Gott \x80 5"), u"Gr\u00FC\u00DF Gott \u20AC 5");
  EXPECT_EQ(info.AnsiToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

}  // namespace
}  // namespace zev::win32
