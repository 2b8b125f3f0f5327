// Streaming through the driver against the simulated TX880 on a manual clock: every packet
// completes only when a test advances the clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/sim/sim_ks_device.h"
#include "driver_fixture.h"
#include "driver_test_host.h"

namespace tx880::asio::test {
namespace {

using sim::AliasState;
using sim::RequestKind;
using sim::SimKsSystem;

struct PacketSizeCase {
  long frames;
  long wordSize;
  std::size_t packetBytes;
};

class PacketSizeTest : public DriverTest, public ::testing::WithParamInterface<PacketSizeCase> {};

TEST_P(PacketSizeTest, PacketsHoldOneHalfOfBothChannels) {
  const PacketSizeCase& c = GetParam();
  DriverRef driver(DriverSettings{44100, c.wordSize, 3});
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0), Output(1)}, c.frames, c.wordSize), ASE_OK);
  long preferred = 0;
  ASSERT_EQ(driver->getBufferSize(nullptr, nullptr, &preferred, nullptr), ASE_OK);
  EXPECT_EQ(preferred, c.frames);
  StartAndPrime(driver.Get());
  AdvanceOnePacket(c.frames);
  EXPECT_EQ(driver->stop(), ASE_OK);
  EXPECT_EQ(device.RenderedBytes().size(), c.packetBytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PacketSizeTest,
                         ::testing::Values(PacketSizeCase{100, 3, 600}, PacketSizeCase{100, 2, 400},
                                           PacketSizeCase{512, 3, 3072},
                                           PacketSizeCase{512, 2, 2048}));

TEST_F(DriverTest, StartPrimesThreeSilentSwitchesBeforeTheDeviceRuns) {
  device.SetCaptureSignal(TestSignal);
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Input(1), Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  const auto switches = host.Switches();
  ASSERT_EQ(switches.size(), 3u);  // nothing completes before the clock moves
  const long halves[] = {0, 1, 0};
  for (std::size_t s = 0; s < 3; ++s) {
    EXPECT_EQ(switches[s].half, halves[s]);
    EXPECT_EQ(switches[s].directProcess, ASIOTrue);
    EXPECT_FALSE(switches[s].timeInfoCall);
    for (const auto& input : switches[s].inputs) {
      EXPECT_EQ(input, std::vector<std::uint8_t>(3 * 64, 0)) << "switch " << s;
    }
  }
  ASIOSamples position{};
  ASIOTimeStamp stamp{};
  EXPECT_EQ(driver->getSamplePosition(&position, &stamp), ASE_OK);
  EXPECT_EQ(position.hi, 0u);
  EXPECT_EQ(position.lo, 3u * 64u);
  EXPECT_EQ(driver->stop(), ASE_OK);
}

TEST_F(DriverTest, TimeInfoSwitchesCarryPositionAndFlags) {
  host.supportsTimeInfo = true;
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 128, 3), ASE_OK);
  StartAndPrime(driver.Get());
  // Reported with the next switch only.
  ASSERT_EQ(driver->setClockSource(0), ASE_OK);
  AdvanceOnePacket(128);
  AdvanceOnePacket(128);
  EXPECT_EQ(driver->stop(), ASE_OK);
  const auto switches = host.Switches();
  ASSERT_EQ(switches.size(), 5u);
  for (std::size_t s = 0; s < switches.size(); ++s) {
    EXPECT_TRUE(switches[s].timeInfoCall);
    EXPECT_EQ(switches[s].half, static_cast<long>(s % 2));
    EXPECT_EQ(switches[s].positionLo, 128u * (s + 1)) << s;
    const unsigned long flags =
        kDefaultTimeInfoFlags | (s == 3 ? static_cast<unsigned long>(kClockSourceChanged) : 0);
    EXPECT_EQ(switches[s].timeFlags, flags) << s;
  }
}

TEST_F(DriverTest, TimeInfoHostWithoutTimeInfoSwitchGetsPlainSwitches) {
  host.supportsTimeInfo = true;
  host.timeInfoSwitchMissing = true;
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  EXPECT_EQ(driver->stop(), ASE_OK);
  for (const SwitchRecord& record : host.Switches()) EXPECT_FALSE(record.timeInfoCall);
  EXPECT_EQ(host.SwitchCount(), 3);
}

