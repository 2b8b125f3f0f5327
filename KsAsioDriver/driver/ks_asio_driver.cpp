#include "KsAsioDriver/driver/ks_asio_driver.h"

#include <mmsystem.h>

#include <cmath>
#include <cstring>

#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/ks/ks_enum_filters.h"

namespace tx880::asio {

namespace {

constexpr char kInputNames[kInputChannels][32] = {"USB In 1", "USB In 2"};
constexpr char kOutputNames[kOutputChannels][32] = {"USB Out 1", "USB Out 2"};
constexpr char kClockName[] = "Internal";
constexpr double kTwoTo32 = 4294967296.0;

// Splits a non-negative count into the two 32-bit halves ASIO uses.
void SplitCount(double value, unsigned long& hi, unsigned long& lo) {
  if (value < kTwoTo32) {
    hi = 0;
    lo = static_cast<unsigned long>(value);
    return;
  }
  hi = static_cast<unsigned long>(value / kTwoTo32);
  lo = static_cast<unsigned long>(value - static_cast<double>(hi) * kTwoTo32);
}

template <typename Filter>
std::unique_ptr<Filter> OpenFilter(ULONG type) {
  std::unique_ptr<ks::CKsFilter> filter = ks::OpenDeviceFilter(type);
  auto* typed = dynamic_cast<Filter*>(filter.get());
  if (typed == nullptr) return nullptr;
  filter.release();
  return std::unique_ptr<Filter>(typed);
}

}  // namespace

KsAsioDriver::KsAsioDriver(IUnknown* outer) : CUnknown(outer) {
  timeBeginPeriod(1);
  LoadSettings();
  preferredBufferSize_ = BufferSizeOfSetting(latencySetting_);
}

KsAsioDriver::KsAsioDriver(IUnknown* outer, const DriverSettings& settings) : CUnknown(outer) {
  timeBeginPeriod(1);
  ApplySettings(settings);
}

void KsAsioDriver::ApplySettings(const DriverSettings& settings) {
  sampleRate_ = settings.sampleRate;
  wordSize_ = settings.wordSize;
  latencySetting_ = settings.latencySetting;
  preferredBufferSize_ = BufferSizeOfSetting(latencySetting_);
}

KsAsioDriver::~KsAsioDriver() {
  if (running_.load() || streamThread_) stop();
  disposeBuffers();
  renderPin_ = nullptr;
  capturePin_ = nullptr;
  renderFilter_.reset();
  captureFilter_.reset();
  timeEndPeriod(1);
}

HRESULT STDMETHODCALLTYPE KsAsioDriver::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, kDriverClassId)) {
    return GetInterface(static_cast<IASIO*>(this), ppv);
  }
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

void KsAsioDriver::SetErrorText(const char* text) {
  std::strncpy(errorText_, text, sizeof errorText_ - 1);
  errorText_[sizeof errorText_ - 1] = '\0';
}

ASIOBool KsAsioDriver::init(void* sysHandle) {
  errorText_[0] = '\0';
  ownerWindow_ = sysHandle == reinterpret_cast<void*>(-1) ? nullptr : static_cast<HWND>(sysHandle);
  if (!captureFilter_) {
    captureFilter_ = OpenFilter<ks::CKsAudCapFilter>(ks::kFilterCapture);
    if (!captureFilter_) {
      SetErrorText(kErrorOpenInput);
      return ASIOFalse;
    }
  }
  if (!renderFilter_) {
    renderFilter_ = OpenFilter<ks::CKsAudRenFilter>(ks::kFilterRender);
    if (!renderFilter_) {
      SetErrorText(kErrorOpenOutput);
      capturePin_ = nullptr;
      captureFilter_.reset();
      return ASIOFalse;
    }
  }
  return ASIOTrue;
}

void KsAsioDriver::getDriverName(char* name) {
  if (name != nullptr) std::memcpy(name, kDriverName, sizeof kDriverName);
}

long KsAsioDriver::getDriverVersion() { return kDriverVersion; }

