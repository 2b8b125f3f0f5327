// Entries whose names would land outside the destination, or somewhere Windows would not write
// what the name says, are refused and never written, on every platform.
#include "test_support.h"
#include "zevlib/entry_names.h"

namespace zevtest {
namespace {

using Tree = std::vector<std::string>;

struct HostileCase {
  const char* label;
  std::string name;
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.label; }

const std::vector<HostileCase> kHostileNames = {
    {"parent", "../evil.txt"},
    {"parent_backslash", "..\\evil.txt"},
    {"parent_deep", "a/b/../../../evil.txt"},
    {"parent_inside", "a/../evil.txt"},
    {"parent_mixed", "a\\..//evil.txt"},
    {"parent_blank", ".. /evil.txt"},
    {"parent_dot_blank", ". ./evil.txt"},
    {"parent_three_dots", ".../evil.txt"},
    {"parent_alone", ".."},
    {"parent_folder", "../"},
    {"current", "./evil.txt"},
    {"absolute", "/evil.txt"},
    {"absolute_backslash", "\\evil.txt"},
    {"absolute_tmp", "/tmp/evil.txt"},
    {"unc", "\\\\server\\share\\evil.txt"},
    {"unc_slashes", "//server/share/evil.txt"},
    {"device_path", "\\\\.\\PhysicalDrive0"},
    {"long_path", "\\\\?\\C:\\evil.txt"},
    {"drive", "C:\\evil.txt"},
    {"drive_relative", "C:evil.txt"},
    {"drive_slash", "c:/evil.txt"},
    {"stream", "file.txt:hidden"},
    {"stream_data", "file.txt::$DATA"},
    {"device_con", "CON"},
    {"device_lower_ext", "con.txt"},
    {"device_in_folder", "docs/NUL.tar.gz"},
    {"device_folder", "aux/readme.txt"},
    {"device_prn", "prn"},
    {"device_com", "COM1"},
    {"device_lpt", "lpt9.log"},
    {"device_blank_ext", "AUX .txt"},
    {"device_superscript", "COM\xC2\xB9.txt"},
    {"device_conin", "CONIN$"},
    {"trailing_dot_folder", "dir./evil.txt"},
    {"trailing_blank_folder", "dir /evil.txt"},
    {"trailing_dot", "evil.txt."},
    {"trailing_blank", "evil.txt "},
    {"empty_part", "a//evil.txt"},
    {"empty_part_backslash", "a\\\\evil.txt"},
    {"empty_name", ""},
    {"separator_only", "/"},
    {"control", "evil\x01.txt"},
    {"tab", "evil\t.txt"},
    {"newline_folder", "a\n/evil.txt"},
    {"delete_char", "evil\x7F.txt"},
    {"less_than", "a<b.txt"},
    {"pipe", "a|b.txt"},
    {"quote", "a\"b.txt"},
    {"star", "a*.txt"},
    {"question", "a?.txt"},
    {"bad_utf8", "caf\xC3"},
    {"overlong_utf8_dot", "\xC0\xAE\xC0\xAE/evil.txt"},
};

class HostileNameTest : public ArchiveTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileNameTest, IsRefusedAndNeverWritten) {
  const HostileCase& c = GetParam();
  TestEntry hostile{.name = c.name, .data = "evil", .utf8Flag = true};
  auto archive = MakeArchive(
      {{.name = "before.txt", .data = "1"}, hostile, {.name = "after.txt", .data = "2"}});
  std::vector<zevlib::EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());  // listing shows it; only writing is refused

