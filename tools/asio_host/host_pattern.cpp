#include "host_pattern.h"

#include <algorithm>
#include <cmath>

#include "KsAsioDriver/driver/asio_abi.h"

namespace tx880::asio_host {

namespace {

// Frames compared before an alignment is believed; 16-bit samples alone could match by chance.
constexpr std::size_t kAlignmentProbeFrames = 8;

std::uint32_t Mask(int bytes) {
  return bytes >= 4 ? 0xFFFFFFFFu : (std::uint32_t{1} << (8 * bytes)) - 1;
}

bool IsPatternChannel(std::span<const unsigned> channels, unsigned channel) {
  return std::find(channels.begin(), channels.end(), channel) != channels.end();
}

bool FrameMatches(const InterleavedFrames& frames, std::span<const unsigned> patternChannels,
                  std::size_t frame, std::uint64_t index) {
  for (unsigned channel = 0; channel < frames.channels; ++channel) {
    const std::uint32_t expected = IsPatternChannel(patternChannels, channel)
                                       ? PatternSample(channel, index, frames.bytes)
                                       : 0;
    if (frames.Sample(frame, channel) != expected) return false;
  }
  return true;
}

}  // namespace

std::optional<int> BytesOfSampleType(long sampleType) {
  switch (sampleType) {
    case ASIOSTInt16LSB:
      return 2;
    case ASIOSTInt24LSB:
      return 3;
    default:
      return std::nullopt;
  }
}

void StoreSample(std::uint8_t* target, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) target[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t LoadSample(const std::uint8_t* source, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint32_t{source[i]} << (8 * i);
  return value;
}

std::uint32_t PatternSample(unsigned channel, std::uint64_t index, int bytes) {
  // A 64-bit mix of index and channel: no short period, no byte that stays constant.
  std::uint64_t x = index * 0x9E3779B97F4A7C15ull + (std::uint64_t{channel} + 1) * 0xD1B54A32D192ED03ull;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  const std::uint32_t value = static_cast<std::uint32_t>(x) & Mask(bytes);
  return value == 0 ? 1 : value;
}

std::uint32_t TopBytes(std::int32_t value, int bytes) {
  return (static_cast<std::uint32_t>(value) >> (32 - 8 * bytes)) & Mask(bytes);
}

long SwitchSchedule::Switch(double timeMs) {
  if (!started_ || periodMs_ <= 0) {
    started_ = true;
    anchorMs_ = timeMs;
    index_ = 0;
    return 0;
  }
  ++index_;
  const double lateMs = timeMs - (anchorMs_ + static_cast<double>(index_) * periodMs_);
  if (lateMs < 0) {
    anchorMs_ += lateMs;
    return 0;
  }
  const double dryPeriods = lateMs / periodMs_ - slackPeriods_;
  if (dryPeriods <= 0) return 0;
  anchorMs_ = timeMs;
  index_ = 0;
  return static_cast<long>(std::ceil(dryPeriods));
}

std::optional<PatternAlignment> AlignPattern(const InterleavedFrames& frames,
                                             std::span<const unsigned> patternChannels,
                                             std::uint64_t indexLimit) {
  const std::size_t count = frames.FrameCount();
  std::size_t first = 0;
  auto silent = [&](std::size_t frame) {
    for (unsigned channel = 0; channel < frames.channels; ++channel) {
      if (frames.Sample(frame, channel) != 0) return false;
    }
    return true;
  };
  while (first < count && silent(first)) ++first;
  if (first == count) return std::nullopt;

  const std::size_t probe = std::min(kAlignmentProbeFrames, count - first);
  for (std::uint64_t index = 0; index < indexLimit; ++index) {
    bool fits = true;
    for (std::size_t k = 0; k < probe && fits; ++k) {
      fits = FrameMatches(frames, patternChannels, first + k, index + k);
    }
    if (fits) return PatternAlignment{first, index};
  }
  return std::nullopt;
}

std::size_t MatchingFrames(const InterleavedFrames& frames,
                           std::span<const unsigned> patternChannels,
                           const PatternAlignment& alignment) {
  const std::size_t count = frames.FrameCount();
  std::size_t matched = 0;
  while (alignment.firstFrame + matched < count &&
         FrameMatches(frames, patternChannels, alignment.firstFrame + matched,
                      alignment.patternIndex + matched)) {
    ++matched;
  }
  return matched;
}

}  // namespace tx880::asio_host