void KsAsioDriver::getErrorMessage(char* string) {
  if (string != nullptr) std::memcpy(string, errorText_, std::strlen(errorText_) + 1);
}

ASIOError KsAsioDriver::getChannels(long* numInputChannels, long* numOutputChannels) {
  if (numInputChannels != nullptr) *numInputChannels = kInputChannels;
  if (numOutputChannels != nullptr) *numOutputChannels = kOutputChannels;
  return ASE_OK;
}

ASIOError KsAsioDriver::getLatencies(long* inputLatency, long* outputLatency) {
  const long latency = LatencyOfSetting(latencySetting_, sampleRate_);
  if (inputLatency != nullptr) *inputLatency = latency;
  if (outputLatency != nullptr) *outputLatency = latency;
  return ASE_OK;
}

ASIOError KsAsioDriver::getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                      long* granularity) {
  if (minSize != nullptr) *minSize = kMinBufferSize;
  if (maxSize != nullptr) *maxSize = kMaxBufferSize;
  if (preferredSize != nullptr) *preferredSize = preferredBufferSize_;
  if (granularity != nullptr) *granularity = -1;  // powers of two
  return ASE_OK;
}

ASIOError KsAsioDriver::canSampleRate(ASIOSampleRate sampleRate) {
  return sampleRate == static_cast<double>(kSupportedSampleRate) ? ASE_OK : ASE_NoClock;
}

ASIOError KsAsioDriver::getSampleRate(ASIOSampleRate* sampleRate) {
  if (sampleRate != nullptr) *sampleRate = static_cast<double>(sampleRate_);
  return ASE_OK;
}

ASIOError KsAsioDriver::setSampleRate(ASIOSampleRate sampleRate) {
  if (canSampleRate(sampleRate) != ASE_OK) return ASE_NoClock;
  if (sampleRate != static_cast<double>(sampleRate_)) {
    timeInfo_.timeInfo.sampleRate = sampleRate;
    std::atomic_ref<unsigned long>(timeInfo_.timeInfo.flags).fetch_or(kSampleRateChanged);
    sampleRate_ = static_cast<long>(sampleRate);
    ASIOCallbacks* callbacks = callbacks_.load();
    if (callbacks != nullptr && callbacks->sampleRateDidChange != nullptr) {
      callbacks->sampleRateDidChange(sampleRate);
    }
  }
  SaveSettings();
  return ASE_OK;
}

ASIOError KsAsioDriver::getClockSources(ASIOClockSource* clocks, long* numSources) {
  if (clocks != nullptr) {
    clocks->index = 0;
    clocks->associatedChannel = -1;
    clocks->associatedGroup = -1;
    clocks->isCurrentSource = ASIOTrue;
    std::memset(clocks->name, 0, sizeof clocks->name);
    std::memcpy(clocks->name, kClockName, sizeof kClockName);
  }
  if (numSources != nullptr) *numSources = 1;
  return ASE_OK;
}

ASIOError KsAsioDriver::setClockSource(long reference) {
  if (reference != 0) return ASE_NotPresent;
  std::atomic_ref<unsigned long>(timeInfo_.timeInfo.flags).fetch_or(kClockSourceChanged);
  return ASE_OK;
}

ASIOError KsAsioDriver::getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) {
  if (tStamp != nullptr) SplitCount(lastSwitchNs_.load(), tStamp->hi, tStamp->lo);
  if (sPos != nullptr) SplitCount(sampleCounter_.load(), sPos->hi, sPos->lo);
  return ASE_OK;
}

ASIOError KsAsioDriver::getChannelInfo(ASIOChannelInfo* info) {
  if (info == nullptr || info->channel < 0 || info->channel > 1) return ASE_InvalidParameter;
  const bool input = info->isInput != ASIOFalse;
  info->isActive = ASIOFalse;
  info->channelGroup = 0;
  info->type = wordSize_ == 3 ? ASIOSTInt24LSB : ASIOSTInt16LSB;
  std::memset(info->name, 0, sizeof info->name);
  std::strcpy(info->name, input ? kInputNames[info->channel] : kOutputNames[info->channel]);
  const HostChannel* channels = input ? inputs_ : outputs_;
  const long active = input ? activeInputs_ : activeOutputs_;
  for (long k = 0; k < active; ++k) {
    if (channels[k].deviceChannel == info->channel) info->isActive = ASIOTrue;
  }
  return ASE_OK;
}

