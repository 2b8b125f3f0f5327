#pragma once
// A file written under a temporary name beside its target and renamed over the target only once
// complete and checked, so a failure never leaves a half-written file under the final name.
#include <filesystem>
#include <optional>

#include "zevlib/host_files.h"

namespace zevlib {

class PendingFile {
 public:
  // Throws ZipError(ZEV_ERROR_WRITE_FAILED) when no temporary file can be made beside target.
  explicit PendingFile(const std::filesystem::path& target);
  // Removes the temporary file unless committed.
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  OutputFile& file() { return *file_; }
  // Closes the file with the given FILETIME (0: leave it) and moves it over the target.
  void Commit(std::uint64_t fileTime);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::optional<OutputFile> file_;
  bool committed_ = false;
};

}  // namespace zevlib
