// Special folders, the user and WOW64 as the real system reports them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "setup/platform/text_util.h"
#include "setup/platform/win32/win32_machine_info.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

namespace csidl = platform::csidl;

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Win32MachineInfo, SpecialFoldersExist) {
  Win32MachineInfo info;
  const int folders[] = {csidl::kDesktop,     csidl::kPersonal,      csidl::kAppData,
                         csidl::kLocalAppData, csidl::kCommonAppData, csidl::kStartMenu,
                         csidl::kPrograms,     csidl::kCommonStartMenu, csidl::kCommonPrograms,
                         csidl::kFonts,        csidl::kWindows,       csidl::kSystem,
                         csidl::kProgramFiles, csidl::kProfile};
  for (int folder : folders) {
    SCOPED_TRACE(folder);
    std::string path = info.SpecialFolder(folder);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\');
    EXPECT_TRUE(IsFolder(path)) << path;
  }
  EXPECT_EQ(info.SpecialFolder(0x7FFF), "");
}

TEST(Win32MachineInfo, WindowsAndSystemFolders) {
  Win32MachineInfo info;
  char expected[MAX_PATH];
  ASSERT_NE(GetWindowsDirectoryA(expected, MAX_PATH), 0u);
  EXPECT_EQ(info.WindowsFolder(), expected);
  ASSERT_NE(GetSystemDirectoryA(expected, MAX_PATH), 0u);
  EXPECT_EQ(info.SystemFolder(), expected);
  EXPECT_TRUE(IsFolder(info.SystemFolder()));
  if (info.IsWow64()) {
    EXPECT_TRUE(IsFolder(info.Wow64SystemFolder()));
    EXPECT_TRUE(EqualsIgnoreCase(FileNameOf(info.Wow64SystemFolder()), "SysWOW64"));
  } else {
    EXPECT_EQ(info.Wow64SystemFolder(), "");
  }
}

TEST(Win32MachineInfo, UserAndAdministrator) {
  Win32MachineInfo info;
  char name[257];
  DWORD length = sizeof name;
  ASSERT_TRUE(GetUserNameA(name, &length));
  EXPECT_EQ(info.UserName(), name);
  EXPECT_EQ(info.IsAdministrator(), static_cast<bool>(IsUserAnAdmin()));
}

TEST(Win32MachineInfo, Wow64UnderTheWineWow64Prefix) {
  Win32MachineInfo info;
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(info.IsWow64(), static_cast<bool>(wow64));
  if (test::RunningUnderWine()) {
    EXPECT_TRUE(info.IsWow64());
  }
}

// A file placed in SysWOW64 shows through System32 only while redirection is on.
TEST(Win32MachineInfo, RedirectionPauseTurnsRedirectionOffAndBack) {
  Win32MachineInfo info;
  if (!info.IsWow64()) {
    EXPECT_EQ(info.PauseFsRedirection(), nullptr);
    return;
  }
  const std::string name = "zev_redirection_" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::string real = info.Wow64SystemFolder() + "\\" + name;
  const std::string seen = info.SystemFolder() + "\\" + name;
  test::WriteBytes(real, "32");
  ASSERT_TRUE(IsFile(seen));
  {
    auto pause = info.PauseFsRedirection();
    ASSERT_NE(pause, nullptr);
    EXPECT_FALSE(IsFile(seen));
    EXPECT_TRUE(IsFile(real));
  }
  EXPECT_TRUE(IsFile(seen));
  DeleteFileA(real.c_str());
}

}  // namespace
}  // namespace zev::win32
