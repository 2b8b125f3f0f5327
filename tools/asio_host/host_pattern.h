#pragma once
// The pure arithmetic of the test host: sample packing, the output test pattern, the expected
// input of a device, and turning gaps between buffer switches into missed periods.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tx880::asio_host {

// Bytes per sample of an ASIO sample type the host can check (16- and 24-bit integer LSB);
// nullopt for any other type.
std::optional<int> BytesOfSampleType(long sampleType);

// Little-endian packing of the low `bytes` bytes of a value.
void StoreSample(std::uint8_t* target, std::uint32_t value, int bytes);
std::uint32_t LoadSample(const std::uint8_t* source, int bytes);

// The value the host writes at a sample index of a device channel: a deterministic sequence,
// different per channel, never zero (so silence cannot pass for it), `bytes` wide.
std::uint32_t PatternSample(unsigned channel, std::uint64_t index, int bytes);

// The bytes a device delivers for a left-justified 32-bit sample: its top `bytes` bytes.
std::uint32_t TopBytes(std::int32_t value, int bytes);

// Switches against the device's clock. The k-th switch after the first is due k periods after
// it; with the driver's three packets queued a switch may come up to two periods late before
// the device runs dry, so jitter costs nothing. A switch later than that has lost the periods
// the device ran dry; they are counted once and the schedule starts again from that switch.
// An early switch moves the schedule earlier (the first one may itself have been late).
class SwitchSchedule {
 public:
  explicit SwitchSchedule(double periodMs, double slackPeriods = 2.0)
      : periodMs_(periodMs), slackPeriods_(slackPeriods) {}
  // Periods lost before a switch at timeMs.
  long Switch(double timeMs);

 private:
  double periodMs_;
  double slackPeriods_;
  bool started_ = false;
  double anchorMs_ = 0;
  long index_ = 0;
};

// Interleaved frames as a device renders them, one sample of `bytes` per device channel.
struct InterleavedFrames {
  std::span<const std::uint8_t> data;
  unsigned channels = 2;
  int bytes = 3;

  std::size_t FrameCount() const { return data.size() / (static_cast<std::size_t>(channels) * bytes); }
  std::uint32_t Sample(std::size_t frame, unsigned channel) const {
    return LoadSample(data.data() + (frame * channels + channel) * bytes, bytes);
  }
};

// Where the host's pattern shows up in rendered frames: the first frame that is not silent, and
// the pattern index it carries.
struct PatternAlignment {
  std::size_t firstFrame = 0;
  std::uint64_t patternIndex = 0;
};

// Finds the alignment of the pattern on the given device channels (the others must be silent),
// trying pattern indexes below `indexLimit`. nullopt when nothing but silence was rendered or no
// index fits.
std::optional<PatternAlignment> AlignPattern(const InterleavedFrames& frames,
                                             std::span<const unsigned> patternChannels,
                                             std::uint64_t indexLimit);

// How many frames from the alignment on carry the pattern exactly (and silence on the other
// channels) before the first mismatch.
std::size_t MatchingFrames(const InterleavedFrames& frames,
                           std::span<const unsigned> patternChannels,
                           const PatternAlignment& alignment);

}  // namespace tx880::asio_host
