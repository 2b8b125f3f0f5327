#pragma once
// Shared by the archive library's tests: a scratch folder per test, file helpers and a recorder
// of the callbacks the library makes.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "zevlib/zevlib.h"
#include "zip_writer.h"

namespace zevtest {

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// Every file below root, as relative names with '/' (folders end with '/').
std::vector<std::string> ListTree(const std::filesystem::path& root);

// A fresh folder for each test, removed afterwards.
class ArchiveTest : public ::testing::Test {
 protected:
  ArchiveTest();
  ~ArchiveTest() override;

  std::filesystem::path Path(const std::string& name) const { return root_ / name; }
  std::filesystem::path Destination() const { return root_ / "out"; }
  // Writes the archive as test.zip and answers its path.
  std::filesystem::path MakeArchive(const std::vector<TestEntry>& entries,
                                    const ArchiveOptions& options = {});

  zevlib::Status List(const std::filesystem::path& archive,
                      std::vector<zevlib::EntryInfo>& entries);
  // Extracts with the recorder's callbacks.
  zevlib::Status Extract(const std::filesystem::path& archive,
                         const std::vector<std::string>& names = {}, bool keepPaths = true,
                         const std::string& password = {});

  // What the callbacks were asked, and what they answer.
  std::vector<std::optional<std::string>> passwordAnswers;  // one per question, in order
  int passwordQuestions = 0;
  std::optional<std::uint64_t> stopAtBytes;  // progress answers false at this many bytes
  std::vector<std::string> progressFiles;    // entry names, once each
  std::uint64_t lastDone = 0;
  bool endOnError = true;
  std::vector<std::pair<std::string, std::int32_t>> errorsSeen;
  zevlib::Overwrite overwriteAnswer = zevlib::Overwrite::Keep;
  std::vector<zevlib::ExistingFile> overwriteQuestions;

 private:
  std::filesystem::path root_;
};

}  // namespace zevtest
