#include "zip_writer.h"

#include <gcrypt.h>
#include <zlib.h>

#include <stdexcept>

namespace zevtest {
namespace {

class Bytes {
 public:
  void U8(std::uint8_t v) { out_ += static_cast<char>(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Text(const std::string& s) { out_ += s; }
  std::string& str() { return out_; }

 private:
  std::string out_;
};

std::uint32_t Saturate32(std::uint64_t v, bool zip64) {
  return zip64 || v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

class ZipCryptoKeys {
 public:
  explicit ZipCryptoKeys(const std::string& password) {
    for (char c : password) Update(static_cast<std::uint8_t>(c));
  }
  std::string Encrypt(const std::string& plain) {
    std::string out = plain;
    for (auto& c : out) {
      auto p = static_cast<std::uint8_t>(c);
      std::uint32_t t = (keys_[2] | 2) & 0xFFFF;
      c = static_cast<char>(p ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8));
      Update(p);
    }
    return out;
  }

 private:
  static std::uint32_t CrcByte(std::uint32_t crc, std::uint8_t b) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    return crc;
  }
  void Update(std::uint8_t p) {
    keys_[0] = CrcByte(keys_[0], p);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcByte(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
  }
  std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

int AesStrength(Encryption e) {
  return e == Encryption::Aes128 ? 1 : e == Encryption::Aes192 ? 2 : 3;
}

// Salt, verifier, encrypted data and authentication code.
std::string AesEncrypt(const std::string& plain, const std::string& password, int strength) {
  static const bool ready = gcry_check_version(nullptr) != nullptr;
  if (!ready) throw std::runtime_error("libgcrypt did not start");
  std::size_t keySize = 8 + 8 * strength;
  std::string salt;
  for (std::size_t i = 0; i < 4 + 4 * static_cast<std::size_t>(strength); ++i) {
    salt += static_cast<char>(0x31 + 7 * i);
  }
  std::string derived(2 * keySize + 2, '\0');
  if (gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt.data(),
                      salt.size(), 1000, derived.size(), derived.data())) {
    throw std::runtime_error("PBKDF2 failed");
  }
  gcry_cipher_hd_t cipher;
  gcry_cipher_open(&cipher,
                   strength == 1   ? GCRY_CIPHER_AES128
                   : strength == 2 ? GCRY_CIPHER_AES192
                                   : GCRY_CIPHER_AES256,
                   GCRY_CIPHER_MODE_ECB, 0);
  gcry_cipher_setkey(cipher, derived.data(), keySize);
  std::string data = plain;
  unsigned char counter[16] = {};
  for (std::size_t at = 0; at < data.size(); at += 16) {
    for (auto& b : counter) {  // little-endian increment
      if (++b != 0) break;
    }
    unsigned char block[16];
    gcry_cipher_encrypt(cipher, block, 16, counter, 16);
    for (std::size_t i = 0; i < 16 && at + i < data.size(); ++i) {
      data[at + i] = static_cast<char>(data[at + i] ^ block[i]);
    }
  }
  gcry_cipher_close(cipher);
  unsigned char mac[20];
  std::size_t macLength = sizeof mac;
  gcry_mac_hd_t hmac;
  gcry_mac_open(&hmac, GCRY_MAC_HMAC_SHA1, 0, nullptr);
  gcry_mac_setkey(hmac, derived.data() + keySize, keySize);
  gcry_mac_write(hmac, data.data(), data.size());
  gcry_mac_read(hmac, mac, &macLength);
  gcry_mac_close(hmac);
  return salt + derived.substr(2 * keySize, 2) + data +
         std::string(reinterpret_cast<char*>(mac), 10);
}

std::string AesExtra(const TestEntry& e) {
  Bytes b;
  b.U16(0x9901);
  b.U16(7);
  b.U16(static_cast<std::uint16_t>(e.aesVersion));
  b.Text("AE");
  b.U8(static_cast<std::uint8_t>(AesStrength(e.encryption)));
  b.U16(e.method == Method::Deflate ? 8 : 0);
  return b.str();
}

struct Written {
  std::uint64_t localOffset = 0;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::uint64_t compressedSize = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
};

}  // namespace

std::string Deflate(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, data.size()) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string BuildZip(const std::vector<TestEntry>& entries, const ArchiveOptions& options) {
  Bytes out;
  out.Text(options.prefix);
  std::vector<Written> written(entries.size());

  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    Written& w = written[i];
    if (e.shareDataOf) {
      w = written.at(*e.shareDataOf);
      continue;
    }
    w.localOffset = out.str().size();
    w.crc = Crc32(e.data);
    w.size = e.data.size();
    std::string payload = e.method == Method::Deflate ? Deflate(e.data) : e.data;
    w.method = e.method == Method::Deflate ? 8 : 0;
    if (e.dataDescriptor) w.flags |= 1u << 3;
    if (e.utf8Flag) w.flags |= 1u << 11;
    std::string localExtra;
    if (e.encryption == Encryption::ZipCrypto) {
      w.flags |= 1;
      std::string header = "0123456789a";
      header += static_cast<char>(e.dataDescriptor ? (e.dosTime >> 8) : (w.crc >> 24));
      payload = ZipCryptoKeys(e.password).Encrypt(header + payload);
    } else if (e.encryption != Encryption::None) {
      w.flags |= 1;
      payload = AesEncrypt(payload, e.password, AesStrength(e.encryption));
      localExtra = AesExtra(e);
      w.method = 99;
      if (e.aesVersion == 2) w.crc = 0;
    }
    w.compressedSize = payload.size();
    if (e.zip64) {
      Bytes z;
      z.U16(1);
      z.U16(16);
      z.U64(w.size);
      z.U64(w.compressedSize);
      localExtra = z.str() + localExtra;
    }
    bool zeroInHeader = e.dataDescriptor;
    out.U32(0x04034b50);
    out.U16(e.zip64 ? 45 : 20);
    out.U16(w.flags);
    out.U16(w.method);
    out.U16(e.dosTime);
    out.U16(e.dosDate);
    out.U32(zeroInHeader ? 0 : w.crc);
    out.U32(zeroInHeader ? 0 : Saturate32(w.compressedSize, e.zip64));
    out.U32(zeroInHeader ? 0 : Saturate32(w.size, e.zip64));
    out.U16(static_cast<std::uint16_t>(e.name.size()));
    out.U16(static_cast<std::uint16_t>(localExtra.size()));
    out.Text(e.name);
    out.Text(localExtra);
    out.Text(payload);
    if (e.dataDescriptor) {
      out.U32(0x08074b50);
      out.U32(w.crc);
      if (e.zip64) {
        out.U64(w.compressedSize);
        out.U64(w.size);
      } else {
        out.U32(static_cast<std::uint32_t>(w.compressedSize));
        out.U32(static_cast<std::uint32_t>(w.size));
      }
    }
  }

