#pragma once
// Owners for the Win32 resources of the driver: kernel handles and 16-byte aligned blocks.
#include <windows.h>

#include <malloc.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace tx880::asio {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;  // CreateEvent and CreateThread report failure as null
};

// Host buffers and packet data blocks: aligned to 16 bytes for vectorised copies.
class AlignedBlock {
 public:
  static constexpr std::size_t kAlignment = 16;

  AlignedBlock() = default;
  ~AlignedBlock() { Reset(); }
  AlignedBlock(AlignedBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  AlignedBlock& operator=(AlignedBlock&& other) noexcept {
    if (this != &other) {
      Reset();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  AlignedBlock(const AlignedBlock&) = delete;
  AlignedBlock& operator=(const AlignedBlock&) = delete;

  // False when the memory cannot be had; the block is then empty.
  bool Allocate(std::size_t size, bool zeroed) {
    Reset();
    data_ = static_cast<std::byte*>(_aligned_malloc(size == 0 ? 1 : size, kAlignment));
    if (data_ == nullptr) return false;
    size_ = size;
    if (zeroed) std::memset(data_, 0, size);
    return true;
  }
  void Reset() {
    if (data_ != nullptr) _aligned_free(data_);
    data_ = nullptr;
    size_ = 0;
  }

  std::byte* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  std::byte* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tx880::asio
