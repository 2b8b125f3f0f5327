#pragma once
// One call of ExtractArchive: picks the entries, checks where each would land and writes it.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zevlib/entry_decoder.h"
#include "zevlib/entry_names.h"
#include "zevlib/errors.h"
#include "zevlib/zevlib.h"
#include "zevlib/zip_archive.h"

namespace zevlib {

class Extractor {
 public:
  // Opens the archive; throws ZipError as ZipArchive does.
  Extractor(const ExtractRequest& request, const ExtractCallbacks& callbacks);
  // Throws ZipError with the error that ended the extraction.
  void Run();

 private:
  std::vector<const ZipEntry*> SelectEntries() const;
  // The entry's failure, if any, as an error number.
  std::optional<ZipError> TryExtract(const ZipEntry& entry);
  void ExtractEntry(const ZipEntry& entry);
  void ExtractFolder(const ZipEntry& entry, const std::filesystem::path& target);
  void ExtractFile(const ZipEntry& entry, const std::filesystem::path& target);
  void WriteFile(const ZipEntry& entry, EntryDecoder& decoder, const std::filesystem::path& target);
  void DecodeWithPassword(const ZipEntry& entry, const std::function<void(EntryDecoder&)>& use);
  bool AskForPassword();
  void EnsureInsideDestination(const ZipEntry& entry, const std::filesystem::path& target) const;
  void ReportProgress(const ZipEntry& entry, std::uint64_t done) const;

  const ExtractRequest& request_;
  const ExtractCallbacks& callbacks_;
  ZipArchive archive_;
  std::filesystem::path root_;  // the destination, resolved
  DecodeBuffers buffers_;
  std::vector<std::string> passwords_;  // known ones, the last that worked first
  bool askedForPassword_ = false;
};

}  // namespace zevlib
