#include "setup/platform/sim/sim_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace zev::sim {
namespace {

namespace fs = std::filesystem;

class SimFileSystemAttributesTest : public ::testing::Test {
 protected:
  testing::TempFolder host;
  SimFileSystem files{host.path()};
};

TEST_F(SimFileSystemAttributesTest, HiddenIsSetOnFilesAndFoldersWhateverTheSpelling) {
  files.WriteText(R"(C:\Cache\state.dat)", "state");
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache)"));
  EXPECT_TRUE(files.SetHidden(R"(C:\Cache)"));
  EXPECT_TRUE(files.IsHidden(R"(c:\CACHE\)"));
  EXPECT_TRUE(files.IsHidden("C:/cache/sub/.."));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)")) << "the folder's flag is its own";
  EXPECT_TRUE(files.SetHidden(R"(C:\CACHE\STATE.DAT)"));
  EXPECT_TRUE(files.IsHidden(R"(C:\Cache\state.dat)"));
  EXPECT_TRUE(files.SetHidden(R"(C:\Cache)")) << "hiding twice is fine";
  EXPECT_TRUE(files.FolderExists(R"(C:\Cache)"));
}

TEST_F(SimFileSystemAttributesTest, HiddenIsKeptWhenOtherAttributesChange) {
  files.WriteText(R"(C:\Cache\state.dat)", "state");
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache\state.dat)"));
  EXPECT_TRUE(files.SetCompression(R"(C:\Cache\state.dat)", true));
  EXPECT_TRUE(files.SetCompression(R"(C:\Cache\state.dat)", false));
  // Read-only lives in the host permissions.
  fs::permissions(files.HostPath(R"(C:\Cache\state.dat)"), fs::perms::owner_write,
                  fs::perm_options::remove);
  EXPECT_TRUE(files.IsHidden(R"(C:\Cache\state.dat)"));
  files.WriteText(R"(C:\Cache\other.dat)", "x");
  EXPECT_TRUE(files.IsHidden(R"(C:\Cache\state.dat)"));
  EXPECT_TRUE(files.SetNormalAttributes(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)"));
}

TEST_F(SimFileSystemAttributesTest, NormalAttributesClearHiddenButKeepCompression) {
  files.CreateFolders(R"(C:\Cache)");
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache)"));
  ASSERT_TRUE(files.SetCompression(R"(C:\Cache)", true));
  EXPECT_TRUE(files.SetNormalAttributes(R"(c:\cache)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache)"));
  EXPECT_TRUE(files.IsCompressed(R"(C:\Cache)"));
}

TEST_F(SimFileSystemAttributesTest, MissingPathsAreRefused) {
  EXPECT_FALSE(files.SetHidden(R"(C:\Missing)"));
  EXPECT_FALSE(files.SetHidden(R"(C:\Missing\file.txt)"));
  EXPECT_FALSE(files.SetCompression(R"(C:\Missing)", true));
  EXPECT_FALSE(files.SetNormalAttributes(R"(C:\Missing)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Missing)"));
  EXPECT_FALSE(files.IsCompressed(R"(C:\Missing)"));
  EXPECT_FALSE(files.FolderExists(R"(C:\Missing)"));
}

TEST_F(SimFileSystemAttributesTest, CompressionSwitchesOnAndOff) {
  files.CreateFolders(R"(C:\Cache)");
  EXPECT_FALSE(files.IsCompressed(R"(C:\Cache)"));
  EXPECT_TRUE(files.SetCompression(R"(C:\Cache)", true));
  EXPECT_TRUE(files.IsCompressed(R"(C:\CACHE)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache)"));
  EXPECT_TRUE(files.SetCompression(R"(C:\Cache)", false));
  EXPECT_FALSE(files.IsCompressed(R"(C:\Cache)"));
}

TEST_F(SimFileSystemAttributesTest, RemovingForgetsTheAttributes) {
  files.WriteText(R"(C:\Cache\state.dat)", "state");
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache\state.dat)"));
  ASSERT_TRUE(files.SetCompression(R"(C:\Cache\state.dat)", true));
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache)"));
  ASSERT_TRUE(files.RemoveFile(R"(C:\CACHE\state.DAT)"));
  ASSERT_TRUE(files.RemoveFolder(R"(C:\Cache)"));
  files.WriteText(R"(C:\Cache\state.dat)", "again");
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsCompressed(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache)"));
}

