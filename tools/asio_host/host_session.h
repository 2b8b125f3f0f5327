#pragma once
// One ASIO streaming run as a host does it: init, channel and buffer queries, createBuffers,
// start, run for a while, stop, disposeBuffers, Release. The driver's streaming thread calls
// back into the session; ASIO callbacks carry no context, so one session is live at a time.
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "host_check.h"
#include "host_pattern.h"

namespace tx880::asio_host {

struct SessionConfig {
  std::vector<long> inputs{0, 1};
  std::vector<long> outputs{0, 1};
  long bufferSize = 0;  // 0: the driver's preferred size
  double seconds = 3.0;
  // Switches the driver makes before the device runs; their input halves are silent.
  int primingSwitches = 3;
  // Input kept for checking, per channel; the rest of a long run is not checked.
  double keepInputSeconds = 10.0;
  bool answerTimeInfo = true;
};

struct SessionReport {
  std::string driverName;
  long driverVersion = 0;
  double sampleRate = 0;
  long bufferSize = 0;
  double periodMs = 0;
  std::vector<ChannelUse> inputs;
  std::vector<ChannelUse> outputs;

  long switches = 0;
  long missedPeriods = 0;
  double longestGapMs = 0;
  long longestGapSwitch = 0;  // the switch that came that late, counted from 0
  double meanGapMs = 0;
  double meanCallbackUs = 0;
  double maxCallbackUs = 0;
  long halfErrors = 0;     // a switch to a half other than the one due
  long resetRequests = 0;  // the driver gave up streaming and asked for a reset

  CheckResult output;
  CheckResult input;

  bool Good() const;
};

// A step of the run that the driver refused; the text names the step and carries the driver's
// error message.
class StepFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class AsioSession {
 public:
  // Takes over one reference to the driver.
  explicit AsioSession(IASIO* driver);
  // Disposes the buffers if still held and releases the driver.
  ~AsioSession();
  AsioSession(const AsioSession&) = delete;
  AsioSession& operator=(const AsioSession&) = delete;

  SessionReport Run(const SessionConfig& config, DeviceCheck& check);

 private:
  struct InputStore {
    ChannelUse channel;
    const std::uint8_t* halves[2] = {};
    std::vector<std::uint8_t> kept;  // sized once; the callback only copies into it
    std::size_t used = 0;
  };
  struct OutputTarget {
    ChannelUse channel;
    std::uint8_t* halves[2] = {};
  };

  static void __cdecl OnBufferSwitch(long half, ASIOBool directProcess);
  static ASIOTime* __cdecl OnBufferSwitchTimeInfo(ASIOTime* time, long half, ASIOBool directProcess);
  static void __cdecl OnSampleRateDidChange(ASIOSampleRate rate);
  static long __cdecl OnAsioMessage(long selector, long value, void* message, double* opt);
  void Switch(long half);
  long Message(long selector, long value);

  [[noreturn]] void Fail(const std::string& step, const std::string& detail = {});
  void Check(ASIOError result, const char* step);
  std::vector<ChannelUse> DescribeChannels(const std::vector<long>& channels, bool input,
                                           long available);
  void Prepare(const SessionConfig& config, SessionReport& report);
  void Stream(double seconds);
  void Finish(SessionReport& report, DeviceCheck& check);

  IASIO* driver_;
  ASIOCallbacks callbacks_{};
  bool buffersCreated_ = false;
  bool running_ = false;
  bool answerTimeInfo_ = true;

  // Written by the streaming thread while it runs, read after stop.
  std::vector<ASIOBufferInfo> bufferInfos_;
  std::vector<InputStore> inputs_;
  std::vector<OutputTarget> outputs_;
  long bufferSize_ = 0;
  int primingSwitches_ = 0;
  double periodMs_ = 0;
  double ticksPerMs_ = 0;
  long switches_ = 0;
  long expectedHalf_ = 0;
  long halfErrors_ = 0;
  long missedPeriods_ = 0;
  SwitchSchedule schedule_{0};
  std::uint64_t patternIndex_ = 0;
  LONGLONG lastSwitchTicks_ = 0;
  LONGLONG longestGapTicks_ = 0;
  long longestGapSwitch_ = 0;
  LONGLONG gapTicksSum_ = 0;
  long gapsMeasured_ = 0;
  LONGLONG callbackTicksSum_ = 0;
  LONGLONG longestCallbackTicks_ = 0;
  volatile LONG resetRequests_ = 0;
};

}  // namespace tx880::asio_host
