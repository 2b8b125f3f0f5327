// Time per buffer switch of the driver (input to the host halves, the host's callback, output to
// the device packet), against memcpy of the same bytes measured in the same run. The switch is
// called directly on a driver whose buffers and packets stand ready over the simulated TX880, so
// neither the streaming thread nor the device is in the measurement. It reports, nothing more.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/ks/ks_device_path.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

namespace tx880::asio {

// The one way into the driver's private switch (a friend of KsAsioDriver).
struct SwitchBenchAccess {
  static void SetRunning(KsAsioDriver& driver, bool running) { driver.running_.store(running); }
  // One switch and the packet rotation the streaming loop does after it.
  static void Switch(KsAsioDriver& driver) {
    driver.SwitchBuffers();
    driver.packetIndex_ = (driver.packetIndex_ + 1) % kPacketCount;
  }
};

}  // namespace tx880::asio

namespace {

using tx880::asio::KsAsioDriver;
using tx880::asio::SwitchBenchAccess;

constexpr long kBufferSizes[] = {64, 128, 256, 512, 1024, 2048};
constexpr long kWordSizes[] = {2, 3};
constexpr int kRepetitions = 9;
// Bytes moved per timed repetition: long enough for the counter, short enough for the run.
constexpr double kBytesPerRepetition = 16.0 * 1024 * 1024;

std::wstring DevicePath() {
  const char* prefix = tx880::ks::DevicePathPrefix;
  return std::wstring(prefix, prefix + std::strlen(prefix)) +
         L"#7&1a2b&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

// The host: a bufferSwitch that does nothing, and no time info.
void __cdecl NoSwitch(long, ASIOBool) {}
void __cdecl NoRateChange(ASIOSampleRate) {}
long __cdecl NoMessage(long, long, void*, double*) { return 0; }

// One driver with 2 inputs and 2 outputs created, as a host holds it.
class Driver {
 public:
  Driver(long wordSize, long frames) {
    tx880::asio::DriverSettings settings;
    settings.wordSize = wordSize;
    object_ = new KsAsioDriver(nullptr, settings);
    if (FAILED(object_->NonDelegatingQueryInterface(tx880::asio::kDriverClassId,
                                                    reinterpret_cast<void**>(&asio_)))) {
      delete object_;
      throw std::runtime_error("the driver does not answer its class id");
    }
    callbacks_.bufferSwitch = &NoSwitch;
    callbacks_.sampleRateDidChange = &NoRateChange;
    callbacks_.asioMessage = &NoMessage;
    callbacks_.bufferSwitchTimeInfo = nullptr;
    infos_[0] = ASIOBufferInfo{ASIOTrue, 0, {nullptr, nullptr}};
    infos_[1] = ASIOBufferInfo{ASIOTrue, 1, {nullptr, nullptr}};
    infos_[2] = ASIOBufferInfo{ASIOFalse, 0, {nullptr, nullptr}};
    infos_[3] = ASIOBufferInfo{ASIOFalse, 1, {nullptr, nullptr}};
    if (asio_->init(nullptr) != ASIOTrue) {
      asio_->Release();
      throw std::runtime_error("init failed");
    }
    if (asio_->createBuffers(infos_, 4, frames, &callbacks_) != ASE_OK) {
      asio_->Release();
      throw std::runtime_error("createBuffers failed");
    }
    SwitchBenchAccess::SetRunning(*object_, true);
  }
  ~Driver() {
    // No thread was started: clearing the flag is all the stop there is to do.
    SwitchBenchAccess::SetRunning(*object_, false);
    asio_->disposeBuffers();
    asio_->Release();
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  void Switch() { SwitchBenchAccess::Switch(*object_); }

 private:
  KsAsioDriver* object_ = nullptr;
  IASIO* asio_ = nullptr;
  ASIOCallbacks callbacks_{};
  ASIOBufferInfo infos_[4]{};
};

double CounterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(frequency.QuadPart);
}

// Microseconds per call of work over iterations calls.
template <typename Work>
double MicrosecondsPerCall(long iterations, Work&& work) {
  LARGE_INTEGER begin;
  LARGE_INTEGER end;
  QueryPerformanceCounter(&begin);
  for (long i = 0; i < iterations; ++i) work();
  QueryPerformanceCounter(&end);
  static const double frequency = CounterFrequency();
  return static_cast<double>(end.QuadPart - begin.QuadPart) * 1e6 / frequency /
         static_cast<double>(iterations);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

struct Result {
  double switchUs;
  double memcpyUs;
};

Result Measure(long frames, long wordSize) {
  Driver driver(wordSize, frames);
  // Both directions: 2 channels in and 2 out, frames samples of wordSize bytes each.
  const std::size_t bytes = std::size_t{2} * 2 * static_cast<std::size_t>(frames * wordSize);
  std::vector<std::byte> source(bytes, std::byte{0x5a});
  std::vector<std::byte> target(bytes);
  const long iterations =
      std::max(64L, static_cast<long>(kBytesPerRepetition / static_cast<double>(bytes)));
  const auto copy = [&] {
    std::memcpy(target.data(), source.data(), bytes);
    // Keeps the compiler from dropping or merging copies nobody reads.
    __asm__ __volatile__("" : : "r"(target.data()), "r"(source.data()) : "memory");
  };
  const auto switchOnce = [&] { driver.Switch(); };

  // Warm-up: caches, pages of the freshly allocated buffers.
  MicrosecondsPerCall(iterations / 4 + 1, switchOnce);
  MicrosecondsPerCall(iterations / 4 + 1, copy);
  std::vector<double> switches;
  std::vector<double> copies;
  // Interleaved, so that both see the same conditions of the machine.
  for (int r = 0; r < kRepetitions; ++r) {
    switches.push_back(MicrosecondsPerCall(iterations, switchOnce));
    copies.push_back(MicrosecondsPerCall(iterations, copy));
  }
  return {Median(switches), Median(copies)};
}

}  // namespace

int main() {
  try {
    // The device outlives every driver: drivers close their pins on the way out.
    tx880::sim::SimKsSystem device;
    device.SetClock(tx880::sim::Clock::Manual);
    device.AddFilter(tx880::sim::SimKsSystem::Tx880(DevicePath()));
    for (const long wordSize : kWordSizes) {
      for (const long frames : kBufferSizes) {
        const Result result = Measure(frames, wordSize);
        std::printf("switch %ld frames %ld-bit: %.2f us per switch, %.1fx memcpy (%.3f us)\n",
                    frames, wordSize * 8, result.switchUs, result.switchUs / result.memcpyUs,
                    result.memcpyUs);
        std::fflush(stdout);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "switch_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
