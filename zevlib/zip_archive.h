#pragma once
// An opened archive: its directory read, every entry's data located and checked not to overlap
// another's, and no two entries for the same file.
#include <filesystem>
#include <vector>

#include "zevlib/host_files.h"
#include "zevlib/zevlib.h"
#include "zevlib/zip_format.h"

namespace zevlib {

struct ZipEntry {
  CentralRecord record;
  std::uint64_t dataOffset = 0;  // past the local header
};

EntryInfo Describe(const CentralRecord& record);

class ZipArchive {
 public:
  // Throws ZipError: ZEV_ERROR_FILE_NOT_FOUND; ZEV_ERROR_CANNOT_OPEN when the file is no ZIP
  // archive, is damaged or has entries whose data overlap (the known zip bombs);
  // ZEV_ERROR_UNSAFE_ENTRY when two entries name the same file.
  explicit ZipArchive(const std::filesystem::path& path);

  const std::vector<ZipEntry>& entries() const { return entries_; }
  const InputFile& file() const { return file_; }

 private:
  void LocateData(std::uint64_t directoryOffset);
  void RefuseDuplicates() const;

  InputFile file_;
  std::vector<ZipEntry> entries_;
};

}  // namespace zevlib
