#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zev::platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Which half of the registry a 32-bit program sees on 64-bit Windows. Default is the
// program's own (32-bit) view; the others add KEY_WOW64_32KEY or KEY_WOW64_64KEY. Ignored on
// 32-bit Windows.
enum class RegistryView { Default, Force32, Force64 };

struct RegistryKey {
  RegistryRoot root = RegistryRoot::LocalMachine;
  std::string path;  // below the root, backslash separated, no leading backslash
  RegistryView view = RegistryView::Default;
};

enum class RegistryType { String, ExpandString, MultiString, Dword, Qword, Binary };

// One typed value. Only the member that belongs to the type is meaningful.
struct RegistryValue {
  RegistryType type = RegistryType::String;
  std::string text;                  // String, ExpandString
  std::vector<std::string> strings;  // MultiString
  std::uint64_t number = 0;          // Dword (low 32 bits), Qword
  std::vector<std::byte> bytes;      // Binary

  static RegistryValue String(std::string text) { return {RegistryType::String, std::move(text), {}, 0, {}}; }
  static RegistryValue ExpandString(std::string text) {
    return {RegistryType::ExpandString, std::move(text), {}, 0, {}};
  }
  static RegistryValue MultiString(std::vector<std::string> strings) {
    return {RegistryType::MultiString, {}, std::move(strings), 0, {}};
  }
  static RegistryValue Dword(std::uint32_t number) { return {RegistryType::Dword, {}, {}, number, {}}; }
  static RegistryValue Qword(std::uint64_t number) { return {RegistryType::Qword, {}, {}, number, {}}; }
  static RegistryValue Binary(std::vector<std::byte> bytes) {
    return {RegistryType::Binary, {}, {}, 0, std::move(bytes)};
  }

  bool operator==(const RegistryValue&) const = default;
};

// The registry as the engine uses it. Key and value names compare ignoring case; the empty
// value name is the key's default value. "Absent" is an ordinary answer, never an exception.
class Registry {
 public:
  virtual ~Registry() = default;

  virtual bool KeyExists(const RegistryKey& key) = 0;
  // Creates the key and any missing parents; true when it exists afterwards.
  virtual bool CreateKey(const RegistryKey& key) = 0;
  // Nothing when the key or the value is absent or cannot be read.
  virtual std::optional<RegistryValue> ReadValue(const RegistryKey& key, const std::string& name) = 0;
  // Creates the key when missing.
  virtual bool WriteValue(const RegistryKey& key, const std::string& name, const RegistryValue& value) = 0;
  // False when the value was not there or could not be removed.
  virtual bool DeleteValue(const RegistryKey& key, const std::string& name) = 0;
  // Removes the key with all its subkeys; false when it was not there or could not be removed.
  virtual bool DeleteKey(const RegistryKey& key) = 0;
  // Names of the direct subkeys and of the values; nothing when the key is absent.
  virtual std::optional<std::vector<std::string>> SubkeyNames(const RegistryKey& key) = 0;
  virtual std::optional<std::vector<std::string>> ValueNames(const RegistryKey& key) = 0;
};

}  // namespace zev::platform
