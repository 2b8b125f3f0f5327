#include "setup/platform/sim/sim_installer.h"

#include <cctype>

#include "setup/platform/text_util.h"

namespace zev::sim {

namespace install_state = platform::install_state;

namespace {

// Windows Installer takes product codes only as a braced GUID: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
bool IsProductCode(const std::string& code) {
  if (code.size() != 38 || code.front() != '{' || code.back() != '}') return false;
  for (std::size_t i = 1; i + 1 < code.size(); ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? code[i] != '-' : !std::isxdigit(static_cast<unsigned char>(code[i]))) return false;
  }
  return true;
}

}  // namespace

void SimInstaller::AddProduct(const std::string& productCode, Product product) {
  products_[ToUpperAscii(productCode)] = std::move(product);
}

int SimInstaller::QueryProductState(const std::string& productCode) {
  if (!IsProductCode(productCode)) return install_state::kInvalidArgument;
  auto found = products_.find(ToUpperAscii(productCode));
  return found == products_.end() ? install_state::kUnknown : found->second.state;
}

std::optional<std::string> SimInstaller::GetProductInfo(const std::string& productCode,
                                                        const std::string& property) {
  if (!IsProductCode(productCode)) return std::nullopt;
  auto product = products_.find(ToUpperAscii(productCode));
  if (product == products_.end()) return std::nullopt;
  auto value = product->second.properties.find(property);
  if (value == product->second.properties.end()) return std::nullopt;
  return value->second;
}

}  // namespace zev::sim
