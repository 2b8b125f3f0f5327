#include "setup/platform/win32/win32_file_system.h"

#include <windows.h>
#include <winioctl.h>  // FSCTL_SET_COMPRESSION (not in windows.h with WIN32_LEAN_AND_MEAN)

#include <algorithm>

#include "setup/platform/error.h"
#include "setup/platform/win32/system_error.h"
#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {
namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces.
constexpr std::size_t kMaxChunk = 1u << 30;

[[noreturn]] void ThrowFileError(const char* action, const std::string& path, DWORD code) {
  throw Error(std::string("Cannot ") + action + " \"" + path + "\". " + SystemErrorText(code));
}

// Writes everything or answers the system error code.
DWORD WriteAll(HANDLE file, const void* data, std::size_t count) {
  const auto* bytes = static_cast<const char*>(data);
  while (count > 0) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min(count, kMaxChunk));
    if (!WriteFile(file, bytes, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    count -= written;
  }
  return ERROR_SUCCESS;
}

class Win32InputFile final : public platform::InputFile {
 public:
  Win32InputFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.Get(), &size)) ThrowFileError("get the size of", path_, GetLastError());
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  void Seek(std::uint64_t offset) override {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.Get(), distance, nullptr, FILE_BEGIN))
      ThrowFileError("seek in", path_, GetLastError());
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < count) {
      DWORD read = 0;
      DWORD chunk = static_cast<DWORD>(std::min(count - total, kMaxChunk));
      if (!ReadFile(file_.Get(), bytes + total, chunk, &read, nullptr))
        ThrowFileError("read", path_, GetLastError());
      if (read == 0) break;
      total += read;
    }
    return total;
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

class Win32OutputFile final : public platform::OutputFile {
 public:
  Win32OutputFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  void Write(const void* data, std::size_t count) override {
    DWORD error = WriteAll(file_.Get(), data, count);
    if (error != ERROR_SUCCESS) ThrowFileError("write to", path_, error);
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::CreateFolders(const std::string& path) {
  std::string folder = WithoutTrailingSeparator(path);
  if (folder.empty()) return false;
  if (FolderExists(folder)) return true;
  std::size_t separator = folder.find_last_of("\\/");
  if (separator != std::string::npos && separator > 0) {
    std::string parent = folder.substr(0, separator);
    // A drive ("C:") or a share root that is missing cannot be created.
    if (!FolderExists(parent) && !CreateFolders(parent)) return false;
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  // Another process may have created it meanwhile: what counts is that it exists now.
  return FolderExists(folder);
}

std::unique_ptr<platform::InputFile> Win32FileSystem::OpenForReading(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowFileError("open", path, GetLastError());
  return std::make_unique<Win32InputFile>(std::move(file), path);
}

std::unique_ptr<platform::OutputFile> Win32FileSystem::CreateForWriting(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowFileError("create", path, GetLastError());
  return std::make_unique<Win32OutputFile>(std::move(file), path);
}

bool Win32FileSystem::AppendToFile(const std::string& path, const void* data, std::size_t count,
                                   bool truncateFirst) {
  // Shared for writing so a log can be appended while someone else has it open.
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, truncateFirst ? CREATE_ALWAYS : OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) return false;
  return WriteAll(file.Get(), data, count) == ERROR_SUCCESS;
}

bool Win32FileSystem::CopyOver(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool Win32FileSystem::MoveOver(const std::string& from, const std::string& to) {
  // Across volumes the system copies and then deletes the source.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) !=
         FALSE;
}

bool Win32FileSystem::SetNormalAttributes(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool Win32FileSystem::SetHidden(const std::string& path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  // Only these can be given to SetFileAttributes; the others (folder, compressed, encrypted...)
  // stay as they are whatever is passed. NORMAL is valid only alone, so it is dropped.
  constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (attributes & FILE_ATTRIBUTE_HIDDEN) return true;
  return SetFileAttributesA(path.c_str(), (attributes & kSettable) | FILE_ATTRIBUTE_HIDDEN) != FALSE;
}

bool Win32FileSystem::SetCompression(const std::string& path, bool compressed) {
  // Backup semantics let CreateFile open a folder; FSCTL_SET_COMPRESSION needs read and write
  // data access.
  UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return false;
  USHORT format = compressed ? COMPRESSION_FORMAT_DEFAULT : COMPRESSION_FORMAT_NONE;
  DWORD returned = 0;
  return DeviceIoControl(handle.Get(), FSCTL_SET_COMPRESSION, &format, sizeof(format), nullptr, 0,
                         &returned, nullptr) != FALSE;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32FileSystem::RemoveFolder(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

std::vector<platform::FolderEntry> Win32FileSystem::ListFolder(const std::string& path) {
  std::vector<platform::FolderEntry> entries;
  std::string pattern = WithoutTrailingSeparator(path) + "\\*";
  WIN32_FIND_DATAA found{};
  UniqueFindHandle search(FindFirstFileA(pattern.c_str(), &found));
  if (!search) return entries;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search.Get(), &found));
  return entries;
}

}  // namespace zev::win32
