#include "setup/platform/sim/sim_registry.h"

#include "setup/platform/text_util.h"

namespace zev::sim {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;
using platform::RegistryValue;
using platform::RegistryView;

// Children and values are keyed by their lower-case name, which also fixes the listing order.
struct SimRegistry::Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> subkeys;
  std::map<std::string, std::pair<std::string, RegistryValue>> values;
};

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  std::string name;
  for (char c : path) {
    if (c != '\\') {
      name += c;
    } else if (!name.empty()) {
      names.push_back(std::move(name));
      name.clear();
    }
  }
  if (!name.empty()) names.push_back(std::move(name));
  return names;
}

}  // namespace

SimRegistry::SimRegistry(SimSystemInfo& system) : system_(system) {
  for (auto root : {RegistryRoot::ClassesRoot, RegistryRoot::CurrentUser, RegistryRoot::LocalMachine,
                    RegistryRoot::Users, RegistryRoot::CurrentConfig}) {
    roots_[root] = std::make_unique<Node>();
  }
  const std::string currentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  const bool is64Bit = system_.Profile().is64Bit;
  const std::string programFiles = is64Bit ? "C:\\Program Files (x86)" : "C:\\Program Files";
  RegistryKey ownView{RegistryRoot::LocalMachine, currentVersion, RegistryView::Default};
  WriteValue(ownView, "ProgramFilesDir", RegistryValue::String(programFiles));
  WriteValue(ownView, "CommonFilesDir", RegistryValue::String(programFiles + "\\Common Files"));
  // Both views of 64-bit Windows carry the owner.
  const bool nt = system_.Profile().version.ntFamily;
  for (auto view : {RegistryView::Default, RegistryView::Force64}) {
    if (view == RegistryView::Force64 && !is64Bit) break;
    RegistryKey owner{RegistryRoot::LocalMachine, nt ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion" : currentVersion, view};
    WriteValue(owner, "RegisteredOwner", RegistryValue::String(system_.Profile().registeredOwner));
    WriteValue(owner, "RegisteredOrganization", RegistryValue::String(system_.Profile().registeredOrganization));
  }
  if (is64Bit) {
    RegistryKey nativeView{RegistryRoot::LocalMachine, currentVersion, RegistryView::Force64};
    WriteValue(nativeView, "ProgramFilesDir", RegistryValue::String("C:\\Program Files"));
    WriteValue(nativeView, "CommonFilesDir", RegistryValue::String("C:\\Program Files\\Common Files"));
  }
}

SimRegistry::~SimRegistry() = default;

std::vector<std::string> SimRegistry::Resolve(const RegistryKey& key) {
  std::vector<std::string> names = SplitPath(key.path);
  const bool redirected = system_.Profile().is64Bit && key.view != RegistryView::Force64 &&
                          key.root == RegistryRoot::LocalMachine && !names.empty() &&
                          EqualsIgnoreCase(names[0], "SOFTWARE") &&
                          !(names.size() > 1 && EqualsIgnoreCase(names[1], "Wow6432Node"));
  if (redirected) names.insert(names.begin() + 1, "Wow6432Node");
  return names;
}

SimRegistry::Node* SimRegistry::Find(const RegistryKey& key) {
  Node* node = roots_.at(key.root).get();
  for (const std::string& name : Resolve(key)) {
    auto found = node->subkeys.find(ToLowerAscii(name));
    if (found == node->subkeys.end()) return nullptr;
    node = found->second.get();
  }
  return node;
}

bool SimRegistry::KeyExists(const RegistryKey& key) { return Find(key) != nullptr; }

bool SimRegistry::CreateKey(const RegistryKey& key) {
  Node* node = roots_.at(key.root).get();
  for (const std::string& name : Resolve(key)) {
    std::unique_ptr<Node>& child = node->subkeys[ToLowerAscii(name)];
    if (!child) {
      child = std::make_unique<Node>();
      child->name = name;
    }
    node = child.get();
  }
  return true;
}

std::optional<RegistryValue> SimRegistry::ReadValue(const RegistryKey& key, const std::string& name) {
  Node* node = Find(key);
  if (!node) return std::nullopt;
  auto found = node->values.find(ToLowerAscii(name));
  if (found == node->values.end()) return std::nullopt;
  return found->second.second;
}

bool SimRegistry::WriteValue(const RegistryKey& key, const std::string& name, const RegistryValue& value) {
  CreateKey(key);
  Node* node = Find(key);
  RegistryValue stored = value;
  if (stored.type == RegistryType::Dword) stored.number &= 0xFFFFFFFFu;
  auto [entry, added] = node->values.try_emplace(ToLowerAscii(name), name, stored);
  if (!added) entry->second.second = std::move(stored);
  return true;
}

bool SimRegistry::DeleteValue(const RegistryKey& key, const std::string& name) {
  Node* node = Find(key);
  return node && node->values.erase(ToLowerAscii(name)) == 1;
}

bool SimRegistry::DeleteKey(const RegistryKey& key) {
  std::vector<std::string> names = Resolve(key);
  if (names.empty()) return false;  // a root cannot be deleted
  Node* parent = roots_.at(key.root).get();
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    auto found = parent->subkeys.find(ToLowerAscii(names[i]));
    if (found == parent->subkeys.end()) return false;
    parent = found->second.get();
  }
  return parent->subkeys.erase(ToLowerAscii(names.back())) == 1;
}

std::optional<std::vector<std::string>> SimRegistry::SubkeyNames(const RegistryKey& key) {
  Node* node = Find(key);
  if (!node) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& [folded, child] : node->subkeys) names.push_back(child->name);
  return names;
}

std::optional<std::vector<std::string>> SimRegistry::ValueNames(const RegistryKey& key) {
  Node* node = Find(key);
  if (!node) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& [folded, entry] : node->values) names.push_back(entry.first);
  return names;
}

}  // namespace zev::sim
