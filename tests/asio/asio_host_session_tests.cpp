// The test host's session against a scripted driver that switches synchronously inside start()
// and renders the host's output halves like a device would, so every verdict can be provoked.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "host_check.h"
#include "host_pattern.h"
#include "host_report.h"
#include "host_session.h"

namespace tx880::asio_host {
namespace {

constexpr int kPriming = 3;
constexpr double kShortRun = 0.01;

std::int32_t TestSignal(std::uint64_t frame, unsigned channel) {
  return static_cast<std::int32_t>(((frame * 3 + channel * 0x1001 + 7) & 0xFFFFFF) << 8);
}

class ScriptedDriver final : public IASIO {
 public:
  // How the driver behaves.
  ASIOBool initResult = ASIOTrue;
  ASIOError createResult = ASE_OK;
  std::string errorText;
  long sampleType = ASIOSTInt24LSB;
  long preferredSize = 64;
  int switchesOnStart = 12;
  bool swapRenderedChannels = false;
  std::uint64_t inputFrameShift = 0;
  int repeatHalfAt = -1;      // this switch gets the previous switch's half again
  int renderedSwitches = -1;  // only so many switches reach the "device" (-1: all)
  bool requestReset = false;

  // What the host did.
  std::vector<ASIOBufferInfo> created;
  long createdSize = 0;
  int releases = 0;
  bool disposed = false;
  bool stopped = false;
  std::vector<std::uint8_t> rendered;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++releases); }

  ASIOBool init(void*) override { return initResult; }
  void getDriverName(char* name) override { std::strcpy(name, "Scripted"); }
  long getDriverVersion() override { return 7; }
  void getErrorMessage(char* text) override { std::strcpy(text, errorText.c_str()); }
  ASIOError start() override {
    if (requestReset) callbacks_->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
    long half = 0;
    for (int k = 0; k < switchesOnStart; ++k) {
      if (k == repeatHalfAt) half = 1 - half;
      FillInputs(k, half);
      callbacks_->bufferSwitch(half, ASIOTrue);
      if (renderedSwitches < 0 || k < renderedSwitches) Render(half);
      half = 1 - half;
    }
    return ASE_OK;
  }
  ASIOError stop() override {
    stopped = true;
    return ASE_OK;
  }
  ASIOError getChannels(long* inputs, long* outputs) override {
    *inputs = 2;
    *outputs = 2;
    return ASE_OK;
  }
  ASIOError getLatencies(long*, long*) override { return ASE_NotPresent; }
  ASIOError getBufferSize(long* minSize, long* maxSize, long* preferred, long* granularity) override {
    *minSize = 16;
    *maxSize = 4096;
    *preferred = preferredSize;
    *granularity = -1;
    return ASE_OK;
  }
  ASIOError canSampleRate(ASIOSampleRate) override { return ASE_OK; }
  ASIOError getSampleRate(ASIOSampleRate* rate) override {
    *rate = 48000.0;
    return ASE_OK;
  }
  ASIOError setSampleRate(ASIOSampleRate) override { return ASE_OK; }
  ASIOError getClockSources(ASIOClockSource*, long*) override { return ASE_NotPresent; }
  ASIOError setClockSource(long) override { return ASE_NotPresent; }
  ASIOError getSamplePosition(ASIOSamples*, ASIOTimeStamp*) override { return ASE_NotPresent; }
  ASIOError getChannelInfo(ASIOChannelInfo* info) override {
    info->type = sampleType;
    return ASE_OK;
  }
  ASIOError createBuffers(ASIOBufferInfo* infos, long count, long size, ASIOCallbacks* callbacks) override {
    if (createResult != ASE_OK) return createResult;
    createdSize = size;
    callbacks_ = callbacks;
    bytes_ = sampleType == ASIOSTInt16LSB ? 2 : 3;
    memory_.assign(static_cast<std::size_t>(count), std::vector<std::uint8_t>(2 * size * bytes_));
    for (long k = 0; k < count; ++k) {
      infos[k].buffers[0] = memory_[k].data();
      infos[k].buffers[1] = memory_[k].data() + size * bytes_;
      created.push_back(infos[k]);
    }
    return ASE_OK;
  }
  ASIOError disposeBuffers() override {
    disposed = true;
    return ASE_OK;
  }
  ASIOError controlPanel() override { return ASE_NotPresent; }
  ASIOError future(long, void*) override { return ASE_NotPresent; }
  ASIOError outputReady() override { return ASE_NotPresent; }

