#pragma once
// What the module does around driver creation. The shipped driver talks to the real device and
// does nothing here; the simulated build plugs its TX880 into the kernel table.

namespace tx880::asio::com {

// Before a class object or a driver is handed out. False: no device can be offered.
bool PrepareDevice();
// DllCanUnloadNow found nothing alive: the module is about to be unloaded.
void ReleaseDevice();
// DLL_PROCESS_DETACH; processEnding when the process exits rather than the module being freed.
void DetachDevice(bool processEnding);

}  // namespace tx880::asio::com
