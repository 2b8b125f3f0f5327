#pragma once
// Builds exactly the archive a test needs, including damaged and hostile ones: any name bytes,
// wrong sizes and CRCs, entries that share data, Zip64 records, data descriptors, ZipCrypto and
// WinZip AES.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zevtest {

enum class Method { Stored, Deflate };
enum class Encryption { None, ZipCrypto, Aes128, Aes192, Aes256 };

struct TestEntry {
  std::string name;  // stored as is
  std::string data;
  Method method = Method::Deflate;
  Encryption encryption = Encryption::None;
  std::string password;
  int aesVersion = 2;  // AE-1 or AE-2
  bool dataDescriptor = false;
  bool utf8Flag = false;
  bool zip64 = false;  // Zip64 extra fields with all sizes and the offset in them
  std::uint16_t dosTime = (12 << 11) | (30 << 5);     // 12:30:00
  std::uint16_t dosDate = (40 << 9) | (6 << 5) | 15;  // 2020-06-15
  std::uint16_t versionMadeBy = 20;                   // DOS host
  std::uint32_t externalAttributes = 0;
  std::optional<std::int32_t> unixTime;   // extended timestamp field
  std::optional<std::uint64_t> ntfsTime;  // NTFS time field (FILETIME)
  std::string centralExtra;               // raw bytes appended to the central extra field

  // Lies told by the central directory.
  std::optional<std::uint32_t> crcOverride;
  std::optional<std::uint64_t> sizeOverride;
  std::optional<std::uint64_t> compressedSizeOverride;
  // No data of its own: the central record points at the local header of that entry.
  std::optional<std::size_t> shareDataOf;
};

struct ArchiveOptions {
  bool zip64End = false;  // Zip64 end record and locator, the old record saturated
  std::string comment;
  std::string prefix;  // bytes in front of the first entry
};

std::string BuildZip(const std::vector<TestEntry>& entries, const ArchiveOptions& options = {});

// Raw deflate of data, as ZIP stores it.
std::string Deflate(const std::string& data);
std::uint32_t Crc32(const std::string& data);

}  // namespace zevtest
