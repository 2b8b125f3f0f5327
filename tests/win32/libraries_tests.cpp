// The image size of real mapped modules: what the setup program computes from the loader's
// mapping must match the files on disk, for its own image and for a library.
#include <gtest/gtest.h>

#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_libraries.h"
#include "setup/startup/payload.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

std::span<const std::byte> AsBytes(const std::string& text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

TEST(MappedImage, ProgramImageSizeIsItsStrippedFileSize) {
  Win32Libraries libraries;
  auto program = libraries.ProgramModule();
  ASSERT_TRUE(program);
  auto fromMapping = GetStubSize(*program);
  ASSERT_TRUE(fromMapping.has_value());
  std::string file = test::ReadBytes(test::OwnExecutablePath());
  // The test program carries nothing after its last section.
  EXPECT_EQ(*fromMapping, file.size());
  EXPECT_EQ(StubSizeFromHeaders(AsBytes(file)), fromMapping);
}

TEST(MappedImage, LibraryWithAppendedBytesKeepsItsImageSize) {
  test::ScratchFolder folder;
  // A copy of a real library with a payload after its image still loads, and its mapped
  // headers give the size without the payload.
  std::string library = test::ReadBytes(
      test::FolderOf(test::OwnExecutablePath()) + "\\planted\\version.dll");
  auto imageSize = StubSizeFromHeaders(AsBytes(library));
  ASSERT_TRUE(imageSize.has_value());
  std::string path = folder / "payload.lib";
  test::WriteBytes(path, library + "appended language block\r\n");

  Win32Libraries libraries;
  auto module = libraries.LoadFromPath(path);
  ASSERT_TRUE(module) << "GetLastError " << GetLastError();
  EXPECT_EQ(GetStubSize(*module), imageSize);

  auto copied = folder / "lang.loc";
  Win32FileSystem files;
  ASSERT_TRUE(CopyAppendedData(files, path, *module, copied));
  EXPECT_EQ(test::ReadBytes(copied), "appended language block\r\n");
}

TEST(MappedImage, NonImageDoesNotLoad) {
  test::ScratchFolder folder;
  std::string path = folder / "text.lib";
  test::WriteBytes(path, "not a program image");
  Win32Libraries libraries;
  EXPECT_FALSE(libraries.LoadFromPath(path));
  EXPECT_FALSE(libraries.LoadFromPath(folder / "absent.lib"));
}

}  // namespace
}  // namespace zev::win32
