#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zev::testing {

// The bytes of a minimal 32-bit program image: DOS header, PE signature, file header, a
// 224-byte optional header and one section table entry per (pointer, size) pair. The file is
// padded to the end of the last section's raw data, so it carries nothing appended.
inline std::string PeImage(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& sections,
                           std::uint32_t peOffset = 0x80) {
  std::string image(peOffset + 4 + 20 + 224 + 40 * sections.size(), '\0');
  auto put = [&image](std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  image[0] = 'M';
  image[1] = 'Z';
  put(60, peOffset, 4);
  image.replace(peOffset, 4, std::string("PE\0\0", 4));
  std::size_t fileHeader = peOffset + 4;
  put(fileHeader, 0x14C, 2);  // i386
  put(fileHeader + 2, static_cast<std::uint32_t>(sections.size()), 2);
  put(fileHeader + 16, 224, 2);
  put(fileHeader + 20, 0x10B, 2);  // PE32
  std::uint32_t end = static_cast<std::uint32_t>(image.size());
  for (std::size_t i = 0; i < sections.size(); ++i) {
    std::size_t entry = fileHeader + 20 + 224 + 40 * i;
    put(entry + 16, sections[i].second, 4);
    put(entry + 20, sections[i].first, 4);
    end = std::max(end, sections[i].first + sections[i].second);
  }
  image.resize(end, '\0');
  return image;
}

}  // namespace zev::testing