 private:
  void FillInputs(int switchNumber, long half) {
    for (std::size_t k = 0; k < created.size(); ++k) {
      if (!created[k].isInput) continue;
      auto* target = static_cast<std::uint8_t*>(created[k].buffers[half]);
      for (long n = 0; n < createdSize; ++n) {
        std::uint32_t value = 0;
        if (switchNumber >= kPriming) {
          const std::uint64_t frame = static_cast<std::uint64_t>(switchNumber - kPriming) * createdSize + n;
          value = TopBytes(TestSignal(frame + inputFrameShift, static_cast<unsigned>(created[k].channelNum)), bytes_);
        }
        StoreSample(target + n * bytes_, value, bytes_);
      }
    }
  }
  void Render(long half) {
    for (long n = 0; n < createdSize; ++n) {
      for (long channel = 0; channel < 2; ++channel) {
        const long source = swapRenderedChannels ? 1 - channel : channel;
        std::uint32_t value = 0;
        for (const ASIOBufferInfo& info : created) {
          if (!info.isInput && info.channelNum == source) {
            value = LoadSample(static_cast<const std::uint8_t*>(info.buffers[half]) + n * bytes_, bytes_);
          }
        }
        const std::size_t at = rendered.size();
        rendered.resize(at + bytes_);
        StoreSample(rendered.data() + at, value, bytes_);
      }
    }
  }

  ASIOCallbacks* callbacks_ = nullptr;
  int bytes_ = 3;
  std::vector<std::vector<std::uint8_t>> memory_;
};

SessionConfig ShortRun() {
  SessionConfig config;
  config.seconds = kShortRun;
  config.primingSwitches = kPriming;
  return config;
}

SessionReport RunOn(ScriptedDriver& driver, const SessionConfig& config = ShortRun()) {
  KnownSignalDevice check([&driver] { return driver.rendered; }, TestSignal);
  AsioSession session(&driver);
  return session.Run(config, check);
}

std::string FailureOf(ScriptedDriver& driver) {
  UncheckedDevice check;
  try {
    AsioSession session(&driver);
    session.Run(ShortRun(), check);
  } catch (const StepFailure& failure) {
    return failure.what();
  }
  return "no failure";
}

TEST(AsioHostSession, AFaithfulDriverIsJudgedIntactBothWays) {
  ScriptedDriver driver;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.driverName, "Scripted");
  EXPECT_EQ(report.driverVersion, 7);
  EXPECT_EQ(report.switches, 12);
  EXPECT_EQ(report.halfErrors, 0);
  EXPECT_EQ(report.output.verdict, Verdict::Intact) << report.output.detail;
  EXPECT_EQ(report.input.verdict, Verdict::Intact) << report.input.detail;
  EXPECT_TRUE(driver.stopped);
  EXPECT_TRUE(driver.disposed);
  const std::string text = FormatReport(report);
  EXPECT_NE(text.find("output reached the device intact: yes"), std::string::npos) << text;
  EXPECT_NE(text.find("input reached the host intact: yes"), std::string::npos) << text;
}

TEST(AsioHostSession, BuffersAreAskedInputsFirstAtThePreferredSize) {
  ScriptedDriver driver;
  SessionConfig config = ShortRun();
  config.inputs = {1};
  config.outputs = {0, 1};
  RunOn(driver, config);
  ASSERT_EQ(driver.created.size(), 3u);
  EXPECT_EQ(driver.created[0].isInput, ASIOTrue);
  EXPECT_EQ(driver.created[0].channelNum, 1);
  EXPECT_EQ(driver.created[1].isInput, ASIOFalse);
  EXPECT_EQ(driver.created[1].channelNum, 0);
  EXPECT_EQ(driver.created[2].channelNum, 1);
  EXPECT_EQ(driver.createdSize, 64);
}

