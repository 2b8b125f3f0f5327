#include "setup/startup/payload.h"

#include <gtest/gtest.h>

#include "setup/platform/error.h"
#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/sim/sim_libraries.h"
#include "support/pe_image.h"
#include "support/temp_folder.h"

namespace zev {
namespace {

std::span<const std::byte> Bytes(const std::string& text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

TEST(StubSize, LargestSectionEndOverAllSections) {
  struct Case {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sections;
    std::uint32_t expected;
  } cases[] = {
      {{{0x400, 0x1000}, {0x1400, 0x200}}, 0x1600},
      // The last section ends before an earlier one.
      {{{0x400, 0x3000}, {0x1400, 0x200}}, 0x3400},
      {{{0x400, 0x200}, {0x600, 0}, {0x600, 0x600}}, 0xC00},
      {{}, 0},
  };
  for (const auto& c : cases) {
    std::string image = testing::PeImage(c.sections);
    EXPECT_EQ(StubSizeFromHeaders(Bytes(image)), c.expected);
  }
}

TEST(StubSize, HeadersCutShortGiveNothing) {
  std::string image = testing::PeImage({{0x400, 0x200}, {0x600, 0x200}});
  // The last byte read is the end of the last entry's raw data pointer.
  std::size_t tableEnd = 0x80 + 4 + 20 + 224 + 40 + 24;
  for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{63}, std::size_t{0x80 + 5},
                          tableEnd - 1})
    EXPECT_FALSE(StubSizeFromHeaders(Bytes(image.substr(0, cut))).has_value()) << cut;
  EXPECT_TRUE(StubSizeFromHeaders(Bytes(image.substr(0, tableEnd))).has_value());

  std::string farAway = image;
  farAway[60] = '\xFF';
  farAway[61] = farAway[62] = farAway[63] = '\xFF';  // e_lfanew at 4 GB
  EXPECT_FALSE(StubSizeFromHeaders(Bytes(farAway)).has_value());
}

class AppendedDataTest : public ::testing::Test {
 protected:
  testing::TempFolder host;
  sim::SimFileSystem files{host.path()};
  sim::SimSystemInfo system{sim::OsProfile::WindowsXp()};
  sim::SimLibraries libraries{files, system};
  std::string image = testing::PeImage({{0x400, 0x800}});
};

TEST_F(AppendedDataTest, CopiesExactlyWhatFollowsTheImage) {
  std::string payload(200000, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  files.WriteText(R"(C:\setup.exe)", image + payload);
  auto module = libraries.LoadFromPath(R"(C:\setup.exe)");
  ASSERT_TRUE(module);
  ASSERT_TRUE(CopyAppendedData(files, R"(C:\setup.exe)", *module, R"(C:\zev.tmp)"));
  EXPECT_EQ(files.ReadText(R"(C:\zev.tmp)"), payload);
}

TEST_F(AppendedDataTest, NothingAppendedWritesNothing) {
  files.WriteText(R"(C:\setup.exe)", image);
  auto module = libraries.LoadFromPath(R"(C:\setup.exe)");
  EXPECT_FALSE(CopyAppendedData(files, R"(C:\setup.exe)", *module, R"(C:\zev.tmp)"));
  EXPECT_FALSE(files.FileExists(R"(C:\zev.tmp)"));
}

TEST_F(AppendedDataTest, StubSizeOverrideWins) {
  files.WriteText(R"(C:\setup.exe)", image + "script");
  auto module = libraries.LoadFromPath(R"(C:\setup.exe)");
  ASSERT_TRUE(CopyAppendedData(files, R"(C:\setup.exe)", *module, R"(C:\out)",
                               static_cast<std::uint32_t>(image.size() - 3)));
  EXPECT_EQ(files.ReadText(R"(C:\out)"), std::string(3, '\0') + "script");
}

TEST_F(AppendedDataTest, UnreadableFileIsAnError) {
  files.WriteText(R"(C:\setup.exe)", image + "script");
  auto module = libraries.LoadFromPath(R"(C:\setup.exe)");
  EXPECT_THROW(CopyAppendedData(files, R"(C:\missing.exe)", *module, R"(C:\out)"), Error);
}

TEST_F(AppendedDataTest, OnlyProgramImagesLoad) {
  files.WriteText(R"(C:\zev.lib)", "not an image");
  EXPECT_FALSE(libraries.LoadFromPath(R"(C:\zev.lib)"));
  EXPECT_FALSE(libraries.LoadFromPath(R"(C:\absent.lib)"));
}

}  // namespace
}  // namespace zev
