#include "setup/platform/sim/sim_archive_library.h"

#include <exception>

#include "zevlib/zevlib.h"

namespace zev::sim {
namespace {

thread_local int lastError = 0;

// The engine's callbacks in the shape the core calls them; empty ones stay empty.
zevlib::ExtractCallbacks Adapt(const platform::ArchiveCallbacks& callbacks) {
  zevlib::ExtractCallbacks adapted;
  if (callbacks.password) {
    adapted.password = [&callbacks]() -> std::optional<std::string> {
      std::string buffer(ZEV_PASSWORD_BUFFER_SIZE, '\0');
      if (!callbacks.password(buffer.data(), buffer.size())) return std::nullopt;
      buffer.back() = '\0';
      return std::string(buffer.c_str());
    };
  }
  if (callbacks.progress) {
    adapted.progress = [&callbacks](const std::string& entry, std::uint64_t done,
                                    std::uint64_t total) {
      return callbacks.progress(entry, done, total) != 0;
    };
  }
  if (callbacks.continueAfterError) {
    adapted.endOnError = [&callbacks](const std::string&, std::int32_t) {
      return callbacks.continueAfterError() == 1;
    };
  }
  if (callbacks.overwrite) {
    adapted.overwrite = [&callbacks](const zevlib::ExistingFile&, const zevlib::EntryInfo&) {
      return callbacks.overwrite() == ZEV_OVERWRITE_REPLACE ? zevlib::Overwrite::Replace
                                                            : zevlib::Overwrite::Keep;
    };
  }
  return adapted;
}

}  // namespace

int SimArchiveLibrary::ExtractArchive(const std::string& archive, const std::string& destination,
                                      const std::vector<std::string>& names, bool keepPaths,
                                      const std::string& password,
                                      const platform::ArchiveCallbacks& callbacks) {
  zevlib::ExtractRequest request;
  try {
    request.archive = hostPath_(archive);
    request.destination = hostPath_(destination);
  } catch (const std::exception&) {
    lastError = ZEV_ERROR_FILE_NOT_FOUND;
    return 0;
  }
  request.names = names;
  request.keepPaths = keepPaths;
  request.password = password;
  lastError = zevlib::ExtractArchive(request, Adapt(callbacks)).error;
  return lastError == 0 ? 1 : 0;
}

// ZIP never encrypts names, so listing needs no password.
std::optional<std::vector<platform::ArchiveEntry>> SimArchiveLibrary::ListArchive(
    const std::string& archive, const std::string&, const platform::ArchiveCallbacks&) {
  std::vector<zevlib::EntryInfo> found;
  zevlib::Status status;
  try {
    status = zevlib::ListArchive(hostPath_(archive), found);
  } catch (const std::exception&) {
    status.error = ZEV_ERROR_FILE_NOT_FOUND;
  }
  lastError = status.error;
  if (!status.ok()) return std::nullopt;
  std::vector<platform::ArchiveEntry> entries;
  entries.reserve(found.size());
  for (auto& info : found) {
    entries.push_back(
        {std::move(info.name), info.compressedSize, info.size, info.fileTime, info.attributes});
  }
  return entries;
}

int SimArchiveLibrary::LastArchiveError() { return lastError; }

}  // namespace zev::sim
