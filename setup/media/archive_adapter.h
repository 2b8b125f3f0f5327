#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/platform/archive_library.h"

namespace zev {

// The one caller of the archive library: lists and extracts archives and turns the library's
// error numbers into texts.
class ArchiveAdapter {
 public:
  using Progress = std::function<int(const std::string& file, std::uint64_t done, std::uint64_t total)>;

  explicit ArchiveAdapter(platform::ArchiveLibrary& library) : library_(library) {}

  // Entry names in archive order; false with errorText on failure.
  bool List(const std::string& archive, const std::string& password,
            std::vector<std::string>& names, std::string& errorText);

  // Extracts the given files (all when none are given). overwrite replaces existing files;
  // keepPaths recreates the archive's folders under destination.
  bool Extract(const std::string& archive, const std::string& password,
               const std::string& destination, const Progress& progress,
               const std::optional<std::vector<std::string>>& files, bool overwrite,
               bool keepPaths, std::string& errorText);

  // The fixed text of an archive library error number.
  static std::string ErrorText(int error);

 private:
  platform::ArchiveCallbacks MakeCallbacks(const std::string& password, const Progress& progress,
                                           bool overwrite);

  platform::ArchiveLibrary& library_;
  // The password is handed to the library at most once per call.
  std::string primedPassword_;
};

}  // namespace zev
