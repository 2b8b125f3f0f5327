#pragma once
#include <filesystem>
#include <string>

#include "setup/platform/file_system.h"

namespace zev::sim {

// The simulated machine's disks, kept in a host folder: drive C: is <root>/c, a UNC path
// \\server\share is <root>/unc/server/share. Names follow Windows rules: backslashes or
// slashes, and letter case ignored when finding an existing entry (a new entry keeps the
// spelling it was created with).
class SimFileSystem : public platform::FileSystem {
 public:
  explicit SimFileSystem(std::filesystem::path hostRoot);

  // The host path a Windows path refers to.
  std::filesystem::path HostPath(const std::string& windowsPath) const;

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool CreateFolders(const std::string& path) override;
  std::unique_ptr<platform::InputFile> OpenForReading(const std::string& path) override;
  std::unique_ptr<platform::OutputFile> CreateForWriting(const std::string& path) override;
  bool AppendToFile(const std::string& path, const void* data, std::size_t count,
                    bool truncateFirst) override;
  bool CopyOver(const std::string& from, const std::string& to) override;
  bool SetNormalAttributes(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  std::vector<platform::FolderEntry> ListFolder(const std::string& path) override;

  // Test conveniences: whole-file access by Windows path.
  void WriteText(const std::string& path, const std::string& bytes);
  std::string ReadText(const std::string& path);

 private:
  std::filesystem::path root_;
};

}  // namespace zev::sim
