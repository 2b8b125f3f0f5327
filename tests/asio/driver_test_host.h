#pragma once
// A scripted ASIO host for the driver tests: it creates the driver, drives it through IASIO,
// records every callback and fills its output halves with a known pattern. ASIO callbacks carry
// no context, so one host is current at a time.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

namespace tx880::asio::test {

// Upper bound for waiting on the streaming thread; only reached when the driver is broken.
inline constexpr DWORD kSafetyMs = 10000;

std::wstring Tx880DevicePath();

// The driver as a host holds it: one reference to its IASIO interface.
class DriverRef {
 public:
  explicit DriverRef(const DriverSettings& settings = {});
  ~DriverRef();
  DriverRef(const DriverRef&) = delete;
  DriverRef& operator=(const DriverRef&) = delete;

  IASIO* operator->() const { return asio_; }
  IASIO* Get() const { return asio_; }
  KsAsioDriver& Object() const { return *object_; }

 private:
  KsAsioDriver* object_;
  IASIO* asio_ = nullptr;
};

struct SwitchRecord {
  long half = -1;
  ASIOBool directProcess = ASIOFalse;
  bool timeInfoCall = false;
  unsigned long positionLo = 0;  // samplePosition handed with a time-info switch
  unsigned long timeFlags = 0;
  std::vector<std::vector<std::uint8_t>> inputs;  // the half of every input, in creation order
};

struct MessageRecord {
  long selector;
  long value;
};

class TestHost {
 public:
  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Answers and shape of the host; set before createBuffers.
  bool supportsTimeInfo = false;
  bool supportsResetRequest = true;
  bool timeInfoSwitchMissing = false;
  // Runs on the streaming thread inside every switch, after the inputs are recorded and the
  // outputs filled; gets the switch number counted from 0.
  std::function<void(int switchNumber)> onSwitch;

  ASIOCallbacks* Callbacks();
  // createBuffers through the driver, remembering the layout for recording and filling.
  ASIOError CreateBuffers(IASIO* driver, std::vector<ASIOBufferInfo> infos, long bufferSize,
                          long wordSize);
  const std::vector<ASIOBufferInfo>& Buffers() const { return buffers_; }

  // The value the host writes into output k (in creation order) at a sample of a switch.
  static std::uint32_t OutputSample(int switchNumber, std::size_t output, long frame);

  int SwitchCount();
  bool WaitForSwitches(int count);
  std::vector<SwitchRecord> Switches();
  std::vector<MessageRecord> Messages();
  int SampleRateChanges();

 private:
  static void __cdecl BufferSwitch(long index, ASIOBool directProcess);
  static void __cdecl SampleRateDidChange(ASIOSampleRate rate);
  static long __cdecl AsioMessage(long selector, long value, void* message, double* opt);
  static ASIOTime* __cdecl BufferSwitchTimeInfo(ASIOTime* time, long index, ASIOBool direct);
  void OnSwitch(long index, ASIOBool directProcess, const ASIOTime* time);

  ASIOCallbacks callbacks_{};
  std::vector<ASIOBufferInfo> buffers_;
  long bufferSize_ = 0;
  long wordSize_ = 3;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SwitchRecord> switches_;
  std::vector<MessageRecord> messages_;
  int sampleRateChanges_ = 0;
};

// Waits until both pin instances of the device are open and running.
bool WaitForPinsRunning(const sim::SimKsSystem& device);
// The bytes of a sample as the device delivers it: the top bytes of the value, little-endian.
std::vector<std::uint8_t> DeviceBytes(std::uint32_t value, long wordSize);

}  // namespace tx880::asio::test
