#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "setup/platform/archive_library.h"

namespace zev::sim {

// zev.lib on the simulated machine: the library's own core, working on the host folders that
// stand for the machine's disks.
class SimArchiveLibrary : public platform::ArchiveLibrary {
 public:
  using HostPathOf = std::function<std::filesystem::path(const std::string& windowsPath)>;

  explicit SimArchiveLibrary(HostPathOf hostPath) : hostPath_(std::move(hostPath)) {}

  int ExtractArchive(const std::string& archive, const std::string& destination,
                     const std::vector<std::string>& names, bool keepPaths,
                     const std::string& password,
                     const platform::ArchiveCallbacks& callbacks) override;
  std::optional<std::vector<platform::ArchiveEntry>> ListArchive(
      const std::string& archive, const std::string& password,
      const platform::ArchiveCallbacks& callbacks) override;
  int LastArchiveError() override;

 private:
  HostPathOf hostPath_;
};

}  // namespace zev::sim
