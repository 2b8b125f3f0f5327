// File access on Windows, through wide paths so any name the archive holds can be written.
#include <windows.h>

#include <string>
#include <vector>

#include "zevlib/errors.h"
#include "zevlib/host_files.h"

namespace zevlib {
namespace {

std::string Describe(const std::filesystem::path& path, DWORD error) {
  return path.string() + ": system error " + std::to_string(error);
}

FileHandle AdoptHandle(HANDLE handle) {
  return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::uint64_t Combine(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::vector<std::wstring> PathParts(const std::filesystem::path& path) {
  std::vector<std::wstring> parts;
  for (const auto& part : path) {
    if (part.empty()) continue;
    std::wstring text = part.wstring();
    if (text == L"/") text = L"\\";
    parts.push_back(std::move(text));
  }
  return parts;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The final path of an existing file or folder, links and junctions resolved.
std::filesystem::path FinalPath(const std::filesystem::path& existing) {
  FileHandle handle = AdoptHandle(
      CreateFileW(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.valid()) throw ZipError(ZEV_ERROR_WRITE_FAILED, Describe(existing, GetLastError()));
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetFinalPathNameByHandleW(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // Some network and virtual file systems cannot tell; links cannot be followed there anyway.
    if (length == 0) return existing;
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length + 1);
  }
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + buffer.substr(8);
  if (buffer.rfind(L"\\\\?\\", 0) == 0) return buffer.substr(4);
  return buffer;
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
  return CloseHandle(Release()) != 0;
}

InputFile::InputFile(const std::filesystem::path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    throw ZipError(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? ZEV_ERROR_FILE_NOT_FOUND
                       : ZEV_ERROR_CANNOT_OPEN,
                   Describe(path, error));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    throw ZipError(ZEV_ERROR_FILE_NOT_FOUND, path.string() + " is a folder");
  }
  handle_ = AdoptHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle_.valid()) throw ZipError(ZEV_ERROR_CANNOT_OPEN, Describe(path, GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle_.get(), &size)) {
    throw ZipError(ZEV_ERROR_CANNOT_OPEN, Describe(path, GetLastError()));
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

void InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count,
                       std::int32_t errorCode) const {
  auto* out = static_cast<char*>(buffer);
  while (count > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(handle_.get(), out, chunk, &got, &at) || got == 0) {
      throw ZipError(errorCode, "the archive ends early or cannot be read");
    }
    out += got;
    offset += got;
    count -= got;
  }
}

std::optional<OutputFile> OutputFile::CreateNew(const std::filesystem::path& path) {
  FileHandle handle = AdoptHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return std::nullopt;
    throw ZipError(ZEV_ERROR_WRITE_FAILED, Describe(path, error));
  }
  return OutputFile(std::move(handle));
}

void OutputFile::Write(const void* data, std::size_t count) {
  auto* in = static_cast<const char*>(data);
  while (count > 0) {
    DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(handle_.get(), in, chunk, &put, nullptr) || put == 0) {
      throw ZipError(ZEV_ERROR_WRITE_FAILED,
                     "cannot write: system error " + std::to_string(GetLastError()));
    }
    in += put;
    count -= put;
  }
}

void OutputFile::SetModificationTime(std::uint64_t fileTime) {
  FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SetFileTime(handle_.get(), nullptr, nullptr, &time);
}

void OutputFile::Close() {
  if (!handle_.Close()) {
    throw ZipError(ZEV_ERROR_WRITE_FAILED,
                   "cannot close: system error " + std::to_string(GetLastError()));
  }
}

FileFacts QueryFile(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
  FileFacts result;
  result.exists = true;
  result.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.size = Combine(data.nFileSizeHigh, data.nFileSizeLow);
  result.fileTime =
      Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
  return result;
}

void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  DWORD attributes = GetFileAttributesW(to.c_str());
  bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly) SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DWORD error = GetLastError();
    if (readOnly) SetFileAttributesW(to.c_str(), attributes);
    throw ZipError(ZEV_ERROR_WRITE_FAILED, Describe(to, error));
  }
}

bool RemoveFile(const std::filesystem::path& path) noexcept {
  return DeleteFileW(path.c_str()) != 0;
}

std::filesystem::path ResolvePath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error).lexically_normal();
  if (error) throw ZipError(ZEV_ERROR_WRITE_FAILED, path.string() + ": " + error.message());
  // Resolve the longest part that exists; what does not exist yet cannot be a link.
  std::filesystem::path existing = absolute;
  std::vector<std::filesystem::path> missing;
  while (GetFileAttributesW(existing.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (!existing.has_relative_path()) return absolute;
    if (!existing.filename().empty()) missing.push_back(existing.filename());
    existing = existing.parent_path();
  }
  std::filesystem::path resolved = FinalPath(existing);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) resolved /= *it;
  return resolved;
}

bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path) {
  auto rootParts = PathParts(root);
  auto parts = PathParts(path);
  if (parts.size() <= rootParts.size()) return false;
  for (std::size_t i = 0; i < rootParts.size(); ++i) {
    if (!SameName(parts[i], rootParts[i])) return false;
  }
  return true;
}

}  // namespace zevlib
