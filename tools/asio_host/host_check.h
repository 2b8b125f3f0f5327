#pragma once
// How a run's audio is judged: the host hands what it wrote and what it received to a
// DeviceCheck, which knows (or not) what the device really played and captured.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tx880::asio_host {

enum class Verdict { Intact, Damaged, NotChecked };

struct CheckResult {
  Verdict verdict = Verdict::NotChecked;
  std::string detail;
};

// A host channel as created: the device channel behind it and its sample width.
struct ChannelUse {
  long deviceChannel = 0;
  int bytes = 3;
};

// What the host did during the run.
struct StreamFacts {
  long bufferSize = 0;
  int primingSwitches = 0;
  long switches = 0;
  std::vector<ChannelUse> inputs;
  std::vector<ChannelUse> outputs;
  // Pattern samples written per output: switches × buffer size.
  std::uint64_t patternSamplesWritten = 0;
};

// The halves one input delivered, from the first switch on, as long as the host kept them.
struct CapturedInput {
  ChannelUse channel;
  std::vector<std::uint8_t> samples;
};

class DeviceCheck {
 public:
  virtual ~DeviceCheck() = default;
  // Called after the driver has stopped.
  virtual CheckResult CheckOutput(const StreamFacts& facts) = 0;
  virtual CheckResult CheckInput(const StreamFacts& facts,
                                 const std::vector<CapturedInput>& inputs) = 0;
};

// A real device: what it played and captured is out of the host's sight.
class UncheckedDevice final : public DeviceCheck {
 public:
  CheckResult CheckOutput(const StreamFacts&) override { return {Verdict::NotChecked, "real device"}; }
  CheckResult CheckInput(const StreamFacts&, const std::vector<CapturedInput>&) override {
    return {Verdict::NotChecked, "real device"};
  }
};

// A device whose rendered bytes can be read back and whose capture signal is known (the
// simulated TX880): output must be the host's pattern, input the signal after the silent
// priming halves.
class KnownSignalDevice final : public DeviceCheck {
 public:
  using RenderedBytes = std::function<std::vector<std::uint8_t>()>;
  // Left-justified 32-bit sample of a device channel at a frame counted from the device's start.
  using CaptureSignal = std::function<std::int32_t(std::uint64_t frame, unsigned channel)>;

  KnownSignalDevice(RenderedBytes rendered, CaptureSignal signal, unsigned deviceChannels = 2);

  CheckResult CheckOutput(const StreamFacts& facts) override;
  CheckResult CheckInput(const StreamFacts& facts,
                         const std::vector<CapturedInput>& inputs) override;

 private:
  RenderedBytes rendered_;
  CaptureSignal signal_;
  unsigned deviceChannels_;
};

}  // namespace tx880::asio_host