  for (bool keepPaths : {true, false}) {
    std::filesystem::remove_all(Destination());
    errorsSeen.clear();
    endOnError = false;
    auto status = Extract(archive, {}, keepPaths);
    EXPECT_EQ(status.error, ZEV_ERROR_UNSAFE_ENTRY) << status.message;
    ASSERT_EQ(errorsSeen.size(), 1u);
    EXPECT_EQ(errorsSeen[0].second, ZEV_ERROR_UNSAFE_ENTRY);
    // The safe entries around it are written, and nothing else anywhere.
    EXPECT_EQ(ListTree(Destination()), (Tree{"after.txt", "before.txt"}));
    EXPECT_EQ(ListTree(Path("")), (Tree{"out/", "out/after.txt", "out/before.txt", "test.zip"}));
  }
  EXPECT_FALSE(std::filesystem::exists("/tmp/evil.txt") && ReadFile("/tmp/evil.txt") == "evil");
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNameTest, ::testing::ValuesIn(kHostileNames),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(EntryNamesTest, OrdinaryNamesPass) {
  for (std::string name :
       {"a.txt", ".hidden", "..a", "a..b.txt", "...a", "con_x.txt", "console.txt", "COM10.txt",
        "LPT0.txt", "nul-device.txt", " lead.txt", "a b/c d.txt", "deep/er/x.txt",
        "back\\slash.txt", "caf\xC3\xA9.txt", "folder/", "x\\"}) {
    EXPECT_NO_THROW(zevlib::CheckEntryName(name)) << name;
  }
  auto checked = zevlib::CheckEntryName("docs\\img/logo.bmp");
  EXPECT_EQ(checked.parts, (std::vector<std::string>{"docs", "img", "logo.bmp"}));
  EXPECT_FALSE(checked.isFolder);
  EXPECT_TRUE(zevlib::CheckEntryName("docs/img/").isFolder);
}

class LinkEscapeTest : public ArchiveTest {};

TEST_F(LinkEscapeTest, ALinkedFolderInTheDestinationCannotRedirectWrites) {
  std::filesystem::create_directories(Destination());
  std::filesystem::create_directories(Path("outside"));
  std::filesystem::create_directory_symlink(Path("outside"), Destination() / "link");
  WriteFile(Path("outside") / "precious.txt", "precious");
  std::filesystem::create_symlink(Path("outside") / "precious.txt", Destination() / "file-link");

  for (std::string name :
       {"link/evil.txt", "link/sub/evil.txt", "link\\evil.txt", "file-link", "link/"}) {
    auto archive = MakeArchive({{.name = name, .data = "evil"}});
    overwriteAnswer = zevlib::Overwrite::Replace;
    auto status = Extract(archive);
    EXPECT_EQ(status.error, ZEV_ERROR_UNSAFE_ENTRY) << name << ": " << status.message;
    EXPECT_EQ(ListTree(Path("outside")), Tree{"precious.txt"}) << name;
    EXPECT_EQ(ReadFile(Path("outside") / "precious.txt"), "precious");
  }
}

TEST_F(LinkEscapeTest, ALinkToNothingIsReplacedByTheFileItself) {
  std::filesystem::create_directories(Destination());
  std::filesystem::create_directories(Path("outside"));
  std::filesystem::create_symlink(Path("outside") / "new.txt", Destination() / "dangling");
  auto archive = MakeArchive({{.name = "dangling", .data = "inside"}});
  ASSERT_TRUE(Extract(archive).ok());
  EXPECT_FALSE(std::filesystem::is_symlink(Destination() / "dangling"));
  EXPECT_EQ(ReadFile(Destination() / "dangling"), "inside");
  EXPECT_TRUE(ListTree(Path("outside")).empty());
}

TEST_F(LinkEscapeTest, ADestinationThatIsItselfALinkIsFine) {
  std::filesystem::create_directories(Path("real"));
  std::filesystem::create_directory_symlink(Path("real"), Destination());
  auto archive = MakeArchive({{.name = "dir/a.txt", .data = "ok"}});
  ASSERT_TRUE(Extract(archive).ok());
  EXPECT_EQ(ReadFile(Path("real/dir/a.txt")), "ok");
}

}  // namespace
}  // namespace zevtest
