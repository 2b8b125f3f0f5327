#pragma once
#include <map>
#include <memory>

#include "setup/platform/registry.h"
#include "setup/platform/sim/sim_system_info.h"

namespace zev::sim {

// A registry tree in memory. Names compare ignoring case and keep the spelling they were
// created with. On a 64-bit profile the program is a 32-bit process: its default and 32-bit
// views of HKLM\SOFTWARE go to HKLM\SOFTWARE\Wow6432Node, the 64-bit view to SOFTWARE itself.
class SimRegistry : public platform::Registry {
 public:
  // Seeds the values every Windows has that the engine reads (program files folders).
  explicit SimRegistry(SimSystemInfo& system);
  ~SimRegistry() override;

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
  struct Node;
  // The key's path after redirection, split into names.
  std::vector<std::string> Resolve(const platform::RegistryKey& key);
  Node* Find(const platform::RegistryKey& key);

  SimSystemInfo& system_;
  std::map<platform::RegistryRoot, std::unique_ptr<Node>> roots_;
};

}  // namespace zev::sim
