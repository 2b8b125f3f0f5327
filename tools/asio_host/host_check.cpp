#include "host_check.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "host_pattern.h"

namespace tx880::asio_host {

namespace {

// Packets that may still be in flight, or cancelled, when the driver stops: three queued plus
// the one being switched.
constexpr long kPacketsInFlight = 4;

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

KnownSignalDevice::KnownSignalDevice(RenderedBytes rendered, CaptureSignal signal,
                                     unsigned deviceChannels)
    : rendered_(std::move(rendered)), signal_(std::move(signal)), deviceChannels_(deviceChannels) {}

CheckResult KnownSignalDevice::CheckOutput(const StreamFacts& facts) {
  if (facts.outputs.empty()) return {Verdict::NotChecked, "no output channel"};
  const int bytes = facts.outputs.front().bytes;
  std::vector<unsigned> channels;
  for (const ChannelUse& output : facts.outputs) {
    if (output.bytes != bytes) return {Verdict::NotChecked, "outputs of different sample widths"};
    channels.push_back(static_cast<unsigned>(output.deviceChannel));
  }

  const std::vector<std::uint8_t> rendered = rendered_();
  const InterleavedFrames frames{rendered, deviceChannels_, bytes};
  const auto alignment = AlignPattern(frames, channels, facts.patternSamplesWritten);
  if (!alignment) {
    return {Verdict::Damaged, frames.FrameCount() == 0
                                  ? "nothing was rendered"
                                  : "the pattern is not in the " +
                                        std::to_string(frames.FrameCount()) + " rendered frames"};
  }
  const std::size_t matched = MatchingFrames(frames, channels, *alignment);
  const std::size_t end = alignment->firstFrame + matched;
  if (end < frames.FrameCount()) {
    return {Verdict::Damaged, "rendered frame " + std::to_string(end) + " breaks the pattern (" +
                                  std::to_string(matched) + " frames matched before)"};
  }
  const long expectedPackets = facts.switches - kPacketsInFlight;
  const std::uint64_t expected =
      expectedPackets > 0 ? static_cast<std::uint64_t>(expectedPackets) * facts.bufferSize : 0;
  if (matched < expected) {
    return {Verdict::Damaged, "only " + std::to_string(matched) + " of at least " +
                                  std::to_string(expected) + " frames reached the device"};
  }
  return {Verdict::Intact, std::to_string(matched) + " frames from pattern sample " +
                               std::to_string(alignment->patternIndex) + " after " +
                               std::to_string(alignment->firstFrame) + " silent frames"};
}

CheckResult KnownSignalDevice::CheckInput(const StreamFacts& facts,
                                          const std::vector<CapturedInput>& inputs) {
  if (inputs.empty()) return {Verdict::NotChecked, "no input channel"};
  const std::uint64_t primingFrames =
      static_cast<std::uint64_t>(facts.primingSwitches) * facts.bufferSize;
  std::uint64_t checked = ~std::uint64_t{0};
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const CapturedInput& input = inputs[k];
    const int bytes = input.channel.bytes;
    const auto channel = static_cast<unsigned>(input.channel.deviceChannel);
    const std::uint64_t frames = input.samples.size() / bytes;
    if (frames <= primingFrames) {
      return {Verdict::Damaged, "input " + std::to_string(k) + " received nothing after priming"};
    }
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
      const std::uint32_t got = LoadSample(input.samples.data() + frame * bytes, bytes);
      const std::uint32_t expected =
          frame < primingFrames ? 0 : TopBytes(signal_(frame - primingFrames, channel), bytes);
      if (got != expected) {
        return {Verdict::Damaged, "input " + std::to_string(k) + " (device channel " +
                                      std::to_string(channel) + "), frame " +
                                      std::to_string(frame) + ": " + Hex(got) + " instead of " +
                                      Hex(expected)};
      }
    }
    checked = std::min(checked, frames - primingFrames);
  }
  return {Verdict::Intact, std::to_string(checked) + " frames per input after " +
                               std::to_string(primingFrames) + " silent priming frames"};
}

}  // namespace tx880::asio_host
