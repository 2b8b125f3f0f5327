#include "test_support.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zevtest {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> ListTree(const std::filesystem::path& root) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(root)) return names;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    std::string name = item.path().lexically_relative(root).generic_string();
    if (item.is_directory() && !item.is_symlink()) name += '/';
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

ArchiveTest::ArchiveTest() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zevlib-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

ArchiveTest::~ArchiveTest() {
  std::error_code ignored;
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path ArchiveTest::MakeArchive(const std::vector<TestEntry>& entries,
                                               const ArchiveOptions& options) {
  auto path = Path("test.zip");
  WriteFile(path, BuildZip(entries, options));
  return path;
}

zevlib::Status ArchiveTest::List(const std::filesystem::path& archive,
                                 std::vector<zevlib::EntryInfo>& entries) {
  return zevlib::ListArchive(archive, entries);
}

zevlib::Status ArchiveTest::Extract(const std::filesystem::path& archive,
                                    const std::vector<std::string>& names, bool keepPaths,
                                    const std::string& password) {
  zevlib::ExtractRequest request{archive, Destination(), names, keepPaths, password};
  zevlib::ExtractCallbacks callbacks;
  callbacks.password = [this]() -> std::optional<std::string> {
    std::size_t index = static_cast<std::size_t>(passwordQuestions++);
    return index < passwordAnswers.size() ? passwordAnswers[index] : std::nullopt;
  };
  callbacks.progress = [this](const std::string& entry, std::uint64_t done, std::uint64_t total) {
    EXPECT_LE(done, total) << entry;
    if (progressFiles.empty() || progressFiles.back() != entry) progressFiles.push_back(entry);
    lastDone = done;
    return !(stopAtBytes && done >= *stopAtBytes);
  };
  callbacks.endOnError = [this](const std::string& entry, std::int32_t error) {
    errorsSeen.emplace_back(entry, error);
    return endOnError;
  };
  callbacks.overwrite = [this](const zevlib::ExistingFile& existing, const zevlib::EntryInfo&) {
    overwriteQuestions.push_back(existing);
    return overwriteAnswer;
  };
  return zevlib::ExtractArchive(request, callbacks);
}

}  // namespace zevtest
