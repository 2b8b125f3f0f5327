#pragma once
// One entry's data, read through its decryption and decompression and checked on the way: the
// declared size (inflating stops as soon as the data goes past it), the CRC-32 and, for AES,
// the authentication code.
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "zevlib/output_pipeline.h"
#include "zevlib/zip_archive.h"
#include "zevlib/zip_crypto.h"

namespace zevlib {

// Reused from entry to entry: big buffers keep the system calls and zlib's overhead small.
struct DecodeBuffers {
  std::vector<std::uint8_t> input = std::vector<std::uint8_t>(256 * 1024);
  std::vector<std::uint8_t> output = std::vector<std::uint8_t>(1024 * 1024);
};

// Told the number of bytes produced so far, on the caller's thread.
using ProgressSink = std::function<void(std::uint64_t produced)>;

class EntryDecoder {
 public:
  // Throws WrongPassword when the entry is encrypted and the password does not open it,
  // ZipError(ZEV_ERROR_CANNOT_OPEN) for a compression or encryption we do not support and
  // ZipError(ZEV_ERROR_DAMAGED_ENTRY) when the sizes cannot hold the encryption header.
  EntryDecoder(const InputFile& file, const ZipEntry& entry, std::string_view password);
  ~EntryDecoder();

  // Hands the content to sink piece by piece, in order; for a big entry on a second thread, so
  // the sink must not call back into the caller. Throws ZipError(ZEV_ERROR_DAMAGED_ENTRY) when
  // the data does not match its sizes, CRC or authentication code, and WrongPassword when
  // ZipCrypto data comes out wrong, since its check lets one wrong password in 256 through.
  void Run(DecodeBuffers& buffers, const DataSink& sink, const ProgressSink& progress);

 private:
  void OpenZipCrypto(std::string_view password);
  void OpenAes(std::string_view password);
  void Decrypt(std::span<std::uint8_t> data);
  void RunChecked(DecodeBuffers& buffers, const DataSink& sink, const ProgressSink& progress);

  const InputFile& file_;
  const CentralRecord& record_;
  std::uint64_t payloadOffset_;
  std::uint64_t payloadSize_;
  std::uint16_t method_;
  bool checkCrc_ = true;
  std::unique_ptr<ZipCryptoDecryptor> zipCrypto_;
  std::unique_ptr<AesDecryptor> aes_;
};

}  // namespace zevlib
