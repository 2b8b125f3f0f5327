// The registry through the real advapi32 calls: values of every type, key trees and the two
// views a 32-bit program has on 64-bit Windows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "setup/platform/win32/win32_registry.h"
#include "setup/platform/win32/unique_handles.h"
#include "setup/platform/win32/wow64.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::RegistryView;
using ::testing::UnorderedElementsAre;

std::string UniqueName(const char* prefix) {
  return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
}

class Win32RegistryTest : public ::testing::Test {
 protected:
  ~Win32RegistryTest() override { registry.DeleteKey(root); }

  RegistryKey Below(const std::string& path) const { return {root.root, root.path + "\\" + path, root.view}; }

  // Type and bytes as the system stores them, read without the code under test.
  std::pair<DWORD, std::string> Raw(const std::string& path, const std::string& name) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    UniqueRegistryKey owned(key);
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    return {type, data};
  }

  Win32Registry registry;
  RegistryKey root{RegistryRoot::CurrentUser, "Software\\" + UniqueName("ZevRegistryTest"), RegistryView::Default};
};

TEST_F(Win32RegistryTest, ValuesOfEveryTypeRoundTripWithTheirSystemType) {
  struct Case {
    const char* name;
    RegistryValue value;
    DWORD type;
    std::string bytes;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"Text", RegistryValue::String("C:\\Program Files\\TX880"), REG_SZ, "C:\\Program Files\\TX880\0"s},
      {"", RegistryValue::String("default"), REG_SZ, "default\0"s},
      {"Empty", RegistryValue::String(""), REG_SZ, "\0"s},
      {"Expand", RegistryValue::ExpandString("%SystemRoot%\\x"), REG_EXPAND_SZ, "%SystemRoot%\\x\0"s},
      {"Multi", RegistryValue::MultiString({"one", "two words"}), REG_MULTI_SZ, "one\0two words\0\0"s},
      {"NoStrings", RegistryValue::MultiString({}), REG_MULTI_SZ, "\0"s},
      {"Dword", RegistryValue::Dword(0x81020304u), REG_DWORD, "\x04\x03\x02\x81"s},
      {"Qword", RegistryValue::Qword(0x0102030405060708ull), REG_QWORD, "\x08\x07\x06\x05\x04\x03\x02\x01"s},
      {"Binary", RegistryValue::Binary({std::byte{0}, std::byte{0xFF}}), REG_BINARY, "\0\xFF"s},
      {"NoBytes", RegistryValue::Binary({}), REG_BINARY, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(registry.WriteValue(root, c.name, c.value));
    EXPECT_EQ(Raw(root.path, c.name), std::make_pair(c.type, c.bytes));
    EXPECT_EQ(registry.ReadValue(root, c.name), c.value);
  }
}

TEST_F(Win32RegistryTest, TextWithoutTerminatorReadsWhole) {
  ASSERT_TRUE(registry.CreateKey(root));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, root.path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  UniqueRegistryKey owned(key);
  RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
  EXPECT_EQ(registry.ReadValue(root, "Bare"), RegistryValue::String("abc"));
}

TEST_F(Win32RegistryTest, AbsentKeysAndValuesAreNothing) {
  ASSERT_TRUE(registry.CreateKey(root));
  EXPECT_TRUE(registry.KeyExists(root));
  EXPECT_FALSE(registry.KeyExists(Below("Missing")));
  EXPECT_FALSE(registry.ReadValue(Below("Missing"), "x"));
  EXPECT_FALSE(registry.ReadValue(root, "x"));
  EXPECT_FALSE(registry.SubkeyNames(Below("Missing")));
  EXPECT_FALSE(registry.ValueNames(Below("Missing")));
  EXPECT_FALSE(registry.DeleteValue(root, "x"));
  EXPECT_FALSE(registry.DeleteKey(Below("Missing")));
}

