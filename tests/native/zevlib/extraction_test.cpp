// Extraction: which entries, where they land, what happens to existing files, and how the
// callbacks steer and stop it.
#include <sys/resource.h>

#include <csignal>

#include "test_support.h"
#include "zevlib/host_files.h"

namespace zevtest {
namespace {

using Tree = std::vector<std::string>;

class ExtractionTest : public ArchiveTest {
 protected:
  std::filesystem::path Sample() {
    return MakeArchive({
        {.name = "setup.ini", .data = "[setup]"},
        {.name = "docs/", .data = "", .method = Method::Stored},
        {.name = "docs/readme.txt", .data = "read me"},
        {.name = "docs/license.txt", .data = "license", .method = Method::Stored},
        {.name = "docs/img/logo.bmp", .data = "BM logo"},
        {.name = "drivers\\x86\\tx880.sys", .data = "driver"},
        {.name = "notes.txt", .data = "notes"},
    });
  }
};

TEST_F(ExtractionTest, ExtractsEverythingWithFoldersAndTimes) {
  auto status = Extract(Sample());
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ListTree(Destination()),
            (Tree{"docs/", "docs/img/", "docs/img/logo.bmp", "docs/license.txt", "docs/readme.txt",
                  "drivers/", "drivers/x86/", "drivers/x86/tx880.sys", "notes.txt", "setup.ini"}));
  EXPECT_EQ(ReadFile(Destination() / "drivers/x86/tx880.sys"), "driver");
  EXPECT_EQ(ReadFile(Destination() / "docs/img/logo.bmp"), "BM logo");

