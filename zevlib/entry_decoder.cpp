#include "zevlib/entry_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "zevlib/errors.h"

namespace zevlib {
namespace {

[[noreturn]] void Damaged(const CentralRecord& record, const std::string& what) {
  throw ZipError(ZEV_ERROR_DAMAGED_ENTRY, "\"" + record.name + "\" is damaged: " + what);
}

class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) {
      throw ZipError(ZEV_ERROR_WRITE_FAILED, "out of memory");
    }
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
};

// Counts and checksums what the decoder produces before the sink sees it. Big entries are
// checksummed and written on a second thread while the next piece is inflated.
class CheckedOutput {
 public:
  CheckedOutput(const CentralRecord& record, const DataSink& sink, const ProgressSink& progress,
                bool pipelined, std::size_t bufferSize)
      : record_(record), sink_(sink), progress_(progress) {
    if (pipelined) pipeline_.emplace(sink, bufferSize);
  }

  // Data the caller keeps: checksummed and written before this returns.
  void Emit(const std::uint8_t* data, std::size_t count) {
    if (count == 0) return;
    Count(count);
    crc_ = crc32_z(crc_, data, count);
    sink_(std::span(data, count));
    progress_(produced_);
  }
  // The first count bytes of buffer, which may be exchanged for an empty one.
  void Emit(std::vector<std::uint8_t>& buffer, std::size_t count) {
    if (count == 0) return;
    if (!pipeline_) return Emit(buffer.data(), count);
    Count(count);
    pipeline_->Push(buffer, count);
    progress_(produced_);
  }
  std::uint64_t produced() const { return produced_; }
  std::uint32_t Finish() {
    return pipeline_ ? pipeline_->Finish() : static_cast<std::uint32_t>(crc_);
  }

 private:
  void Count(std::size_t count) {
    if (count > record_.size - produced_) Damaged(record_, "more data than its declared size");
    produced_ += count;
  }

  const CentralRecord& record_;
  const DataSink& sink_;
  const ProgressSink& progress_;
  std::optional<OutputPipeline> pipeline_;
  std::uint64_t produced_ = 0;
  uLong crc_ = crc32(0, nullptr, 0);
};

}  // namespace

EntryDecoder::EntryDecoder(const InputFile& file, const ZipEntry& entry, std::string_view password)
    : file_(file),
      record_(entry.record),
      payloadOffset_(entry.dataOffset),
      payloadSize_(entry.record.compressedSize),
      method_(entry.record.method) {
  if (record_.IsEncrypted()) {
    if (password.empty()) throw WrongPassword("\"" + record_.name + "\" needs a password");
    if (record_.method == kMethodAes) {
      OpenAes(password);
    } else {
      OpenZipCrypto(password);
    }
  } else if (record_.method == kMethodAes) {
    Damaged(record_, "AES without the encryption flag");
  }
  if (method_ != kMethodStored && method_ != kMethodDeflate) {
    throw ZipError(ZEV_ERROR_CANNOT_OPEN, "\"" + record_.name + "\" uses compression method " +
                                              std::to_string(method_) + ", not supported");
  }
  if (method_ == kMethodStored && payloadSize_ != record_.size) {
    Damaged(record_, "stored size and size differ");
  }
}

EntryDecoder::~EntryDecoder() = default;

void EntryDecoder::OpenZipCrypto(std::string_view password) {
  if (payloadSize_ < ZipCryptoDecryptor::kHeaderSize) Damaged(record_, "no encryption header");
  std::uint8_t header[ZipCryptoDecryptor::kHeaderSize];
  file_.ReadAt(payloadOffset_, header, sizeof header, ZEV_ERROR_DAMAGED_ENTRY);
  zipCrypto_ = std::make_unique<ZipCryptoDecryptor>(password);
  auto crcCheck = static_cast<std::uint8_t>(record_.crc32 >> 24);
  // Writers that stream (data descriptor) check against the time instead of the CRC.
  auto timeCheck = static_cast<std::uint8_t>(record_.dosTime >> 8);
  bool streamed = (record_.flags & kFlagDataDescriptor) != 0;
  if (!zipCrypto_->OpenHeader(header, streamed ? timeCheck : crcCheck, crcCheck)) {
    throw WrongPassword("wrong password for \"" + record_.name + "\"");
  }
  payloadOffset_ += sizeof header;
  payloadSize_ -= sizeof header;
}

