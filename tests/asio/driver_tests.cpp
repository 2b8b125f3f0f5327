// The driver's IASIO operations called like a host: answers, states, buffers and errors.
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

TEST_F(DriverTest, InitTwiceOpensTheFiltersOnce) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  const int opens = device.RequestCount(RequestKind::Open);
  EXPECT_EQ(opens, 2);  // capture and render filter
  EXPECT_EQ(driver->init(reinterpret_cast<void*>(-1)), ASIOTrue);
  EXPECT_EQ(device.RequestCount(RequestKind::Open), opens);
  EXPECT_EQ(ErrorText(driver.Get()), "");
}

struct MissingSideCase {
  const char* name;
  AliasState capture;
  AliasState render;
  const char* error;
};

class MissingSideTest : public ::testing::TestWithParam<MissingSideCase> {};

TEST_P(MissingSideTest, InitFailsAndLeavesNothingOpen) {
  const MissingSideCase& c = GetParam();
  SimKsSystem device;
  auto description = SimKsSystem::Tx880(Tx880DevicePath());
  description.captureAlias = c.capture;
  description.renderAlias = c.render;
  device.AddFilter(description);
  DriverRef driver;
  EXPECT_EQ(driver->init(nullptr), ASIOFalse);
  EXPECT_EQ(ErrorText(driver.Get()), c.error);
  EXPECT_EQ(device.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sides, MissingSideTest,
    ::testing::Values(
        MissingSideCase{"render", AliasState::Present, AliasState::Missing,
                        "Failed to open ASIO output device"},
        MissingSideCase{"capture", AliasState::Missing, AliasState::Present,
                        "Failed to open ASIO input device"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, FixedAnswers) {
  DriverRef driver;
  char name[64] = {};
  driver->getDriverName(name);
  EXPECT_STREQ(name, "TX880 ASIO");
  EXPECT_EQ(driver->getDriverVersion(), 2);
  long inputs = 0, outputs = 0;
  EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
  EXPECT_EQ(inputs, 2);
  EXPECT_EQ(outputs, 2);
  ASIOClockSource clock{};
  long sources = 0;
  EXPECT_EQ(driver->getClockSources(&clock, &sources), ASE_OK);
  EXPECT_EQ(sources, 1);
  EXPECT_EQ(clock.associatedChannel, -1);
  EXPECT_EQ(clock.isCurrentSource, ASIOTrue);
  EXPECT_STREQ(clock.name, "Internal");
  EXPECT_EQ(driver->setClockSource(0), ASE_OK);
  EXPECT_EQ(driver->setClockSource(1), ASE_NotPresent);
  EXPECT_EQ(driver->outputReady(), ASE_NotPresent);
  EXPECT_EQ(driver->controlPanel(), ASE_SUCCESS);
}

TEST_F(DriverTest, ClassIdQueryGivesTheSameInterfaceAndCountsReferences) {
  DriverRef driver;
  IASIO* again = nullptr;
  ASSERT_EQ(driver->QueryInterface(kDriverClassId, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, driver.Get());
  EXPECT_EQ(again->Release(), 1u);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(driver->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 1u);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(driver->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

// Calls through raw table slots with the conventions a host compiled elsewhere uses.
#if defined(__i386__)
#define HOST_METHOD __thiscall
#else
#define HOST_METHOD
#endif

// GCC warns that thiscall is meant for methods, but applies it to the pointer type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
template <typename Result, typename... Args>
Result CallSlot(IASIO* driver, int slot, Args... args) {
  using Method = Result(HOST_METHOD*)(IASIO*, Args...);
  void** table = *reinterpret_cast<void***>(driver);
  return reinterpret_cast<Method>(table[slot])(driver, args...);
}
#pragma GCC diagnostic pop

TEST_F(DriverTest, HostCallsThroughTheTableSlots) {
  DriverRef driver;
  IASIO* asio = driver.Get();
  char name[32] = {};
  CallSlot<void>(asio, 4, static_cast<char*>(name));
  EXPECT_STREQ(name, "TX880 ASIO");
  EXPECT_EQ(CallSlot<long>(asio, 5), 2);
  long inputs = 0, outputs = 0;
  EXPECT_EQ(CallSlot<ASIOError>(asio, 9, &inputs, &outputs), ASE_OK);
  EXPECT_EQ(inputs + outputs, 4);
  long input = 0, output = 0;
  EXPECT_EQ(CallSlot<ASIOError>(asio, 10, &input, &output), ASE_OK);
  EXPECT_EQ(input, 1591);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 12, 48000.0), ASE_NoClock);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 12, 44100.0), ASE_OK);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 16, 1L), ASE_NotPresent);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 19, static_cast<ASIOBufferInfo*>(nullptr), 0L, 64L,
                                static_cast<ASIOCallbacks*>(nullptr)),
            ASE_InvalidParameter);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 21), ASE_SUCCESS);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 22, static_cast<long>(kAsioCanTimeInfo),
                                static_cast<void*>(nullptr)),
            ASE_SUCCESS);
  EXPECT_EQ(CallSlot<ASIOError>(asio, 23), ASE_NotPresent);
}

