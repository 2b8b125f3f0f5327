#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "setup/platform/error.h"
#include "setup/platform/win32/system_error.h"
#include "setup/platform/win32/unique_handles.h"
#include "setup/platform/win32/win32_file_system.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

class Win32FileSystemTest : public ::testing::Test {
 protected:
  std::string ErrorOf(auto&& action) {
    try {
      action();
    } catch (const Error& error) {
      return error.what();
    }
    ADD_FAILURE() << "no zev::Error thrown";
    return {};
  }

  std::vector<std::pair<std::string, bool>> Listing(const std::string& folder) {
    std::vector<std::pair<std::string, bool>> entries;
    for (const auto& entry : files.ListFolder(folder)) entries.emplace_back(entry.name, entry.isFolder);
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  test::ScratchFolder scratch;
  Win32FileSystem files;
};

TEST_F(Win32FileSystemTest, WritesThenReadsBackWithSizeAndSeek) {
  const std::string path = scratch / "data.bin";
  {
    auto output = files.CreateForWriting(path);
    output->Write("0123456789", 10);
    output->Write("abc", 3);
  }
  auto input = files.OpenForReading(path);
  EXPECT_EQ(input->Size(), 13u);
  input->Seek(8);
  char buffer[16] = {};
  ASSERT_EQ(input->Read(buffer, sizeof(buffer)), 5u);
  EXPECT_EQ(std::string(buffer, 5), "89abc");
  EXPECT_EQ(input->Read(buffer, sizeof(buffer)), 0u);
}

TEST_F(Win32FileSystemTest, CreateForWritingEmptiesAnExistingFile) {
  const std::string path = scratch / "old.txt";
  WriteBytes(path, "a much longer old content");
  files.CreateForWriting(path)->Write("new", 3);
  EXPECT_EQ(ReadBytes(path), "new");
}

TEST_F(Win32FileSystemTest, OpenErrorsNameTheFileAndTheSystemReason) {
  const std::string missing = scratch / "missing.bin";
  std::string readError = ErrorOf([&] { files.OpenForReading(missing); });
  EXPECT_THAT(readError, HasSubstr(missing));
  EXPECT_THAT(readError, HasSubstr(SystemErrorText(ERROR_FILE_NOT_FOUND)));

  const std::string inMissingFolder = scratch / "no-such-folder\\file.bin";
  std::string writeError = ErrorOf([&] { files.CreateForWriting(inMissingFolder); });
  EXPECT_THAT(writeError, HasSubstr(inMissingFolder));
  EXPECT_THAT(writeError, HasSubstr(SystemErrorText(ERROR_PATH_NOT_FOUND)));
}

TEST_F(Win32FileSystemTest, CreateFoldersMakesEveryMissingParent) {
  const std::string deepest = scratch / "a\\b\\c";
  EXPECT_TRUE(files.CreateFolders(deepest + "\\"));
  EXPECT_TRUE(files.FolderExists(scratch / "a"));
  EXPECT_TRUE(files.FolderExists(deepest));
  EXPECT_FALSE(files.FileExists(deepest));
  EXPECT_TRUE(files.CreateFolders(deepest)) << "an existing folder counts as created";

  WriteBytes(scratch / "plain-file", "x");
  EXPECT_FALSE(files.CreateFolders(scratch / "plain-file\\child"));
  EXPECT_TRUE(files.FileExists(scratch / "plain-file"));
  EXPECT_FALSE(files.FolderExists(scratch / "plain-file"));
}

TEST_F(Win32FileSystemTest, AppendToFileAppendsCreatesAndTruncates) {
  const std::string log = scratch / "setup.log";
  EXPECT_TRUE(files.AppendToFile(log, "one", 3, false));
  EXPECT_TRUE(files.AppendToFile(log, "two", 3, false));
  EXPECT_EQ(ReadBytes(log), "onetwo");
  EXPECT_TRUE(files.AppendToFile(log, "three", 5, true));
  EXPECT_EQ(ReadBytes(log), "three");
  EXPECT_FALSE(files.AppendToFile(scratch / "no-such-folder\\x.log", "x", 1, false));
}

TEST_F(Win32FileSystemTest, AppendToFileWorksWhileAnotherWriterHasTheFileOpen) {
  const std::string log = scratch / "shared.log";
  UniqueHandle otherWriter(CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(otherWriter);
  EXPECT_TRUE(files.AppendToFile(log, "line\r\n", 6, false));
  otherWriter.Reset();
  EXPECT_EQ(ReadBytes(log), "line\r\n");
}

TEST_F(Win32FileSystemTest, CopyOverReplacesTheDestination) {
  WriteBytes(scratch / "from", "new content");
  WriteBytes(scratch / "to", "old");
  EXPECT_TRUE(files.CopyOver(scratch / "from", scratch / "to"));
  EXPECT_EQ(ReadBytes(scratch / "to"), "new content");
  EXPECT_FALSE(files.CopyOver(scratch / "missing", scratch / "to"));
  EXPECT_EQ(ReadBytes(scratch / "to"), "new content");
}

TEST_F(Win32FileSystemTest, NormalAttributesMakeAReadOnlyHiddenFileRemovable) {
  const std::string path = scratch / "locked.txt";
  WriteBytes(path, "x");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(files.RemoveFile(path));
  EXPECT_TRUE(files.SetNormalAttributes(path));
  DWORD attributes = GetFileAttributesA(path.c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
  EXPECT_TRUE(files.RemoveFile(path));
  EXPECT_FALSE(files.FileExists(path));
  EXPECT_FALSE(files.RemoveFile(path));
  EXPECT_FALSE(files.SetNormalAttributes(path));
}

TEST_F(Win32FileSystemTest, MoveOverReplacesTheDestinationAndRemovesTheSource) {
  WriteBytes(scratch / "state.new", "fresh state");
  WriteBytes(scratch / "state.dat", "an older and longer state");
  EXPECT_TRUE(files.MoveOver(scratch / "state.new", scratch / "state.dat"));
  EXPECT_EQ(ReadBytes(scratch / "state.dat"), "fresh state");
  EXPECT_FALSE(files.FileExists(scratch / "state.new"));
  EXPECT_THAT(Listing(scratch.Path()), ElementsAre(Pair("state.dat", false)));

  ASSERT_TRUE(CreateDirectoryA((scratch / "sub").c_str(), nullptr));
  EXPECT_TRUE(files.MoveOver(scratch / "state.dat", scratch / "sub\\moved.dat"));
  EXPECT_EQ(ReadBytes(scratch / "sub\\moved.dat"), "fresh state");
  EXPECT_FALSE(files.FileExists(scratch / "state.dat"));
}

TEST_F(Win32FileSystemTest, MoveOverOfAMissingSourceLeavesTheDestinationAlone) {
  WriteBytes(scratch / "state.dat", "kept");
  EXPECT_FALSE(files.MoveOver(scratch / "missing.new", scratch / "state.dat"));
  EXPECT_EQ(ReadBytes(scratch / "state.dat"), "kept");
}

TEST_F(Win32FileSystemTest, SetHiddenOnAFolderKeepsItAFolder) {
  const std::string folder = scratch / "cache";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_TRUE(files.SetHidden(folder));
  DWORD attributes = GetFileAttributesA(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_TRUE(files.FolderExists(folder));
  EXPECT_TRUE(files.SetHidden(folder)) << "hiding twice is fine";
  // A hidden folder still takes new files.
  EXPECT_TRUE(files.AppendToFile(folder + "\\state.dat", "x", 1, true));
}

TEST_F(Win32FileSystemTest, SetHiddenKeepsTheOtherAttributesOfAFile) {
  const std::string path = scratch / "state.dat";
  WriteBytes(path, "x");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(files.SetHidden(path));
  DWORD attributes = GetFileAttributesA(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(files.SetNormalAttributes(path));
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_FALSE(files.SetHidden(scratch / "missing"));
}

TEST_F(Win32FileSystemTest, SetCompressionAgreesWithTheCompressedAttribute) {
  const std::string folder = scratch / "cache";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string file = folder + "\\state.dat";
  WriteBytes(file, "x");
  EXPECT_FALSE(files.SetCompression(scratch / "missing", true));
  auto compressed = [](const std::string& path) {
    return (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_COMPRESSED) != 0;
  };
  bool any = false;
  for (const std::string& path : {folder, file}) {
    if (files.SetCompression(path, true)) {
      any = true;
      EXPECT_TRUE(compressed(path)) << path;
      EXPECT_TRUE(files.SetCompression(path, false)) << path;
      EXPECT_FALSE(compressed(path)) << path;
    }
    // Whatever the answer, the entry is still there and usable.
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  }
  EXPECT_EQ(ReadBytes(file), "x");
  if (!any) GTEST_SKIP() << "this file system refuses FSCTL_SET_COMPRESSION (Wine does)";
}

TEST_F(Win32FileSystemTest, ListFolderNamesFilesAndFoldersButNotTheDotEntries) {
  WriteBytes(scratch / "a.txt", "a");
  ASSERT_TRUE(CreateDirectoryA((scratch / "sub").c_str(), nullptr));
  EXPECT_THAT(Listing(scratch.Path()), ElementsAre(Pair("a.txt", false), Pair("sub", true)));
  EXPECT_THAT(Listing(scratch.Path() + "\\"), ElementsAre(Pair("a.txt", false), Pair("sub", true)));
  EXPECT_TRUE(Listing(scratch / "sub").empty());
  EXPECT_TRUE(Listing(scratch / "missing").empty());
}

TEST_F(Win32FileSystemTest, RemoveFolderOnlyRemovesEmptyFolders) {
  const std::string folder = scratch / "full";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  WriteBytes(folder + "\\file", "x");
  EXPECT_FALSE(files.RemoveFolder(folder));
  EXPECT_TRUE(files.RemoveFile(folder + "\\file"));
  EXPECT_TRUE(files.RemoveFolder(folder));
  EXPECT_FALSE(files.FolderExists(folder));
}

TEST_F(Win32FileSystemTest, NamesInTheAnsiCodePageSurviveTheRoundTrip) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, this system uses " << GetACP();
  const std::string name = "Gr\xFC\xDF" "e \xC9t\xE9.txt";  // "Grüße Été.txt"
  files.CreateForWriting(scratch / name)->Write("x", 1);
  EXPECT_THAT(Listing(scratch.Path()), ElementsAre(Pair(name, false)));
  EXPECT_TRUE(files.FileExists(scratch / name));
  // The wide name proves the bytes were read as code page 1252 and not as something else.
  WIN32_FIND_DATAW found{};
  std::wstring pattern = std::wstring(scratch.Path().begin(), scratch.Path().end()) + L"\\*.txt";
  UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
  ASSERT_TRUE(search);
  EXPECT_EQ(std::wstring(found.cFileName), L"Gr\u00FC\u00DFe \u00C9t\u00E9.txt");
}

}  // namespace
}  // namespace zev::win32