ASIOError KsAsioDriver::createBuffers(ASIOBufferInfo* bufferInfos, long numChannels,
                                      long bufferSize, ASIOCallbacks* callbacks) {
  // Buffers and packets of an earlier call are released first, as disposeBuffers would.
  const ASIOError released = disposeBuffers();
  if (released != ASE_OK) return released;
  // Without sizes, channels or callbacks there is nothing sound to build.
  if (bufferSize <= 0 || numChannels < 0 || (numChannels > 0 && bufferInfos == nullptr) ||
      callbacks == nullptr) {
    return ASE_InvalidParameter;
  }

  activeInputs_ = 0;
  activeOutputs_ = 0;
  bufferSize_ = bufferSize;
  preferredBufferSize_ = bufferSize;
  const std::size_t halfBytes = static_cast<std::size_t>(wordSize_) * bufferSize;
  bool allocationFailed = false;
  for (long i = 0; i < numChannels; ++i) {
    ASIOBufferInfo& info = bufferInfos[i];
    const bool input = info.isInput != ASIOFalse;
    long& active = input ? activeInputs_ : activeOutputs_;
    if (info.channelNum < 0 || info.channelNum > 1 || active >= 2) {
      disposeBuffers();
      return ASE_InvalidParameter;
    }
    HostChannel& channel = (input ? inputs_ : outputs_)[active++];
    channel.deviceChannel = info.channelNum;
    // Output halves start silent; input halves are overwritten before the host sees them.
    if (channel.buffer.Allocate(halfBytes * 2, !input)) {
      info.buffers[0] = channel.buffer.Data();
      info.buffers[1] = channel.buffer.Data() + halfBytes;
    } else {
      info.buffers[0] = nullptr;
      info.buffers[1] = nullptr;
      allocationFailed = true;
    }
  }
  if (allocationFailed) {
    disposeBuffers();
    return ASE_NoMemory;
  }

  callbacks_.store(callbacks);
  const bool timeInfo = callbacks->asioMessage != nullptr &&
                        callbacks->asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) != 0;
  timeInfoMode_.store(timeInfo);
  if (timeInfo) {
    timeInfo_ = ASIOTime{};
    timeInfo_.timeInfo.speed = 1.0;
    timeInfo_.timeInfo.sampleRate = static_cast<double>(sampleRate_);
    timeInfo_.timeInfo.flags = kDefaultTimeInfoFlags;
  }

  if (!PrepareStreaming()) {
    disposeBuffers();
    return ASE_NotPresent;
  }
  return ASE_OK;
}

void KsAsioDriver::FreeHostBuffers() {
  for (HostChannel& channel : inputs_) channel.buffer.Reset();
  for (HostChannel& channel : outputs_) channel.buffer.Reset();
  activeInputs_ = 0;
  activeOutputs_ = 0;
}

ASIOError KsAsioDriver::disposeBuffers() {
  // Buffers and packets are in use by the thread that is calling us.
  if (OnStreamThread()) return ASE_InvalidMode;
  // Forgotten first, so that a switch already in progress no longer reaches the host.
  callbacks_.store(nullptr);
  if (running_.load()) {
    stop();
  }
  // A thread that outlived its stop (stopped from inside a switch, or a failed stop) must be
  // gone before its packets are.
  if (streamThread_) EndStreamThread();
  if (!ReleaseStreaming()) return ASE_NotPresent;
  FreeHostBuffers();
  return ASE_OK;
}

// controlPanel is in control_panel.cpp, beside the dialog it shows.

ASIOError KsAsioDriver::future(long selector, void* /*opt*/) {
  return selector == kAsioCanTimeInfo ? ASE_SUCCESS : ASE_NotPresent;
}

ASIOError KsAsioDriver::outputReady() { return ASE_NotPresent; }

}  // namespace tx880::asio
