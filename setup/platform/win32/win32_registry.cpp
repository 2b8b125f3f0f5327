#include "setup/platform/win32/win32_registry.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "setup/platform/win32/dynamic_function.h"
#include "setup/platform/win32/unique_handles.h"
#include "setup/platform/win32/wow64.h"

namespace zev::win32 {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryType;
using platform::RegistryValue;
using platform::RegistryView;

namespace {

HKEY RootHandle(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users: return HKEY_USERS;
    case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_LOCAL_MACHINE;
}

UniqueRegistryKey Open(HKEY root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueRegistryKey();
  return UniqueRegistryKey(key);
}

// Text data may or may not carry its terminating null.
std::string TextOf(const std::vector<BYTE>& data) {
  std::string text(reinterpret_cast<const char*>(data.data()), data.size());
  return text.substr(0, text.find('\0'));
}

std::vector<std::string> StringsOf(const std::vector<BYTE>& data) {
  std::vector<std::string> strings;
  std::string all(reinterpret_cast<const char*>(data.data()), data.size());
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (end == start) break;  // the empty string ends the list
    strings.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

std::optional<RegistryValue> ValueOf(DWORD type, const std::vector<BYTE>& data) {
  switch (type) {
    case REG_SZ: return RegistryValue::String(TextOf(data));
    case REG_EXPAND_SZ: return RegistryValue::ExpandString(TextOf(data));
    case REG_MULTI_SZ: return RegistryValue::MultiString(StringsOf(data));
    case REG_DWORD: {
      if (data.size() != sizeof(DWORD)) return std::nullopt;
      DWORD number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      return RegistryValue::Dword(number);
    }
    case REG_QWORD: {
      if (data.size() != sizeof(std::uint64_t)) return std::nullopt;
      std::uint64_t number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      return RegistryValue::Qword(number);
    }
    default: {
      // REG_BINARY and the rarer types: the bytes as they are.
      std::vector<std::byte> bytes(data.size());
      if (!data.empty()) std::memcpy(bytes.data(), data.data(), data.size());
      return RegistryValue::Binary(std::move(bytes));
    }
  }
}

std::pair<DWORD, std::vector<BYTE>> DataOf(const RegistryValue& value) {
  auto bytesOf = [](const void* start, std::size_t size) {
    const auto* first = static_cast<const BYTE*>(start);
    return std::vector<BYTE>(first, first + size);
  };
  switch (value.type) {
    case RegistryType::String: return {REG_SZ, bytesOf(value.text.c_str(), value.text.size() + 1)};
    case RegistryType::ExpandString: return {REG_EXPAND_SZ, bytesOf(value.text.c_str(), value.text.size() + 1)};
    case RegistryType::MultiString: {
      std::string all;
      for (const std::string& text : value.strings) all += text + '\0';
      all += '\0';
      return {REG_MULTI_SZ, bytesOf(all.data(), all.size())};
    }
    case RegistryType::Dword: {
      auto number = static_cast<DWORD>(value.number);
      return {REG_DWORD, bytesOf(&number, sizeof number)};
    }
    case RegistryType::Qword: return {REG_QWORD, bytesOf(&value.number, sizeof value.number)};
    case RegistryType::Binary: return {REG_BINARY, bytesOf(value.bytes.data(), value.bytes.size())};
  }
  return {REG_NONE, {}};
}

bool DeleteTree(HKEY root, const std::string& path, REGSAM view) {
  if (auto key = Open(root, path, KEY_ENUMERATE_SUB_KEYS | view)) {
    // Names first: deleting while enumerating shifts the indexes.
    std::vector<std::string> children;
    std::array<char, 256> name{};
    for (DWORD index = 0;; ++index) {
      DWORD length = name.size();
      if (RegEnumKeyExA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      children.emplace_back(name.data(), length);
    }
    key.Reset();
    for (const std::string& child : children) DeleteTree(root, path + "\\" + child, view);
  } else {
    return false;
  }
  // RegDeleteKeyExA, the only call that deletes in a chosen view, is missing before XP x64.
  using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  auto deleteKeyEx = FindFunction<DeleteKeyEx>(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA");
  if (view != 0 && deleteKeyEx) return deleteKeyEx(root, path.c_str(), view, 0) == ERROR_SUCCESS;
  return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

Win32Registry::Win32Registry() : wow64_(RunningUnderWow64()) {}

unsigned long Win32Registry::ViewFlag(RegistryView view) const {
  if (!wow64_) return 0;
  switch (view) {
    case RegistryView::Force32: return KEY_WOW64_32KEY;
    case RegistryView::Force64: return KEY_WOW64_64KEY;
    case RegistryView::Default: break;
  }
  return 0;
}

bool Win32Registry::KeyExists(const RegistryKey& key) {
  return static_cast<bool>(Open(RootHandle(key.root), key.path, KEY_QUERY_VALUE | ViewFlag(key.view)));
}

bool Win32Registry::CreateKey(const RegistryKey& key) {
  HKEY created = nullptr;
  LONG status = RegCreateKeyExA(RootHandle(key.root), key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_CREATE_SUB_KEY | ViewFlag(key.view), nullptr, &created, nullptr);
  UniqueRegistryKey owned(created);
  return status == ERROR_SUCCESS;
}

std::optional<RegistryValue> Win32Registry::ReadValue(const RegistryKey& key, const std::string& name) {
  auto opened = Open(RootHandle(key.root), key.path, KEY_QUERY_VALUE | ViewFlag(key.view));
  if (!opened) return std::nullopt;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(opened.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data;
  LONG status = ERROR_MORE_DATA;
  // The value may grow between the two calls.
  while (status == ERROR_MORE_DATA) {
    data.resize(size);
    status = RegQueryValueExA(opened.Get(), name.c_str(), nullptr, &type, data.data(), &size);
  }
  if (status != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return ValueOf(type, data);
}

bool Win32Registry::WriteValue(const RegistryKey& key, const std::string& name, const RegistryValue& value) {
  HKEY created = nullptr;
  if (RegCreateKeyExA(RootHandle(key.root), key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | ViewFlag(key.view), nullptr, &created, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueRegistryKey owned(created);
  auto [type, data] = DataOf(value);
  return RegSetValueExA(owned.Get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())) ==
         ERROR_SUCCESS;
}

bool Win32Registry::DeleteValue(const RegistryKey& key, const std::string& name) {
  auto opened = Open(RootHandle(key.root), key.path, KEY_SET_VALUE | ViewFlag(key.view));
  return opened && RegDeleteValueA(opened.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::DeleteKey(const RegistryKey& key) {
  if (key.path.empty()) return false;
  return DeleteTree(RootHandle(key.root), key.path, ViewFlag(key.view));
}

std::optional<std::vector<std::string>> Win32Registry::SubkeyNames(const RegistryKey& key) {
  auto opened = Open(RootHandle(key.root), key.path, KEY_ENUMERATE_SUB_KEYS | ViewFlag(key.view));
  if (!opened) return std::nullopt;
  std::vector<std::string> names;
  std::array<char, 256> name{};  // key names are at most 255 characters
  for (DWORD index = 0;; ++index) {
    DWORD length = name.size();
    if (RegEnumKeyExA(opened.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name.data(), length);
  }
  return names;
}

std::optional<std::vector<std::string>> Win32Registry::ValueNames(const RegistryKey& key) {
  auto opened = Open(RootHandle(key.root), key.path, KEY_QUERY_VALUE | ViewFlag(key.view));
  if (!opened) return std::nullopt;
  std::vector<std::string> names;
  std::vector<char> name(16384);  // value names are at most 16383 characters
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(opened.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name.data(), length);
  }
  return names;
}

}  // namespace zev::win32
