#pragma once
#include "setup/platform/installer.h"
#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {

// msi.dll is bound by name from the system folder on first use and stays loaded; without it
// every product is unknown.
class Win32Installer final : public platform::Installer {
 public:
  int QueryProductState(const std::string& productCode) override;
  std::optional<std::string> GetProductInfo(const std::string& productCode,
                                            const std::string& property) override;

 private:
  HMODULE Msi();

  bool bound_ = false;
  UniqueModule msi_;
};

}  // namespace zev::win32
