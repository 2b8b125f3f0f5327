#include "zevlib/zip_crypto.h"

#include <gcrypt.h>
#include <zlib.h>

#include <cstring>
#include <mutex>

#include "zevlib/errors.h"

namespace zevlib {
namespace {

constexpr std::size_t kAesBlock = 16;
constexpr std::size_t kKeystreamSize = 64 * 1024;
constexpr unsigned kPbkdf2Iterations = 1000;

void InitGcrypt() {
  static std::once_flag once;
  std::call_once(once, [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

[[noreturn]] void CryptoFailed(const char* what, gcry_error_t error) {
  throw ZipError(ZEV_ERROR_CANNOT_OPEN, std::string(what) + ": " + gcry_strerror(error));
}

struct CipherCloser {
  void operator()(gcry_cipher_hd_t handle) const { gcry_cipher_close(handle); }
};
struct MacCloser {
  void operator()(gcry_mac_hd_t handle) const { gcry_mac_close(handle); }
};

}  // namespace

// ---- ZipCrypto ----

ZipCryptoDecryptor::ZipCryptoDecryptor(std::string_view password)
    : keys_{0x12345678, 0x23456789, 0x34567890} {
  for (char c : password) Update(static_cast<std::uint8_t>(c));
}

void ZipCryptoDecryptor::Update(std::uint8_t plain) {
  static const z_crc_t* table = get_crc_table();
  keys_[0] = table[(keys_[0] ^ plain) & 0xFF] ^ (keys_[0] >> 8);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xFF] ^ (keys_[2] >> 8);
}

std::uint8_t ZipCryptoDecryptor::KeyByte() const {
  std::uint32_t temp = (keys_[2] | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((temp * (temp ^ 1)) >> 8);
}

bool ZipCryptoDecryptor::OpenHeader(std::span<const std::uint8_t, kHeaderSize> header,
                                    std::uint8_t check, std::uint8_t otherCheck) {
  std::uint8_t plain[kHeaderSize];
  std::memcpy(plain, header.data(), kHeaderSize);
  Decrypt(plain);
  return plain[kHeaderSize - 1] == check || plain[kHeaderSize - 1] == otherCheck;
}

void ZipCryptoDecryptor::Decrypt(std::span<std::uint8_t> data) {
  for (auto& byte : data) {
    byte ^= KeyByte();
    Update(byte);
  }
}

// ---- WinZip AES ----

struct AesDecryptor::Handles {
  std::unique_ptr<gcry_cipher_handle, CipherCloser> cipher;
  std::unique_ptr<gcry_mac_handle, MacCloser> mac;
};

std::size_t AesDecryptor::SaltSize(std::uint8_t strength) {
  return strength >= 1 && strength <= 3 ? 4u + 4u * strength : 0u;
}

std::unique_ptr<AesDecryptor> AesDecryptor::Open(std::string_view password, std::uint8_t strength,
                                                 std::span<const std::uint8_t> salt,
                                                 std::span<const std::uint8_t> verifier) {
  InitGcrypt();
  std::size_t keySize = 8u + 8u * strength;  // 16, 24, 32
  if (SaltSize(strength) == 0 || salt.size() != SaltSize(strength) ||
      verifier.size() != kVerifierSize || password.empty()) {
    return nullptr;
  }
  // AES key, then HMAC key, then the two verifier bytes.
  std::vector<std::uint8_t> derived(2 * keySize + kVerifierSize);
  gcry_error_t error =
      gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt.data(),
                      salt.size(), kPbkdf2Iterations, derived.size(), derived.data());
  if (error) CryptoFailed("key derivation", error);
  if (std::memcmp(derived.data() + 2 * keySize, verifier.data(), kVerifierSize) != 0) {
    return nullptr;
  }

  auto handles = std::make_unique<Handles>();
  gcry_cipher_hd_t cipher = nullptr;
  int algorithm = strength == 1   ? GCRY_CIPHER_AES128
                  : strength == 2 ? GCRY_CIPHER_AES192
                                  : GCRY_CIPHER_AES256;
  // WinZip's counter is little-endian, which libgcrypt's CTR mode is not: we make the
  // keystream from counter blocks in ECB mode.
  error = gcry_cipher_open(&cipher, algorithm, GCRY_CIPHER_MODE_ECB, 0);
  if (error) CryptoFailed("AES", error);
  handles->cipher.reset(cipher);
  error = gcry_cipher_setkey(cipher, derived.data(), keySize);
  if (error) CryptoFailed("AES key", error);

  gcry_mac_hd_t mac = nullptr;
  error = gcry_mac_open(&mac, GCRY_MAC_HMAC_SHA1, 0, nullptr);
  if (error) CryptoFailed("HMAC", error);
  handles->mac.reset(mac);
  error = gcry_mac_setkey(mac, derived.data() + keySize, keySize);
  if (error) CryptoFailed("HMAC key", error);

  return std::unique_ptr<AesDecryptor>(new AesDecryptor(std::move(handles)));
}

AesDecryptor::AesDecryptor(std::unique_ptr<Handles> handles)
    : handles_(std::move(handles)), keystream_(kKeystreamSize), keystreamUsed_(kKeystreamSize) {}

AesDecryptor::~AesDecryptor() = default;

void AesDecryptor::RefillKeystream() {
  for (std::size_t at = 0; at < keystream_.size(); at += kAesBlock) {
    if (++counterLow_ == 0) ++counterHigh_;  // the first block uses counter 1
    for (std::size_t i = 0; i < 8; ++i) {
      keystream_[at + i] = static_cast<std::uint8_t>(counterLow_ >> (8 * i));
      keystream_[at + 8 + i] = static_cast<std::uint8_t>(counterHigh_ >> (8 * i));
    }
  }
  gcry_error_t error =
      gcry_cipher_encrypt(handles_->cipher.get(), keystream_.data(), keystream_.size(), nullptr, 0);
  if (error) CryptoFailed("AES", error);
  keystreamUsed_ = 0;
}

void AesDecryptor::Decrypt(std::span<std::uint8_t> data) {
  gcry_mac_write(handles_->mac.get(), data.data(), data.size());
  std::size_t done = 0;
  while (done < data.size()) {
    if (keystreamUsed_ == keystream_.size()) RefillKeystream();
    std::size_t count = std::min(data.size() - done, keystream_.size() - keystreamUsed_);
    std::uint8_t* out = data.data() + done;
    const std::uint8_t* key = keystream_.data() + keystreamUsed_;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
      std::uint64_t a;
      std::uint64_t b;
      std::memcpy(&a, out + i, 8);
      std::memcpy(&b, key + i, 8);
      a ^= b;
      std::memcpy(out + i, &a, 8);
    }
    for (; i < count; ++i) out[i] ^= key[i];
    keystreamUsed_ += count;
    done += count;
  }
}

bool AesDecryptor::MacMatches(std::span<const std::uint8_t> mac) {
  std::uint8_t full[20];
  std::size_t length = sizeof full;
  if (gcry_mac_read(handles_->mac.get(), full, &length) || length < kMacSize ||
      mac.size() != kMacSize) {
    return false;
  }
  return std::memcmp(full, mac.data(), kMacSize) == 0;
}

}  // namespace zevlib