struct SettingCase {
  long setting;
  long latency;
  long preferred;
};

class LatencyTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(LatencyTest, LatencyAndPreferredSizeFollowTheSetting) {
  const SettingCase& c = GetParam();
  DriverRef driver(DriverSettings{44100, 3, c.setting});
  long input = 0, output = 0;
  EXPECT_EQ(driver->getLatencies(&input, &output), ASE_OK);
  EXPECT_EQ(input, c.latency);
  EXPECT_EQ(output, c.latency);
  long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
  EXPECT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
  EXPECT_EQ(minSize, 64);
  EXPECT_EQ(maxSize, 2048);
  EXPECT_EQ(preferred, c.preferred);
  EXPECT_EQ(granularity, -1);
}

INSTANTIATE_TEST_SUITE_P(Settings, LatencyTest,
                         ::testing::Values(SettingCase{0, 247, 64}, SettingCase{1, 439, 128},
                                           SettingCase{2, 823, 256}, SettingCase{3, 1591, 512},
                                           SettingCase{4, 3127, 1024},
                                           SettingCase{5, 6199, 2048}));

TEST_F(DriverTest, DefaultSettingReportsLatency1591) {
  DriverRef driver;
  long input = 0, output = 0;
  EXPECT_EQ(driver->getLatencies(&input, &output), ASE_OK);
  EXPECT_EQ(input, 1591);
  EXPECT_EQ(output, 1591);
}

TEST_F(DriverTest, SampleRates) {
  DriverRef driver;
  const struct {
    double rate;
    ASIOError result;
  } cases[] = {
      {44100.0, ASE_OK}, {48000.0, ASE_NoClock}, {44100.5, ASE_NoClock}, {0.0, ASE_NoClock}};
  for (const auto& c : cases) {
    EXPECT_EQ(driver->canSampleRate(c.rate), c.result) << c.rate;
    EXPECT_EQ(driver->setSampleRate(c.rate), c.result) << c.rate;
  }
  ASIOSampleRate rate = 0;
  EXPECT_EQ(driver->getSampleRate(&rate), ASE_OK);
  EXPECT_EQ(rate, 44100.0);
}

TEST_F(DriverTest, SettingTheCurrentRateCallsNoHost) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Output(0)}, 64, 3), ASE_OK);
  EXPECT_EQ(driver->setSampleRate(44100.0), ASE_OK);
  EXPECT_EQ(host.SampleRateChanges(), 0);
}

TEST_F(DriverTest, FutureSelectors) {
  DriverRef driver;
  for (long selector = kAsioEnableTimeCodeRead; selector <= kAsioCanOutputMeter; ++selector) {
    EXPECT_EQ(driver->future(selector, nullptr),
              selector == kAsioCanTimeInfo ? ASE_SUCCESS : ASE_NotPresent)
        << selector;
  }
  EXPECT_EQ(driver->future(0, nullptr), ASE_NotPresent);
  EXPECT_EQ(driver->future(1000, nullptr), ASE_NotPresent);
}

TEST_F(DriverTest, StartBeforeCreateBuffersIsRefused) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  EXPECT_EQ(driver->start(), ASE_NotPresent);
}

struct ChannelInfoCase {
  ASIOBool isInput;
  long channel;
  const char* name;
  ASIOBool activeAfter;  // after createBuffers with input 1 and output 0
};

