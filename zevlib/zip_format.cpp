#include "zevlib/zip_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "zevlib/byte_reader.h"
#include "zevlib/errors.h"
#include "zevlib/name_text.h"
#include "zevlib/zip_time.h"

namespace zevlib {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;

constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraNtfs = 0x000A;
constexpr std::uint16_t kExtraUnixTime = 0x5455;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr std::uint16_t kExtraAes = 0x9901;

[[noreturn]] void Damaged(const std::string& what) {
  throw ZipError(ZEV_ERROR_CANNOT_OPEN, "not a readable ZIP archive: " + what);
}

std::uint32_t PeekU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return ByteReader(std::span(bytes).subspan(at, 4), ZEV_ERROR_CANNOT_OPEN).U32();
}

// a + b <= limit, without overflow.
bool FitsWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit) {
  return a <= limit && b <= limit - a;
}

std::vector<std::uint8_t> ReadBytes(const InputFile& file, std::uint64_t offset,
                                    std::uint64_t count) {
  if (!FitsWithin(offset, count, file.Size())) Damaged("a record lies past the end of the file");
  if (count > SIZE_MAX / 2) Damaged("a record too large to read");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  file.ReadAt(offset, bytes.data(), bytes.size(), ZEV_ERROR_CANNOT_OPEN);
  return bytes;
}

// Places in the tail that may hold the end record, last first. A comment may contain the
// signature too, so every candidate is checked before one is believed.
std::vector<std::size_t> EndRecordCandidates(const std::vector<std::uint8_t>& tail) {
  constexpr std::size_t kMaxCandidates = 16;
  std::vector<std::size_t> candidates;
  for (std::size_t at = tail.size() - kEndSize + 1;
       at-- > 0 && candidates.size() < kMaxCandidates;) {
    if (PeekU32(tail, at) != kEndSignature) continue;
    std::size_t comment = tail[at + 20] | (tail[at + 21] << 8);
    if (at + kEndSize + comment <= tail.size()) candidates.push_back(at);
  }
  return candidates;
}

void ParseZip64Extra(ByteReader extra, CentralRecord& record, bool wantSize, bool wantCompressed,
                     bool wantOffset) {
  if (wantSize) record.size = extra.U64();
  if (wantCompressed) record.compressedSize = extra.U64();
  if (wantOffset) record.localHeaderOffset = extra.U64();
}

