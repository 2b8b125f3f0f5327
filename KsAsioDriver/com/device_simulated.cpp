// Tests and demos: a simulated TX880 on the real-time clock behind the kernel table while the
// module is in use. Its worker thread runs this module's code, so the device holds a reference
// on the module, and it is destroyed when COM asks whether the module may go (outside the loader
// lock: joining a thread inside DllMain would deadlock).
#include <windows.h>

#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "KsAsioDriver/com/device_hooks.h"
#include "KsAsioDriver/ks/ks_device_path.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

namespace tx880::asio::com {

namespace {

std::mutex g_mutex;
std::unique_ptr<sim::SimKsSystem> g_device;
HMODULE g_moduleReference = nullptr;

std::wstring DevicePath() {
  const char* prefix = ks::DevicePathPrefix;
  return std::wstring(prefix, prefix + std::strlen(prefix)) +
         L"#7&3c4d5e6f&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

}  // namespace

bool PrepareDevice() {
  std::lock_guard lock(g_mutex);
  if (g_device) return true;
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&PrepareDevice), &self)) {
    return false;
  }
  try {
    auto device = std::make_unique<sim::SimKsSystem>();
    device->SetClock(sim::Clock::RealTime);
    device->AddFilter(sim::SimKsSystem::Tx880(DevicePath()));
    g_device = std::move(device);
  } catch (const std::exception&) {  // another simulated device lives in the process
    FreeLibrary(self);
    return false;
  }
  g_moduleReference = self;
  return true;
}

void ReleaseDevice() {
  std::unique_lock lock(g_mutex);
  if (!g_device) return;
  g_device.reset();
  const HMODULE self = std::exchange(g_moduleReference, nullptr);
  lock.unlock();
  // The caller of DllCanUnloadNow holds its own reference: this one never unloads the code.
  FreeLibrary(self);
}

void DetachDevice(bool processEnding) {
  // Only reached with a device when the process ends (the device holds the module): the other
  // threads are gone and the kernel table goes with the process.
  if (processEnding) static_cast<void>(g_device.release());
}

}  // namespace tx880::asio::com
