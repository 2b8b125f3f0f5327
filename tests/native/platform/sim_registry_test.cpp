#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "setup/platform/sim/sim_os_profiles.h"
#include "setup/platform/sim/sim_registry.h"

namespace zev::sim {
namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::RegistryView;
using ::testing::ElementsAre;

constexpr auto kHklm = RegistryRoot::LocalMachine;
constexpr auto kHkcu = RegistryRoot::CurrentUser;

RegistryKey Key(RegistryRoot root, std::string path, RegistryView view = RegistryView::Default) {
  return {root, std::move(path), view};
}

class SimRegistryTest : public ::testing::Test {
 protected:
  explicit SimRegistryTest(OsProfile profile = profiles::WindowsXpSp2Administrator())
      : system(std::move(profile)), registry(system) {}

  SimSystemInfo system;
  SimRegistry registry;
};

TEST_F(SimRegistryTest, ValuesOfEveryTypeComeBackAsWritten) {
  const std::vector<std::pair<std::string, RegistryValue>> cases = {
      {"Text", RegistryValue::String("C:\\Program Files\\TX880")},
      {"EmptyText", RegistryValue::String("")},
      {"Expand", RegistryValue::ExpandString("%SystemRoot%\\system32")},
      {"Multi", RegistryValue::MultiString({"one", "two words", "three"})},
      {"Dword", RegistryValue::Dword(0xFFFFFFFFu)},
      {"Qword", RegistryValue::Qword(0x1122334455667788ull)},
      {"Binary", RegistryValue::Binary({std::byte{0}, std::byte{0xFF}, std::byte{0x7F}})},
      {"", RegistryValue::String("the default value")},
  };
  const RegistryKey key = Key(kHkcu, "Software\\Corvane\\TX880 ASIO driver");
  for (const auto& [name, value] : cases) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(registry.WriteValue(key, name, value));
    EXPECT_EQ(registry.ReadValue(key, name), value);
  }
}

TEST_F(SimRegistryTest, DwordKeepsOnlyItsLow32Bits) {
  RegistryValue wide = RegistryValue::Dword(0);
  wide.number = 0x1'0000'0005ull;
  registry.WriteValue(Key(kHkcu, "Software\\A"), "n", wide);
  EXPECT_EQ(registry.ReadValue(Key(kHkcu, "Software\\A"), "n"), RegistryValue::Dword(5));
}

TEST_F(SimRegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  registry.WriteValue(Key(kHklm, "SOFTWARE\\Corvane\\Drivers"), "InstallDir", RegistryValue::String("a"));
  registry.WriteValue(Key(kHklm, "software\\CORVANE\\drivers"), "INSTALLDIR", RegistryValue::String("b"));

  EXPECT_EQ(registry.ReadValue(Key(kHklm, "Software\\corvane\\Drivers"), "installdir"),
            RegistryValue::String("b"));
  EXPECT_THAT(*registry.SubkeyNames(Key(kHklm, "SOFTWARE\\corvane")), ElementsAre("Drivers"));
  EXPECT_THAT(*registry.ValueNames(Key(kHklm, "SOFTWARE\\Corvane\\Drivers")), ElementsAre("InstallDir"));
  EXPECT_TRUE(registry.KeyExists(Key(kHklm, "software\\corvane\\DRIVERS")));
}