TEST_F(SimFileSystemAttributesTest, MoveOverReplacesAnExistingFile) {
  files.WriteText(R"(C:\Cache\state.new)", "fresh state");
  files.WriteText(R"(C:\Cache\state.dat)", "an older and longer state");
  EXPECT_TRUE(files.MoveOver(R"(C:\Cache\STATE.NEW)", R"(c:\cache\state.dat)"));
  EXPECT_EQ(files.ReadText(R"(C:\Cache\state.dat)"), "fresh state");
  EXPECT_FALSE(files.FileExists(R"(C:\Cache\state.new)"));
  EXPECT_EQ(files.ListFolder(R"(C:\Cache)").size(), 1u);
}

TEST_F(SimFileSystemAttributesTest, MoveOverToANewNameAndAnotherFolder) {
  files.WriteText(R"(C:\A\file.txt)", "content");
  files.CreateFolders(R"(C:\B)");
  EXPECT_TRUE(files.MoveOver(R"(C:\A\file.txt)", R"(C:\B\renamed.txt)"));
  EXPECT_EQ(files.ReadText(R"(C:\b\RENAMED.txt)"), "content");
  EXPECT_FALSE(files.FileExists(R"(C:\A\file.txt)"));
}

TEST_F(SimFileSystemAttributesTest, MoveOverFailsWithoutTouchingTheDestination) {
  files.WriteText(R"(C:\Cache\state.dat)", "kept");
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.MoveOver(R"(C:\Cache\missing.new)", R"(C:\Cache\state.dat)"));
  EXPECT_EQ(files.ReadText(R"(C:\Cache\state.dat)"), "kept");
  EXPECT_TRUE(files.IsHidden(R"(C:\Cache\state.dat)"));

  // A folder is neither moved nor replaced.
  files.CreateFolders(R"(C:\Folder)");
  EXPECT_FALSE(files.MoveOver(R"(C:\Folder)", R"(C:\Cache\state.dat)"));
  EXPECT_EQ(files.ReadText(R"(C:\Cache\state.dat)"), "kept");
  files.WriteText(R"(C:\source.txt)", "source");
  EXPECT_FALSE(files.MoveOver(R"(C:\source.txt)", R"(C:\Folder)"));
  EXPECT_TRUE(files.FolderExists(R"(C:\Folder)"));
  EXPECT_TRUE(files.FileExists(R"(C:\source.txt)"));
  // A missing destination folder.
  EXPECT_FALSE(files.MoveOver(R"(C:\source.txt)", R"(C:\NoSuchFolder\x.txt)"));
  EXPECT_TRUE(files.FileExists(R"(C:\source.txt)"));
}

TEST_F(SimFileSystemAttributesTest, AttributesFollowAMove) {
  files.WriteText(R"(C:\Cache\state.new)", "fresh");
  files.WriteText(R"(C:\Cache\state.dat)", "old");
  ASSERT_TRUE(files.SetCompression(R"(C:\Cache\state.new)", true));
  ASSERT_TRUE(files.SetHidden(R"(C:\Cache\state.dat)"));  // the replaced file's flag goes away
  EXPECT_TRUE(files.MoveOver(R"(C:\Cache\state.new)", R"(C:\Cache\state.dat)"));
  EXPECT_TRUE(files.IsCompressed(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsCompressed(R"(C:\Cache\state.new)"));

  ASSERT_TRUE(files.SetHidden(R"(C:\Cache\state.dat)"));
  EXPECT_TRUE(files.MoveOver(R"(C:\Cache\state.dat)", R"(C:\Elsewhere.dat)"));
  EXPECT_TRUE(files.IsHidden(R"(C:\elsewhere.DAT)"));
  EXPECT_TRUE(files.IsCompressed(R"(C:\elsewhere.DAT)"));
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)"));
  // A new file under the old name starts plain.
  files.WriteText(R"(C:\Cache\state.dat)", "new");
  EXPECT_FALSE(files.IsHidden(R"(C:\Cache\state.dat)"));
  EXPECT_FALSE(files.IsCompressed(R"(C:\Cache\state.dat)"));
}

TEST_F(SimFileSystemAttributesTest, MovingAFileOntoItselfKeepsItAndItsAttributes) {
  files.WriteText(R"(C:\state.dat)", "same");
  ASSERT_TRUE(files.SetHidden(R"(C:\state.dat)"));
  EXPECT_TRUE(files.MoveOver(R"(C:\state.dat)", R"(C:\STATE.DAT)"));
  EXPECT_EQ(files.ReadText(R"(C:\state.dat)"), "same");
  EXPECT_TRUE(files.IsHidden(R"(C:\state.dat)"));
}

}  // namespace
}  // namespace zev::sim
