#pragma once
#include "setup/platform/archive_library.h"

namespace zev::win32 {

// zev.lib as the setup program imports it.
class Win32ArchiveLibrary : public platform::ArchiveLibrary {
 public:
  int ExtractArchive(const std::string& archive, const std::string& destination,
                     const std::vector<std::string>& names, bool keepPaths,
                     const std::string& password,
                     const platform::ArchiveCallbacks& callbacks) override;
  std::optional<std::vector<platform::ArchiveEntry>> ListArchive(
      const std::string& archive, const std::string& password,
      const platform::ArchiveCallbacks& callbacks) override;
  int LastArchiveError() override;
};

}  // namespace zev::win32
