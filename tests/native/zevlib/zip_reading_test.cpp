// Reading archives: the directory, the formats writers produce, and damaged or overlapping
// archives, which must fail with an error and never crash or write bad data.
#include <stdlib.h>
#include <time.h>

#include <set>

#include "test_support.h"
#include "zevlib/host_files.h"

namespace zevtest {
namespace {

using zevlib::EntryInfo;

class ZipReadingTest : public ArchiveTest {};

std::string Mixed(std::size_t size, unsigned seed = 1) {
  std::string data;
  data.reserve(size);
  std::uint32_t state = seed;
  const char* words[] = {"driver ", "TX880 ", "printer ", "install ", "\r\n", "0x1F ", "setup "};
  while (data.size() < size) {
    state = state * 1664525u + 1013904223u;
    if (state % 4 == 0) {
      data += static_cast<char>(state >> 24);  // some noise
    } else {
      data += words[(state >> 16) % 7];
    }
  }
  data.resize(size);
  return data;
}

TEST_F(ZipReadingTest, ListsEntriesInArchiveOrderWithTheirFacts) {
  TestEntry stored{
      .name = "readme.txt", .data = "hello", .method = Method::Stored, .externalAttributes = 0x01};
  TestEntry folder{
      .name = "docs/", .data = "", .method = Method::Stored, .externalAttributes = 0x10};
  TestEntry deflated{.name = "docs/manual.txt", .data = Mixed(5000)};
  TestEntry secret{
      .name = "secret.bin", .data = "x", .encryption = Encryption::ZipCrypto, .password = "pw"};
  auto archive = MakeArchive({stored, folder, deflated, secret});

  std::vector<EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "readme.txt");
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_EQ(entries[0].compressedSize, 5u);
  EXPECT_EQ(entries[0].crc32, Crc32("hello"));
  EXPECT_EQ(entries[0].attributes, 0x01u);
  EXPECT_FALSE(entries[0].isFolder);
  EXPECT_EQ(entries[1].name, "docs/");
  EXPECT_TRUE(entries[1].isFolder);
  EXPECT_EQ(entries[1].attributes & 0x10u, 0x10u);
  EXPECT_EQ(entries[2].size, 5000u);
  EXPECT_LT(entries[2].compressedSize, 5000u);
  EXPECT_EQ(entries[2].attributes, 0x80u);  // nothing set: "normal"
  EXPECT_TRUE(entries[3].isEncrypted);
  EXPECT_FALSE(entries[2].isEncrypted);
}

TEST_F(ZipReadingTest, FileTimesComeFromTheBestFieldPresent) {
  // DOS times are local time; pin the zone so the expectation is exact.
  setenv("TZ", "UTC", 1);
  tzset();
  constexpr std::uint64_t kNtfs = 132000000000000000ull;
  TestEntry dosOnly{.name = "dos", .data = "a"};  // 2020-06-15 12:30:00
  TestEntry unix{.name = "unix", .data = "b", .unixTime = 1600000000};
  TestEntry ntfs{.name = "ntfs", .data = "c", .unixTime = 1600000000, .ntfsTime = kNtfs};
  TestEntry badDate{.name = "bad", .data = "d", .dosDate = 0};
  auto archive = MakeArchive({dosOnly, unix, ntfs, badDate});

  std::vector<EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  EXPECT_EQ(entries[0].fileTime, zevlib::FileTimeFromUnix(1592224200));
  EXPECT_EQ(entries[1].fileTime, zevlib::FileTimeFromUnix(1600000000));
  EXPECT_EQ(entries[2].fileTime, kNtfs);
  EXPECT_EQ(entries[3].fileTime, 0u);

  ASSERT_TRUE(Extract(archive).ok());
  auto written = zevlib::QueryFile(Destination() / "unix");
  EXPECT_EQ(written.fileTime, zevlib::FileTimeFromUnix(1600000000));
  unsetenv("TZ");
  tzset();
}

struct FormatCase {
  const char* label;
  TestEntry entry;
  ArchiveOptions options;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.label; }

class ZipFormatTest : public ArchiveTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ZipFormatTest, ExtractsTheExactContent) {
  const FormatCase& c = GetParam();
  auto archive = MakeArchive({c.entry}, c.options);
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, c.entry.data.size());

  auto status = Extract(archive);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ReadFile(Destination() / c.entry.name), c.entry.data);
  EXPECT_EQ(ListTree(Destination()), std::vector<std::string>{c.entry.name});
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ZipFormatTest,
    ::testing::Values(
        FormatCase{"stored", {.name = "a.txt", .data = "stored data", .method = Method::Stored}},
        FormatCase{"deflate", {.name = "a.txt", .data = Mixed(100000)}},
        // Bigger than the library's buffers, so pieces cross buffer boundaries.
        FormatCase{"deflate_big", {.name = "big.bin", .data = Mixed(3 * 1024 * 1024 + 17)}},
        FormatCase{"stored_big",
                   {.name = "big.bin", .data = Mixed(600 * 1024 + 3), .method = Method::Stored}},
        FormatCase{"empty_stored", {.name = "empty", .data = "", .method = Method::Stored}},
        FormatCase{"empty_deflate", {.name = "empty", .data = ""}},
        FormatCase{"data_descriptor",
                   {.name = "a.txt", .data = Mixed(3000), .dataDescriptor = true}},
        FormatCase{"zip64_entry", {.name = "a.txt", .data = Mixed(3000), .zip64 = true}},
        FormatCase{"zip64_descriptor",
                   {.name = "a.txt", .data = Mixed(3000), .dataDescriptor = true, .zip64 = true}},
        FormatCase{"zip64_end", {.name = "a.txt", .data = "z"}, {.zip64End = true}},
        FormatCase{"zip64_everything",
                   {.name = "a.txt", .data = Mixed(1000), .zip64 = true},
                   {.zip64End = true}},
        FormatCase{"comment", {.name = "a.txt", .data = "c"}, {.comment = "made by a test"}},
        // A comment that looks like an end record must not be taken for one.
        FormatCase{"comment_with_signature",
                   {.name = "a.txt", .data = "c"},
                   {.comment = std::string("PK\x05\x06", 4) + std::string(18, '\0')}},
        FormatCase{"padded_extra",
                   {.name = "a.txt", .data = "p", .centralExtra = std::string(3, '\0')}},
        FormatCase{"utf8_name", {.name = "caf\xC3\xA9.txt", .data = "u", .utf8Flag = true}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ZipReadingTest, NamesWithoutTheUtf8FlagAreReadAsCodePage437) {
  auto archive = MakeArchive({{.name = "caf\x82.txt", .data = "x"}});
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  EXPECT_EQ(entries[0].name, "caf\xC3\xA9.txt");
}

std::string UnicodePathField(const std::string& stored, const std::string& utf8) {
  std::string field = "\x75\x70";
  std::uint16_t size = static_cast<std::uint16_t>(5 + utf8.size());
  field += static_cast<char>(size & 0xFF);
  field += static_cast<char>(size >> 8);
  field += '\x01';
  std::uint32_t crc = Crc32(stored);
  for (int i = 0; i < 4; ++i) field += static_cast<char>(crc >> (8 * i));
  return field + utf8;
}

TEST_F(ZipReadingTest, UnicodePathFieldGivesTheNameOnlyWhileItMatchesTheStoredName) {
  TestEntry current{.name = "caf\x82.txt",
                    .data = "x",
                    .centralExtra = UnicodePathField("caf\x82.txt", "caf\xC3\xA9-u.txt")};
  TestEntry stale{.name = "old\x82.txt",
                  .data = "y",
                  .centralExtra = UnicodePathField("renamed.txt", "stale.txt")};
  auto archive = MakeArchive({current, stale});
  std::vector<EntryInfo> entries;
  ASSERT_TRUE(List(archive, entries).ok());
  EXPECT_EQ(entries[0].name, "caf\xC3\xA9-u.txt");
  EXPECT_EQ(entries[1].name, "old\xC3\xA9.txt");
}

// ---- damaged archives ----

std::string Patch(std::string bytes, std::size_t at, const std::string& with) {
  bytes.replace(at, with.size(), with);
  return bytes;
}

std::string U32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

TEST_F(ZipReadingTest, DamagedStructureIsRefusedAtOpen) {
  std::string good =
      BuildZip({{.name = "a.txt", .data = "hello"}, {.name = "b.txt", .data = "bye"}});
  std::size_t end = good.size() - 22;
  std::size_t directory = good.find(std::string("PK\x01\x02", 4));
  struct Case {
    const char* label;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"empty file", ""},
      {"not a zip", std::string(200, 'x')},
      {"no end record", good.substr(0, end)},
      {"directory offset past the end", Patch(good, end + 16, U32(0x7FFFFFF0))},
      {"directory size past the end", Patch(good, end + 12, U32(0x7FFFFFF0))},
      {"more entries than fit", Patch(good, end + 8, "\xFF\x00\xFF\x00")},
      {"split archive", Patch(good, end + 4, "\x01\x00")},
      {"directory record damaged", Patch(good, directory, "XXXX")},
      {"local header damaged", Patch(good, 0, "XXXX")},
      {"local offset inside the directory",
       Patch(good, directory + 42, U32(static_cast<std::uint32_t>(directory)))},
  };
  for (const auto& c : cases) {
    WriteFile(Path("bad.zip"), c.bytes);
    std::vector<EntryInfo> entries;
    EXPECT_EQ(List(Path("bad.zip"), entries).error, ZEV_ERROR_CANNOT_OPEN) << c.label;
    EXPECT_TRUE(entries.empty()) << c.label;
    EXPECT_EQ(Extract(Path("bad.zip")).error, ZEV_ERROR_CANNOT_OPEN) << c.label;
  }
  EXPECT_TRUE(ListTree(Destination()).empty());
}

