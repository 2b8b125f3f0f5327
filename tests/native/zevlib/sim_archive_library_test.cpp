// The simulated machine's zev.lib: Windows paths mapped to host folders, the engine's callbacks
// answered in the library's terms.
#include "setup/platform/sim/sim_archive_library.h"

#include <cstring>

#include "test_support.h"

namespace zevtest {
namespace {

class SimArchiveLibraryTest : public ArchiveTest {
 protected:
  zev::sim::SimArchiveLibrary library{[this](const std::string& windowsPath) {
    mappedPaths.push_back(windowsPath);
    std::string rest = windowsPath.substr(3);  // drop "C:\"
    for (auto& c : rest) c = c == '\\' ? '/' : c;
    return Path("c") / rest;
  }};
  std::vector<std::string> mappedPaths;
};

TEST_F(SimArchiveLibraryTest, ListsAndExtractsThroughWindowsPaths) {
  std::filesystem::create_directories(Path("c/media"));
  WriteFile(Path("c/media/data.zip"),
            BuildZip({{.name = "dir/a.txt", .data = "alpha"}, {.name = "b.txt", .data = "beta"}}));

  auto entries = library.ListArchive("C:\\media\\data.zip", "", {});
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].name, "dir/a.txt");
  EXPECT_EQ((*entries)[0].size, 5u);
  EXPECT_EQ(library.LastArchiveError(), 0);

  std::vector<std::string> progress;
  zev::platform::ArchiveCallbacks callbacks;
  callbacks.progress = [&](const std::string& file, std::uint64_t, std::uint64_t) {
    progress.push_back(file);
    return 1;
  };
  ASSERT_NE(library.ExtractArchive("C:\\media\\data.zip", "C:\\target", {"dir/a.txt"}, false, "",
                                   callbacks),
            0);
  EXPECT_EQ(ReadFile(Path("c/target/a.txt")), "alpha");
  EXPECT_EQ(progress, (std::vector<std::string>{"dir/a.txt", "dir/a.txt"}));
  EXPECT_EQ(mappedPaths.back(), "C:\\target");
}

TEST_F(SimArchiveLibraryTest, ErrorsAndAnswersReachTheEngine) {
  std::filesystem::create_directories(Path("c/target"));
  WriteFile(Path("c/enc.zip"), BuildZip({{.name = "a.txt",
                                          .data = "new",
                                          .encryption = Encryption::ZipCrypto,
                                          .password = "pw"}}));
  WriteFile(Path("c/target/a.txt"), "old");

  EXPECT_FALSE(library.ListArchive("C:\\missing.zip", "", {}));
  EXPECT_EQ(library.LastArchiveError(), ZEV_ERROR_FILE_NOT_FOUND);

  int passwordQuestions = 0;
  zev::platform::ArchiveCallbacks callbacks;
  callbacks.password = [&](char* buffer, std::size_t size) {
    ++passwordQuestions;
    EXPECT_EQ(size, static_cast<std::size_t>(ZEV_PASSWORD_BUFFER_SIZE));
    std::strcpy(buffer, "pw");
    return 1;
  };
  callbacks.overwrite = [] { return ZEV_OVERWRITE_KEEP; };
  ASSERT_NE(library.ExtractArchive("C:\\enc.zip", "C:\\target", {}, true, "", callbacks), 0);
  EXPECT_EQ(ReadFile(Path("c/target/a.txt")), "old");

  callbacks.overwrite = [] { return ZEV_OVERWRITE_REPLACE; };
  ASSERT_NE(library.ExtractArchive("C:\\enc.zip", "C:\\target", {}, true, "", callbacks), 0);
  EXPECT_EQ(ReadFile(Path("c/target/a.txt")), "new");
  EXPECT_EQ(passwordQuestions, 1);

  callbacks.password = [](char*, std::size_t) { return 0; };
  EXPECT_EQ(library.ExtractArchive("C:\\enc.zip", "C:\\target", {}, true, "", callbacks), 0);
  EXPECT_EQ(library.LastArchiveError(), ZEV_ERROR_CANNOT_OPEN);

  callbacks.progress = [](const std::string&, std::uint64_t, std::uint64_t) { return 0; };
  EXPECT_EQ(library.ExtractArchive("C:\\enc.zip", "C:\\target", {}, true, "pw", callbacks), 0);
  EXPECT_EQ(library.LastArchiveError(), ZEV_ERROR_STOPPED);
}

}  // namespace
}  // namespace zevtest