void EntryDecoder::OpenAes(std::string_view password) {
  if (!record_.aes) Damaged(record_, "no AES field");
  const AesField& aes = *record_.aes;
  std::size_t saltSize = AesDecryptor::SaltSize(aes.strength);
  if (saltSize == 0 || (aes.vendorVersion != 1 && aes.vendorVersion != 2)) {
    throw ZipError(ZEV_ERROR_CANNOT_OPEN, "\"" + record_.name + "\" uses an unknown AES variant");
  }
  std::size_t overhead = saltSize + AesDecryptor::kVerifierSize + AesDecryptor::kMacSize;
  if (payloadSize_ < overhead) Damaged(record_, "no encryption header");
  std::vector<std::uint8_t> header(saltSize + AesDecryptor::kVerifierSize);
  file_.ReadAt(payloadOffset_, header.data(), header.size(), ZEV_ERROR_DAMAGED_ENTRY);
  aes_ = AesDecryptor::Open(password, aes.strength, std::span(header).first(saltSize),
                            std::span(header).subspan(saltSize));
  if (!aes_) throw WrongPassword("wrong password for \"" + record_.name + "\"");
  payloadOffset_ += header.size();
  payloadSize_ -= overhead;
  method_ = aes.method;
  checkCrc_ = aes.vendorVersion == 1;  // AE-2 stores no CRC; the authentication code covers it
}

void EntryDecoder::Decrypt(std::span<std::uint8_t> data) {
  if (zipCrypto_) zipCrypto_->Decrypt(data);
  if (aes_) aes_->Decrypt(data);
}

void EntryDecoder::Run(DecodeBuffers& buffers, const DataSink& sink, const ProgressSink& progress) {
  if (!zipCrypto_) return RunChecked(buffers, sink, progress);
  try {
    RunChecked(buffers, sink, progress);
  } catch (const ZipError& error) {
    if (error.code() != ZEV_ERROR_DAMAGED_ENTRY) throw;
    throw WrongPassword("wrong password for \"" + record_.name + "\" (or damaged data)");
  }
}

void EntryDecoder::RunChecked(DecodeBuffers& buffers, const DataSink& sink,
                              const ProgressSink& progress) {
  std::optional<Inflater> inflater;
  // Some writers store an empty file as deflate with no data at all.
  bool emptyDeflate = payloadSize_ == 0 && record_.size == 0;
  if (method_ == kMethodDeflate && !emptyDeflate) inflater.emplace();
  // A second thread pays off when inflating dominates and there is a second processor.
  bool pipelined = inflater && record_.size >= 2 * buffers.output.size() &&
                   std::thread::hardware_concurrency() > 1;
  CheckedOutput output(record_, sink, progress, pipelined, buffers.output.size());
  bool streamEnded = false;
  std::uint64_t offset = payloadOffset_;
  std::uint64_t remaining = payloadSize_;

  while (remaining > 0) {
    if (streamEnded) Damaged(record_, "data after the end of the compressed stream");
    auto count = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffers.input.size()));
    file_.ReadAt(offset, buffers.input.data(), count, ZEV_ERROR_DAMAGED_ENTRY);
    offset += count;
    remaining -= count;
    Decrypt(std::span(buffers.input.data(), count));
    if (!inflater) {
      output.Emit(buffers.input.data(), count);
      continue;
    }
    z_stream& stream = inflater->stream();
    stream.next_in = buffers.input.data();
    stream.avail_in = static_cast<uInt>(count);
    do {
      stream.next_out = buffers.output.data();
      stream.avail_out = static_cast<uInt>(buffers.output.size());
      int result = inflate(&stream, Z_NO_FLUSH);
      // The buffer may be swapped for another; zlib keeps its own window.
      output.Emit(buffers.output, buffers.output.size() - stream.avail_out);
      if (result == Z_STREAM_END) {
        streamEnded = true;
        if (stream.avail_in > 0) Damaged(record_, "data after the end of the compressed stream");
        break;
      }
      if (result == Z_BUF_ERROR) break;  // wants more input
      if (result != Z_OK) Damaged(record_, "bad compressed data");
    } while (stream.avail_in > 0 || stream.avail_out == 0);
  }
  if (inflater && !streamEnded) Damaged(record_, "the compressed data ends early");
  std::uint32_t crc = output.Finish();
  if (output.produced() != record_.size) Damaged(record_, "less data than its declared size");
  if (checkCrc_ && crc != record_.crc32) Damaged(record_, "CRC mismatch");
  if (aes_) {
    std::uint8_t mac[AesDecryptor::kMacSize];
    file_.ReadAt(offset, mac, sizeof mac, ZEV_ERROR_DAMAGED_ENTRY);
    if (!aes_->MacMatches(mac)) Damaged(record_, "authentication code mismatch");
  }
}

}  // namespace zevlib