TEST_F(DriverTest, ChannelInfoBeforeAndAfterCreateBuffers) {
  const ChannelInfoCase cases[] = {{ASIOTrue, 0, "USB In 1", ASIOFalse},
                                   {ASIOTrue, 1, "USB In 2", ASIOTrue},
                                   {ASIOFalse, 0, "USB Out 1", ASIOTrue},
                                   {ASIOFalse, 1, "USB Out 2", ASIOFalse}};
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  for (bool created : {false, true}) {
    if (created) {
      ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(1), Output(0)}, 512, 3), ASE_OK);
    }
    for (const ChannelInfoCase& c : cases) {
      ASIOChannelInfo info{};
      info.channel = c.channel;
      info.isInput = c.isInput;
      info.isActive = ASIOTrue;
      std::memset(info.name, 'x', sizeof info.name);
      ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
      EXPECT_STREQ(info.name, c.name);
      EXPECT_EQ(info.isActive, created ? c.activeAfter : ASIOFalse) << c.name << created;
      EXPECT_EQ(info.type, ASIOSTInt24LSB);
      EXPECT_EQ(info.channelGroup, 0);
      EXPECT_EQ(info.name[31], '\0');
    }
  }
  EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
  ASIOChannelInfo info{1, ASIOTrue, ASIOFalse, 0, 0, {}};
  ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
  EXPECT_EQ(info.isActive, ASIOFalse);
}

TEST_F(DriverTest, ChannelInfoRejectsBadChannels) {
  DriverRef driver;
  EXPECT_EQ(driver->getChannelInfo(nullptr), ASE_InvalidParameter);
  for (long channel : {-1L, 2L, 100L}) {
    ASIOChannelInfo info{channel, ASIOTrue, ASIOFalse, 0, 0, {}};
    EXPECT_EQ(driver->getChannelInfo(&info), ASE_InvalidParameter) << channel;
  }
}

TEST_F(DriverTest, SixteenBitChannelsReportInt16) {
  DriverRef driver(DriverSettings{44100, 2, 3});
  ASIOChannelInfo info{0, ASIOFalse, ASIOFalse, 0, 0, {}};
  ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
  EXPECT_EQ(info.type, ASIOSTInt16LSB);
}

TEST_F(DriverTest, TwoEntriesForInputZeroGetTheirOwnBuffers) {
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  device.SetCaptureSignal(TestSignal);
  ASSERT_EQ(host.CreateBuffers(driver.Get(), {Input(0), Input(0)}, 64, 3), ASE_OK);
  const auto& buffers = host.Buffers();
  for (const ASIOBufferInfo& info : buffers) {
    ASSERT_NE(info.buffers[0], nullptr);
    EXPECT_EQ(static_cast<char*>(info.buffers[1]) - static_cast<char*>(info.buffers[0]), 3 * 64);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(info.buffers[0]) % 16, 0u);
  }
  EXPECT_NE(buffers[0].buffers[0], buffers[1].buffers[0]);
  StartAndPrime(driver.Get());
  AdvanceOnePacket(64);
  EXPECT_EQ(driver->stop(), ASE_OK);
  const SwitchRecord last = host.Switches().back();
  ASSERT_EQ(last.inputs.size(), 2u);
  EXPECT_EQ(last.inputs[0], last.inputs[1]);
  EXPECT_NE(last.inputs[0], std::vector<std::uint8_t>(3 * 64, 0));  // the captured signal
}

struct RejectedLayoutCase {
  const char* name;
  std::vector<ASIOBufferInfo> infos;
};

TEST_F(DriverTest, RejectedLayoutsLeaveNothingAllocated) {
  const RejectedLayoutCase cases[] = {
      {"three outputs", {Output(0), Output(1), Output(0)}},
      {"three inputs", {Input(0), Input(1), Input(1)}},
      {"channel 2", {Output(0), Output(2)}},
      {"channel -1", {Input(-1)}},
  };
  DriverRef driver;
  ASSERT_EQ(driver->init(nullptr), ASIOTrue);
  const int filterHandles = device.OpenHandles();
  for (const RejectedLayoutCase& c : cases) {
    EXPECT_EQ(host.CreateBuffers(driver.Get(), c.infos, 256, 3), ASE_InvalidParameter) << c.name;
    EXPECT_EQ(device.OpenHandles(), filterHandles) << c.name;
    EXPECT_EQ(driver->start(), ASE_NotPresent) << c.name;  // callbacks were not kept
    for (ASIOBool input : {ASIOTrue, ASIOFalse}) {
      for (long channel : {0L, 1L}) {
        ASIOChannelInfo info{channel, input, ASIOFalse, 0, 0, {}};
        ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK);
        EXPECT_EQ(info.isActive, ASIOFalse) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace tx880::asio::test
