// Settings hooks of the driver. The per-host settings store plugs in here; until it does, the
// driver runs on its defaults (44100 Hz, 3-byte samples, latency setting 3) and saves nothing.
#include "KsAsioDriver/driver/ks_asio_driver.h"

namespace tx880::asio {

void KsAsioDriver::LoadSettings() {}

void KsAsioDriver::SaveSettings() {}

}  // namespace tx880::asio
