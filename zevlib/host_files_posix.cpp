// File access on the host (Linux): used by the native tests, the fuzzer and the benchmark.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "zevlib/errors.h"
#include "zevlib/host_files.h"

namespace zevlib {
namespace {

// Components without the empty one a trailing separator leaves.
std::vector<std::filesystem::path> PathParts(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> parts;
  for (const auto& part : path) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::string Describe(const std::filesystem::path& path, int error) {
  return path.string() + ": " + std::strerror(error);
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.Release();
  }
  return *this;
}

bool FileHandle::Close() noexcept {
  if (!valid()) return true;
  return ::close(Release()) == 0;
}

InputFile::InputFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    throw ZipError(
        error == ENOENT || error == ENOTDIR ? ZEV_ERROR_FILE_NOT_FOUND : ZEV_ERROR_CANNOT_OPEN,
        Describe(path, error));
  }
  handle_ = FileHandle(fd);
  struct stat facts {};
  if (::fstat(fd, &facts) != 0) throw ZipError(ZEV_ERROR_CANNOT_OPEN, Describe(path, errno));
  if (S_ISDIR(facts.st_mode)) {
    throw ZipError(ZEV_ERROR_FILE_NOT_FOUND, path.string() + " is a folder");
  }
  if (!S_ISREG(facts.st_mode)) {
    throw ZipError(ZEV_ERROR_CANNOT_OPEN, path.string() + " is not a file");
  }
  size_ = static_cast<std::uint64_t>(facts.st_size);
}

void InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count,
                       std::int32_t errorCode) const {
  auto* out = static_cast<char*>(buffer);
  while (count > 0) {
    ssize_t got = ::pread(handle_.get(), out, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw ZipError(errorCode, "the archive ends early or cannot be read");
    out += got;
    offset += static_cast<std::uint64_t>(got);
    count -= static_cast<std::size_t>(got);
  }
}

std::optional<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return std::nullopt;
    throw ZipError(ZEV_ERROR_WRITE_FAILED, Describe(path, errno));
  }
  return OutputFile(FileHandle(fd));
}

void OutputFile::Write(const void* data, std::size_t count) {
  auto* in = static_cast<const char*>(data);
  while (count > 0) {
    ssize_t put = ::write(handle_.get(), in, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      throw ZipError(ZEV_ERROR_WRITE_FAILED,
                     std::string("cannot write: ") + std::strerror(put < 0 ? errno : ENOSPC));
    }
    in += put;
    count -= static_cast<std::size_t>(put);
  }
}

void OutputFile::SetModificationTime(std::uint64_t fileTime) {
  constexpr std::uint64_t kUnixEpoch = FileTimeFromUnix(0);
  if (fileTime < kUnixEpoch) return;
  std::uint64_t units = fileTime - kUnixEpoch;
  struct timespec times[2] = {};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(units / 10000000u);
  times[1].tv_nsec = static_cast<long>(units % 10000000u) * 100;
  ::futimens(handle_.get(), times);
}

void OutputFile::Close() {
  if (!handle_.Close()) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED, std::string("cannot close: ") + std::strerror(errno));
  }
}

FileFacts QueryFile(const std::filesystem::path& path) {
  struct stat facts {};
  if (::stat(path.c_str(), &facts) != 0) return {};
  FileFacts result;
  result.exists = true;
  result.isFolder = S_ISDIR(facts.st_mode);
  result.size = static_cast<std::uint64_t>(facts.st_size);
  result.fileTime =
      FileTimeFromUnix(facts.st_mtim.tv_sec, static_cast<std::uint32_t>(facts.st_mtim.tv_nsec));
  return result;
}

void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  // A read-only file is replaced by rename as well: only the folder's permissions matter.
  if (::rename(from.c_str(), to.c_str()) != 0) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED, Describe(to, errno));
  }
}

bool RemoveFile(const std::filesystem::path& path) noexcept { return ::unlink(path.c_str()) == 0; }

std::filesystem::path ResolvePath(const std::filesystem::path& path) {
  std::error_code error;
  auto resolved = std::filesystem::weakly_canonical(path, error);
  if (error) throw ZipError(ZEV_ERROR_WRITE_FAILED, path.string() + ": " + error.message());
  return resolved;
}

bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path) {
  auto rootParts = PathParts(root);
  auto parts = PathParts(path);
  if (parts.size() <= rootParts.size()) return false;
  for (std::size_t i = 0; i < rootParts.size(); ++i) {
    if (parts[i] != rootParts[i]) return false;
  }
  return true;
}

}  // namespace zevlib
