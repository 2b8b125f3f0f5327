#pragma once
#include "setup/platform/registry.h"

namespace zev::win32 {

// The registry through advapi32's ANSI functions. The view flags are only passed on under
// WOW64: older 32-bit systems reject them.
class Win32Registry final : public platform::Registry {
 public:
  Win32Registry();

  bool KeyExists(const platform::RegistryKey& key) override;
  bool CreateKey(const platform::RegistryKey& key) override;
  std::optional<platform::RegistryValue> ReadValue(const platform::RegistryKey& key,
                                                   const std::string& name) override;
  bool WriteValue(const platform::RegistryKey& key, const std::string& name,
                  const platform::RegistryValue& value) override;
  bool DeleteValue(const platform::RegistryKey& key, const std::string& name) override;
  bool DeleteKey(const platform::RegistryKey& key) override;
  std::optional<std::vector<std::string>> SubkeyNames(const platform::RegistryKey& key) override;
  std::optional<std::vector<std::string>> ValueNames(const platform::RegistryKey& key) override;

 private:
  unsigned long ViewFlag(platform::RegistryView view) const;

  bool wow64_;
};

}  // namespace zev::win32
