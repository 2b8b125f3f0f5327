#include <gtest/gtest.h>

#include <cstring>

#include "setup/platform/win32/bitmap_file_check.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

constexpr std::size_t kInfoHeader = 14;  // where BITMAPINFOHEADER starts

void Put32(std::string& file, std::size_t at, std::uint32_t value) {
  std::memcpy(file.data() + at, &value, sizeof(value));
}
void Put16(std::string& file, std::size_t at, std::uint16_t value) {
  std::memcpy(file.data() + at, &value, sizeof(value));
}

std::string Valid24Bit() { return test::BitmapFileBytes(7, 5, RGB(1, 2, 3)); }

// An 8-bit picture with a full palette, compressed or not.
std::string EightBit(int width, int height, bool rle) {
  std::string file = test::BitmapFileBytes(width, height, RGB(0, 0, 0));
  file.resize(kInfoHeader + 40);
  std::string palette(256 * 4, '\x7F');
  std::string pixels;
  if (rle) {
    for (int y = 0; y < height; ++y) pixels += std::string{static_cast<char>(width), 9, 0, 0};
    pixels += std::string{0, 1};  // end of picture
  } else {
    pixels.assign(static_cast<std::size_t>((width + 3) & ~3) * height, '\x09');
  }
  Put16(file, kInfoHeader + 14, 8);
  Put32(file, kInfoHeader + 16, rle ? 1 : 0);
  Put32(file, kInfoHeader + 20, static_cast<std::uint32_t>(pixels.size()));
  Put32(file, 10, static_cast<std::uint32_t>(file.size() + palette.size()));
  file += palette + pixels;
  Put32(file, 2, static_cast<std::uint32_t>(file.size()));
  return file;
}

TEST(BitmapFileCheckTest, AcceptsCompleteFiles) {
  EXPECT_TRUE(IsCompleteBitmapFile(Valid24Bit()));
  EXPECT_TRUE(IsCompleteBitmapFile(test::BitmapFileBytes(7, 5, RGB(1, 2, 3), true)));
  EXPECT_TRUE(IsCompleteBitmapFile(test::BitmapFileBytes(1, 1, RGB(1, 2, 3))));
  EXPECT_TRUE(IsCompleteBitmapFile(EightBit(6, 4, false)));
  EXPECT_TRUE(IsCompleteBitmapFile(EightBit(6, 4, true)));

  // The old OS/2 header: 16-bit width and height, no compression field.
  std::string core = "BM" + std::string(12, '\0');
  core += std::string{12, 0, 0, 0, 2, 0, 3, 0, 1, 0, 24, 0};
  Put32(core, 10, 26);
  core += std::string(2 * 3 + 2, '\0') + std::string(2 * 3 + 2, '\0') + std::string(8, '\0');
  EXPECT_TRUE(IsCompleteBitmapFile(core));
}

TEST(BitmapFileCheckTest, RejectsDataCutShort) {
  std::string file = Valid24Bit();
  EXPECT_FALSE(IsCompleteBitmapFile(file.substr(0, file.size() - 1)));
  EXPECT_FALSE(IsCompleteBitmapFile(file.substr(0, 30)));
  EXPECT_FALSE(IsCompleteBitmapFile(file.substr(0, 2)));
  EXPECT_FALSE(IsCompleteBitmapFile(""));

  std::string paletted = EightBit(6, 4, false);
  std::string noPalette = paletted.substr(0, kInfoHeader + 40 + 100);
  EXPECT_FALSE(IsCompleteBitmapFile(noPalette));
  std::string rle = EightBit(6, 4, true);
  Put32(rle, kInfoHeader + 20, 0);  // compressed data without a size
  EXPECT_FALSE(IsCompleteBitmapFile(rle));
  Put32(rle, kInfoHeader + 20, 1000);  // more than the file holds
  EXPECT_FALSE(IsCompleteBitmapFile(rle));
}

TEST(BitmapFileCheckTest, RejectsHeadersThatMakeNoSense) {
  auto with = [](std::size_t at, std::uint32_t value, bool wide = true) {
    std::string file = Valid24Bit();
    wide ? Put32(file, at, value) : Put16(file, at, static_cast<std::uint16_t>(value));
    return file;
  };
  std::string notBm = Valid24Bit();
  notBm[0] = 'X';
  EXPECT_FALSE(IsCompleteBitmapFile(notBm));
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader, 20))) << "unknown header size";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 4, 0))) << "zero width";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 8, 0))) << "zero height";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 4, 0x7FFFFFFF))) << "huge width";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 8, 0x80000000))) << "huge top-down height";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 12, 2, false))) << "two planes";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 14, 7, false))) << "7 bits per pixel";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 16, 4))) << "JPEG inside";
  EXPECT_FALSE(IsCompleteBitmapFile(with(kInfoHeader + 16, 1))) << "RLE8 on 24 bits";
  EXPECT_FALSE(IsCompleteBitmapFile(with(10, 0))) << "pixels inside the headers";
  EXPECT_FALSE(IsCompleteBitmapFile(with(10, 0xFFFFFFF0))) << "pixels beyond the file";
}

}  // namespace
}  // namespace zev::win32
