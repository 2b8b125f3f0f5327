// Encrypted entries: both encryptions in all their variants, and the password flow: the given
// password first, then the callback, asked at most once per extraction.
#include "test_support.h"
#include "zevlib/zip_crypto.h"

namespace zevtest {
namespace {

using Tree = std::vector<std::string>;

struct CipherCase {
  const char* label;
  Encryption encryption;
  int aesVersion;
  Method method;
  bool dataDescriptor;
};

void PrintTo(const CipherCase& c, std::ostream* out) { *out << c.label; }

class EncryptionTest : public ArchiveTest, public ::testing::WithParamInterface<CipherCase> {
 protected:
  TestEntry Entry(const std::string& name, const std::string& data, const std::string& password) {
    const CipherCase& c = GetParam();
    return {.name = name,
            .data = data,
            .method = c.method,
            .encryption = c.encryption,
            .password = password,
            .aesVersion = c.aesVersion,
            .dataDescriptor = c.dataDescriptor};
  }
};

std::string Content(std::size_t size) {
  std::string data;
  for (std::size_t i = 0; data.size() < size; ++i) data += "line " + std::to_string(i * i) + "\n";
  data.resize(size);
  return data;
}

TEST_P(EncryptionTest, TheGivenPasswordOpensItWithoutAsking) {
  // Bigger than the AES keystream buffer, and an odd size so blocks end mid-way.
  std::string data = Content(200001);
  auto archive = MakeArchive({Entry("a.txt", data, "s3cret"), Entry("b.txt", "tiny", "s3cret")});
  std::vector<zevlib::EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  EXPECT_TRUE(entries[0].isEncrypted);

  auto status = Extract(archive, {}, true, "s3cret");
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ReadFile(Destination() / "a.txt"), data);
  EXPECT_EQ(ReadFile(Destination() / "b.txt"), "tiny");
  EXPECT_EQ(passwordQuestions, 0);
}

TEST_P(EncryptionTest, TheCallbackIsAskedOnceWhenNoPasswordIsGiven) {
  auto archive = MakeArchive({Entry("a.txt", "one", "pw"), Entry("b.txt", "two", "pw")});
  passwordAnswers = {"pw"};
  auto status = Extract(archive);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(passwordQuestions, 1);
  EXPECT_EQ(ReadFile(Destination() / "b.txt"), "two");
}

TEST_P(EncryptionTest, AWrongPasswordThenTheRightOneFromTheCallbackOpensIt) {
  auto archive = MakeArchive({Entry("a.txt", "one", "right")});
  passwordAnswers = {"right"};
  ASSERT_TRUE(Extract(archive, {}, true, "wrong").ok());
  EXPECT_EQ(passwordQuestions, 1);
  EXPECT_EQ(ReadFile(Destination() / "a.txt"), "one");
}

TEST_P(EncryptionTest, AWrongPasswordEndsWithCannotOpenAfterOneQuestion) {
  auto archive = MakeArchive({Entry("a.txt", "one", "right"), Entry("b.txt", "two", "right")});
  for (auto answer : {std::optional<std::string>{}, std::optional<std::string>{"wrong too"},
                      std::optional<std::string>{""}, std::optional<std::string>{"wrong"}}) {
    passwordQuestions = 0;
    passwordAnswers = {answer, "right"};
    auto status = Extract(archive, {}, true, "wrong");
    EXPECT_EQ(status.error, ZEV_ERROR_CANNOT_OPEN) << answer.value_or("(none)");
    EXPECT_EQ(passwordQuestions, 1);
  }
  EXPECT_TRUE(ListTree(Destination()).empty());
}

TEST_P(EncryptionTest, EntriesWithDifferentPasswordsUseEveryPasswordKnown) {
  auto archive = MakeArchive({Entry("a.txt", "one", "first"), Entry("b.txt", "two", "second"),
                              Entry("c.txt", "three", "first")});
  passwordAnswers = {"second"};
  auto status = Extract(archive, {}, true, "first");
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ReadFile(Destination() / "c.txt"), "three");
  EXPECT_EQ(passwordQuestions, 1);
}

