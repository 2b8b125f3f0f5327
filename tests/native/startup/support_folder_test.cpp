#include "setup/startup/support_folder.h"

#include <gtest/gtest.h>

#include "setup/platform/sim/sim_file_system.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

class SupportFolderTest : public ::testing::Test {
 protected:
  testing::TempFolder host;
  sim::SimFileSystem files{host.path()};
  const std::string temp = R"(C:\Temp\)";
};

TEST_F(SupportFolderTest, TakesTheSmallestFreeNumber) {
  EXPECT_EQ(CreateSupportFolder(files, temp), R"(C:\Temp\zev1\)");
  files.CreateFolders(R"(C:\Temp\zev3)");
  EXPECT_EQ(CreateSupportFolder(files, temp), R"(C:\Temp\zev2\)");
  EXPECT_EQ(CreateSupportFolder(files, temp), R"(C:\Temp\zev4\)");
  EXPECT_TRUE(files.FolderExists(R"(C:\Temp\zev4)"));
}

TEST_F(SupportFolderTest, NamesAreComparedIgnoringCaseAndFilesBlockToo) {
  files.CreateFolders(R"(C:\Temp\ZEV1)");
  files.WriteText(R"(C:\Temp\zev2)", "a file");
  EXPECT_EQ(CreateSupportFolder(files, temp), R"(C:\Temp\zev3\)");
}

TEST_F(SupportFolderTest, MissingTempParentsAreCreated) {
  EXPECT_EQ(CreateSupportFolder(files, R"(C:\A\B\)"), R"(C:\A\B\zev1\)");
  EXPECT_TRUE(files.FolderExists(R"(C:\A\B\zev1\)"));
}

TEST_F(SupportFolderTest, RemovalTakesNestedAndReadOnlyContent) {
  std::string folder = CreateSupportFolder(files, temp);
  files.WriteText(folder + "a.dfm", "x");
  files.WriteText(folder + R"(sub\deeper\b.txt)", "y");
  files.CreateFolders(folder + R"(empty)");
  std::filesystem::permissions(files.HostPath(folder + "a.dfm"), std::filesystem::perms::owner_read);
  RemoveSupportFolder(files, folder);
  EXPECT_FALSE(files.FolderExists(folder));
  EXPECT_TRUE(files.FolderExists(temp));
}

TEST_F(SupportFolderTest, RemovingNothingIsHarmless) {
  EXPECT_NO_THROW(RemoveSupportFolder(files, ""));
  EXPECT_NO_THROW(RemoveSupportFolder(files, R"(C:\Temp\zev9\)"));
}

}  // namespace
}  // namespace zev
