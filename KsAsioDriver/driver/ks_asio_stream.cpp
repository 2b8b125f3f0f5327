// The streaming engine: pins, packet rings, the streaming thread and the buffer switch.
#include <windows.h>

#include <mmsystem.h>

#include <cstring>

#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/ks/ks_stream_format.h"

namespace tx880::asio {

namespace {

constexpr DWORD kThreadOk = 0;
constexpr DWORD kThreadFailed = 1;

bool PinOpen(const ks::CKsPin* pin) {
  return pin != nullptr && ks::CKsIrpTarget::IsValidHandle(pin->GetHandle());
}

// Joins the "Pro Audio" multimedia class for the life of the scope when avrt.dll offers it;
// without it the thread runs on its time-critical priority alone. The library stays loaded.
class MmcssScope {
 public:
  MmcssScope() {
    HMODULE avrt = LoadLibraryW(L"avrt.dll");
    if (avrt == nullptr) return;
    const auto setCharacteristics =
        Lookup<HANDLE(WINAPI*)(LPCWSTR, LPDWORD)>(avrt, "AvSetMmThreadCharacteristicsW");
    const auto setPriority = Lookup<BOOL(WINAPI*)(HANDLE, int)>(avrt, "AvSetMmThreadPriority");
    revert_ = Lookup<BOOL(WINAPI*)(HANDLE)>(avrt, "AvRevertMmThreadCharacteristics");
    if (setCharacteristics == nullptr) return;
    DWORD taskIndex = 0;
    handle_ = setCharacteristics(L"Pro Audio", &taskIndex);
    if (handle_ != nullptr && setPriority != nullptr) setPriority(handle_, kAvrtPriorityNormal);
  }
  ~MmcssScope() {
    if (handle_ != nullptr && revert_ != nullptr) revert_(handle_);
  }
  MmcssScope(const MmcssScope&) = delete;
  MmcssScope& operator=(const MmcssScope&) = delete;

 private:
  static constexpr int kAvrtPriorityNormal = 0;

  template <typename Function>
  static Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  HANDLE handle_ = nullptr;
  BOOL(WINAPI* revert_)(HANDLE) = nullptr;
};

}  // namespace

bool KsAsioDriver::OnStreamThread() const {
  const DWORD id = streamThreadId_.load();
  return id != 0 && id == GetCurrentThreadId();
}

ASIOError KsAsioDriver::start() {
  if (callbacks_.load() == nullptr) return ASE_NotPresent;
  // Already streaming: one thread per driver, so a second start changes nothing.
  if (running_.load()) return ASE_OK;
  // A restart from inside a switch would have to wait for the calling thread itself.
  if (OnStreamThread()) return ASE_InvalidMode;
  // A thread stopped from inside its own switch may still be finishing.
  if (streamThread_) {
    const ASIOError ended = EndStreamThread();
    if (ended != ASE_OK) return ended;
  }

  sampleCounter_.store(0.0);
  timeInfo_.timeInfo.sampleRate = static_cast<double>(sampleRate_);
  lastSwitchNs_.store(0.0);
  currentHalf_.store(0);
  std::atomic_ref<unsigned long>(timeInfo_.timeInfo.flags).store(kDefaultTimeInfoFlags);
  packetIndex_ = 0;

  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, StreamThread, this, CREATE_SUSPENDED, &threadId);
  if (thread == nullptr) return ASE_NoMemory;
  streamThread_.Reset(thread);
  streamThreadId_.store(threadId);
  SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
  running_.store(true);
  ResumeThread(thread);
  return ASE_OK;
}

ASIOError KsAsioDriver::stop() {
  running_.store(false);
  if (!StopPins()) return ASE_NotPresent;
  if (!streamThread_) return ASE_OK;
  // Called from the host's bufferSwitch: the thread ends once the switch returns; its handle is
  // closed by the next start, disposeBuffers or the destructor.
  if (OnStreamThread()) return ASE_OK;
  return EndStreamThread();
}

// Running pins go to PAUSE, then STOP. A pin the thread left in PAUSE (stopped while priming)
// goes to STOP as well, so that the next start finds both pins stopped with nothing pending.
bool KsAsioDriver::StopPins() {
  for (ks::CKsAudPin* pin : {renderPin_, capturePin_}) {
    if (!PinOpen(pin) || pin->GetState() == KSSTATE_STOP) continue;
    if (pin->GetState() == KSSTATE_RUN && FAILED(pin->SetState(KSSTATE_PAUSE))) return false;
    if (FAILED(pin->SetState(KSSTATE_STOP))) return false;
  }
  return true;
}

