#pragma once
// LoadImage reads a bitmap file through a mapping and trusts its headers: under Wine a file whose
// pixels are cut short crashes the process. Splash bitmaps come from the package, so they are
// checked before they are handed over.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zev::win32 {

// Files larger than this are not taken as splash pictures.
inline constexpr std::size_t kMaxBitmapFileSize = 64u << 20;

// True when the bytes are a complete Windows bitmap file: known header, sane dimensions, and
// palette and pixel data within the file.
bool IsCompleteBitmapFile(std::string_view file);

// The whole file, or nothing when it cannot be read or exceeds maxSize.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxSize);

}  // namespace zev::win32
