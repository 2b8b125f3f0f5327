#pragma once
// zev.lib's core: lists ZIP archives and extracts them safely. Portable; the DLL (on Windows)
// and the simulated machine (in the tests) are thin layers over these two functions.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zevlib/zev_api.h"

namespace zevlib {

struct EntryInfo {
  std::string name;  // UTF-8, as stored (a folder ends with a separator)
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint32_t crc32 = 0;
  bool isFolder = false;
  bool isEncrypted = false;
  std::uint64_t fileTime = 0;    // FILETIME: 100 ns units since 1601-01-01 UTC
  std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits
};

// 0 on success, else a ZEV_ERROR_* number, with a message for logs.
struct Status {
  std::int32_t error = 0;
  std::string message;
  bool ok() const { return error == 0; }
};

enum class Overwrite { Keep, Replace };

struct ExistingFile {
  std::filesystem::path path;
  std::uint64_t size = 0;
  std::uint64_t fileTime = 0;
};

// Every callback may be left empty.
struct ExtractCallbacks {
  // A password to try when an encrypted entry is not opened by the ones known; empty optional
  // (or an empty password) when there is none. Asked at most once per extraction, so a wrong
  // answer ends it rather than asking forever.
  std::function<std::optional<std::string>()> password;
  // Per file: bytes written so far and the file's size. False stops the extraction.
  std::function<bool(const std::string& entry, std::uint64_t done, std::uint64_t total)> progress;
  // Asked with the error before giving up on an entry: true ends the extraction with that error
  // (also the answer when empty), false skips the entry.
  std::function<bool(const std::string& entry, std::int32_t error)> endOnError;
  // Asked when the file to write exists; Keep when empty.
  std::function<Overwrite(const ExistingFile& existing, const EntryInfo& entry)> overwrite;
};

struct ExtractRequest {
  std::filesystem::path archive;
  std::filesystem::path destination;  // created when missing
  // Entry names as listed, or file-name patterns ("docs/*.txt"); empty extracts everything.
  std::vector<std::string> names;
  bool keepPaths = true;  // false writes every file straight into the destination
  std::string password;   // empty: none
};

Status ListArchive(const std::filesystem::path& archive, std::vector<EntryInfo>& entries);

// On failure, files written before it stay; the file being written is never left behind
// half-written. An entry skipped through endOnError makes the call fail with the first such
// error after all other entries are extracted.
Status ExtractArchive(const ExtractRequest& request, const ExtractCallbacks& callbacks);

// A UTF-8 string as a host path: wide on Windows, the same bytes elsewhere.
std::filesystem::path PathFromUtf8(const std::string& text);

}  // namespace zevlib