std::optional<std::uint64_t> ParseNtfsTime(ByteReader extra) {
  extra.Skip(4);
  while (extra.Remaining() >= 4) {
    std::uint16_t tag = extra.U16();
    std::uint16_t size = extra.U16();
    if (tag == 1 && size >= 8) return extra.U64();
    extra.Skip(size);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> ParseUnixTime(ByteReader extra) {
  std::uint8_t which = extra.U8();
  if (!(which & 1)) return std::nullopt;
  auto seconds = static_cast<std::int32_t>(extra.U32());
  return FileTimeFromUnix(seconds);
}

// Info-ZIP's UTF-8 copy of a name stored in a DOS code page; only good while it still
// belongs to the name beside it (the CRC of the stored name matches).
std::optional<std::string> ParseUnicodePath(ByteReader extra, const std::string& rawName) {
  if (extra.U8() != 1) return std::nullopt;
  std::uint32_t crc = extra.U32();
  std::string name = extra.Text(extra.Remaining());
  uLong actual =
      crc32(0, reinterpret_cast<const Bytef*>(rawName.data()), static_cast<uInt>(rawName.size()));
  if (actual != crc || name.empty() || !IsValidUtf8(name)) return std::nullopt;
  return name;
}

AesField ParseAes(ByteReader extra) {
  AesField aes;
  aes.vendorVersion = extra.U16();
  std::string vendor = extra.Text(2);
  aes.strength = extra.U8();
  aes.method = extra.U16();
  if (vendor != "AE") Damaged("unknown encryption vendor");
  return aes;
}

void ParseExtras(ByteReader extras, CentralRecord& record, const std::string& rawName,
                 bool wantSize, bool wantCompressed, bool wantOffset) {
  bool haveZip64 = false;
  std::optional<std::uint64_t> ntfsTime;
  std::optional<std::uint64_t> unixTime;
  std::optional<std::string> unicodeName;
  while (extras.Remaining() >= 4) {
    std::uint16_t id = extras.U16();
    std::uint16_t size = extras.U16();
    // Some writers pad the extra field with bytes that are no field at all; the fields we need
    // are in front of that.
    if (size > extras.Remaining()) break;
    ByteReader field(extras.Bytes(size), ZEV_ERROR_CANNOT_OPEN);
    switch (id) {
      case kExtraZip64:
        ParseZip64Extra(field, record, wantSize, wantCompressed, wantOffset);
        haveZip64 = true;
        break;
      case kExtraNtfs:
        ntfsTime = ParseNtfsTime(field);
        break;
      case kExtraUnixTime:
        unixTime = ParseUnixTime(field);
        break;
      case kExtraUnicodePath:
        unicodeName = ParseUnicodePath(field, rawName);
        break;
      case kExtraAes:
        record.aes = ParseAes(field);
        break;
      default:
        break;
    }
  }
  if ((wantSize || wantCompressed || wantOffset) && !haveZip64) {
    Damaged("missing Zip64 sizes for \"" + rawName + "\"");
  }
  if (unicodeName && !(record.flags & kFlagUtf8)) record.name = *unicodeName;
  if (ntfsTime) {
    record.fileTime = *ntfsTime;
  } else if (unixTime) {
    record.fileTime = *unixTime;
  }
}

CentralRecord ParseCentralRecord(ByteReader& reader) {
  if (reader.U32() != kCentralSignature) Damaged("a central directory record is missing");
  CentralRecord record;
  record.versionMadeBy = reader.U16();
  reader.Skip(2);  // version needed
  record.flags = reader.U16();
  record.method = reader.U16();
  record.dosTime = reader.U16();
  record.dosDate = reader.U16();
  record.crc32 = reader.U32();
  std::uint32_t compressed = reader.U32();
  std::uint32_t size = reader.U32();
  std::uint16_t nameLength = reader.U16();
  std::uint16_t extraLength = reader.U16();
  std::uint16_t commentLength = reader.U16();
  reader.Skip(2 + 2);  // disk number, internal attributes
  record.externalAttributes = reader.U32();
  std::uint32_t offset = reader.U32();
  std::string rawName = reader.Text(nameLength);
  ByteReader extras(reader.Bytes(extraLength), ZEV_ERROR_CANNOT_OPEN);
  reader.Skip(commentLength);

  record.compressedSize = compressed;
  record.size = size;
  record.localHeaderOffset = offset;
  record.name = (record.flags & kFlagUtf8) ? rawName : LegacyNameToUtf8(rawName);
  record.fileTime = FileTimeFromDos(record.dosDate, record.dosTime);
  ParseExtras(extras, record, rawName, size == 0xFFFFFFFF, compressed == 0xFFFFFFFF,
              offset == 0xFFFFFFFF);
  return record;
}

}  // namespace

bool CentralRecord::IsFolder() const {
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
  // Windows archivers may mark a folder by its attribute alone.
  unsigned host = versionMadeBy >> 8;
  bool dosAttributes = host == 0 || host == 11 || host == 14;
  return dosAttributes && (externalAttributes & 0x10) && size == 0;
}

std::uint32_t CentralRecord::Attributes() const {
  constexpr std::uint32_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kFolder = 0x10,
                          kArchive = 0x20, kNormal = 0x80;
  std::uint32_t attributes = externalAttributes & (kReadOnly | kHidden | kSystem | kArchive);
  if (IsFolder()) return attributes | kFolder;
  return attributes == 0 ? kNormal : attributes;
}

namespace {

// The directory's place as the end record at tail[at] (and its Zip64 form) gives it, and where
// the directory must end.
struct EndRecord {
  CentralDirectoryLocation location;
  std::uint64_t directoryLimit = 0;
};

EndRecord ParseEndRecord(const InputFile& file, const std::vector<std::uint8_t>& tail,
                         std::uint64_t tailStart, std::size_t at) {
  ByteReader end{std::span(tail).subspan(at + 4, kEndSize - 4), ZEV_ERROR_CANNOT_OPEN};
  std::uint16_t disk = end.U16();
  std::uint16_t directoryDisk = end.U16();
  std::uint16_t entriesOnDisk = end.U16();
  EndRecord record;
  CentralDirectoryLocation& location = record.location;
  location.entryCount = end.U16();
  location.size = end.U32();
  location.offset = end.U32();
  if (disk != 0 || directoryDisk != 0 || entriesOnDisk != location.entryCount) {
    Damaged("archives split over several disks are not supported");
  }
  std::uint64_t endPosition = tailStart + at;
  record.directoryLimit = endPosition;

  if (endPosition >= kZip64LocatorSize) {
    std::uint64_t locatorAt = endPosition - kZip64LocatorSize;
    auto locatorBytes = ReadBytes(file, locatorAt, kZip64LocatorSize);
    ByteReader locator(locatorBytes, ZEV_ERROR_CANNOT_OPEN);
    if (locator.U32() == kZip64LocatorSignature) {
      std::uint32_t zip64Disk = locator.U32();
      std::uint64_t zip64At = locator.U64();
      std::uint32_t disks = locator.U32();
      if (zip64Disk != 0 || disks > 1)
        Damaged("archives split over several disks are not supported");
      if (!FitsWithin(zip64At, kZip64EndSize, locatorAt)) Damaged("bad Zip64 end record position");
      auto zip64Bytes = ReadBytes(file, zip64At, kZip64EndSize);
      ByteReader zip64(zip64Bytes, ZEV_ERROR_CANNOT_OPEN);
      if (zip64.U32() != kZip64EndSignature) Damaged("no Zip64 end record");
      zip64.Skip(8 + 2 + 2);  // record size, versions
      std::uint32_t disk64 = zip64.U32();
      std::uint32_t directoryDisk64 = zip64.U32();
      std::uint64_t entriesOnDisk64 = zip64.U64();
      location.entryCount = zip64.U64();
      location.size = zip64.U64();
      location.offset = zip64.U64();
      if (disk64 != 0 || directoryDisk64 != 0 || entriesOnDisk64 != location.entryCount) {
        Damaged("archives split over several disks are not supported");
      }
      record.directoryLimit = zip64At;
    }
  }
  if (!FitsWithin(location.offset, location.size, record.directoryLimit)) {
    Damaged("the central directory lies outside the archive");
  }
  if (location.entryCount > location.size / kCentralSize) {
    Damaged("more entries than the central directory can hold");
  }
  return record;
}

}  // namespace

CentralDirectoryLocation FindCentralDirectory(const InputFile& file) {
  if (file.Size() < kEndSize) Damaged("too short");
  std::uint64_t tailSize = std::min<std::uint64_t>(file.Size(), kEndSize + kMaxComment);
  std::uint64_t tailStart = file.Size() - tailSize;
  std::vector<std::uint8_t> tail = ReadBytes(file, tailStart, tailSize);

  std::optional<CentralDirectoryLocation> fallback;
  std::optional<ZipError> firstError;
  for (std::size_t at : EndRecordCandidates(tail)) {
    try {
      EndRecord record = ParseEndRecord(file, tail, tailStart, at);
      // The directory ends where the end records begin, unless something sits between them.
      if (record.location.offset + record.location.size == record.directoryLimit) {
        return record.location;
      }
      if (!fallback) fallback = record.location;
    } catch (const ZipError& error) {
      if (!firstError) firstError = error;
    }
  }
  if (fallback) return *fallback;
  if (firstError) throw *firstError;
  Damaged("no end of central directory");
}

std::vector<CentralRecord> ReadCentralDirectory(const InputFile& file,
                                                const CentralDirectoryLocation& location) {
  std::vector<std::uint8_t> directory = ReadBytes(file, location.offset, location.size);
  ByteReader reader(directory, ZEV_ERROR_CANNOT_OPEN);
  std::vector<CentralRecord> records;
  records.reserve(static_cast<std::size_t>(location.entryCount));
  for (std::uint64_t i = 0; i < location.entryCount; ++i) {
    records.push_back(ParseCentralRecord(reader));
    const CentralRecord& record = records.back();
    if (record.flags & (kFlagStrongEncryption | kFlagMaskedDirectory)) {
      throw ZipError(ZEV_ERROR_CANNOT_OPEN, "PKWARE strong encryption is not supported");
    }
  }
  return records;
}

std::uint64_t ReadLocalHeader(const InputFile& file, const CentralRecord& record) {
  auto bytes = ReadBytes(file, record.localHeaderOffset, kLocalSize);
  ByteReader header(bytes, ZEV_ERROR_CANNOT_OPEN);
  if (header.U32() != kLocalSignature) Damaged("no local header for \"" + record.name + "\"");
  header.Skip(22);
  std::uint16_t nameLength = header.U16();
  std::uint16_t extraLength = header.U16();
  return record.localHeaderOffset + kLocalSize + nameLength + extraLength;
}

}  // namespace zevlib
