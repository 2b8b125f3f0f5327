#pragma once
#include <map>

#include "setup/platform/installer.h"

namespace zev::sim {

// Installed products a test puts on the simulated machine.
class SimInstaller : public platform::Installer {
 public:
  struct Product {
    int state = platform::install_state::kDefault;
    std::map<std::string, std::string> properties;  // "PackageCode" -> "{...}"
  };

  // Adds or replaces a product; codes compare ignoring case.
  void AddProduct(const std::string& productCode, Product product);

  int QueryProductState(const std::string& productCode) override;
  std::optional<std::string> GetProductInfo(const std::string& productCode,
                                            const std::string& property) override;

 private:
  std::map<std::string, Product> products_;
};

}  // namespace zev::sim
