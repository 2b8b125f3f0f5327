#pragma once
#include <optional>
#include <string>

namespace zev::platform {

// INSTALLSTATE numbers of Windows Installer.
namespace install_state {
inline constexpr int kInvalidArgument = -2;
inline constexpr int kUnknown = -1;
inline constexpr int kAdvertised = 1;
inline constexpr int kAbsent = 2;
inline constexpr int kDefault = 5;  // installed for this user or the machine
}  // namespace install_state

// Windows Installer product queries.
class Installer {
 public:
  virtual ~Installer() = default;

  // The product's INSTALLSTATE; kUnknown when the product is not known or msi.dll is missing.
  virtual int QueryProductState(const std::string& productCode) = 0;
  // A product property ("PackageCode", "VersionString"...); nothing when unknown.
  virtual std::optional<std::string> GetProductInfo(const std::string& productCode,
                                                    const std::string& property) = 0;
};

}  // namespace zev::platform
