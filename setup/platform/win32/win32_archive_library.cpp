#include "setup/platform/win32/win32_archive_library.h"

#include "zevlib/zev_api.h"

namespace zev::win32 {
namespace {

// The library calls plain functions; they reach the callbacks of the call in progress on this
// thread through this pointer.
thread_local const platform::ArchiveCallbacks* current = nullptr;

class CurrentCallbacks {
 public:
  explicit CurrentCallbacks(const platform::ArchiveCallbacks& callbacks) : previous_(current) {
    current = &callbacks;
  }
  ~CurrentCallbacks() { current = previous_; }
  CurrentCallbacks(const CurrentCallbacks&) = delete;
  CurrentCallbacks& operator=(const CurrentCallbacks&) = delete;

 private:
  const platform::ArchiveCallbacks* previous_;
};

// No exception may cross the library's frames: a failing callback answers as "no", "stop" or
// "keep".
int ZEV_CALL AskPassword(char* buffer) {
  try {
    return current && current->password ? current->password(buffer, ZEV_PASSWORD_BUFFER_SIZE) : 0;
  } catch (...) {
    return 0;
  }
}

int ZEV_CALL ReportProgress(const char* file, std::uint64_t done, std::uint64_t total) {
  try {
    return current && current->progress ? current->progress(file ? file : "", done, total) : 1;
  } catch (...) {
    return 0;
  }
}

int ZEV_CALL AskContinue(const char*, std::int32_t) {
  try {
    return current && current->continueAfterError ? current->continueAfterError() : 1;
  } catch (...) {
    return 1;
  }
}

int ZEV_CALL AskOverwrite(const char*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          const char*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  try {
    return current && current->overwrite ? current->overwrite() : ZEV_OVERWRITE_KEEP;
  } catch (...) {
    return ZEV_OVERWRITE_KEEP;
  }
}

class Listing {
 public:
  explicit Listing(ZevListHandle handle) : handle_(handle) {}
  ~Listing() { CloseListArchive(handle_); }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

 private:
  ZevListHandle handle_;
};

}  // namespace

int Win32ArchiveLibrary::ExtractArchive(const std::string& archive, const std::string& destination,
                                        const std::vector<std::string>& names, bool keepPaths,
                                        const std::string& password,
                                        const platform::ArchiveCallbacks& callbacks) {
  std::vector<const char*> namePointers;
  namePointers.reserve(names.size());
  for (const auto& name : names) namePointers.push_back(name.c_str());
  ZevTargetFiles files{namePointers.data(), static_cast<std::int32_t>(namePointers.size())};
  CurrentCallbacks scope(callbacks);
  return ::ExtractArchive(archive.c_str(), ZEV_OPERATION_EXTRACT, destination.c_str(), &files,
                          keepPaths ? ZEV_KEEP_PATHS : ZEV_DROP_PATHS, password.c_str(),
                          AskPassword, ReportProgress, AskContinue, AskOverwrite);
}

std::optional<std::vector<platform::ArchiveEntry>> Win32ArchiveLibrary::ListArchive(
    const std::string& archive, const std::string& password,
    const platform::ArchiveCallbacks& callbacks) {
  CurrentCallbacks scope(callbacks);
  ZevListEntry* entries = nullptr;
  std::int32_t count = 0;
  ZevListHandle handle = ::OpenListArchive(archive.c_str(), 0, AskPassword, 0, 0, 0,
                                           password.c_str(), &entries, &count);
  if (handle == 0) return std::nullopt;
  Listing listing(handle);
  std::vector<platform::ArchiveEntry> result;
  result.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const ZevListEntry& entry = entries[i];
    std::uint64_t fileTime =
        (static_cast<std::uint64_t>(entry.fileTimeHigh) << 32) | entry.fileTimeLow;
    result.push_back({entry.name ? entry.name : "", entry.compressedSize, entry.size, fileTime,
                      entry.attributes});
  }
  return result;
}

int Win32ArchiveLibrary::LastArchiveError() { return ::GetLastArchiveError(); }

}  // namespace zev::win32
