#include "KsAsioDriver/com/registration.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace tx880::asio::com {

namespace {

constexpr DWORD kModulePathBytes = 360;
constexpr int kClassIdTextBytes = 100;
constexpr char kAsioListKey[] = "SOFTWARE\\ASIO";

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  bool Open(HKEY parent, const char* path, REGSAM access = KEY_READ) {
    return RegOpenKeyExA(parent, path, 0, access, Reset()) == ERROR_SUCCESS;
  }
  bool Create(HKEY parent, const char* path) {
    return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, Reset(), nullptr) == ERROR_SUCCESS;
  }
  HKEY Get() const { return key_; }

 private:
  HKEY* Reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
    return &key_;
  }
  HKEY key_ = nullptr;
};

bool KeyExists(HKEY root, const std::string& path) {
  RegKey key;
  return key.Open(root, path.c_str());
}

// Opens the parent and creates the child only when the child's path cannot be opened.
void EnsureKey(HKEY root, const std::string& parent, const std::string& child) {
  if (KeyExists(root, parent + "\\" + child)) return;
  RegKey parentKey;
  RegKey childKey;
  if (parentKey.Open(root, parent.c_str(), KEY_CREATE_SUB_KEY)) {
    childKey.Create(parentKey.Get(), child.c_str());
  }
}

void SetText(HKEY root, const std::string& path, const char* name, const char* text) {
  RegKey key;
  if (!key.Open(root, path.c_str(), KEY_SET_VALUE)) return;
  RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
}

// The default value of the key; empty when missing or longer than a module path may be.
std::string DefaultText(HKEY root, const std::string& path) {
  RegKey key;
  if (!key.Open(root, path.c_str())) return {};
  char text[kModulePathBytes + 1] = {};
  DWORD size = kModulePathBytes;
  DWORD type = 0;
  if (RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text),
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  text[kModulePathBytes] = '\0';
  CharLowerA(text);
  return text;
}

void DeleteTree(HKEY root, const char* parent, const char* child) {
  RegKey parentKey;
  if (parentKey.Open(root, parent, KEY_ALL_ACCESS)) SHDeleteKeyA(parentKey.Get(), child);
}

// Steps shared by registration and removal: the module path (lower case) and the class id text.
int ModuleAndClassId(REFCLSID classId, HMODULE module, std::string& modulePath,
                     std::string& classIdText) {
  char path[kModulePathBytes] = {};
  const DWORD length = GetModuleFileNameA(module, path, kModulePathBytes);
  if (length == 0 || path[0] == '\0') return kNoModulePath;
  path[kModulePathBytes - 1] = '\0';
  CharLowerA(path);
  modulePath = path;

  LPOLESTR wide = nullptr;
  if (FAILED(StringFromCLSID(classId, &wide)) || wide == nullptr) return kClassIdNotText;
  char narrow[kClassIdTextBytes] = {};
  const int converted =
      WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, kClassIdTextBytes, nullptr, nullptr);
  CoTaskMemFree(wide);
  if (converted == 0) return kClassIdNotNarrow;
  classIdText = narrow;
  return kRegistrationOk;
}

// Deletes the driver's entry of the ASIO driver list when there is one.
void RemoveAsioEntry() {
  if (KeyExists(HKEY_LOCAL_MACHINE, std::string(kAsioListKey) + "\\" + kDriverKeyName)) {
    DeleteTree(HKEY_LOCAL_MACHINE, kAsioListKey, kDriverKeyName);
  }
}

HMODULE FindModule(const char* moduleFileName) { return GetModuleHandleA(moduleFileName); }

}  // namespace

int WriteRegistration(REFCLSID classId, HMODULE module) {
  std::string modulePath;
  std::string classIdText;
  if (const int code = ModuleAndClassId(classId, module, modulePath, classIdText); code != 0) {
    return code;
  }
  const std::string classKey = "CLSID\\" + classIdText;
  const std::string serverKey = classKey + "\\InprocServer32";

  bool comEntriesRight = false;
  if (KeyExists(HKEY_CLASSES_ROOT, classKey)) {
    // Paths are compared in lower case: the same folder in another letter case is the same file.
    comEntriesRight = DefaultText(HKEY_CLASSES_ROOT, serverKey) == modulePath;
    if (!comEntriesRight) DeleteTree(HKEY_CLASSES_ROOT, "CLSID", classIdText.c_str());
  }
  if (!comEntriesRight) {
    EnsureKey(HKEY_CLASSES_ROOT, "CLSID", classIdText);
    SetText(HKEY_CLASSES_ROOT, classKey, nullptr, kClassName);
    EnsureKey(HKEY_CLASSES_ROOT, classKey, "InprocServer32");
    SetText(HKEY_CLASSES_ROOT, serverKey, nullptr, modulePath.c_str());
    SetText(HKEY_CLASSES_ROOT, serverKey, "ThreadingModel", "Apartment");
  }

  if (!KeyExists(HKEY_LOCAL_MACHINE, kAsioListKey)) {
    EnsureKey(HKEY_LOCAL_MACHINE, "SOFTWARE", "ASIO");
  } else {
    RemoveAsioEntry();
  }
  EnsureKey(HKEY_LOCAL_MACHINE, kAsioListKey, kDriverKeyName);
  const std::string driverKey = std::string(kAsioListKey) + "\\" + kDriverKeyName;
  SetText(HKEY_LOCAL_MACHINE, driverKey, "CLSID", classIdText.c_str());
  SetText(HKEY_LOCAL_MACHINE, driverKey, "Description", kClassName);
  return kRegistrationOk;
}

int RemoveRegistration(REFCLSID classId, HMODULE module) {
  std::string modulePath;
  std::string classIdText;
  if (const int code = ModuleAndClassId(classId, module, modulePath, classIdText); code != 0) {
    return code;
  }
  if (KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + classIdText)) {
    DeleteTree(HKEY_CLASSES_ROOT, "CLSID", classIdText.c_str());
  }
  if (KeyExists(HKEY_LOCAL_MACHINE, kAsioListKey)) RemoveAsioEntry();
  return kRegistrationOk;
}

HRESULT RegisterServer(REFCLSID classId, const char* moduleFileName) {
  const HMODULE module = FindModule(moduleFileName);
  const int code =
      module == nullptr ? kModuleNotLoadedUnderItsName : WriteRegistration(classId, module);
  if (code == kRegistrationOk) return S_OK;
  char text[80];
  std::snprintf(text, sizeof text, "Register Server failed with error code %d", code);
  MessageBoxA(nullptr, text, "Driver Registration Failed", MB_OK);
  return E_FAIL;
}

// Unregistration stays silent: it runs from uninstallers, where a box would stop the removal.
HRESULT UnregisterServer(REFCLSID classId, const char* moduleFileName) {
  const HMODULE module = FindModule(moduleFileName);
  const int code =
      module == nullptr ? kModuleNotLoadedUnderItsName : RemoveRegistration(classId, module);
  return code == kRegistrationOk ? S_OK : E_FAIL;
}

}  // namespace tx880::asio::com