TEST_F(SimRegistryTest, AbsentKeysAndValuesAreNothing) {
  registry.CreateKey(Key(kHkcu, "Software\\Empty"));
  EXPECT_FALSE(registry.KeyExists(Key(kHkcu, "Software\\Missing")));
  EXPECT_FALSE(registry.ReadValue(Key(kHkcu, "Software\\Missing"), "x"));
  EXPECT_FALSE(registry.ReadValue(Key(kHkcu, "Software\\Empty"), "x"));
  EXPECT_FALSE(registry.ReadValue(Key(kHkcu, "Software\\Empty"), ""));
  EXPECT_FALSE(registry.SubkeyNames(Key(kHkcu, "Software\\Missing")));
  EXPECT_FALSE(registry.ValueNames(Key(kHkcu, "Software\\Missing")));
  EXPECT_THAT(*registry.SubkeyNames(Key(kHkcu, "Software\\Empty")), ElementsAre());
  EXPECT_FALSE(registry.DeleteValue(Key(kHkcu, "Software\\Empty"), "x"));
  EXPECT_FALSE(registry.DeleteValue(Key(kHkcu, "Software\\Missing"), "x"));
  EXPECT_FALSE(registry.DeleteKey(Key(kHkcu, "Software\\Missing")));
  EXPECT_FALSE(registry.DeleteKey(Key(kHkcu, "")));
}

TEST_F(SimRegistryTest, RootsAreSeparateTrees) {
  registry.WriteValue(Key(RegistryRoot::Users, ".DEFAULT\\Software\\A"), "v", RegistryValue::Dword(1));
  for (auto root : {RegistryRoot::ClassesRoot, kHkcu, kHklm, RegistryRoot::CurrentConfig}) {
    EXPECT_FALSE(registry.KeyExists(Key(root, ".DEFAULT\\Software\\A")));
  }
  EXPECT_TRUE(registry.KeyExists(Key(RegistryRoot::Users, ".DEFAULT\\Software\\A")));
}

TEST_F(SimRegistryTest, DeleteKeyTakesItsSubkeysAndLeavesSiblings) {
  registry.WriteValue(Key(kHkcu, "Software\\Vendor\\Product\\Settings\\Deep"), "v", RegistryValue::Dword(1));
  registry.WriteValue(Key(kHkcu, "Software\\Vendor\\Product"), "v", RegistryValue::Dword(2));
  registry.WriteValue(Key(kHkcu, "Software\\Vendor\\Other"), "v", RegistryValue::Dword(3));

  EXPECT_TRUE(registry.DeleteKey(Key(kHkcu, "software\\VENDOR\\product")));

  EXPECT_FALSE(registry.KeyExists(Key(kHkcu, "Software\\Vendor\\Product\\Settings\\Deep")));
  EXPECT_FALSE(registry.KeyExists(Key(kHkcu, "Software\\Vendor\\Product")));
  EXPECT_THAT(*registry.SubkeyNames(Key(kHkcu, "Software\\Vendor")), ElementsAre("Other"));
}

TEST_F(SimRegistryTest, DeleteValueRemovesOnlyThatValue) {
  const RegistryKey key = Key(kHkcu, "Software\\A");
  registry.WriteValue(key, "keep", RegistryValue::Dword(1));
  registry.WriteValue(key, "drop", RegistryValue::Dword(2));
  EXPECT_TRUE(registry.DeleteValue(key, "DROP"));
  EXPECT_THAT(*registry.ValueNames(key), ElementsAre("keep"));
}

// On 32-bit Windows the view flags change nothing.
TEST_F(SimRegistryTest, ViewsAreOneTreeOnA32BitSystem) {
  registry.WriteValue(Key(kHklm, "SOFTWARE\\ASIO", RegistryView::Force64), "v", RegistryValue::String("64"));
  for (auto view : {RegistryView::Default, RegistryView::Force32, RegistryView::Force64}) {
    EXPECT_EQ(registry.ReadValue(Key(kHklm, "SOFTWARE\\ASIO", view), "v"), RegistryValue::String("64"));
  }
  EXPECT_FALSE(registry.KeyExists(Key(kHklm, "SOFTWARE\\Wow6432Node", RegistryView::Force64)));
  EXPECT_EQ(registry.ReadValue(Key(kHklm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), "ProgramFilesDir"),
            RegistryValue::String("C:\\Program Files"));
}

class SimRegistryWow64Test : public SimRegistryTest {
 protected:
  SimRegistryWow64Test() : SimRegistryTest(profiles::Windows7x64()) {}
};

