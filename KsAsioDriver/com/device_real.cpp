// The shipped driver: the real kernel calls, nothing to prepare.
#include "KsAsioDriver/com/device_hooks.h"

namespace tx880::asio::com {

bool PrepareDevice() { return true; }
void ReleaseDevice() {}
void DetachDevice(bool) {}

}  // namespace tx880::asio::com
