#include "setup/platform/win32/bitmap_file_check.h"

#include <windows.h>

#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;      // OS/2 1.x
constexpr std::uint32_t kLargestInfoHeader = 124;  // BITMAPV5HEADER
// Far beyond any screen; keeps the size arithmetic clear of overflow.
constexpr std::uint64_t kMaxDimension = 1u << 15;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

std::uint32_t Read16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  return Read16(bytes, at) | (Read16(bytes, at + 2) << 16);
}

}  // namespace

bool IsCompleteBitmapFile(std::string_view file) {
  if (file.size() < kFileHeaderSize + kCoreHeaderSize) return false;
  if (file[0] != 'B' || file[1] != 'M') return false;
  const std::uint64_t pixelOffset = Read32(file, 10);
  const std::uint32_t headerSize = Read32(file, kFileHeaderSize);
  const bool core = headerSize == kCoreHeaderSize;
  if (!core && (headerSize < 40 || headerSize > kLargestInfoHeader)) return false;
  if (kFileHeaderSize + headerSize > file.size()) return false;

  const std::size_t info = kFileHeaderSize + 4;
  // Info headers hold signed sizes (negative height: rows stored top-down).
  auto signedAt = [&](std::size_t at) -> std::int64_t {
    return static_cast<std::int32_t>(Read32(file, at));
  };
  std::int64_t width = core ? std::int64_t{Read16(file, info)} : signedAt(info);
  std::int64_t height = core ? std::int64_t{Read16(file, info + 2)} : signedAt(info + 4);
  const std::uint32_t planes = Read16(file, core ? info + 4 : info + 8);
  const std::uint32_t bitCount = Read16(file, core ? info + 6 : info + 10);
  const std::uint32_t compression = core ? kRgb : Read32(file, info + 12);
  const std::uint64_t imageSize = core ? 0 : Read32(file, info + 16);
  const std::uint64_t colorsUsed = core ? 0 : Read32(file, info + 28);
  if (height < 0) height = -height;
  if (width <= 0 || height == 0 || static_cast<std::uint64_t>(width) > kMaxDimension ||
      static_cast<std::uint64_t>(height) > kMaxDimension || planes != 1)
    return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return false;

  std::uint64_t tableEnd = kFileHeaderSize + headerSize;
  if (compression == kBitFields) {
    if (bitCount != 16 && bitCount != 32) return false;
    if (headerSize == 40) tableEnd += 3 * 4;  // the three masks follow the header
  } else if (compression == kRle8 || compression == kRle4) {
    if (bitCount != (compression == kRle8 ? 8u : 4u)) return false;
  } else if (compression != kRgb) {
    return false;
  }
  if (bitCount <= 8) {
    std::uint64_t entries = colorsUsed ? colorsUsed : (1u << bitCount);
    if (entries > (1u << bitCount)) return false;
    tableEnd += entries * (core ? 3 : 4);
  }
  if (tableEnd > file.size() || pixelOffset < tableEnd) return false;

  std::uint64_t pixelBytes = 0;
  if (compression == kRle8 || compression == kRle4) {
    pixelBytes = imageSize;  // compressed data has no size of its own
    if (pixelBytes == 0) return false;
  } else {
    std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
    pixelBytes = stride * static_cast<std::uint64_t>(height);
  }
  return pixelOffset + pixelBytes <= file.size();
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxSize) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > maxSize)
    return std::nullopt;
  std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!content.empty() &&
      (!ReadFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr) ||
       read != content.size()))
    return std::nullopt;
  return content;
}

}  // namespace zev::win32
