#include "setup/startup/payload.h"

#include <algorithm>
#include <vector>

#include "setup/platform/error.h"

namespace zev {

namespace {

constexpr std::size_t kNewHeaderOffsetField = 60;
constexpr std::size_t kSectionCountField = 2;
// The section table follows the 20-byte file header and the 224-byte optional header of a
// 32-bit image.
constexpr std::size_t kSectionTableOffset = 20 + 224;
constexpr std::size_t kSectionEntrySize = 40;
constexpr std::size_t kRawSizeField = 16;
constexpr std::size_t kRawPointerField = 20;

std::optional<std::uint32_t> ReadUInt(std::span<const std::byte> bytes, std::size_t offset,
                                      std::size_t width) {
  if (offset > bytes.size() || bytes.size() - offset < width) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i)
    value |= std::to_integer<std::uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

}  // namespace

std::optional<std::uint32_t> StubSizeFromHeaders(std::span<const std::byte> headers) {
  auto signature = ReadUInt(headers, kNewHeaderOffsetField, 4);
  if (!signature) return std::nullopt;
  std::size_t fileHeader = std::size_t{*signature} + 4;
  auto sections = ReadUInt(headers, fileHeader + kSectionCountField, 2);
  if (!sections) return std::nullopt;
  std::uint64_t largest = 0;
  for (std::uint32_t i = 0; i < *sections; ++i) {
    std::size_t entry = fileHeader + kSectionTableOffset + i * kSectionEntrySize;
    auto rawSize = ReadUInt(headers, entry + kRawSizeField, 4);
    auto rawPointer = ReadUInt(headers, entry + kRawPointerField, 4);
    if (!rawSize || !rawPointer) return std::nullopt;
    largest = std::max<std::uint64_t>(largest, std::uint64_t{*rawPointer} + *rawSize);
  }
  if (largest > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(largest);
}

std::optional<std::uint32_t> GetStubSize(platform::LoadedModule& module) {
  return StubSizeFromHeaders(module.MappedHeaders());
}

bool CopyAppendedData(platform::FileSystem& files, const std::string& filePath,
                      platform::LoadedModule& module, const std::string& outputPath,
                      std::uint32_t stubSize) {
  auto input = files.OpenForReading(filePath);
  if (stubSize == 0) {
    auto measured = GetStubSize(module);
    if (!measured) throw Error("The program image of " + filePath + " is damaged");
    stubSize = *measured;
  }
  std::uint64_t size = input->Size();
  if (size <= stubSize) return false;

  input->Seek(stubSize);
  auto output = files.CreateForWriting(outputPath);
  std::vector<char> buffer(1 << 16);
  std::uint64_t remaining = size - stubSize;
  while (remaining > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
    std::size_t got = input->Read(buffer.data(), want);
    if (got == 0) throw Error("Unexpected end of file while reading " + filePath);
    output->Write(buffer.data(), got);
    remaining -= got;
  }
  return true;
}

}  // namespace zev
