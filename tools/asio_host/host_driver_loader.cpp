#include "host_driver_loader.h"

#include <objbase.h>

#include <cstdio>
#include <vector>

#include "host_session.h"

namespace tx880::asio_host {

namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::string Code(const char* what, unsigned long code) {
  char text[64];
  std::snprintf(text, sizeof text, "%s 0x%08lX", what, code);
  return text;
}

class RegistryKey {
 public:
  RegistryKey(HKEY parent, const std::wstring& path) {
    const LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE, &key_);
    if (status != ERROR_SUCCESS) {
      key_ = nullptr;
      throw StepFailure("opening HKLM\\" + Narrow(path) + " failed: " +
                        Code("error", static_cast<unsigned long>(status)));
    }
  }
  ~RegistryKey() { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::wstring String(const wchar_t* name) const {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type != REG_SZ) status = ERROR_INVALID_DATA;
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 1, L'\0');
    if (status == ERROR_SUCCESS) {
      status = RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                                &size);
    }
    if (status != ERROR_SUCCESS) {
      throw StepFailure("reading the value " + Narrow(name) + " failed: " +
                        Code("error", static_cast<unsigned long>(status)));
    }
    return value.data();
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

ComApartment::ComApartment() {
  const HRESULT result = CoInitialize(nullptr);
  if (FAILED(result)) throw StepFailure(Code("CoInitialize failed:", static_cast<unsigned long>(result)));
  initialized_ = true;
}

ComApartment::~ComApartment() {
  if (initialized_) CoUninitialize();
}

LoadedLibrary::LoadedLibrary(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
  if (module_ == nullptr) {
    throw StepFailure("LoadLibraryW(" + Narrow(path) + ") failed: " + Code("error", GetLastError()));
  }
}

LoadedLibrary::~LoadedLibrary() { FreeLibrary(module_); }

IASIO* LoadedLibrary::CreateDriver(const CLSID& clsid) const {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto entry =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  if (entry == nullptr) throw StepFailure("GetProcAddress(DllGetClassObject) failed");
  IClassFactory* factory = nullptr;
  HRESULT result = entry(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(result) || factory == nullptr) {
    throw StepFailure(Code("DllGetClassObject failed:", static_cast<unsigned long>(result)));
  }
  void* driver = nullptr;
  result = factory->CreateInstance(nullptr, clsid, &driver);
  factory->Release();
  if (FAILED(result) || driver == nullptr) {
    throw StepFailure(Code("IClassFactory::CreateInstance failed:", static_cast<unsigned long>(result)));
  }
  return static_cast<IASIO*>(driver);
}

CLSID ParseClassId(const std::wstring& text) {
  CLSID clsid{};
  const HRESULT result = CLSIDFromString(text.c_str(), &clsid);
  if (FAILED(result)) {
    throw StepFailure("CLSIDFromString(" + Narrow(text) + ") failed: " +
                      Code("HRESULT", static_cast<unsigned long>(result)));
  }
  return clsid;
}

CLSID ClassIdOfRegisteredDriver(const std::wstring& name) {
  const RegistryKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ASIO\\" + name);
  return ParseClassId(key.String(L"CLSID"));
}

IASIO* CreateRegisteredDriver(const CLSID& clsid) {
  void* driver = nullptr;
  const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &driver);
  if (FAILED(result) || driver == nullptr) {
    throw StepFailure(Code("CoCreateInstance failed:", static_cast<unsigned long>(result)));
  }
  return static_cast<IASIO*>(driver);
}

}  // namespace tx880::asio_host
