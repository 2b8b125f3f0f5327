#pragma once
// ZIP records: the end of central directory (with its Zip64 form), the central directory and the
// local headers. Every length and offset is checked against the file before it is used.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zevlib/host_files.h"

namespace zevlib {

enum : std::uint16_t { kMethodStored = 0, kMethodDeflate = 8, kMethodAes = 99 };

enum : std::uint16_t {
  kFlagEncrypted = 1u << 0,
  kFlagDataDescriptor = 1u << 3,
  kFlagStrongEncryption = 1u << 6,
  kFlagUtf8 = 1u << 11,
  kFlagMaskedDirectory = 1u << 13,
};

// WinZip's AES extra field.
struct AesField {
  std::uint16_t vendorVersion = 0;  // 1: AE-1, 2: AE-2 (no CRC)
  std::uint8_t strength = 0;        // 1, 2, 3: 128, 192, 256 bits
  std::uint16_t method = 0;         // the compression under the encryption
};

// One entry as the central directory describes it.
struct CentralRecord {
  std::string name;  // UTF-8, separators as stored
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t localHeaderOffset = 0;
  std::uint32_t externalAttributes = 0;
  std::uint64_t fileTime = 0;  // FILETIME, from the NTFS or Unix time fields or the DOS time
  std::optional<AesField> aes;

  bool IsEncrypted() const { return (flags & kFlagEncrypted) != 0; }
  bool IsFolder() const;
  // FILE_ATTRIBUTE_* bits as Windows would show them.
  std::uint32_t Attributes() const;
};

struct CentralDirectoryLocation {
  std::uint64_t entryCount = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

// Throws ZipError(ZEV_ERROR_CANNOT_OPEN) when the file is no ZIP archive, is damaged or spans
// several disks.
CentralDirectoryLocation FindCentralDirectory(const InputFile& file);
std::vector<CentralRecord> ReadCentralDirectory(const InputFile& file,
                                                const CentralDirectoryLocation& location);
// Where the entry's data starts, past its local header.
std::uint64_t ReadLocalHeader(const InputFile& file, const CentralRecord& record);

}  // namespace zevlib
