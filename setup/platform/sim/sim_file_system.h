#pragma once
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "setup/platform/file_system.h"

namespace zev::sim {

// The simulated machine's disks, kept in a host folder: drive C: is <root>/c, a UNC path
// \\server\share is <root>/unc/server/share. Names follow Windows rules: backslashes or
// slashes, and letter case ignored when finding an existing entry (a new entry keeps the
// spelling it was created with). The hidden and compressed attributes, which the host folder
// cannot hold, are kept beside it by Windows path (letter case ignored) and forgotten when the
// entry is removed through this class.
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
  // Moves a file (not a folder), replacing a destination file; its attributes go with it.
  bool MoveOver(const std::string& from, const std::string& to) override;
  // Makes the entry writable and clears hidden; compression is kept.
  bool SetNormalAttributes(const std::string& path) override;
  bool SetHidden(const std::string& path) override;
  // Always supported on the simulated disks.
  bool SetCompression(const std::string& path, bool compressed) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  std::vector<platform::FolderEntry> ListFolder(const std::string& path) override;

  // Test conveniences: whole-file access by Windows path.
  void WriteText(const std::string& path, const std::string& bytes);
  std::string ReadText(const std::string& path);
  // Attributes set through SetHidden and SetCompression.
  bool IsHidden(const std::string& path) const;
  bool IsCompressed(const std::string& path) const;

 private:
  struct Attributes {
    bool hidden = false;
    bool compressed = false;
  };

  // The key of an entry in attributes_: its resolved host path below the root, lower-cased.
  std::string AttributeKey(const std::string& windowsPath) const;
  bool Exists(const std::filesystem::path& host) const;
  void ForgetAttributes(const std::string& key);

  std::filesystem::path root_;
  mutable std::mutex attributesMutex_;
  std::map<std::string, Attributes> attributes_;
};

}  // namespace zev::sim
