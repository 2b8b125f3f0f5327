// An in-process server of the TX880 driver class over the simulated device, so that asio_host
// can load a driver DLL through DllGetClassObject and an IClassFactory the way it loads the real
// one, and call IASIO across a module boundary.
#include <windows.h>
#include <unknwn.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/ks/ks_device_path.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

namespace {

using tx880::asio::KsAsioDriver;
using tx880::sim::SimKsSystem;

std::wstring DevicePath() {
  const char* prefix = tx880::ks::DevicePathPrefix;
  return std::wstring(prefix, prefix + std::strlen(prefix)) +
         L"#7&2b3c4d5e&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

// Constructed before the driver and destroyed after it: the driver closes its pins on the way
// out, and the device's worker thread must end on the final Release, not in DllMain.
struct SimulatedDevice {
  SimulatedDevice() {
    device.SetClock(tx880::sim::Clock::RealTime);
    device.AddFilter(SimKsSystem::Tx880(DevicePath()));
  }
  SimKsSystem device;
};

class SimulatedDriver final : private SimulatedDevice, public KsAsioDriver {
 public:
  SimulatedDriver() : KsAsioDriver(nullptr, tx880::asio::DriverSettings{}) {}
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; references do not own it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    SimulatedDriver* driver = nullptr;
    try {
      driver = new SimulatedDriver();
    } catch (...) {  // a second simulated device in the process, or no memory
      return E_OUTOFMEMORY;
    }
    const HRESULT result = driver->NonDelegatingQueryInterface(riid, ppv);
    if (FAILED(result)) delete driver;
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid,
                                                                         REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, tx880::asio::kDriverClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}
