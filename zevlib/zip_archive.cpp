#include "zevlib/zip_archive.h"

#include <algorithm>
#include <unordered_set>

#include "zevlib/entry_names.h"
#include "zevlib/errors.h"

namespace zevlib {

EntryInfo Describe(const CentralRecord& record) {
  EntryInfo info;
  info.name = record.name;
  info.compressedSize = record.compressedSize;
  info.size = record.size;
  info.crc32 = record.crc32;
  info.isFolder = record.IsFolder();
  info.isEncrypted = record.IsEncrypted();
  info.fileTime = record.fileTime;
  info.attributes = record.Attributes();
  return info;
}

ZipArchive::ZipArchive(const std::filesystem::path& path) : file_(path) {
  CentralDirectoryLocation location = FindCentralDirectory(file_);
  for (auto& record : ReadCentralDirectory(file_, location)) {
    entries_.push_back(ZipEntry{std::move(record), 0});
  }
  LocateData(location.offset);
  RefuseDuplicates();
}

void ZipArchive::LocateData(std::uint64_t directoryOffset) {
  struct Range {
    std::uint64_t begin;
    std::uint64_t end;
  };
  std::vector<Range> ranges;
  ranges.reserve(entries_.size());
  for (auto& entry : entries_) {
    if (entry.record.localHeaderOffset >= directoryOffset) {
      throw ZipError(ZEV_ERROR_CANNOT_OPEN,
                     "the data of \"" + entry.record.name + "\" lies outside the archive");
    }
    entry.dataOffset = ReadLocalHeader(file_, entry.record);
    if (entry.dataOffset > directoryOffset ||
        entry.record.compressedSize > directoryOffset - entry.dataOffset) {
      throw ZipError(ZEV_ERROR_CANNOT_OPEN,
                     "the data of \"" + entry.record.name + "\" runs into the central directory");
    }
    ranges.push_back(
        {entry.record.localHeaderOffset, entry.dataOffset + entry.record.compressedSize});
  }
  // Entries sharing data are how small archives unpack to huge sizes: each entry must own its
  // bytes.
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].begin < ranges[i - 1].end) {
      throw ZipError(ZEV_ERROR_CANNOT_OPEN, "entries overlap each other");
    }
  }
}

void ZipArchive::RefuseDuplicates() const {
  std::unordered_set<std::string> seen;
  seen.reserve(entries_.size());
  for (const auto& entry : entries_) {
    if (!seen.insert(NameKey(entry.record.name)).second) {
      throw ZipError(ZEV_ERROR_UNSAFE_ENTRY,
                     "two entries for the same file: \"" + entry.record.name + "\"");
    }
  }
}

}  // namespace zevlib