TEST_P(EncryptionTest, ChangedEncryptedDataIsNeverWritten) {
  std::string data = Content(5000);
  std::string bytes = BuildZip({Entry("a.txt", data, "pw")});
  std::size_t directory = bytes.find(std::string("PK\x01\x02", 4));
  bytes[directory - 30] = static_cast<char>(bytes[directory - 30] ^ 1);
  WriteFile(Path("changed.zip"), bytes);
  auto status = Extract(Path("changed.zip"), {}, true, "pw");
  EXPECT_FALSE(status.ok());
  // ZipCrypto cannot tell damage from a password that passed its one-byte check.
  EXPECT_EQ(status.error, GetParam().encryption == Encryption::ZipCrypto ? ZEV_ERROR_CANNOT_OPEN
                                                                         : ZEV_ERROR_DAMAGED_ENTRY);
  EXPECT_TRUE(ListTree(Destination()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ciphers, EncryptionTest,
    ::testing::Values(
        CipherCase{"zipcrypto", Encryption::ZipCrypto, 0, Method::Deflate, false},
        CipherCase{"zipcrypto_stored", Encryption::ZipCrypto, 0, Method::Stored, false},
        CipherCase{"zipcrypto_descriptor", Encryption::ZipCrypto, 0, Method::Deflate, true},
        CipherCase{"aes128_ae1", Encryption::Aes128, 1, Method::Deflate, false},
        CipherCase{"aes192_ae2", Encryption::Aes192, 2, Method::Deflate, false},
        CipherCase{"aes256_ae2", Encryption::Aes256, 2, Method::Deflate, false},
        CipherCase{"aes256_ae1_stored", Encryption::Aes256, 1, Method::Stored, false},
        CipherCase{"aes128_ae2_descriptor", Encryption::Aes128, 2, Method::Deflate, true}),
    [](const auto& info) { return std::string(info.param.label); });

class PasswordTest : public ArchiveTest {};

TEST_F(PasswordTest, AZipCryptoPasswordThatPassesTheCheckByteStillFails) {
  TestEntry entry{.name = "a.txt",
                  .data = Content(3000),
                  .encryption = Encryption::ZipCrypto,
                  .password = "right"};
  std::string bytes = BuildZip({entry});
  // Find a wrong password that the one-byte check lets through.
  std::string lucky;
  for (int i = 0; lucky.empty() && i < 100000; ++i) {
    std::string candidate = "guess" + std::to_string(i);
    zevlib::ZipCryptoDecryptor decryptor(candidate);
    std::span<const std::uint8_t, 12> header(
        reinterpret_cast<const std::uint8_t*>(bytes.data()) + 30 + 5, 12);
    auto check = static_cast<std::uint8_t>(Crc32(entry.data) >> 24);
    if (decryptor.OpenHeader(header, check, check)) lucky = candidate;
  }
  ASSERT_FALSE(lucky.empty());
  WriteFile(Path("a.zip"), bytes);
  auto status = Extract(Path("a.zip"), {}, true, lucky);
  EXPECT_EQ(status.error, ZEV_ERROR_CANNOT_OPEN) << status.message;
  EXPECT_EQ(passwordQuestions, 1);
  EXPECT_TRUE(ListTree(Destination()).empty());

  passwordAnswers = {"right"};
  passwordQuestions = 0;
  ASSERT_TRUE(Extract(Path("a.zip"), {}, true, lucky).ok());
  EXPECT_EQ(ReadFile(Destination() / "a.txt"), entry.data);
}

TEST_F(PasswordTest, UnencryptedEntriesNeverAskAndMixedArchivesWork) {
  auto archive = MakeArchive({{.name = "plain.txt", .data = "plain"},
                              {.name = "secret.txt",
                               .data = "secret",
                               .encryption = Encryption::Aes256,
                               .password = "pw"}});
  ASSERT_TRUE(Extract(archive, {"plain.txt"}).ok());
  EXPECT_EQ(passwordQuestions, 0);
  passwordAnswers = {"pw"};
  ASSERT_TRUE(Extract(archive, {"secret.txt"}).ok());
  EXPECT_EQ(ReadFile(Destination() / "secret.txt"), "secret");
}

TEST_F(PasswordTest, UnknownAesStrengthIsUnsupported) {
  std::string bytes = BuildZip(
      {{.name = "a.txt", .data = "x", .encryption = Encryption::Aes128, .password = "pw"}});
  // The strength byte of the AES field in the central directory.
  std::size_t field =
      bytes.find(std::string("\x01\x99\x07\x00", 4), bytes.find(std::string("PK\x01\x02", 4)));
  ASSERT_NE(field, std::string::npos);
  bytes[field + 8] = 9;
  WriteFile(Path("a.zip"), bytes);
  EXPECT_EQ(Extract(Path("a.zip"), {}, true, "pw").error, ZEV_ERROR_CANNOT_OPEN);
}

}  // namespace
}  // namespace zevtest