TEST_F(DriverTest, OnlyOutputZeroLeavesDeviceChannelOneSilent) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  for (int packet = 0; packet < 4; ++packet) AdvanceOnePacket(64);
  EXPECT_EQ(driver->stop(), ASE_OK);
  const auto rendered = device.RenderedBytes();
  ASSERT_EQ(rendered.size(), 4u * 64u * 6u);
  for (std::size_t frame = 0; frame < rendered.size() / 6; ++frame) {
    const std::uint8_t* right = &rendered[frame * 6 + 3];
    EXPECT_EQ(right[0] | right[1] | right[2], 0) << "frame " << frame;
    const std::uint8_t* left = &rendered[frame * 6];
    EXPECT_NE(left[0] | left[1] | left[2], 0) << "frame " << frame;
  }
}

// Both directions sample by sample: host outputs end up in the rendered packets in order, the
// device's capture frames reach the host's input halves one period after priming.
class DataPathTest : public DriverTest, public ::testing::WithParamInterface<long> {};

TEST_P(DataPathTest, SamplesArriveExactlyBothWays) {
  const long wordSize = GetParam();
  const long frames = 64;
  const int steadyPackets = 4;
  device.SetCaptureSignal(TestSignal);
  DriverRef driver(DriverSettings{44100, wordSize, 3});
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  // Entries in an order that differs from the device channels.
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(1), Input(1), Output(0), Input(0)}, frames,
                               wordSize),
            ASE_OK);
  const long deviceChannelOfOutput[] = {1, 0};
  const unsigned deviceChannelOfInput[] = {1, 0};
  StartAndPrime(driver.Get());
  for (int packet = 0; packet < steadyPackets; ++packet) AdvanceOnePacket(frames);
  ASSERT_EQ(driver->stop(), ASE_OK);

  const auto rendered = device.RenderedBytes();
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(wordSize);
  ASSERT_EQ(rendered.size(), steadyPackets * frames * frameBytes);
  for (int packet = 0; packet < steadyPackets; ++packet) {
    for (std::size_t output = 0; output < 2; ++output) {
      for (long n = 0; n < frames; ++n) {
        const std::uint32_t value = TestHost::OutputSample(packet, output, n);
        const std::size_t offset =
            (packet * frames + n) * frameBytes +
            deviceChannelOfOutput[output] * static_cast<std::size_t>(wordSize);
        ASSERT_EQ(std::memcmp(&rendered[offset], &value, static_cast<std::size_t>(wordSize)), 0)
            << "packet " << packet << " output " << output << " frame " << n;
      }
    }
  }

  const auto switches = host.Switches();
  ASSERT_EQ(switches.size(), 3u + steadyPackets);
  for (int packet = 0; packet < steadyPackets; ++packet) {
    const SwitchRecord& record = switches[3 + packet];
    EXPECT_EQ(record.half, (3 + packet) % 2);
    ASSERT_EQ(record.inputs.size(), 2u);
    for (std::size_t input = 0; input < 2; ++input) {
      std::vector<std::uint8_t> expected;
      for (long n = 0; n < frames; ++n) {
        const auto frame = static_cast<std::uint64_t>(packet * frames + n);
        const auto bytes = DeviceBytes(
            static_cast<std::uint32_t>(TestSignal(frame, deviceChannelOfInput[input])), wordSize);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
      }
      EXPECT_EQ(record.inputs[input], expected) << "packet " << packet << " input " << input;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(WordSizes, DataPathTest, ::testing::Values(2L, 3L),
                         [](const auto& info) { return std::to_string(info.param * 8) + "bit"; });

struct StallCase {
  const char* name;
  bool supportsReset;
};

class StallTest : public DriverTest, public ::testing::WithParamInterface<StallCase> {};

// Waits for real: the thread must give up within its 1000 ms wait bound.
TEST_P(StallTest, StalledDeviceEndsTheThreadAndStopStillSucceeds) {
  host.supportsResetRequest = GetParam().supportsReset;
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  device.StallStreams(true);
  device.AdvanceFrames(64);
  ASSERT_TRUE(driver.Object().WaitForStreamThreadEnd(kSafetyMs));
  EXPECT_EQ(host.SwitchCount(), 3);
  bool asked = false;
  bool resetSent = false;
  for (const MessageRecord& message : host.Messages()) {
    asked = asked ||
            (message.selector == kAsioSelectorSupported && message.value == kAsioResetRequest);
    resetSent = resetSent || message.selector == kAsioResetRequest;
  }
  EXPECT_TRUE(asked);
  EXPECT_EQ(resetSent, GetParam().supportsReset);
  EXPECT_EQ(driver->start(), ASE_OK);  // still running until stop: no second thread
  EXPECT_EQ(driver->stop(), ASE_OK);
  for (const auto& pin : device.PinInstances()) EXPECT_EQ(pin.state, KSSTATE_STOP);
}

INSTANTIATE_TEST_SUITE_P(Hosts, StallTest,
                         ::testing::Values(StallCase{"ResetSupported", true},
                                           StallCase{"ResetUnsupported", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, StopThenStartPrimesAgainFromTheFirstPacket) {
  device.SetCaptureSignal(TestSignal);
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  AdvanceOnePacket(64);
  ASSERT_EQ(driver->stop(), ASE_OK);
  for (const auto& pin : device.PinInstances()) EXPECT_EQ(pin.state, KSSTATE_STOP);
  const auto firstRun = host.Switches();
  ASSERT_EQ(firstRun.size(), 4u);

  StartAndPrime(driver.Get(), 4);
  AdvanceOnePacket(64);
  ASSERT_EQ(driver->stop(), ASE_OK);
  const auto switches = host.Switches();
  ASSERT_EQ(switches.size(), 8u);
  const long halves[] = {0, 1, 0, 1};
  for (std::size_t s = 0; s < 4; ++s) {
    EXPECT_EQ(switches[4 + s].half, halves[s]) << s;
  }
  for (std::size_t s = 4; s < 7; ++s) {
    EXPECT_EQ(switches[s].inputs[0], std::vector<std::uint8_t>(3 * 64, 0)) << s;
  }
  // The device restarts at frame 0 after STOP: the same capture as in the first run.
  EXPECT_EQ(switches[7].inputs[0], firstRun[3].inputs[0]);
  ASIOSamples position{};
  ASSERT_EQ(driver->getSamplePosition(&position, nullptr), ASE_OK);
  EXPECT_EQ(position.lo, 4u * 64u);
}

TEST_F(DriverTest, StartTwiceRunsOneThread) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 64, 3), ASE_OK);
  StartAndPrime(driver.Get());
  EXPECT_EQ(driver->start(), ASE_OK);
  AdvanceOnePacket(64);
  AdvanceOnePacket(64);
  EXPECT_EQ(driver->stop(), ASE_OK);
  const auto switches = host.Switches();
  ASSERT_EQ(switches.size(), 5u);
  for (std::size_t s = 0; s < switches.size(); ++s) EXPECT_EQ(switches[s].half, long(s % 2));
  EXPECT_EQ(device.RenderedBytes().size(), 2u * 64u * 6u);
}

TEST_F(DriverTest, CreateBuffersTwiceReplacesTheFirstBuffersAndPins) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0), Input(0)}, 512, 3), ASE_OK);
  const int handles = device.OpenHandles();
  ASSERT_EQ(OpenPinCount(), 2);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(1)}, 128, 3), ASE_OK);
  EXPECT_EQ(device.OpenHandles(), handles);
  EXPECT_EQ(OpenPinCount(), 2);
  ASIOChannelInfo info{0, ASIOFalse, ASIOFalse, 0, 0, {}};
  ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
  EXPECT_EQ(info.isActive, ASIOFalse);
  StartAndPrime(driver.Get());
  AdvanceOnePacket(128);
  EXPECT_EQ(driver->stop(), ASE_OK);
  EXPECT_EQ(device.RenderedBytes().size(), 128u * 6u);
  EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
  EXPECT_EQ(OpenPinCount(), 0);
}