  std::vector<zevlib::EntryInfo> entries;
  ASSERT_TRUE(List(Sample(), entries).ok());
  EXPECT_EQ(zevlib::QueryFile(Destination() / "setup.ini").fileTime, entries[0].fileTime);
  EXPECT_EQ(progressFiles, (Tree{"setup.ini", "docs/", "docs/readme.txt", "docs/license.txt",
                                 "docs/img/logo.bmp", "drivers\\x86\\tx880.sys", "notes.txt"}));
}

TEST_F(ExtractionTest, ExtractsTheNamedEntriesOnly) {
  struct Case {
    std::vector<std::string> names;
    Tree expected;
  };
  std::vector<Case> cases = {
      {{"notes.txt"}, {"notes.txt"}},
      {{"docs/readme.txt", "setup.ini"}, {"docs/", "docs/readme.txt", "setup.ini"}},
      // Either separator and any letter case name the same entry.
      {{"DOCS\\README.TXT"}, {"docs/", "docs/readme.txt"}},
      {{"drivers/x86/tx880.sys"}, {"drivers/", "drivers/x86/", "drivers/x86/tx880.sys"}},
      // Wildcards in the file name reach the files of that one folder.
      {{"docs/*.txt"}, {"docs/", "docs/license.txt", "docs/readme.txt"}},
      {{"*.txt"}, {"notes.txt"}},
      {{"????s.txt"}, {"notes.txt"}},
      {{"docs/r*"}, {"docs/", "docs/readme.txt"}},
      {{"docs/"}, {"docs/"}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(Destination());
    auto status = Extract(Sample(), c.names);
    EXPECT_TRUE(status.ok()) << c.names[0] << ": " << status.message;
    EXPECT_EQ(ListTree(Destination()), c.expected) << c.names[0];
  }
}

TEST_F(ExtractionTest, MalformedNamesAndWildcardFoldersAreIllegal) {
  for (std::string name : {"", "*/readme.txt", "do?s/readme.txt", "docs*\\readme.txt", "*/*"}) {
    EXPECT_EQ(Extract(Sample(), {"setup.ini", name}).error, ZEV_ERROR_ILLEGAL_WILDCARD_PATH)
        << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(ExtractionTest, ANameTheArchiveDoesNotHaveIsNotFoundAndNothingIsWritten) {
  for (std::string name : {"missing.txt", "docs/*.doc", "readme.txt", "docs/img"}) {
    auto status = Extract(Sample(), {"setup.ini", name});
    EXPECT_EQ(status.error, ZEV_ERROR_FILE_NOT_FOUND) << name;
    EXPECT_NE(status.message.find(name), std::string::npos) << status.message;
  }
  EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(ExtractionTest, AMissingArchiveIsNotFound) {
  EXPECT_EQ(Extract(Path("nowhere.zip")).error, ZEV_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Extract(Path("no/such/folder/x.zip")).error, ZEV_ERROR_FILE_NOT_FOUND);
  std::filesystem::create_directory(Path("folder.zip"));
  EXPECT_EQ(Extract(Path("folder.zip")).error, ZEV_ERROR_FILE_NOT_FOUND);
  std::vector<zevlib::EntryInfo> entries;
  EXPECT_EQ(List(Path("nowhere.zip"), entries).error, ZEV_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(zevlib::ExtractArchive({Sample(), "", {}, true, ""}, {}).error, ZEV_ERROR_BAD_ARGUMENT);
}

TEST_F(ExtractionTest, DroppingPathsWritesEveryFileIntoTheDestination) {
  auto status = Extract(Sample(), {}, /*keepPaths=*/false);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ListTree(Destination()),
            (Tree{"license.txt", "logo.bmp", "notes.txt", "readme.txt", "setup.ini", "tx880.sys"}));
  EXPECT_EQ(ReadFile(Destination() / "tx880.sys"), "driver");
}

TEST_F(ExtractionTest, DroppedPathsThatMeetAskBeforeOverwriting) {
  auto archive =
      MakeArchive({{.name = "a/x.txt", .data = "first"}, {.name = "b/x.txt", .data = "second"}});
  overwriteAnswer = zevlib::Overwrite::Keep;
  ASSERT_TRUE(Extract(archive, {}, false).ok());
  EXPECT_EQ(ReadFile(Destination() / "x.txt"), "first");
  EXPECT_EQ(overwriteQuestions.size(), 1u);
}

TEST_F(ExtractionTest, AnExistingFileIsKeptOrReplacedAsTheCallbackAnswers) {
  auto archive = MakeArchive({{.name = "dir/a.txt", .data = "new content"}});
  std::filesystem::create_directories(Destination() / "dir");
  auto existing = Destination() / "dir" / "a.txt";

  WriteFile(existing, "old");
  overwriteAnswer = zevlib::Overwrite::Keep;
  ASSERT_TRUE(Extract(archive).ok());
  EXPECT_EQ(ReadFile(existing), "old");
  ASSERT_EQ(overwriteQuestions.size(), 1u);
  EXPECT_EQ(overwriteQuestions[0].path, existing);
  EXPECT_EQ(overwriteQuestions[0].size, 3u);
  EXPECT_TRUE(progressFiles.empty());

  overwriteAnswer = zevlib::Overwrite::Replace;
  ASSERT_TRUE(Extract(archive).ok());
  EXPECT_EQ(ReadFile(existing), "new content");

  // Read-only files are replaced too.
  WriteFile(existing, "old");
  std::filesystem::permissions(
      existing, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  ASSERT_TRUE(Extract(archive).ok());
  EXPECT_EQ(ReadFile(existing), "new content");
  EXPECT_EQ(ListTree(Destination()), (Tree{"dir/", "dir/a.txt"}));
}

TEST_F(ExtractionTest, WithoutAnOverwriteCallbackExistingFilesAreKept) {
  auto archive = MakeArchive({{.name = "a.txt", .data = "new"}});
  std::filesystem::create_directories(Destination());
  WriteFile(Destination() / "a.txt", "old");
  ASSERT_TRUE(zevlib::ExtractArchive({archive, Destination(), {}, true, ""}, {}).ok());
  EXPECT_EQ(ReadFile(Destination() / "a.txt"), "old");
}

TEST_F(ExtractionTest, AFolderInTheWayOfAFileIsAWriteFailure) {
  auto archive = MakeArchive({{.name = "a.txt", .data = "new"}});
  std::filesystem::create_directories(Destination() / "a.txt");
  EXPECT_EQ(Extract(archive).error, ZEV_ERROR_WRITE_FAILED);
  auto blocked = MakeArchive({{.name = "f/b.txt", .data = "new"}});
  WriteFile(Destination() / "f", "a file where a folder should be");
  EXPECT_EQ(Extract(blocked).error, ZEV_ERROR_WRITE_FAILED);
  EXPECT_EQ(ReadFile(Destination() / "f"), "a file where a folder should be");
}

TEST_F(ExtractionTest, ProgressAnsweringStopEndsTheCallAndLeavesNoPartialFile) {
  std::string big(3 << 20, 'x');
  for (std::size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
  auto archive = MakeArchive({{.name = "first.txt", .data = "done"},
                              {.name = "big.bin", .data = big},
                              {.name = "last.txt", .data = "never"}});
  stopAtBytes = 1 << 20;
  auto status = Extract(archive);
  EXPECT_EQ(status.error, ZEV_ERROR_STOPPED);
  EXPECT_TRUE(errorsSeen.empty());  // a stop is no failure to ask about
  EXPECT_EQ(ListTree(Destination()), (Tree{"first.txt"}));
  EXPECT_EQ(progressFiles, (Tree{"first.txt", "big.bin"}));
}

TEST_F(ExtractionTest, AFailedEntryEndsTheCallOrIsSkippedAsTheCallbackAnswers) {
  std::vector<TestEntry> entries = {{.name = "good1.txt", .data = "1"},
                                    {.name = "bad.txt", .data = "2", .crcOverride = 7},
                                    {.name = "good2.txt", .data = "3"}};
  auto archive = MakeArchive(entries);
  endOnError = true;
  EXPECT_EQ(Extract(archive).error, ZEV_ERROR_DAMAGED_ENTRY);
  EXPECT_EQ(ListTree(Destination()), (Tree{"good1.txt"}));
  ASSERT_EQ(errorsSeen.size(), 1u);
  EXPECT_EQ(errorsSeen[0].first, "bad.txt");
  EXPECT_EQ(errorsSeen[0].second, ZEV_ERROR_DAMAGED_ENTRY);

  std::filesystem::remove_all(Destination());
  endOnError = false;
  EXPECT_EQ(Extract(archive).error, ZEV_ERROR_DAMAGED_ENTRY);
  EXPECT_EQ(ListTree(Destination()), (Tree{"good1.txt", "good2.txt"}));
}

// Files may not grow past a limit for a while: writes fail halfway, even for root.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int);
};

TEST_F(ExtractionTest, AFileFailingHalfwayLeavesTheOldFileAndNoPartOfTheNew) {
  std::string big(2 << 20, 'n');
  for (std::size_t i = 0; i < big.size(); i += 5) big[i] = static_cast<char>(i);
  auto archive =
      MakeArchive({{.name = "sub/a.txt", .data = big}, {.name = "sub/b.txt", .data = big}});
  std::filesystem::create_directories(Destination() / "sub");
  WriteFile(Destination() / "sub" / "a.txt", "old");
  overwriteAnswer = zevlib::Overwrite::Replace;
  zevlib::Status status;
  {
    FileSizeLimit limit(256 * 1024);
    status = Extract(archive);
  }
  EXPECT_EQ(status.error, ZEV_ERROR_WRITE_FAILED) << status.message;
  EXPECT_EQ(ListTree(Destination()), (Tree{"sub/", "sub/a.txt"}));
  EXPECT_EQ(ReadFile(Destination() / "sub" / "a.txt"), "old");
}

TEST_F(ExtractionTest, TheDestinationIsCreatedWhenMissing) {
  zevlib::ExtractRequest request{Sample(), Path("a/b/c"), {"notes.txt"}, true, ""};
  ASSERT_TRUE(zevlib::ExtractArchive(request, {}).ok());
  EXPECT_EQ(ReadFile(Path("a/b/c/notes.txt")), "notes");
}

}  // namespace
}  // namespace zevtest
