#include "host_session.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "host_pattern.h"

namespace tx880::asio_host {

namespace {

std::atomic<AsioSession*> g_liveSession{nullptr};

LONGLONG Now() {
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

double TicksPerMs() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(frequency.QuadPart) / 1000.0;
}

// A bit of a Windows host's manners: keep the thread's message queue moving while waiting.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

bool SessionReport::Good() const {
  return switches > 0 && missedPeriods == 0 && halfErrors == 0 && resetRequests == 0 &&
         output.verdict != Verdict::Damaged && input.verdict != Verdict::Damaged;
}

AsioSession::AsioSession(IASIO* driver) : driver_(driver) {
  AsioSession* expected = nullptr;
  if (!g_liveSession.compare_exchange_strong(expected, this)) {
    driver_->Release();
    throw std::logic_error("one ASIO session at a time");
  }
  callbacks_.bufferSwitch = &OnBufferSwitch;
  callbacks_.sampleRateDidChange = &OnSampleRateDidChange;
  callbacks_.asioMessage = &OnAsioMessage;
  callbacks_.bufferSwitchTimeInfo = &OnBufferSwitchTimeInfo;
}

AsioSession::~AsioSession() {
  if (running_) driver_->stop();
  if (buffersCreated_) driver_->disposeBuffers();
  driver_->Release();
  g_liveSession = nullptr;
}

void AsioSession::Fail(const std::string& step, const std::string& detail) {
  char message[128] = {};
  driver_->getErrorMessage(message);
  message[sizeof message - 1] = '\0';
  std::string text = step + " failed";
  if (!detail.empty()) text += ": " + detail;
  if (message[0] != '\0') text += std::string(" (driver: ") + message + ")";
  throw StepFailure(text);
}

void AsioSession::Check(ASIOError result, const char* step) {
  if (result != ASE_OK) Fail(step, "ASIOError " + std::to_string(result));
}

std::vector<ChannelUse> AsioSession::DescribeChannels(const std::vector<long>& channels,
                                                      bool input, long available) {
  std::vector<ChannelUse> uses;
  for (long channel : channels) {
    const char* step = input ? "getChannelInfo (input)" : "getChannelInfo (output)";
    if (channel < 0 || channel >= available) {
      Fail(step, "channel " + std::to_string(channel) + " of " + std::to_string(available));
    }
    ASIOChannelInfo info{};
    info.channel = channel;
    info.isInput = input ? ASIOTrue : ASIOFalse;
    Check(driver_->getChannelInfo(&info), step);
    const auto bytes = BytesOfSampleType(info.type);
    if (!bytes) Fail(step, "sample type " + std::to_string(info.type) + " is not 16/24-bit LSB");
    uses.push_back({channel, *bytes});
  }
  return uses;
}

void AsioSession::Prepare(const SessionConfig& config, SessionReport& report) {
  if (driver_->init(nullptr) == ASIOFalse) Fail("init");
  char name[64] = {};
  driver_->getDriverName(name);
  name[sizeof name - 1] = '\0';
  report.driverName = name;
  report.driverVersion = driver_->getDriverVersion();

  long inputCount = 0;
  long outputCount = 0;
  Check(driver_->getChannels(&inputCount, &outputCount), "getChannels");
  long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
  Check(driver_->getBufferSize(&minSize, &maxSize, &preferred, &granularity), "getBufferSize");
  Check(driver_->getSampleRate(&report.sampleRate), "getSampleRate");
  if (report.sampleRate <= 0) Fail("getSampleRate", "no rate");

  report.inputs = DescribeChannels(config.inputs, true, inputCount);
  report.outputs = DescribeChannels(config.outputs, false, outputCount);
  report.bufferSize = config.bufferSize > 0 ? config.bufferSize : preferred;
  report.periodMs = 1000.0 * report.bufferSize / report.sampleRate;

  bufferInfos_.clear();
  for (const ChannelUse& use : report.inputs) bufferInfos_.push_back({ASIOTrue, use.deviceChannel, {}});
  for (const ChannelUse& use : report.outputs) bufferInfos_.push_back({ASIOFalse, use.deviceChannel, {}});
  bufferSize_ = report.bufferSize;
  answerTimeInfo_ = config.answerTimeInfo;
  Check(driver_->createBuffers(bufferInfos_.data(), static_cast<long>(bufferInfos_.size()),
                               bufferSize_, &callbacks_),
        "createBuffers");
  buffersCreated_ = true;

  const double keptSeconds = std::min(config.keepInputSeconds, config.seconds + 1.0);
  const auto keptFrames = static_cast<std::size_t>(keptSeconds * report.sampleRate) +
                          static_cast<std::size_t>(config.primingSwitches) * bufferSize_;
  inputs_.clear();
  outputs_.clear();
  for (std::size_t k = 0; k < bufferInfos_.size(); ++k) {
    const ASIOBufferInfo& info = bufferInfos_[k];
    if (info.buffers[0] == nullptr || info.buffers[1] == nullptr) Fail("createBuffers", "null buffer");
    if (info.isInput) {
      InputStore store;
      store.channel = report.inputs[k];
      store.halves[0] = static_cast<const std::uint8_t*>(info.buffers[0]);
      store.halves[1] = static_cast<const std::uint8_t*>(info.buffers[1]);
      store.kept.resize(keptFrames * store.channel.bytes);
      inputs_.push_back(std::move(store));
    } else {
      OutputTarget target;
      target.channel = report.outputs[k - report.inputs.size()];
      target.halves[0] = static_cast<std::uint8_t*>(info.buffers[0]);
      target.halves[1] = static_cast<std::uint8_t*>(info.buffers[1]);
      outputs_.push_back(target);
    }
  }
  primingSwitches_ = config.primingSwitches;
  periodMs_ = report.periodMs;
  schedule_ = SwitchSchedule(periodMs_);
  ticksPerMs_ = TicksPerMs();
}

void AsioSession::Stream(double seconds) {
  switches_ = 0;
  expectedHalf_ = 0;
  patternIndex_ = 0;
  Check(driver_->start(), "start");
  running_ = true;
  const LONGLONG end = Now() + static_cast<LONGLONG>(seconds * 1000.0 * ticksPerMs_);
  while (Now() < end && resetRequests_ == 0) {
    PumpMessages();
    Sleep(10);
  }
  running_ = false;
  Check(driver_->stop(), "stop");
}

void AsioSession::Finish(SessionReport& report, DeviceCheck& check) {
  report.switches = switches_;
  report.missedPeriods = missedPeriods_;
  report.halfErrors = halfErrors_;
  report.resetRequests = resetRequests_;
  report.longestGapMs = static_cast<double>(longestGapTicks_) / ticksPerMs_;
  report.longestGapSwitch = longestGapSwitch_;
  report.meanGapMs = gapsMeasured_ > 0 ? static_cast<double>(gapTicksSum_) / gapsMeasured_ / ticksPerMs_ : 0;
  if (switches_ > 0) {
    report.meanCallbackUs = static_cast<double>(callbackTicksSum_) / switches_ / ticksPerMs_ * 1000.0;
    report.maxCallbackUs = static_cast<double>(longestCallbackTicks_) / ticksPerMs_ * 1000.0;
  }

  StreamFacts facts;
  facts.bufferSize = bufferSize_;
  facts.primingSwitches = primingSwitches_;
  facts.switches = switches_;
  facts.inputs = report.inputs;
  facts.outputs = report.outputs;
  facts.patternSamplesWritten = patternIndex_;
  std::vector<CapturedInput> captured;
  for (const InputStore& store : inputs_) {
    captured.push_back({store.channel, std::vector<std::uint8_t>(store.kept.begin(),
                                                                 store.kept.begin() + store.used)});
  }
  report.output = check.CheckOutput(facts);
  report.input = check.CheckInput(facts, captured);

  buffersCreated_ = false;
  Check(driver_->disposeBuffers(), "disposeBuffers");
}

SessionReport AsioSession::Run(const SessionConfig& config, DeviceCheck& check) {
  SessionReport report;
  Prepare(config, report);
  Stream(config.seconds);
  Finish(report, check);
  return report;
}

void AsioSession::Switch(long half) {
  const LONGLONG entered = Now();
  if (half != expectedHalf_) ++halfErrors_;
  if (switches_ >= primingSwitches_) {
    // Priming switches come back to back before the device runs; timing starts after them.
    const LONGLONG gap = entered - lastSwitchTicks_;
    if (gap > longestGapTicks_) {
      longestGapTicks_ = gap;
      longestGapSwitch_ = switches_;
    }
    gapTicksSum_ += gap;
    ++gapsMeasured_;
    missedPeriods_ += schedule_.Switch(static_cast<double>(entered) / ticksPerMs_);
  }
  lastSwitchTicks_ = entered;

  if (half == 0 || half == 1) {
    for (InputStore& input : inputs_) {
      const std::size_t bytes = static_cast<std::size_t>(bufferSize_) * input.channel.bytes;
      if (input.used + bytes > input.kept.size()) continue;
      std::memcpy(input.kept.data() + input.used, input.halves[half], bytes);
      input.used += bytes;
    }
    for (OutputTarget& output : outputs_) {
      const int bytes = output.channel.bytes;
      std::uint8_t* target = output.halves[half];
      const auto channel = static_cast<unsigned>(output.channel.deviceChannel);
      for (long n = 0; n < bufferSize_; ++n) {
        StoreSample(target + static_cast<std::size_t>(n) * bytes,
                    PatternSample(channel, patternIndex_ + n, bytes), bytes);
      }
    }
    patternIndex_ += bufferSize_;
  }
  expectedHalf_ = 1 - half;
  ++switches_;

  const LONGLONG spent = Now() - entered;
  callbackTicksSum_ += spent;
  longestCallbackTicks_ = std::max(longestCallbackTicks_, spent);
}

long AsioSession::Message(long selector, long value) {
  switch (selector) {
    case kAsioSelectorSupported:
      return value == kAsioEngineVersion || value == kAsioResetRequest ||
                     value == kAsioSupportsTimeInfo || value == kAsioOverload
                 ? 1
                 : 0;
    case kAsioEngineVersion:
      return 2;
    case kAsioSupportsTimeInfo:
      return answerTimeInfo_ ? 1 : 0;
    case kAsioResetRequest:
      InterlockedIncrement(&resetRequests_);
      return 1;
    case kAsioOverload:
      return 1;
    default:
      return 0;
  }
}

void AsioSession::OnBufferSwitch(long half, ASIOBool) {
  if (AsioSession* session = g_liveSession.load()) session->Switch(half);
}

ASIOTime* AsioSession::OnBufferSwitchTimeInfo(ASIOTime* time, long half, ASIOBool) {
  if (AsioSession* session = g_liveSession.load()) session->Switch(half);
  return time;
}

void AsioSession::OnSampleRateDidChange(ASIOSampleRate) {}

long AsioSession::OnAsioMessage(long selector, long value, void*, double*) {
  AsioSession* session = g_liveSession.load();
  return session != nullptr ? session->Message(selector, value) : 0;
}

}  // namespace tx880::asio_host
