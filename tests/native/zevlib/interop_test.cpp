// Archives made by real archivers: Info-ZIP's zip (stored, deflate, ZipCrypto, Zip64, streamed
// with data descriptors) and 7-Zip (WinZip AES). Skipped when the tool is not installed; the
// committed 7-Zip archive is always checked.
#include <cstdlib>
#include <random>

#include "test_support.h"

namespace zevtest {
namespace {

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

class InteropTest : public ArchiveTest {
 protected:
  void SetUp() override {
    auto src = Path("src");
    std::filesystem::create_directories(src / "docs" / "deep");
    std::filesystem::create_directories(src / "empty folder");
    std::mt19937 random(42);
    std::string noise(300 * 1024, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "TX880 line " + std::to_string(i) + "\n";
    WriteFile(src / "setup.ini", "[setup]\nname=TX880\n");
    WriteFile(src / "noise.bin", noise);
    WriteFile(src / "docs" / "manual.txt", text);
    WriteFile(src / "docs" / "deep" / "empty.txt", "");
    WriteFile(src / "docs" / "with space.txt", "spaced");
  }

  // Extracts archive and compares the result with the source tree.
  void ExpectSameAsSource(const std::filesystem::path& archive, const std::string& password) {
    std::vector<zevlib::EntryInfo> entries;
    auto listed = List(archive, entries);
    ASSERT_TRUE(listed.ok()) << listed.message;
    EXPECT_GE(entries.size(), 5u);
    auto status = Extract(archive, {}, true, password);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(ListTree(Destination()), ListTree(Path("src")));
    for (const auto& name : ListTree(Path("src"))) {
      if (name.back() == '/') continue;
      EXPECT_EQ(ReadFile(Destination() / name), ReadFile(Path("src") / name)) << name;
    }
    EXPECT_EQ(passwordQuestions, 0);
  }
};

TEST_F(InteropTest, ArchivesMadeByInfoZip) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip is not installed";
  struct Case {
    const char* label;
    std::string options;
    std::string password;
    bool streamed;
  };
  const Case cases[] = {
      {"deflate", "", "", false},
      {"stored", "-0", "", false},
      {"zipcrypto", "-P TX880pw", "TX880pw", false},
      {"zip64", "-fz", "", false},
      {"streamed", "", "", true},
      {"streamed_zipcrypto", "-P TX880pw", "TX880pw", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto archive = Path(std::string(c.label) + ".zip");
    // Written to a pipe, zip cannot seek back and writes data descriptors.
    std::string command = "cd " + Quoted(Path("src")) + " && zip -q -r " + c.options +
                          (c.streamed ? " - . | cat > " : " ") + Quoted(archive) +
                          (c.streamed ? "" : " .");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::filesystem::remove_all(Destination());
    ExpectSameAsSource(archive, c.password);
  }
}

TEST_F(InteropTest, ArchivesMadeBy7Zip) {
  if (!HaveTool("7zz")) GTEST_SKIP() << "7-Zip (7zz) is not installed";
  const char* methods[] = {"AES128", "AES192", "AES256", "ZipCrypto"};
  for (const char* method : methods) {
    SCOPED_TRACE(method);
    auto archive = Path(std::string(method) + ".zip");
    std::string command = "cd " + Quoted(Path("src")) + " && 7zz a -tzip -bd -mem=" + method +
                          " -pTX880pw " + Quoted(archive) + " . > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::filesystem::remove_all(Destination());
    ExpectSameAsSource(archive, "TX880pw");
  }
}

TEST_F(InteropTest, TheCommitted7ZipAesArchive) {
  std::string expected;
  for (int i = 1; i <= 40; ++i) {
    expected +=
        "Line " + std::to_string(i) + ": made by 7-Zip with AES-256, the TX880 driver package.\n";
  }
  passwordAnswers = {"TX880"};
  auto status = Extract(std::filesystem::path(ZEV_TEST_DATA_DIR) / "aes_7zip.zip");
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ReadFile(Destination() / "aes256.txt"), expected);
  EXPECT_EQ(ReadFile(Destination() / "aes128.txt"), "Made by 7-Zip with AES-128, stored.\n");
}

}  // namespace
}  // namespace zevtest
