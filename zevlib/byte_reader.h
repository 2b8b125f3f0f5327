#pragma once
// Little-endian fields out of a byte range. Reading past the end throws, so a damaged record
// can never make us read outside the bytes we hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zevlib/errors.h"

namespace zevlib {

class ByteReader {
 public:
  // errorCode is thrown when a field runs past the end: damaged structure at open time is a
  // different error than damaged data during extraction.
  ByteReader(std::span<const std::uint8_t> bytes, std::int32_t errorCode)
      : bytes_(bytes), errorCode_(errorCode) {}

  std::uint8_t U8() { return Take(1)[0]; }
  std::uint16_t U16() {
    auto b = Take(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t U32() {
    auto b = Take(4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::uint64_t U64() {
    std::uint64_t low = U32();
    std::uint64_t high = U32();
    return low | (high << 32);
  }
  std::span<const std::uint8_t> Bytes(std::size_t count) { return Take(count); }
  std::string Text(std::size_t count) {
    auto b = Take(count);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
  }
  void Skip(std::size_t count) { Take(count); }

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }

 private:
  std::span<const std::uint8_t> Take(std::size_t count) {
    if (count > Remaining()) {
      throw ZipError(errorCode_, "a record runs past the end of its data");
    }
    auto part = bytes_.subspan(position_, count);
    position_ += count;
    return part;
  }

  std::span<const std::uint8_t> bytes_;
  std::int32_t errorCode_;
  std::size_t position_ = 0;
};

}  // namespace zevlib