  std::uint64_t directoryOffset = out.str().size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TestEntry& e = entries[i];
    const Written& w = written[i];
    std::uint32_t crc = e.crcOverride.value_or(w.crc);
    std::uint64_t size = e.sizeOverride.value_or(w.size);
    std::uint64_t compressed = e.compressedSizeOverride.value_or(w.compressedSize);
    std::string extra;
    if (e.zip64) {
      Bytes z;
      z.U16(1);
      z.U16(24);
      z.U64(size);
      z.U64(compressed);
      z.U64(w.localOffset);
      extra += z.str();
    }
    if (e.encryption == Encryption::Aes128 || e.encryption == Encryption::Aes192 ||
        e.encryption == Encryption::Aes256) {
      extra += AesExtra(e);
    }
    if (e.unixTime) {
      Bytes t;
      t.U16(0x5455);
      t.U16(5);
      t.U8(1);
      t.U32(static_cast<std::uint32_t>(*e.unixTime));
      extra += t.str();
    }
    if (e.ntfsTime) {
      Bytes t;
      t.U16(0x000A);
      t.U16(32);
      t.U32(0);
      t.U16(1);
      t.U16(24);
      t.U64(*e.ntfsTime);
      t.U64(*e.ntfsTime);
      t.U64(*e.ntfsTime);
      extra += t.str();
    }
    extra += e.centralExtra;
    out.U32(0x02014b50);
    out.U16(e.versionMadeBy);
    out.U16(e.zip64 ? 45 : 20);
    out.U16(w.flags);
    out.U16(w.method);
    out.U16(e.dosTime);
    out.U16(e.dosDate);
    out.U32(crc);
    out.U32(Saturate32(compressed, e.zip64));
    out.U32(Saturate32(size, e.zip64));
    out.U16(static_cast<std::uint16_t>(e.name.size()));
    out.U16(static_cast<std::uint16_t>(extra.size()));
    out.U16(0);
    out.U16(0);
    out.U16(0);
    out.U32(e.externalAttributes);
    out.U32(Saturate32(w.localOffset, e.zip64));
    out.Text(e.name);
    out.Text(extra);
  }
  std::uint64_t directorySize = out.str().size() - directoryOffset;

  if (options.zip64End) {
    std::uint64_t zip64At = out.str().size();
    out.U32(0x06064b50);
    out.U64(44);
    out.U16(45);
    out.U16(45);
    out.U32(0);
    out.U32(0);
    out.U64(entries.size());
    out.U64(entries.size());
    out.U64(directorySize);
    out.U64(directoryOffset);
    out.U32(0x07064b50);
    out.U32(0);
    out.U64(zip64At);
    out.U32(1);
  }
  out.U32(0x06054b50);
  out.U16(0);
  out.U16(0);
  std::uint16_t count = options.zip64End ? 0xFFFF : static_cast<std::uint16_t>(entries.size());
  out.U16(count);
  out.U16(count);
  out.U32(Saturate32(directorySize, options.zip64End));
  out.U32(Saturate32(directoryOffset, options.zip64End));
  out.U16(static_cast<std::uint16_t>(options.comment.size()));
  out.Text(options.comment);
  return out.str();
}

}  // namespace zevtest
