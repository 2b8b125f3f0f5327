#include "driver_test_host.h"

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/ks/ks_device_path.h"

namespace tx880::asio::test {

namespace {

TestHost* g_host = nullptr;

}  // namespace

std::wstring Tx880DevicePath() {
  const char* prefix = ks::DevicePathPrefix;
  return std::wstring(prefix, prefix + std::strlen(prefix)) +
         L"#7&5e6f&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

DriverRef::DriverRef(const DriverSettings& settings)
    : object_(new KsAsioDriver(nullptr, settings)) {
  if (FAILED(
          object_->NonDelegatingQueryInterface(kDriverClassId, reinterpret_cast<void**>(&asio_)))) {
    throw std::runtime_error("the driver does not answer its class id");
  }
}

DriverRef::~DriverRef() { asio_->Release(); }

TestHost::TestHost() {
  if (g_host != nullptr) throw std::logic_error("one test host at a time");
  g_host = this;
  callbacks_.bufferSwitch = &BufferSwitch;
  callbacks_.sampleRateDidChange = &SampleRateDidChange;
  callbacks_.asioMessage = &AsioMessage;
  callbacks_.bufferSwitchTimeInfo = &BufferSwitchTimeInfo;
}

TestHost::~TestHost() { g_host = nullptr; }

ASIOCallbacks* TestHost::Callbacks() {
  callbacks_.bufferSwitchTimeInfo = timeInfoSwitchMissing ? nullptr : &BufferSwitchTimeInfo;
  return &callbacks_;
}

ASIOError TestHost::CreateBuffers(IASIO* driver, std::vector<ASIOBufferInfo> infos,
                                  long bufferSize, long wordSize) {
  buffers_ = std::move(infos);
  bufferSize_ = bufferSize;
  wordSize_ = wordSize;
  return driver->createBuffers(buffers_.data(), static_cast<long>(buffers_.size()), bufferSize,
                               Callbacks());
}

std::uint32_t TestHost::OutputSample(int switchNumber, std::size_t output, long frame) {
  // Different in every byte position for every switch, output and frame.
  return 0x01000000u * static_cast<std::uint32_t>(switchNumber + 1) +
         0x00010000u * static_cast<std::uint32_t>(output * 0x40 + 0x11) +
         0x00000101u * static_cast<std::uint32_t>(frame + 1);
}

void TestHost::OnSwitch(long index, ASIOBool directProcess, const ASIOTime* time) {
  SwitchRecord record;
  record.half = index;
  record.directProcess = directProcess;
  if (time != nullptr) {
    record.timeInfoCall = true;
    record.positionLo = time->timeInfo.samplePosition.lo;
    record.timeFlags = time->timeInfo.flags;
  }
  const std::size_t halfBytes = static_cast<std::size_t>(wordSize_) * bufferSize_;
  int number = 0;
  {
    std::lock_guard lock(mutex_);
    number = static_cast<int>(switches_.size());
  }
  std::size_t output = 0;
  for (const ASIOBufferInfo& info : buffers_) {
    if (index != 0 && index != 1) break;
    auto* half = static_cast<std::uint8_t*>(info.buffers[index]);
    if (info.isInput) {
      record.inputs.emplace_back(half, half + halfBytes);
      continue;
    }
    for (long n = 0; n < bufferSize_; ++n) {
      const std::uint32_t value = OutputSample(number, output, n);
      std::memcpy(half + n * wordSize_, &value, static_cast<std::size_t>(wordSize_));
    }
    ++output;
  }
  if (onSwitch) onSwitch(number);
  {
    std::lock_guard lock(mutex_);
    switches_.push_back(std::move(record));
  }
  changed_.notify_all();
}

void TestHost::BufferSwitch(long index, ASIOBool directProcess) {
  g_host->OnSwitch(index, directProcess, nullptr);
}

ASIOTime* TestHost::BufferSwitchTimeInfo(ASIOTime* time, long index, ASIOBool direct) {
  g_host->OnSwitch(index, direct, time);
  return nullptr;
}

void TestHost::SampleRateDidChange(ASIOSampleRate) {
  std::lock_guard lock(g_host->mutex_);
  ++g_host->sampleRateChanges_;
}

long TestHost::AsioMessage(long selector, long value, void*, double*) {
  {
    std::lock_guard lock(g_host->mutex_);
    g_host->messages_.push_back({selector, value});
  }
  g_host->changed_.notify_all();
  switch (selector) {
    case kAsioSelectorSupported:
      return value == kAsioResetRequest ? (g_host->supportsResetRequest ? 1 : 0) : 0;
    case kAsioSupportsTimeInfo:
      return g_host->supportsTimeInfo ? 1 : 0;
    case kAsioResetRequest:
      return 1;
    default:
      return 0;
  }
}

int TestHost::SwitchCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(switches_.size());
}

bool TestHost::WaitForSwitches(int count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(kSafetyMs),
                           [&] { return static_cast<int>(switches_.size()) >= count; });
}

std::vector<SwitchRecord> TestHost::Switches() {
  std::lock_guard lock(mutex_);
  return switches_;
}

std::vector<MessageRecord> TestHost::Messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

int TestHost::SampleRateChanges() {
  std::lock_guard lock(mutex_);
  return sampleRateChanges_;
}

bool WaitForPinsRunning(const sim::SimKsSystem& device) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int running = 0;
    for (const sim::SimPinInstance& pin : device.PinInstances()) {
      if (pin.open && pin.state == KSSTATE_RUN) ++running;
    }
    if (running == 2) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::vector<std::uint8_t> DeviceBytes(std::uint32_t value, long wordSize) {
  std::vector<std::uint8_t> bytes;
  for (long i = 0; i < wordSize; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(value >> (8 * (4 - wordSize + i))));
  }
  return bytes;
}

}  // namespace tx880::asio::test
