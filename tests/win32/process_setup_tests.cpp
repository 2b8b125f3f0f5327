#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "child_modes.h"
#include "setup/platform/win32/process_setup.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

using ::testing::HasSubstr;

// What a child reported about the library it loaded.
struct LoadReport {
  DWORD exitCode = 0;
  std::string path;
  bool planted = false;
  std::string output;
};

std::string ValueOf(const std::string& output, const std::string& key) {
  std::size_t start = output.find(key + "=");
  if (start == std::string::npos) return {};
  start += key.size() + 1;
  std::size_t end = output.find_first_of("\r\n", start);
  return output.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A download folder with the setup program and planted copies of system libraries beside it,
// plus a separate current folder holding planted copies as well. (Not version.dll: Wine's own
// user32 imports it, so under Wine a planted copy is bound before main runs.)
class PlantedLibrariesTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    program_ = downloads_ / "zev_plant_probe.exe";
    ASSERT_TRUE(CopyFileA(test::OwnExecutablePath().c_str(), program_.c_str(), FALSE));
    const std::string planted = test::FolderOf(test::OwnExecutablePath()) + "\\planted\\version.dll";
    ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads_ / GetParam()).c_str(), FALSE)) << planted;
    ASSERT_TRUE(CopyFileA(planted.c_str(), (current_ / GetParam()).c_str(), FALSE)) << planted;
    // Wine prefers its builtin libraries; Windows takes the first DLL found on the search path.
    // The probe must see the Windows behaviour for the plant to be a real threat.
    if (test::RunningUnderWine()) {
      std::string library = GetParam();
      test::SetWineAppDefault("zev_plant_probe.exe", "DllOverrides",
                              library.substr(0, library.find('.')), "native,builtin");
    }
  }

  LoadReport Run(const char* mode, const std::string& workingFolder) {
    test::ProgramResult result = test::RunProgram(program_, {mode, GetParam()}, workingFolder);
    return {result.exitCode, ValueOf(result.output, "path"),
            ValueOf(result.output, "planted") == "1", result.output};
  }

  test::ScratchFolder downloads_;
  test::ScratchFolder current_;
  std::string program_;
};

TEST_P(PlantedLibrariesTest, APlainLoadByNameTakesThePlantedCopy) {
  // Without this the other cases would prove nothing.
  LoadReport report = Run(test::kLoadByName, current_.Path());
  ASSERT_EQ(report.exitCode, 0u) << report.output;
  EXPECT_TRUE(report.planted) << report.output;
  EXPECT_FALSE(test::InSystemFolder(report.path)) << report.output;
}

TEST_P(PlantedLibrariesTest, LoadSystemLibraryTakesTheSystemCopy) {
  LoadReport report = Run(test::kLoadSystemLibrary, current_.Path());
  ASSERT_EQ(report.exitCode, 0u) << report.output;
  EXPECT_FALSE(report.planted) << report.output;
  EXPECT_TRUE(test::InSystemFolder(report.path)) << report.output;
}

TEST_P(PlantedLibrariesTest, AfterPreparationLoadsByNameSkipTheProgramAndCurrentFolders) {
  LoadReport report = Run(test::kPrepareAndLoadByName, current_.Path());
  ASSERT_EQ(report.exitCode, 0u) << report.output;
  ASSERT_THAT(report.output, HasSubstr("search=system-folder-only"))
      << "SetDefaultDllDirectories is available on every system these tests run on";
  EXPECT_FALSE(report.planted) << report.output;
  EXPECT_TRUE(test::InSystemFolder(report.path)) << report.output;
}

INSTANTIATE_TEST_SUITE_P(SystemLibraries, PlantedLibrariesTest,
                         ::testing::Values("msi.dll", "setupapi.dll"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST(LoadSystemLibraryTest, AnswersNothingForALibraryTheSystemLacks) {
  EXPECT_FALSE(LoadSystemLibrary("zev-no-such-library.dll"));
}

TEST(SystemFolderTest, IsTheSystemDirectoryWithoutTrailingBackslash) {
  std::string folder = SystemFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(test::InSystemFolder(folder + "\\kernel32.dll"));
}

}  // namespace
}  // namespace zev::win32
