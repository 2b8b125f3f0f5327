#include <gtest/gtest.h>

#include "setup/platform/sim/sim_installer.h"

namespace zev::sim {
namespace {

namespace install_state = platform::install_state;

constexpr const char* kProduct = "{6F1A2B3C-4D5E-4F60-8A9B-0C1D2E3F4A5B}";

TEST(SimInstallerTest, StatesOfProductCodes) {
  SimInstaller installer;
  installer.AddProduct(kProduct, {install_state::kDefault, {{"PackageCode", "{AAAA}"}}});
  installer.AddProduct("{11111111-2222-3333-4444-555555555555}", {install_state::kAdvertised, {}});
  struct Case {
    const char* code;
    int state;
  };
  const Case cases[] = {
      {kProduct, install_state::kDefault},
      {"{6f1a2b3c-4d5e-4f60-8a9b-0c1d2e3f4a5b}", install_state::kDefault},
      {"{11111111-2222-3333-4444-555555555555}", install_state::kAdvertised},
      {"{99999999-2222-3333-4444-555555555555}", install_state::kUnknown},
      {"", install_state::kInvalidArgument},
      {"6F1A2B3C-4D5E-4F60-8A9B-0C1D2E3F4A5B", install_state::kInvalidArgument},
      {"{6F1A2B3C-4D5E-4F60-8A9B-0C1D2E3F4A5}", install_state::kInvalidArgument},
      {"{6F1A2B3C+4D5E-4F60-8A9B-0C1D2E3F4A5B}", install_state::kInvalidArgument},
      {"{6F1A2B3C-4D5E-4F60-8A9B-0C1D2E3F4A5G}", install_state::kInvalidArgument},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(installer.QueryProductState(c.code), c.state) << c.code;
  }
}

TEST(SimInstallerTest, ProductInfoOfKnownProductsOnly) {
  SimInstaller installer;
  installer.AddProduct(kProduct, {install_state::kDefault, {{"PackageCode", "{AAAA}"}}});
  EXPECT_EQ(installer.GetProductInfo(kProduct, "PackageCode"), "{AAAA}");
  EXPECT_FALSE(installer.GetProductInfo(kProduct, "VersionString"));
  EXPECT_FALSE(installer.GetProductInfo("{99999999-2222-3333-4444-555555555555}", "PackageCode"));
  EXPECT_FALSE(installer.GetProductInfo("not a code", "PackageCode"));
}

TEST(SimInstallerTest, AddingAgainReplacesTheProduct) {
  SimInstaller installer;
  installer.AddProduct(kProduct, {install_state::kDefault, {{"PackageCode", "{OLD}"}}});
  installer.AddProduct("{6f1a2b3c-4d5e-4f60-8a9b-0c1d2e3f4a5b}", {install_state::kAbsent, {}});
  EXPECT_EQ(installer.QueryProductState(kProduct), install_state::kAbsent);
  EXPECT_FALSE(installer.GetProductInfo(kProduct, "PackageCode"));
}

}  // namespace
}  // namespace zev::sim