TEST_F(SimRegistryWow64Test, ThirtyTwoBitViewsOfSoftwareLandInWow6432Node) {
  struct Case {
    RegistryView writeView;
    RegistryView readView;
    bool seen;
  };
  const Case cases[] = {
      {RegistryView::Default, RegistryView::Default, true},
      {RegistryView::Default, RegistryView::Force32, true},
      {RegistryView::Default, RegistryView::Force64, false},
      {RegistryView::Force64, RegistryView::Force64, true},
      {RegistryView::Force64, RegistryView::Default, false},
      {RegistryView::Force64, RegistryView::Force32, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.writeView) * 10 + static_cast<int>(c.readView));
    SimSystemInfo system(profiles::Windows7x64());
    SimRegistry fresh(system);
    fresh.WriteValue(Key(kHklm, "SOFTWARE\\ASIO\\TX880", c.writeView), "CLSID", RegistryValue::String("x"));
    EXPECT_EQ(fresh.ReadValue(Key(kHklm, "Software\\ASIO\\TX880", c.readView), "CLSID").has_value(), c.seen);
  }
}

TEST_F(SimRegistryWow64Test, SixtyFourBitViewSeesWow6432NodeAsAKey) {
  registry.WriteValue(Key(kHklm, "SOFTWARE\\Corvane"), "v", RegistryValue::Dword(32));
  EXPECT_EQ(registry.ReadValue(Key(kHklm, "SOFTWARE\\Wow6432Node\\Corvane", RegistryView::Force64), "v"),
            RegistryValue::Dword(32));
  // Naming the node explicitly from the 32-bit side reaches the same key, not a nested one.
  EXPECT_EQ(registry.ReadValue(Key(kHklm, "SOFTWARE\\Wow6432Node\\Corvane"), "v"), RegistryValue::Dword(32));
}

TEST_F(SimRegistryWow64Test, OnlyHklmSoftwareIsRedirected) {
  const std::pair<RegistryRoot, std::string> shared[] = {
      {kHklm, "SYSTEM\\CurrentControlSet\\Services\\TX880"},
      {kHkcu, "Software\\Corvane"},
      {RegistryRoot::ClassesRoot, "CLSID\\{0}"},
  };
  for (const auto& [root, path] : shared) {
    SCOPED_TRACE(path);
    registry.WriteValue(Key(root, path), "v", RegistryValue::Dword(1));
    EXPECT_TRUE(registry.ReadValue(Key(root, path, RegistryView::Force64), "v"));
  }
}

TEST_F(SimRegistryWow64Test, DeleteKeyInOneViewLeavesTheOther) {
  registry.WriteValue(Key(kHklm, "SOFTWARE\\Corvane", RegistryView::Force32), "v", RegistryValue::Dword(32));
  registry.WriteValue(Key(kHklm, "SOFTWARE\\Corvane", RegistryView::Force64), "v", RegistryValue::Dword(64));
  EXPECT_TRUE(registry.DeleteKey(Key(kHklm, "SOFTWARE\\Corvane", RegistryView::Force32)));
  EXPECT_FALSE(registry.KeyExists(Key(kHklm, "SOFTWARE\\Corvane", RegistryView::Force32)));
  EXPECT_EQ(registry.ReadValue(Key(kHklm, "SOFTWARE\\Corvane", RegistryView::Force64), "v"),
            RegistryValue::Dword(64));
}

TEST_F(SimRegistryWow64Test, ProgramFilesFolderDependsOnTheView) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  EXPECT_EQ(registry.ReadValue(Key(kHklm, key), "ProgramFilesDir"),
            RegistryValue::String("C:\\Program Files (x86)"));
  EXPECT_EQ(registry.ReadValue(Key(kHklm, key, RegistryView::Force64), "ProgramFilesDir"),
            RegistryValue::String("C:\\Program Files"));
  EXPECT_EQ(registry.ReadValue(Key(kHklm, key, RegistryView::Force64), "CommonFilesDir"),
            RegistryValue::String("C:\\Program Files\\Common Files"));
}

}  // namespace
}  // namespace zev::sim
