// asio_host_sim: the test host streaming through the TX880 driver object against the simulated
// device, with the output and input checked against what the device really played and captured.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/ks/ks_device_path.h"
#include "KsAsioDriver/sim/sim_ks_device.h"
#include "host_options.h"
#include "host_run.h"
#include "host_session.h"

using namespace tx880::asio_host;
namespace asio = tx880::asio;
namespace sim = tx880::sim;

namespace {

// A device interface path in KSCATEGORY_AUDIO under the TX880's USB interface 0.
std::wstring SimulatedDevicePath() {
  const char* prefix = tx880::ks::DevicePathPrefix;
  return std::wstring(prefix, prefix + std::strlen(prefix)) +
         L"#7&1a2b3c4d&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

// The driver object as COM would hand it out: one reference to its IASIO interface.
IASIO* CreateDriver(int sampleBits) {
  asio::DriverSettings settings;
  settings.wordSize = sampleBits / 8;
  auto* object = new asio::KsAsioDriver(nullptr, settings);
  void* driver = nullptr;
  if (FAILED(object->NonDelegatingQueryInterface(asio::kDriverClassId, &driver)) || driver == nullptr) {
    delete object;
    throw StepFailure("the driver object does not answer its class id");
  }
  return static_cast<IASIO*>(driver);
}

}  // namespace

int main() {
  std::string error;
  const auto options = ParseOptions(CommandLineArguments(), OptionSet::Simulated, error);
  if (!options) {
    std::fprintf(stderr, "asio_host_sim: %s\n%s", error.c_str(), Usage(OptionSet::Simulated).c_str());
    return kExitBadArguments;
  }
  try {
    // The device outlives the driver: the driver closes its pins and filters on release.
    sim::SimKsSystem device;
    device.SetClock(sim::Clock::RealTime);
    device.SetCaptureSignal(sim::RampSample);
    device.AddFilter(sim::SimKsSystem::Tx880(SimulatedDevicePath()));
    KnownSignalDevice check([&device] { return device.RenderedBytes(); }, sim::RampSample);
    return RunAndReport(CreateDriver(options->sampleBits), options->session, check);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "asio_host_sim: %s\n", failure.what());
    return kExitFailed;
  }
}
