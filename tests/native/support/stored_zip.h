#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

namespace zev::testing {

// A ZIP archive of stored (uncompressed) entries, the smallest real archive a test can make.
inline std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string archive, directory;
  auto put = [](std::string& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  for (const auto& [name, data] : entries) {
    auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    auto offset = static_cast<std::uint32_t>(archive.size());
    auto size = static_cast<std::uint32_t>(data.size());
    auto nameLength = static_cast<std::uint32_t>(name.size());
    put(archive, 0x04034b50, 4);
    put(archive, 20, 2);
    put(archive, 0, 2);
    put(archive, 0, 2);  // stored
    put(archive, 0, 4);  // time and date
    put(archive, crc, 4);
    put(archive, size, 4);
    put(archive, size, 4);
    put(archive, nameLength, 2);
    put(archive, 0, 2);
    archive += name + data;
    put(directory, 0x02014b50, 4);
    put(directory, 20, 2);
    put(directory, 20, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 4);
    put(directory, crc, 4);
    put(directory, size, 4);
    put(directory, size, 4);
    put(directory, nameLength, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 4);
    put(directory, offset, 4);
    directory += name;
  }
  auto directoryOffset = static_cast<std::uint32_t>(archive.size());
  archive += directory;
  put(archive, 0x06054b50, 4);
  put(archive, 0, 4);
  put(archive, static_cast<std::uint32_t>(entries.size()), 2);
  put(archive, static_cast<std::uint32_t>(entries.size()), 2);
  put(archive, static_cast<std::uint32_t>(directory.size()), 4);
  put(archive, directoryOffset, 4);
  put(archive, 0, 2);
  return archive;
}

}  // namespace zev::testing
