#pragma once
#include "setup/platform/file_system.h"

namespace zev::win32 {

// The file system through the ANSI file functions of kernel32.
class Win32FileSystem final : public platform::FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool CreateFolders(const std::string& path) override;

  std::unique_ptr<platform::InputFile> OpenForReading(const std::string& path) override;
  std::unique_ptr<platform::OutputFile> CreateForWriting(const std::string& path) override;
  bool AppendToFile(const std::string& path, const void* data, std::size_t count,
                    bool truncateFirst) override;

  bool CopyOver(const std::string& from, const std::string& to) override;
  bool MoveOver(const std::string& from, const std::string& to) override;
  bool SetNormalAttributes(const std::string& path) override;
  bool SetHidden(const std::string& path) override;
  bool SetCompression(const std::string& path, bool compressed) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  std::vector<platform::FolderEntry> ListFolder(const std::string& path) override;
};

}  // namespace zev::win32
