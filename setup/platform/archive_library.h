#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zev::platform {

// The callbacks the archive library calls back into during one call.
struct ArchiveCallbacks {
  // Fills the buffer (bufferSize bytes, terminating zero included) with a password and
  // answers non-zero, or answers 0 when there is none.
  std::function<int(char* buffer, std::size_t bufferSize)> password;
  // Per-file progress; 0 stops the extraction.
  std::function<int(const std::string& file, std::uint64_t done, std::uint64_t total)> progress;
  // Asked before the library gives up on a failed entry; 1 ends the call with the error.
  std::function<int()> continueAfterError;
  // Asked when a file to write exists already; 4 replaces it, 1 keeps it.
  std::function<int()> overwrite;
};

struct ArchiveEntry {
  std::string name;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t fileTime = 0;  // FILETIME: 100 ns units since 1601-01-01 UTC
  std::uint32_t attributes = 0;
};

// The archive library shipped beside the setup program (zev.lib), as the engine calls it.
class ArchiveLibrary {
 public:
  virtual ~ArchiveLibrary() = default;

  // Extracts the named entries into destination; keepPaths false drops folder names.
  // Answers non-zero on success.
  virtual int ExtractArchive(const std::string& archive, const std::string& destination,
                             const std::vector<std::string>& names, bool keepPaths,
                             const std::string& password, const ArchiveCallbacks& callbacks) = 0;
  // Lists the archive's entries in archive order; nothing on failure.
  virtual std::optional<std::vector<ArchiveEntry>> ListArchive(
      const std::string& archive, const std::string& password,
      const ArchiveCallbacks& callbacks) = 0;
  // Error number of the last failed call on this thread.
  virtual int LastArchiveError() = 0;
};

}  // namespace zev::platform
