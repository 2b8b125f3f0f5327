#pragma once
// Getting hold of an ASIO driver the two ways a host can: through COM from the ASIO driver list,
// or straight from a DLL's class factory. Failures throw StepFailure.
#include <windows.h>

#include <string>

#include "KsAsioDriver/driver/asio_abi.h"

namespace tx880::asio_host {

// COM for the host's thread while it lives.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_ = false;
};

// A DLL kept loaded while it lives; it must outlive every object created from it.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::wstring& path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // DllGetClassObject → IClassFactory → CreateInstance(nullptr, clsid as the interface id).
  IASIO* CreateDriver(const CLSID& clsid) const;

 private:
  HMODULE module_ = nullptr;
};

CLSID ParseClassId(const std::wstring& text);
// HKLM\SOFTWARE\ASIO\<name>, value "CLSID".
CLSID ClassIdOfRegisteredDriver(const std::wstring& name);
// CoCreateInstance(clsid, 0, CLSCTX_INPROC_SERVER, clsid), as every ASIO host does.
IASIO* CreateRegisteredDriver(const CLSID& clsid);

}  // namespace tx880::asio_host
