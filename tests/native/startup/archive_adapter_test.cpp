#include "setup/media/archive_adapter.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zev {
namespace {

// A library that plays back what the test sets and records how it was called.
class ScriptedLibrary : public platform::ArchiveLibrary {
 public:
  std::optional<std::vector<platform::ArchiveEntry>> listing;
  int extractResult = 1;
  int lastError = 0;
  bool throwOnExtract = false;
  int passwordRequests = 3;  // how often the library asks for a password per call

  std::vector<std::string> passwordsHandedOut;
  std::vector<int> passwordAnswers;
  std::vector<int> overwriteAnswers;
  std::vector<std::string> extractedNames;
  bool keepPaths = false;
  int extractCalls = 0;
  int progressAnswer = -1;

  int ExtractArchive(const std::string&, const std::string&, const std::vector<std::string>& names,
                     bool keep, const std::string&, const platform::ArchiveCallbacks& callbacks) override {
    ++extractCalls;
    if (throwOnExtract) throw std::runtime_error("out of memory");
    AskPasswords(callbacks);
    overwriteAnswers.push_back(callbacks.overwrite());
    overwriteAnswers.push_back(callbacks.overwrite());
    progressAnswer = callbacks.progress("a.txt", 5, 10);
    EXPECT_EQ(callbacks.continueAfterError(), 1);
    extractedNames = names;
    keepPaths = keep;
    return extractResult;
  }

  std::optional<std::vector<platform::ArchiveEntry>> ListArchive(
      const std::string&, const std::string&, const platform::ArchiveCallbacks& callbacks) override {
    AskPasswords(callbacks);
    return listing;
  }

  int LastArchiveError() override { return lastError; }

 private:
  void AskPasswords(const platform::ArchiveCallbacks& callbacks) {
    for (int i = 0; i < passwordRequests; ++i) {
      char buffer[16] = "untouched";
      int answer = callbacks.password(buffer, sizeof buffer);
      passwordAnswers.push_back(answer);
      if (answer) passwordsHandedOut.emplace_back(buffer);
    }
  }
};

std::vector<platform::ArchiveEntry> Entries(std::initializer_list<const char*> names) {
  std::vector<platform::ArchiveEntry> entries;
  for (const char* name : names) entries.push_back({name});
  return entries;
}

TEST(ArchiveAdapter, PasswordIsHandedOutOncePerCall) {
  ScriptedLibrary library;
  library.listing = Entries({"a.txt"});
  ArchiveAdapter adapter(library);
  std::string error;
  ASSERT_TRUE(adapter.Extract("x.zip", "secret", R"(C:\out\)", nullptr, std::vector<std::string>{"a.txt"},
                              false, true, error));
  EXPECT_EQ(library.passwordAnswers, (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(library.passwordsHandedOut, (std::vector<std::string>{"secret"}));

  // The next call primes it again.
  ASSERT_TRUE(adapter.Extract("x.zip", "secret", R"(C:\out\)", nullptr, std::vector<std::string>{"a.txt"},
                              false, true, error));
  EXPECT_EQ(library.passwordsHandedOut.size(), 2u);
}

TEST(ArchiveAdapter, NoPasswordAnswersZeroAndLongOnesAreCut) {
  ScriptedLibrary library;
  library.listing = Entries({});
  ArchiveAdapter adapter(library);
  std::vector<std::string> names;
  std::string error;
  ASSERT_TRUE(adapter.List("x.zip", "", names, error));
  EXPECT_EQ(library.passwordAnswers, (std::vector<int>{0, 0, 0}));

  library.passwordAnswers.clear();
  ASSERT_TRUE(adapter.List("x.zip", "a-password-longer-than-the-buffer", names, error));
  EXPECT_EQ(library.passwordsHandedOut, (std::vector<std::string>{"a-password-long"}));
}

TEST(ArchiveAdapter, OverwriteAnswersFollowTheFlag) {
  ScriptedLibrary library;
  ArchiveAdapter adapter(library);
  std::string error;
  std::vector<std::string> one{"a"};
  adapter.Extract("x.zip", "", "d", nullptr, one, false, true, error);
  adapter.Extract("x.zip", "", "d", nullptr, one, true, true, error);
  EXPECT_EQ(library.overwriteAnswers, (std::vector<int>{1, 1, 4, 4}));
}

TEST(ArchiveAdapter, ExtractAllListsFirstAndPassesFlagsThrough) {
  ScriptedLibrary library;
  library.listing = Entries({"dialogs/a.dfm", "b.zevf"});
  ArchiveAdapter adapter(library);
  std::string error;
  int progressCalls = 0;
  ArchiveAdapter::Progress progress = [&](const std::string&, std::uint64_t, std::uint64_t) {
    ++progressCalls;
    return 0;
  };
  ASSERT_TRUE(adapter.Extract("x.zip", "", "d", progress, std::nullopt, true, false, error));
  EXPECT_EQ(library.extractedNames, (std::vector<std::string>{"dialogs/a.dfm", "b.zevf"}));
  EXPECT_FALSE(library.keepPaths);
  EXPECT_EQ(progressCalls, 1);
  EXPECT_EQ(library.progressAnswer, 0);

  // Without its own progress callback the adapter's default goes on.
  ASSERT_TRUE(adapter.Extract("x.zip", "", "d", nullptr, std::nullopt, true, true, error));
  EXPECT_EQ(library.progressAnswer, 1);
  EXPECT_TRUE(library.keepPaths);
}

TEST(ArchiveAdapter, ListingErrorsUseTheFixedTexts) {
  struct Case {
    int error;
    const char* text;
  } cases[] = {
      {1001, "The archive file was not found"},
      {1002, "Illegal path used in a wildcard expression"},
      {1003, "The archive cannot be opened: unsupported archive or incorrect password"},
      {1004, "General failure opening archive"},
      {0, "General failure opening archive"},
  };
  for (const auto& c : cases) {
    ScriptedLibrary library;
    library.lastError = c.error;
    ArchiveAdapter adapter(library);
    std::vector<std::string> names{"stale"};
    std::string error;
    EXPECT_FALSE(adapter.List("x.zip", "", names, error));
    EXPECT_EQ(error, c.text);
    EXPECT_TRUE(names.empty());

    // Extracting everything stops at the failed listing.
    error.clear();
    EXPECT_FALSE(adapter.Extract("x.zip", "", "d", nullptr, std::nullopt, true, true, error));
    EXPECT_EQ(error, c.text);
    EXPECT_EQ(library.extractCalls, 0);
  }
}

TEST(ArchiveAdapter, ExtractionFailureGivesTheErrorNumber) {
  ScriptedLibrary library;
  library.extractResult = 0;
  library.lastError = 1004;
  ArchiveAdapter adapter(library);
  std::string error;
  EXPECT_FALSE(adapter.Extract("x.zip", "", "d", nullptr, std::vector<std::string>{"a"}, true, true, error));
  EXPECT_EQ(error, "#1004");

  library.throwOnExtract = true;
  EXPECT_FALSE(adapter.Extract("x.zip", "", "d", nullptr, std::vector<std::string>{"a"}, true, true, error));
  EXPECT_EQ(error, "out of memory");
}

}  // namespace
}  // namespace zev
