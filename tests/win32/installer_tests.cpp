// Product queries through msi.dll bound at run time.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdio>

#include "setup/platform/win32/win32_installer.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

namespace install_state = platform::install_state;

std::string RandomProductCode() {
  GUID guid{};
  EXPECT_EQ(CoCreateGuid(&guid), S_OK);
  char text[39];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

TEST(Win32Installer, UnknownProductIsUnknown) {
  Win32Installer installer;
  const std::string product = RandomProductCode();
  EXPECT_EQ(installer.QueryProductState(product), install_state::kUnknown);
  EXPECT_FALSE(installer.GetProductInfo(product, "PackageCode"));
}

TEST(Win32Installer, MalformedProductCodeIsRejected) {
  Win32Installer installer;
  EXPECT_EQ(installer.QueryProductState("not a product code"), install_state::kInvalidArgument);
  EXPECT_FALSE(installer.GetProductInfo("not a product code", "PackageCode"));
}

TEST(Win32Installer, MsiComesFromTheSystemFolder) {
  Win32Installer installer;
  installer.QueryProductState(RandomProductCode());
  HMODULE msi = GetModuleHandleA("msi.dll");
  ASSERT_NE(msi, nullptr);
  char path[MAX_PATH];
  ASSERT_NE(GetModuleFileNameA(msi, path, MAX_PATH), 0u);
  EXPECT_TRUE(test::InSystemFolder(path)) << path;
}

}  // namespace
}  // namespace zev::win32