TEST_F(ZipReadingTest, Zip64RecordsThatPointNowhereAreRefused) {
  std::string good = BuildZip({{.name = "a.txt", .data = "hello"}}, {.zip64End = true});
  std::size_t locator = good.size() - 22 - 20;
  for (std::uint32_t offset : {0x7FFFFFF0u, static_cast<std::uint32_t>(locator)}) {
    WriteFile(Path("bad.zip"), Patch(good, locator + 8, U32(offset)));
    std::vector<EntryInfo> entries;
    EXPECT_EQ(List(Path("bad.zip"), entries).error, ZEV_ERROR_CANNOT_OPEN) << offset;
  }
}

TEST_F(ZipReadingTest, DataThatDoesNotMatchItsDirectoryFailsAndLeavesNoFile) {
  struct Case {
    const char* label;
    TestEntry entry;
    std::int64_t sizeChange = 0;
  };
  // Small entries are checked as they are written; big ones on the writing thread.
  for (std::size_t size : {std::size_t{4000}, std::size_t{3u << 20}}) {
    std::string data = Mixed(size);
    std::vector<Case> cases = {
        {"crc", {.crcOverride = 0x12345678}},
        {"crc stored", {.method = Method::Stored, .crcOverride = 0x12345678}},
        {"size larger", {}, +1},
        {"size smaller", {}, -1},
        {"stored size larger", {.method = Method::Stored}, +1},
        {"compressed size short", {.compressedSizeOverride = 100}},
    };
    for (auto& c : cases) {
      c.entry.name = "data.bin";
      c.entry.data = data;
      if (c.sizeChange != 0) c.entry.sizeOverride = size + c.sizeChange;
      auto archive = MakeArchive({c.entry});
      auto status = Extract(archive);
      EXPECT_EQ(status.error, ZEV_ERROR_DAMAGED_ENTRY)
          << c.label << " " << size << ": " << status.message;
      EXPECT_TRUE(ListTree(Destination()).empty()) << c.label << " " << size;
    }
  }
}