TEST(AsioHostSession, AChosenBufferSizeIsPassedOn) {
  ScriptedDriver driver;
  SessionConfig config = ShortRun();
  config.bufferSize = 100;
  const SessionReport report = RunOn(driver, config);
  EXPECT_EQ(driver.createdSize, 100);
  EXPECT_EQ(report.bufferSize, 100);
  EXPECT_EQ(report.output.verdict, Verdict::Intact) << report.output.detail;
}

TEST(AsioHostSession, SixteenBitChannelsAreCheckedInTheirWidth) {
  ScriptedDriver driver;
  driver.sampleType = ASIOSTInt16LSB;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.output.verdict, Verdict::Intact) << report.output.detail;
  EXPECT_EQ(report.input.verdict, Verdict::Intact) << report.input.detail;
  EXPECT_EQ(driver.rendered.size(), 12u * 64 * 2 * 2);
}

TEST(AsioHostSession, SwappedOutputChannelsAreDamage) {
  ScriptedDriver driver;
  driver.swapRenderedChannels = true;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.output.verdict, Verdict::Damaged);
  EXPECT_EQ(report.input.verdict, Verdict::Intact);
  EXPECT_FALSE(report.Good());
}

TEST(AsioHostSession, OutputThatStopsReachingTheDeviceIsDamage) {
  ScriptedDriver driver;
  driver.switchesOnStart = 20;
  driver.renderedSwitches = 10;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.output.verdict, Verdict::Damaged);
  EXPECT_NE(report.output.detail.find("only"), std::string::npos) << report.output.detail;
}

TEST(AsioHostSession, InputOffByOneFrameIsDamage) {
  ScriptedDriver driver;
  driver.inputFrameShift = 1;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.input.verdict, Verdict::Damaged);
  EXPECT_EQ(report.output.verdict, Verdict::Intact);
}

TEST(AsioHostSession, ASwitchToTheWrongHalfIsCounted) {
  ScriptedDriver driver;
  driver.repeatHalfAt = 6;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.halfErrors, 1);
  EXPECT_FALSE(report.Good());
}

TEST(AsioHostSession, AResetRequestFailsTheRun) {
  ScriptedDriver driver;
  driver.requestReset = true;
  const SessionReport report = RunOn(driver);
  EXPECT_EQ(report.resetRequests, 1);
  EXPECT_FALSE(report.Good());
}

TEST(AsioHostSession, ARefusedInitNamesTheStepAndTheDriversMessage) {
  ScriptedDriver driver;
  driver.initResult = ASIOFalse;
  driver.errorText = "no device here";
  const std::string failure = FailureOf(driver);
  EXPECT_EQ(failure.rfind("init failed", 0), 0u) << failure;
  EXPECT_NE(failure.find("no device here"), std::string::npos) << failure;
  EXPECT_EQ(driver.releases, 1);
  EXPECT_FALSE(driver.disposed);
}

TEST(AsioHostSession, ARefusedCreateBuffersNamesTheStep) {
  ScriptedDriver driver;
  driver.createResult = ASE_NotPresent;
  driver.errorText = "pin open failed";
  const std::string failure = FailureOf(driver);
  EXPECT_EQ(failure.rfind("createBuffers failed", 0), 0u) << failure;
  EXPECT_NE(failure.find("pin open failed"), std::string::npos) << failure;
  EXPECT_EQ(driver.releases, 1);
}

TEST(AsioHostSession, SampleTypesTheHostCannotCheckAreRefused) {
  ScriptedDriver driver;
  driver.sampleType = ASIOSTFloat32LSB;
  const std::string failure = FailureOf(driver);
  EXPECT_NE(failure.find("getChannelInfo"), std::string::npos) << failure;
  EXPECT_TRUE(driver.created.empty());
}

TEST(AsioHostSession, ARealDeviceIsNotChecked) {
  ScriptedDriver driver;
  UncheckedDevice check;
  AsioSession session(&driver);
  const SessionReport report = session.Run(ShortRun(), check);
  EXPECT_EQ(report.output.verdict, Verdict::NotChecked);
  EXPECT_EQ(report.input.verdict, Verdict::NotChecked);
  EXPECT_NE(FormatReport(report).find("input reached the host intact: not checked"), std::string::npos);
}

}  // namespace
}  // namespace tx880::asio_host
