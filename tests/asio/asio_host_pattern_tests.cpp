// The test host's arithmetic: packing, pattern, alignment, missed periods, command line.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "host_options.h"
#include "host_pattern.h"

namespace tx880::asio_host {
namespace {

// Interleaved 2-channel frames: `silent` zero frames, then the pattern from `firstIndex` on the
// given channels (the others zero).
std::vector<std::uint8_t> RenderedPattern(std::size_t silent, std::uint64_t firstIndex,
                                          std::size_t frames, std::vector<unsigned> channels,
                                          int bytes) {
  std::vector<std::uint8_t> data((silent + frames) * 2 * bytes, 0);
  for (std::size_t f = 0; f < frames; ++f) {
    for (unsigned channel : channels) {
      StoreSample(data.data() + ((silent + f) * 2 + channel) * bytes,
                  PatternSample(channel, firstIndex + f, bytes), bytes);
    }
  }
  return data;
}

TEST(AsioHostPattern, OnlySwitchesLaterThanTheQueuedPacketsCountAsMissedPeriods) {
  struct Case {
    const char* label;
    std::vector<double> times;  // ms, period 10 ms
    long missed;
  } cases[] = {
      {"on time", {0, 10, 20, 30, 40}, 0},
      {"jitter within two periods, then catching up", {0, 29, 30, 31, 40, 50}, 0},
      {"a stall of three and a half periods loses two, counted once", {0, 10, 55, 65, 75}, 2},
      {"just over the slack loses one", {0, 10, 40.5, 50.5}, 1},
      {"a late first switch does not make the others late", {0, 5, 15, 25, 35, 45}, 0},
      {"two stalls", {0, 45, 55, 100}, 4},
  };
  for (const Case& c : cases) {
    SwitchSchedule schedule(10.0);
    long missed = 0;
    for (double time : c.times) missed += schedule.Switch(time);
    EXPECT_EQ(missed, c.missed) << c.label;
  }
  SwitchSchedule noPeriod(0.0);
  EXPECT_EQ(noPeriod.Switch(0) + noPeriod.Switch(1000), 0);
}

TEST(AsioHostPattern, SamplesPackLittleEndianInTheirWidth) {
  std::uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  StoreSample(bytes, 0x00123456, 3);
  EXPECT_EQ(bytes[0], 0x56);
  EXPECT_EQ(bytes[1], 0x34);
  EXPECT_EQ(bytes[2], 0x12);
  EXPECT_EQ(bytes[3], 0xEE);  // a 24-bit sample leaves the next byte alone
  EXPECT_EQ(LoadSample(bytes, 3), 0x123456u);
  StoreSample(bytes, 0xABCD, 2);
  EXPECT_EQ(bytes[0], 0xCD);
  EXPECT_EQ(bytes[1], 0xAB);
  EXPECT_EQ(bytes[2], 0x12);
  EXPECT_EQ(LoadSample(bytes, 2), 0xABCDu);
}

TEST(AsioHostPattern, DeviceSamplesAreTheTopBytesOfTheLeftJustifiedValue) {
  EXPECT_EQ(TopBytes(0x12345A00, 3), 0x12345Au);
  EXPECT_EQ(TopBytes(0x12345A00, 2), 0x1234u);
  EXPECT_EQ(TopBytes(static_cast<std::int32_t>(0xFFFEA500u), 3), 0xFFFEA5u);
  EXPECT_EQ(TopBytes(static_cast<std::int32_t>(0x8000FF00u), 2), 0x8000u);
}

TEST(AsioHostPattern, SampleTypesTheHostChecks) {
  EXPECT_EQ(BytesOfSampleType(ASIOSTInt16LSB), 2);
  EXPECT_EQ(BytesOfSampleType(ASIOSTInt24LSB), 3);
  EXPECT_FALSE(BytesOfSampleType(ASIOSTInt32LSB).has_value());
  EXPECT_FALSE(BytesOfSampleType(ASIOSTInt24MSB).has_value());
}

TEST(AsioHostPattern, PatternFitsItsWidthIsNeverSilentAndDiffersPerChannel) {
  int sameAcrossChannels = 0;
  for (std::uint64_t index = 0; index < 70000; ++index) {
    const std::uint32_t left = PatternSample(0, index, 2);
    ASSERT_NE(left, 0u);
    ASSERT_LE(left, 0xFFFFu);
    ASSERT_LE(PatternSample(1, index, 3), 0xFFFFFFu);
    ASSERT_EQ(left, PatternSample(0, index, 2));
    if (left == PatternSample(1, index, 2)) ++sameAcrossChannels;
  }
  EXPECT_LT(sameAcrossChannels, 10);
  // A sequence that repeated after 2^16 samples could be aligned wrongly in long runs.
  EXPECT_NE(PatternSample(0, 5, 2), PatternSample(0, 5 + 65536, 2));
}

TEST(AsioHostPattern, AlignmentSkipsLeadingSilenceAndFindsThePatternIndex) {
  const std::vector<unsigned> both{0, 1};
  for (int bytes : {2, 3}) {
    const auto data = RenderedPattern(7, 1234, 500, both, bytes);
    const InterleavedFrames frames{data, 2, bytes};
    const auto alignment = AlignPattern(frames, both, 5000);
    ASSERT_TRUE(alignment.has_value());
    EXPECT_EQ(alignment->firstFrame, 7u);
    EXPECT_EQ(alignment->patternIndex, 1234u);
    EXPECT_EQ(MatchingFrames(frames, both, *alignment), 500u);
  }
}

TEST(AsioHostPattern, AlignmentFailsOnSilenceOrAnIndexBeyondTheLimit) {
  const std::vector<unsigned> both{0, 1};
  const std::vector<std::uint8_t> silence(600, 0);
  EXPECT_FALSE(AlignPattern({silence, 2, 3}, both, 1000).has_value());
  const auto data = RenderedPattern(0, 2000, 50, both, 3);
  EXPECT_FALSE(AlignPattern({data, 2, 3}, both, 1000).has_value());
}

TEST(AsioHostPattern, MatchingStopsAtTheFirstDamagedSample) {
  const std::vector<unsigned> both{0, 1};
  auto data = RenderedPattern(0, 0, 300, both, 3);
  data[(120 * 2 + 1) * 3 + 2] ^= 0x01;  // top byte of channel 1 in frame 120
  const InterleavedFrames frames{data, 2, 3};
  const auto alignment = AlignPattern(frames, both, 1000);
  ASSERT_TRUE(alignment.has_value());
  EXPECT_EQ(MatchingFrames(frames, both, *alignment), 120u);
}

TEST(AsioHostPattern, ChannelsWithoutOutputMustStaySilent) {
  const std::vector<unsigned> right{1};
  auto data = RenderedPattern(0, 0, 100, right, 2);
  const InterleavedFrames frames{data, 2, 2};
  auto alignment = AlignPattern(frames, right, 1000);
  ASSERT_TRUE(alignment.has_value());
  EXPECT_EQ(MatchingFrames(frames, right, *alignment), 100u);

  data[(40 * 2 + 0) * 2] = 0x01;  // noise on the left channel in frame 40
  alignment = AlignPattern(frames, right, 1000);
  ASSERT_TRUE(alignment.has_value());
  EXPECT_EQ(MatchingFrames(frames, right, *alignment), 40u);
}

TEST(AsioHostOptions, DefaultsStreamBothChannelsOfTheRegisteredDriver) {
  std::string error;
  const auto options = ParseOptions({}, OptionSet::Driver, error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->driverName, L"TX880 ASIO driver");
  EXPECT_EQ(options->session.inputs, (std::vector<long>{0, 1}));
  EXPECT_EQ(options->session.outputs, (std::vector<long>{0, 1}));
  EXPECT_EQ(options->session.bufferSize, 0);
  EXPECT_DOUBLE_EQ(options->session.seconds, 3.0);
}

TEST(AsioHostOptions, ValuesAreTakenOver) {
  std::string error;
  const auto options = ParseOptions({L"--dll", L"C:\\d.dll", L"--clsid", L"{G}", L"--seconds",
                                     L"0.5", L"--buffer", L"256", L"--inputs", L"none",
                                     L"--outputs", L"1"},
                                    OptionSet::Driver, error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->dllPath, L"C:\\d.dll");
  EXPECT_EQ(options->clsid, L"{G}");
  EXPECT_TRUE(options->driverName.empty());
  EXPECT_DOUBLE_EQ(options->session.seconds, 0.5);
  EXPECT_EQ(options->session.bufferSize, 256);
  EXPECT_TRUE(options->session.inputs.empty());
  EXPECT_EQ(options->session.outputs, (std::vector<long>{1}));
}

TEST(AsioHostOptions, BadArgumentsAreRefused) {
  const std::vector<std::vector<std::wstring>> bad{
      {L"--seconds"},           {L"--seconds", L"0"},       {L"--seconds", L"x"},
      {L"--buffer", L"-4"},     {L"--inputs", L"0,,1"},     {L"--inputs", L"0,0"},
      {L"--outputs", L"a"},     {L"--dll", L"a", L"--name", L"b"},
      {L"--clsid", L"{G}"},     {L"--inputs", L"none", L"--outputs", L"none"},
      {L"--bits", L"16"},       {L"--frobnicate", L"1"}};
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(ParseOptions(args, OptionSet::Driver, error).has_value()) << args.front();
    EXPECT_FALSE(error.empty());
  }
}

TEST(AsioHostOptions, TheSimulatedHostTakesSampleBitsButNoDriverChoice) {
  std::string error;
  const auto options = ParseOptions({L"--bits", L"16"}, OptionSet::Simulated, error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->sampleBits, 16);
  EXPECT_TRUE(options->driverName.empty());
  EXPECT_FALSE(ParseOptions({L"--bits", L"20"}, OptionSet::Simulated, error).has_value());
  EXPECT_FALSE(ParseOptions({L"--name", L"x"}, OptionSet::Simulated, error).has_value());
}

}  // namespace
}  // namespace tx880::asio_host