TEST_F(Win32RegistryTest, ListsAndDeletesTrees) {
  ASSERT_TRUE(registry.WriteValue(Below("A\\Deep\\Deeper"), "v", RegistryValue::Dword(1)));
  ASSERT_TRUE(registry.WriteValue(Below("A\\Second"), "v", RegistryValue::Dword(2)));
  ASSERT_TRUE(registry.WriteValue(Below("B"), "keep", RegistryValue::Dword(3)));
  ASSERT_TRUE(registry.WriteValue(Below("B"), "drop", RegistryValue::Dword(4)));

  EXPECT_THAT(*registry.SubkeyNames(root), UnorderedElementsAre("A", "B"));
  EXPECT_THAT(*registry.SubkeyNames(Below("a")), UnorderedElementsAre("Deep", "Second"));
  EXPECT_TRUE(registry.DeleteValue(Below("B"), "DROP"));
  EXPECT_THAT(*registry.ValueNames(Below("B")), UnorderedElementsAre("keep"));

  EXPECT_TRUE(registry.DeleteKey(Below("a")));
  EXPECT_FALSE(registry.KeyExists(Below("A\\Deep\\Deeper")));
  EXPECT_FALSE(registry.KeyExists(Below("A")));
  EXPECT_THAT(*registry.SubkeyNames(root), UnorderedElementsAre("B"));
}

// A 32-bit program's own view of HKLM\SOFTWARE is the 64-bit view's SOFTWARE\Wow6432Node.
TEST(Win32RegistryViews, ThirtyTwoBitSoftwareIsWow6432NodeInTheSixtyFourBitView) {
  if (!RunningUnderWow64()) GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
  Win32Registry registry;
  const std::string name = UniqueName("ZevViewTest");
  const RegistryKey own{RegistryRoot::LocalMachine, "SOFTWARE\\" + name, RegistryView::Default};
  const RegistryKey as32{RegistryRoot::LocalMachine, "SOFTWARE\\" + name, RegistryView::Force32};
  const RegistryKey as64{RegistryRoot::LocalMachine, "SOFTWARE\\" + name, RegistryView::Force64};
  const RegistryKey node64{RegistryRoot::LocalMachine, "SOFTWARE\\Wow6432Node\\" + name, RegistryView::Force64};

  ASSERT_TRUE(registry.WriteValue(as32, "bits", RegistryValue::Dword(32)));
  EXPECT_EQ(registry.ReadValue(own, "bits"), RegistryValue::Dword(32));
  EXPECT_EQ(registry.ReadValue(node64, "bits"), RegistryValue::Dword(32));
  EXPECT_FALSE(registry.KeyExists(as64));

  ASSERT_TRUE(registry.WriteValue(as64, "bits", RegistryValue::Dword(64)));
  EXPECT_EQ(registry.ReadValue(as64, "bits"), RegistryValue::Dword(64));
  EXPECT_EQ(registry.ReadValue(as32, "bits"), RegistryValue::Dword(32));

  EXPECT_TRUE(registry.DeleteKey(as64));
  EXPECT_FALSE(registry.KeyExists(as64));
  EXPECT_TRUE(registry.KeyExists(as32));
  EXPECT_TRUE(registry.DeleteKey(as32));
  EXPECT_FALSE(registry.KeyExists(node64));
}

TEST(Win32RegistryViews, ProgramFilesFolderDependsOnTheView) {
  if (!RunningUnderWow64()) GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
  Win32Registry registry;
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  auto own = registry.ReadValue({RegistryRoot::LocalMachine, key, RegistryView::Force32}, "ProgramFilesDir");
  auto native = registry.ReadValue({RegistryRoot::LocalMachine, key, RegistryView::Force64}, "ProgramFilesDir");
  ASSERT_TRUE(own && native);
  EXPECT_THAT(own->text, ::testing::EndsWith("(x86)"));
  EXPECT_NE(own->text, native->text);
}

}  // namespace
}  // namespace zev::win32