ASIOError KsAsioDriver::EndStreamThread() {
  if (WaitForSingleObject(streamThread_.Get(), kStreamWaitMs) != WAIT_OBJECT_0) {
    TerminateThread(streamThread_.Get(), kThreadFailed);
    return ASE_InvalidMode;  // the handle stays recorded
  }
  streamThread_.Reset();
  streamThreadId_.store(0);
  // The thread may have run the pins after the first stop request reached them, or queued
  // packets on them after they stopped: a final STOP cancels whatever is left.
  for (ks::CKsAudPin* pin : {renderPin_, capturePin_}) {
    if (!PinOpen(pin)) continue;
    if (pin->GetState() == KSSTATE_RUN && FAILED(pin->SetState(KSSTATE_PAUSE))) {
      return ASE_NotPresent;
    }
    if (FAILED(pin->SetState(KSSTATE_STOP))) return ASE_NotPresent;
  }
  return ASE_OK;
}

bool KsAsioDriver::WaitForStreamThreadEnd(DWORD timeoutMs) const {
  if (!streamThread_) return true;
  return WaitForSingleObject(streamThread_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool KsAsioDriver::OpenCapturePin() {
  const WAVEFORMATEXTENSIBLE format =
      ks::BuildStreamFormat(static_cast<DWORD>(sampleRate_), static_cast<WORD>(wordSize_));
  bool opened = false;
  if (captureFilter_) {
    if (capturePin_ == nullptr) {
      capturePin_ = captureFilter_->CreateCapturePin(&format.Format);
      opened = capturePin_ != nullptr;
    } else if (!PinOpen(capturePin_)) {
      opened = SUCCEEDED(capturePin_->Instantiate(FALSE));
    } else {
      opened = true;
    }
  }
  if (!opened) SetErrorText(kErrorInputPin);
  return opened;
}

bool KsAsioDriver::OpenRenderPin() {
  const WAVEFORMATEXTENSIBLE format =
      ks::BuildStreamFormat(static_cast<DWORD>(sampleRate_), static_cast<WORD>(wordSize_));
  bool opened = false;
  if (renderFilter_) {
    if (renderPin_ == nullptr) {
      renderPin_ = renderFilter_->CreateRenderPin(&format.Format);
      opened = renderPin_ != nullptr;
    } else if (!PinOpen(renderPin_)) {
      opened = SUCCEEDED(renderPin_->Instantiate(FALSE));
    } else {
      opened = true;
    }
  }
  if (!opened) SetErrorText(kErrorOutputPin);
  return opened;
}

namespace {

bool ClosePin(ks::CKsAudPin* pin) {
  if (!PinOpen(pin)) return true;
  if (pin->GetState() == KSSTATE_RUN && FAILED(pin->SetState(KSSTATE_PAUSE))) return false;
  if (FAILED(pin->SetState(KSSTATE_STOP))) return false;
  pin->ClosePin();  // the pin object stays with its filter
  return true;
}

}  // namespace

bool KsAsioDriver::CloseCapturePin() { return ClosePin(capturePin_); }
bool KsAsioDriver::CloseRenderPin() { return ClosePin(renderPin_); }

bool KsAsioDriver::PrepareStreaming() {
  if (!OpenCapturePin() || !OpenRenderPin()) return false;

  const DWORD packetBytes = PacketBytes();
  const bool blocks = captureBlock_.Allocate(std::size_t{kPacketCount} * packetBytes, false) &&
                      renderBlock_.Allocate(std::size_t{kPacketCount} * packetBytes, true);
  bool events = true;
  for (int i = 0; i < kPacketCount; ++i) {
    captureEvents_[i].Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    renderEvents_[i].Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    events = events && captureEvents_[i] && renderEvents_[i];

    StreamPacket& capture = capturePackets_[i];
    capture = StreamPacket{};
    capture.overlapped.hEvent = captureEvents_[i].Get();
    capture.header.Size = sizeof(KSSTREAM_HEADER);
    capture.header.PresentationTime.Numerator = 1;
    capture.header.PresentationTime.Denominator = 1;
    capture.header.FrameExtent = packetBytes;
    capture.header.Data = blocks ? captureBlock_.Data() + std::size_t{packetBytes} * i : nullptr;

    StreamPacket& render = renderPackets_[i];
    render = StreamPacket{};
    render.overlapped.hEvent = renderEvents_[i].Get();
    render.header.Size = sizeof(KSSTREAM_HEADER);
    render.header.PresentationTime.Numerator = 1;
    render.header.PresentationTime.Denominator = 1;
    render.header.FrameExtent = packetBytes;
    render.header.DataUsed = packetBytes;
    render.header.Data = blocks ? renderBlock_.Data() + std::size_t{packetBytes} * i : nullptr;
  }
  if (!blocks || !events) {
    ReleaseStreaming();
    return false;
  }
  return true;
}

bool KsAsioDriver::ReleaseStreaming() {
  if (!CloseRenderPin()) return false;
  if (!CloseCapturePin()) return false;
  for (int i = 0; i < kPacketCount; ++i) {
    captureEvents_[i].Reset();
    renderEvents_[i].Reset();
    capturePackets_[i] = StreamPacket{};
    renderPackets_[i] = StreamPacket{};
  }
  captureBlock_.Reset();
  renderBlock_.Reset();
  return true;
}

DWORD WINAPI KsAsioDriver::StreamThread(void* driver) {
  auto* self = static_cast<KsAsioDriver*>(driver);
  const DWORD code = self->RunStream();
  if (code != kThreadOk) self->NotifyStreamFailure();
  return code;
}

DWORD KsAsioDriver::RunStream() {
  if (FAILED(capturePin_->SetState(KSSTATE_PAUSE))) return kThreadFailed;
  if (FAILED(renderPin_->SetState(KSSTATE_PAUSE))) return kThreadFailed;
  if (!running_.load()) return kThreadOk;

  const MmcssScope mmcss;
  for (int i = 0; i < kPacketCount; ++i) {
    packetIndex_ = i;
    StreamPacket& capture = capturePackets_[i];
    StreamPacket& render = renderPackets_[i];
    std::memset(capture.header.Data, 0, capture.header.FrameExtent);
    capture.header.DataUsed = capture.header.FrameExtent;
    SwitchBuffers();
    // Stopped from inside a priming switch: the device is never run.
    if (!running_.load()) return kThreadOk;
    // Cancellations at the end of an earlier run leave the events set.
    ResetEvent(capture.overlapped.hEvent);
    ResetEvent(render.overlapped.hEvent);
    if (FAILED(capturePin_->ReadData(&capture.header, &capture.overlapped))) return kThreadFailed;
    render.header.OptionsFlags = 0;
    if (FAILED(renderPin_->WriteData(&render.header, &render.overlapped))) return kThreadFailed;
  }

  ks::CKsPin* pins[2] = {capturePin_, renderPin_};
  if (FAILED(ks::RunPinPair(pins))) return kThreadFailed;

  packetIndex_ = 0;
  while (running_.load()) {
    StreamPacket& capture = capturePackets_[packetIndex_];
    StreamPacket& render = renderPackets_[packetIndex_];
    HANDLE events[2] = {capture.overlapped.hEvent, render.overlapped.hEvent};
    if (WaitForMultipleObjects(2, events, TRUE, kStreamWaitMs) != WAIT_OBJECT_0) {
      return kThreadFailed;
    }
    if (!running_.load()) return kThreadOk;
    SwitchBuffers();
    // Stopped from inside the switch: packets queued now would outlive the run.
    if (!running_.load()) return kThreadOk;
    capture.header.DataUsed = 0;
    if (FAILED(capturePin_->ReadData(&capture.header, &capture.overlapped))) return kThreadFailed;
    if (FAILED(renderPin_->WriteData(&render.header, &render.overlapped))) return kThreadFailed;
    packetIndex_ = (packetIndex_ + 1) % kPacketCount;
  }
  return kThreadOk;
}

// The host learns of a thread that ended on its own only through a reset request, and only
// when it says it understands one.
void KsAsioDriver::NotifyStreamFailure() {
  if (!running_.load()) return;
  ASIOCallbacks* callbacks = callbacks_.load();
  if (callbacks == nullptr || callbacks->asioMessage == nullptr) return;
  if (callbacks->asioMessage(kAsioSelectorSupported, kAsioResetRequest, nullptr, nullptr) != 0) {
    callbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
  }
}

void KsAsioDriver::SwitchBuffers() {
  ASIOCallbacks* callbacks = callbacks_.load();
  if (!running_.load() || callbacks == nullptr) return;

  lastSwitchNs_.store(static_cast<double>(timeGetTime()) * 1000000.0);
  ReadInput();
  sampleCounter_.store(sampleCounter_.load() + static_cast<double>(bufferSize_));
  const long half = currentHalf_.load();
  // A host that claims time info but gives no time-info switch gets the plain one.
  if (timeInfoMode_.load() && callbacks->bufferSwitchTimeInfo != nullptr) {
    getSamplePosition(&timeInfo_.timeInfo.samplePosition, &timeInfo_.timeInfo.systemTime);
    callbacks->bufferSwitchTimeInfo(&timeInfo_, half, ASIOTrue);
    std::atomic_ref<unsigned long>(timeInfo_.timeInfo.flags)
        .fetch_and(~static_cast<unsigned long>(kSampleRateChanged | kClockSourceChanged));
  } else if (callbacks->bufferSwitch != nullptr) {
    callbacks->bufferSwitch(half, ASIOTrue);
  }
  WriteOutput();
  currentHalf_.store(1 - half);
}

namespace {

// Copies frames samples of Bytes each between strides; a constant size lets the compiler turn
// every sample copy into plain moves.
template <std::size_t Bytes>
void CopySamples(std::byte* target, std::size_t targetStride, const std::byte* source,
                 std::size_t sourceStride, std::size_t frames) {
  for (std::size_t n = 0; n < frames; ++n) {
    std::memcpy(target + targetStride * n, source + sourceStride * n, Bytes);
  }
}

void CopySamples(long wordSize, std::byte* target, std::size_t targetStride,
                 const std::byte* source, std::size_t sourceStride, std::size_t frames) {
  if (wordSize == 2) {
    CopySamples<2>(target, targetStride, source, sourceStride, frames);
  } else {
    CopySamples<3>(target, targetStride, source, sourceStride, frames);
  }
}

}  // namespace

// Device packets hold interleaved frames (channel 0, channel 1); host halves are packed
// little-endian samples of one channel.
void KsAsioDriver::ReadInput() {
  const auto* packet = static_cast<const std::byte*>(capturePackets_[packetIndex_].header.Data);
  if (packet == nullptr) return;
  const std::size_t frames = static_cast<std::size_t>(bufferSize_);
  const std::size_t sampleBytes = wordSize_ == 2 ? 2 : 3;
  const std::size_t halfOffset = static_cast<std::size_t>(currentHalf_.load()) * frames;
  for (long k = 0; k < activeInputs_; ++k) {
    std::byte* buffer = inputs_[k].buffer.Data();
    if (buffer == nullptr) continue;
    const std::size_t channelOffset =
        sampleBytes * static_cast<std::size_t>(inputs_[k].deviceChannel);
    CopySamples(wordSize_, buffer + sampleBytes * halfOffset, sampleBytes, packet + channelOffset,
                2 * sampleBytes, frames);
  }
}

void KsAsioDriver::WriteOutput() {
  KSSTREAM_HEADER& header = renderPackets_[packetIndex_].header;
  auto* packet = static_cast<std::byte*>(header.Data);
  if (packet == nullptr) return;
  const std::size_t frames = static_cast<std::size_t>(bufferSize_);
  const std::size_t sampleBytes = wordSize_ == 2 ? 2 : 3;
  const std::size_t halfOffset = static_cast<std::size_t>(currentHalf_.load()) * frames;
  for (long k = 0; k < activeOutputs_; ++k) {
    const std::byte* buffer = outputs_[k].buffer.Data();
    if (buffer == nullptr) continue;
    const std::size_t channelOffset =
        sampleBytes * static_cast<std::size_t>(outputs_[k].deviceChannel);
    CopySamples(wordSize_, packet + channelOffset, 2 * sampleBytes,
                buffer + sampleBytes * halfOffset, sampleBytes, frames);
  }
  header.DataUsed = static_cast<ULONG>(wordSize_ * bufferSize_ * 2);
}

}  // namespace tx880::asio