TEST_F(ZipReadingTest, InflatingStopsAtTheDeclaredSize) {
  // A small declared size over a big stream: at most one buffer is inflated past it.
  auto archive =
      MakeArchive({{.name = "bomb.bin", .data = std::string(50 << 20, 'A'), .sizeOverride = 1000}});
  auto status = Extract(archive);
  EXPECT_EQ(status.error, ZEV_ERROR_DAMAGED_ENTRY);
  EXPECT_LE(lastDone, 1000u);
  EXPECT_TRUE(ListTree(Destination()).empty());
}

TEST_F(ZipReadingTest, TruncatedArchivesFailCleanlyAtEveryLength) {
  std::string good =
      BuildZip({{.name = "one.txt", .data = Mixed(700)},
                {.name = "dir/", .data = "", .method = Method::Stored},
                {.name = "dir/two.txt", .data = Mixed(300, 2), .method = Method::Stored},
                {.name = "three.txt", .data = Mixed(500, 3), .dataDescriptor = true}});
  for (std::size_t length = 0; length < good.size(); ++length) {
    WriteFile(Path("cut.zip"), good.substr(0, length));
    std::vector<EntryInfo> entries;
    auto listed = List(Path("cut.zip"), entries);
    auto extracted = Extract(Path("cut.zip"));
    EXPECT_FALSE(extracted.ok()) << length;
    EXPECT_TRUE(extracted.error == ZEV_ERROR_CANNOT_OPEN ||
                extracted.error == ZEV_ERROR_DAMAGED_ENTRY)
        << length << ": " << extracted.message;
    if (!listed.ok()) {
      EXPECT_EQ(extracted.error, listed.error) << length;
    }
  }
  // Data cut out of the middle: the directory survives but points at the wrong bytes.
  std::size_t directory = good.find(std::string("PK\x01\x02", 4));
  for (std::size_t cut = 0; cut < directory; ++cut) {
    WriteFile(Path("cut.zip"), good.substr(0, cut) + good.substr(directory));
    auto extracted = Extract(Path("cut.zip"));
    EXPECT_TRUE(extracted.error == ZEV_ERROR_CANNOT_OPEN ||
                extracted.error == ZEV_ERROR_DAMAGED_ENTRY)
        << cut << ": " << extracted.message;
  }
  EXPECT_TRUE(ListTree(Destination()).empty() ||
              ListTree(Destination()) == std::vector<std::string>{"dir/"});
}

