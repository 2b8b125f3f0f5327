#pragma once
// One read-only file held in memory, for fuzzing and benchmarks that must measure parsing, not
// the disk. Every path opens the same bytes; writing fails.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "setup/platform/error.h"
#include "setup/platform/file_system.h"

namespace zev::testing {

class MemoryInput : public platform::InputFile {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() override { return bytes_.size(); }
  void Seek(std::uint64_t offset) override { position_ = std::min<std::uint64_t>(offset, bytes_.size()); }
  std::size_t Read(void* buffer, std::size_t count) override {
    std::size_t got = std::min<std::size_t>(count, bytes_.size() - position_);
    if (got) std::memcpy(buffer, bytes_.data() + position_, got);
    position_ += got;
    return got;
  }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
};

class MemoryFileSystem : public platform::FileSystem {
 public:
  explicit MemoryFileSystem(std::string bytes) : bytes_(std::move(bytes)) {}
  bool FileExists(const std::string&) override { return true; }
  bool FolderExists(const std::string&) override { return false; }
  bool CreateFolders(const std::string&) override { return false; }
  std::unique_ptr<platform::InputFile> OpenForReading(const std::string&) override {
    return std::make_unique<MemoryInput>(bytes_);
  }
  std::unique_ptr<platform::OutputFile> CreateForWriting(const std::string&) override {
    throw Error("read-only");
  }
  bool AppendToFile(const std::string&, const void*, std::size_t, bool) override { return false; }
  bool CopyOver(const std::string&, const std::string&) override { return false; }
  bool MoveOver(const std::string&, const std::string&) override { return false; }
  bool SetNormalAttributes(const std::string&) override { return false; }
  bool SetHidden(const std::string&) override { return false; }
  bool SetCompression(const std::string&, bool) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool RemoveFolder(const std::string&) override { return false; }
  std::vector<platform::FolderEntry> ListFolder(const std::string&) override { return {}; }

 private:
  std::string bytes_;
};

}  // namespace zev::testing
