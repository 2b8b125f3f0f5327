#pragma once
// The little file access the library needs, on Windows (wide paths) and on the host.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

namespace zevlib {

#ifdef _WIN32
using NativeHandle = void*;  // HANDLE
#else
using NativeHandle = int;  // file descriptor
#endif

// Owns an open file; closes it on destruction.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(NativeHandle handle) : handle_(handle) {}
  FileHandle(FileHandle&& other) noexcept : handle_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }

  NativeHandle get() const { return handle_; }
  bool valid() const { return handle_ != kInvalid; }
  NativeHandle Release() {
    NativeHandle h = handle_;
    handle_ = kInvalid;
    return h;
  }
  // False when the system reports a failure; the handle is gone either way.
  bool Close() noexcept;

#ifdef _WIN32
  static constexpr NativeHandle kInvalid = nullptr;  // INVALID_HANDLE_VALUE is never stored
#else
  static constexpr NativeHandle kInvalid = -1;
#endif

 private:
  NativeHandle handle_ = kInvalid;
};

// The archive, read at any offset.
class InputFile {
 public:
  // Throws ZipError: ZEV_ERROR_FILE_NOT_FOUND when there is no such file (or it is a folder),
  // ZEV_ERROR_CANNOT_OPEN when it cannot be read.
  explicit InputFile(const std::filesystem::path& path);

  std::uint64_t Size() const { return size_; }
  // Reads exactly count bytes, or throws ZipError(errorCode).
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::int32_t errorCode) const;

 private:
  FileHandle handle_;
  std::uint64_t size_ = 0;
};

// A file created new and written from the start. Write failures throw
// ZipError(ZEV_ERROR_WRITE_FAILED).
class OutputFile {
 public:
  // Empty when a file of that name exists already.
  static std::optional<OutputFile> CreateNew(const std::filesystem::path& path);

  void Write(const void* data, std::size_t count);
  // Best effort: a file whose time could not be set is still a good file.
  void SetModificationTime(std::uint64_t fileTime);
  void Close();

 private:
  explicit OutputFile(FileHandle handle) : handle_(std::move(handle)) {}
  FileHandle handle_;
};

struct FileFacts {
  bool exists = false;
  bool isFolder = false;
  std::uint64_t size = 0;
  std::uint64_t fileTime = 0;  // FILETIME: 100 ns units since 1601-01-01 UTC
};
FileFacts QueryFile(const std::filesystem::path& path);

// Moves from over to, replacing a file there even when it is read-only. Throws ZipError.
void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to);
bool RemoveFile(const std::filesystem::path& path) noexcept;

// The path with every existing part resolved through links and junctions, the rest appended as
// written. Throws ZipError(ZEV_ERROR_WRITE_FAILED) when the existing part cannot be resolved.
std::filesystem::path ResolvePath(const std::filesystem::path& path);
// True when path lies strictly below root; both must be resolved.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

// FILETIME of a Unix time in seconds and nanoseconds.
constexpr std::uint64_t FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds = 0) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  std::int64_t s = seconds + kSecondsFrom1601To1970;
  if (s < 0) return 0;
  return static_cast<std::uint64_t>(s) * 10000000u + nanoseconds / 100u;
}

}  // namespace zevlib