TEST_F(DriverTest, DisposeWhileRunningReachesTheHostAtMostOnceMore) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Output(0)}, 64, 3), ASE_OK);
  HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> disposing{false};
  std::atomic<bool> disposed{false};
  std::atomic<int> switchesWhileDisposing{0};
  std::atomic<int> switchesAfterDispose{0};
  host.onSwitch = [&](int number) {
    if (disposing.load()) ++switchesWhileDisposing;
    if (disposed.load()) ++switchesAfterDispose;
    if (number == 3) {
      SetEvent(entered);
      WaitForSingleObject(release, kSafetyMs);
    }
  };
  StartAndPrime(driver.Get());
  device.AdvanceFrames(64);
  ASSERT_EQ(WaitForSingleObject(entered, kSafetyMs), WAIT_OBJECT_0);
  // A switch is in the host and the next packet pair is already complete.
  device.AdvanceFrames(64);
  disposing.store(true);
  std::thread unblock([&] { SetEvent(release); });
  EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
  disposed.store(true);
  unblock.join();
  device.AdvanceFrames(64);
  // The blocked switch was entered before; at most one more can have passed its checks.
  EXPECT_LE(switchesWhileDisposing.load(), 1);
  EXPECT_EQ(switchesAfterDispose.load(), 0);
  EXPECT_LE(host.SwitchCount(), 5);
  EXPECT_EQ(OpenPinCount(), 0);
  EXPECT_EQ(driver->start(), ASE_NotPresent);
  CloseHandle(entered);
  CloseHandle(release);
}

