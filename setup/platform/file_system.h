#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zev::platform {

// A file opened for reading. Read returns fewer bytes than asked only at the end of the file.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::uint64_t Size() = 0;
  virtual void Seek(std::uint64_t offset) = 0;
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual void Write(const void* data, std::size_t count) = 0;
};

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// Windows paths (drive letters, backslashes, case-insensitive names) in the ANSI code page.
// Operations that open files throw zev::Error with a readable message; the others report
// success as a bool and never throw.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates the folder and any missing parents; true when the folder exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;

  virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;
  // Creates the file or truncates an existing one.
  virtual std::unique_ptr<OutputFile> CreateForWriting(const std::string& path) = 0;
  // Opens, appends and closes in one go, so a crash loses nothing already written. With
  // truncateFirst the file is created empty (or emptied) before the bytes are written.
  virtual bool AppendToFile(const std::string& path, const void* data, std::size_t count,
                            bool truncateFirst) = 0;

  // Copies a file, replacing the destination.
  virtual bool CopyOver(const std::string& from, const std::string& to) = 0;
  // Renames or moves a file, replacing an existing destination. On failure the destination is
  // left as it was.
  virtual bool MoveOver(const std::string& from, const std::string& to) = 0;
  // Clears read-only, hidden and system attributes.
  virtual bool SetNormalAttributes(const std::string& path) = 0;
  // Adds the hidden attribute to a file or folder, keeping its other attributes. False when the
  // path is missing or the system refuses.
  virtual bool SetHidden(const std::string& path) = 0;
  // Switches file-system compression of a file or folder on or off. False when the file system
  // does not support it or the system refuses; callers may ignore the result.
  virtual bool SetCompression(const std::string& path, bool compressed) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // Names of the folder's entries, without "." and "..".
  virtual std::vector<FolderEntry> ListFolder(const std::string& path) = 0;
};

}  // namespace zev::platform
