#pragma once
// The two encryptions ZIP archivers write: the traditional PKWARE one ("ZipCrypto") and WinZip's
// AES (AE-1 and AE-2).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace zevlib {

class ZipCryptoDecryptor {
 public:
  static constexpr std::size_t kHeaderSize = 12;

  explicit ZipCryptoDecryptor(std::string_view password);
  // Decrypts the header in front of the data. False when its last byte is not one of the check
  // bytes, i.e. the password is wrong (one wrong password in 256 passes this check).
  bool OpenHeader(std::span<const std::uint8_t, kHeaderSize> header, std::uint8_t check,
                  std::uint8_t otherCheck);
  void Decrypt(std::span<std::uint8_t> data);

 private:
  void Update(std::uint8_t plain);
  std::uint8_t KeyByte() const;

  std::uint32_t keys_[3];
};

class AesDecryptor {
 public:
  static constexpr std::size_t kVerifierSize = 2;
  static constexpr std::size_t kMacSize = 10;
  // Salt length for a strength of 1, 2 or 3; 0 for any other strength.
  static std::size_t SaltSize(std::uint8_t strength);

  // Null when the password does not give the stored verifier.
  static std::unique_ptr<AesDecryptor> Open(std::string_view password, std::uint8_t strength,
                                            std::span<const std::uint8_t> salt,
                                            std::span<const std::uint8_t> verifier);
  ~AesDecryptor();
  AesDecryptor(const AesDecryptor&) = delete;
  AesDecryptor& operator=(const AesDecryptor&) = delete;

  // Authenticates, then decrypts in place.
  void Decrypt(std::span<std::uint8_t> data);
  // Compares the authentication code of everything decrypted so far.
  bool MacMatches(std::span<const std::uint8_t> mac);

 private:
  struct Handles;
  explicit AesDecryptor(std::unique_ptr<Handles> handles);
  void RefillKeystream();

  std::unique_ptr<Handles> handles_;
  std::vector<std::uint8_t> keystream_;
  std::size_t keystreamUsed_;
  std::uint64_t counterLow_ = 0;
  std::uint64_t counterHigh_ = 0;
};

}  // namespace zevlib