struct InsideStopCase {
  const char* name;
  int switchNumber;  // the switch whose host code calls stop
};

class StopInsideSwitchTest : public DriverTest,
                             public ::testing::WithParamInterface<InsideStopCase> {};

TEST_P(StopInsideSwitchTest, StopFromTheHostsSwitchEndsStreaming) {
  const int stopAt = GetParam().switchNumber;
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Output(0)}, 64, 3), ASE_OK);
  std::atomic<ASIOError> insideResult{ASE_HWMalfunction};
  IASIO* asio = driver.Get();
  host.onSwitch = [&](int number) {
    if (number == stopAt) insideResult.store(asio->stop());
  };
  ASSERT_EQ(driver->start(), ASE_OK);
  if (stopAt >= 3) {
    ASSERT_TRUE(host.WaitForSwitches(3));
    ASSERT_TRUE(WaitForPinsRunning(device));
    for (int n = 3; n <= stopAt; ++n) AdvanceOnePacket(64);
  }
  ASSERT_TRUE(driver.Object().WaitForStreamThreadEnd(kSafetyMs));
  EXPECT_EQ(insideResult.load(), ASE_OK);
  EXPECT_EQ(host.SwitchCount(), stopAt + 1);
  device.AdvanceFrames(64 * 3);
  EXPECT_EQ(host.SwitchCount(), stopAt + 1);
  for (const auto& pin : device.PinInstances()) EXPECT_NE(pin.state, KSSTATE_RUN);
  EXPECT_EQ(driver->stop(), ASE_OK);

  // Streaming starts again from the host's thread.
  host.onSwitch = nullptr;
  StartAndPrime(driver.Get(), stopAt + 1);
  EXPECT_EQ(driver->stop(), ASE_OK);
  EXPECT_EQ(host.SwitchCount(), stopAt + 4);
}

INSTANTIATE_TEST_SUITE_P(Switches, StopInsideSwitchTest,
                         ::testing::Values(InsideStopCase{"FirstPriming", 0},
                                           InsideStopCase{"LastPriming", 2},
                                           InsideStopCase{"Steady", 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, FailedStreamRequestEndsTheThreadWithAResetRequest) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 64, 3), ASE_OK);
  device.FailRequest(RequestKind::WriteStream, device.RequestCount(RequestKind::WriteStream) + 4,
                     ERROR_GEN_FAILURE);
  StartAndPrime(driver.Get());
  device.AdvanceFrames(64);
  ASSERT_TRUE(driver.Object().WaitForStreamThreadEnd(kSafetyMs));
  EXPECT_EQ(host.SwitchCount(), 4);
  const auto messages = host.Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().selector, kAsioResetRequest);
  EXPECT_EQ(driver->stop(), ASE_OK);
}

struct PinFailureCase {
  const char* name;
  KSPIN_DATAFLOW brokenFlow;  // pins of this direction refuse to be created
  const char* error;
};

class PinFailureTest : public ::testing::TestWithParam<PinFailureCase> {};

TEST_P(PinFailureTest, PinThatCannotBeCreatedFailsCreateBuffers) {
  const PinFailureCase& c = GetParam();
  SimKsSystem device;
  auto description = SimKsSystem::Tx880(Tx880DevicePath());
  for (sim::SimPin& pin : description.pins) {
    if (pin.dataFlow == c.brokenFlow) pin.createError = ERROR_GEN_FAILURE;
  }
  device.AddFilter(description);
  TestHost host;
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  const int filterHandles = device.OpenHandles();
  EXPECT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Output(0)}, 64, 3), ASE_NotPresent);
  EXPECT_EQ(ErrorText(driver.Get()), c.error);
  EXPECT_EQ(device.OpenHandles(), filterHandles);
  EXPECT_EQ(driver->start(), ASE_NotPresent);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, PinFailureTest,
    ::testing::Values(PinFailureCase{"Capture", KSPIN_DATAFLOW_OUT,
                                     "ASIO driver WDM input device open failed"},
                      PinFailureCase{"Render", KSPIN_DATAFLOW_IN,
                                     "ASIO driver WDM output device open failed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tx880::asio::test
