// The exports of the in-process server: DllMain, the class object, unloading and registration.
#include <windows.h>
#include <unknwn.h>

#include <exception>
#include <iterator>
#include <new>

#include "KsAsioDriver/com/class_factory.h"
#include "KsAsioDriver/com/device_hooks.h"
#include "KsAsioDriver/com/registration.h"
#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"

namespace tx880::asio::com {

// The file name the DLL must be loaded under to register itself.
#ifdef TX880_ASIO_SIMULATED_MODULE
constexpr char kModuleFileName[] = "TX880AsioSim.dll";
#else
constexpr char kModuleFileName[] = "TX880Asio.dll";
#endif

namespace {

CUnknown* CreateDriver(IUnknown* outer, HRESULT* result) {
  if (!PrepareDevice()) {
    *result = E_FAIL;
    return nullptr;
  }
  try {
    return new (std::nothrow) KsAsioDriver(outer);
  } catch (const std::exception&) {
    return nullptr;
  }
}

const FactoryTemplate kTemplates[] = {
    {L"TX880 ASIO driver", &kDriverClassId, &CreateDriver, nullptr},
};

void InitTemplates(BOOL loading) {
  for (const FactoryTemplate& entry : kTemplates) {
    if (entry.init != nullptr) entry.init(loading, entry.classId);
  }
}

}  // namespace

}  // namespace tx880::asio::com

namespace com = tx880::asio::com;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    com::InitTemplates(TRUE);
  } else if (reason == DLL_PROCESS_DETACH) {
    com::InitTemplates(FALSE);
    com::DetachDevice(reserved != nullptr);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** ppv) {
  const HRESULT result = com::GetClassObject(com::kTemplates, classId, riid, ppv);
  if (SUCCEEDED(result)) com::PrepareDevice();
  return result;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  const HRESULT result = com::CanUnloadNow();
  if (result == S_OK) com::ReleaseDevice();
  return result;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return com::RegisterServer(tx880::asio::kDriverClassId, com::kModuleFileName);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return com::UnregisterServer(tx880::asio::kDriverClassId, com::kModuleFileName);
}

}  // extern "C"