TEST_F(ZipReadingTest, NoDamagedByteLetsBadDataThrough) {
  std::vector<TestEntry> planned = {
      {.name = "one.txt", .data = Mixed(400)},
      {.name = "two.txt", .data = Mixed(300, 2), .method = Method::Stored}};
  std::set<std::string> contents = {planned[0].data, planned[1].data};
  std::string good = BuildZip(planned);
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x5A);
    WriteFile(Path("bad.zip"), bad);
    std::error_code ignored;
    std::filesystem::remove_all(Destination(), ignored);
    auto status = Extract(Path("bad.zip"));
    if (!status.ok()) continue;
    // Only a name, a time or an unused field was hit: the data must still be right.
    for (const auto& name : ListTree(Destination())) {
      if (name.back() == '/') continue;
      EXPECT_TRUE(contents.count(ReadFile(Destination() / name))) << "byte " << at << ": " << name;
    }
  }
}

// ---- overlapping entries and duplicates ----

TEST_F(ZipReadingTest, EntriesSharingDataAreRefusedAtOpen) {
  std::string big = std::string(1 << 20, 'A');
  struct Case {
    const char* label;
    std::vector<TestEntry> entries;
  };
  std::vector<Case> cases = {
      {"same local header", {{.name = "a", .data = big}, {.name = "b", .shareDataOf = 0}}},
      {"many to one",
       {{.name = "a", .data = big},
        {.name = "b", .shareDataOf = 0},
        {.name = "c", .shareDataOf = 0}}},
      {"data runs into the next entry",
       {{.name = "a", .data = "aaaa", .method = Method::Stored, .compressedSizeOverride = 40},
        {.name = "b", .data = "bbbb", .method = Method::Stored}}},
      {"data runs into the directory",
       {{.name = "a", .data = "aaaa", .method = Method::Stored, .compressedSizeOverride = 200}}},
  };
  for (const auto& c : cases) {
    auto archive = MakeArchive(c.entries);
    std::vector<EntryInfo> entries;
    EXPECT_EQ(List(archive, entries).error, ZEV_ERROR_CANNOT_OPEN) << c.label;
    EXPECT_EQ(Extract(archive).error, ZEV_ERROR_CANNOT_OPEN) << c.label;
    EXPECT_TRUE(ListTree(Destination()).empty()) << c.label;
  }
}

TEST_F(ZipReadingTest, TwoEntriesForTheSameFileAreRefusedAtOpen) {
  std::vector<std::pair<std::string, std::string>> pairs = {{"a.txt", "a.txt"},
                                                            {"Setup.INI", "setup.ini"},
                                                            {"dir/x.txt", "dir\\x.txt"},
                                                            {"Dir/X.txt", "dir\\x.TXT"},
                                                            {"d/", "d"},
                                                            {"d/", "D\\"}};
  for (const auto& [first, second] : pairs) {
    auto archive = MakeArchive({{.name = first, .data = "1"}, {.name = second, .data = "2"}});
    std::vector<EntryInfo> entries;
    EXPECT_EQ(List(archive, entries).error, ZEV_ERROR_UNSAFE_ENTRY) << first << " / " << second;
    EXPECT_EQ(Extract(archive).error, ZEV_ERROR_UNSAFE_ENTRY) << first << " / " << second;
  }
  auto distinct = MakeArchive({{.name = "a.txt", .data = "1"}, {.name = "a.txt.bak", .data = "2"}});
  std::vector<EntryInfo> entries;
  EXPECT_TRUE(List(distinct, entries).ok());
}

TEST_F(ZipReadingTest, UnsupportedCompressionFailsAsUnsupported) {
  std::string bytes = BuildZip({{.name = "a.txt", .data = "hello", .method = Method::Stored}});
  // Method 14 (LZMA) in both headers.
  bytes = Patch(bytes, 8, "\x0E\x00");
  bytes = Patch(bytes, bytes.find(std::string("PK\x01\x02", 4)) + 10, "\x0E\x00");
  WriteFile(Path("lzma.zip"), bytes);
  std::vector<EntryInfo> entries;
  EXPECT_TRUE(List(Path("lzma.zip"), entries).ok());
  EXPECT_EQ(Extract(Path("lzma.zip")).error, ZEV_ERROR_CANNOT_OPEN);
}

}  // namespace
}  // namespace zevtest
