#pragma once
// The TX880 ASIO driver object: the IASIO operations a host calls, and the streaming engine that
// moves audio between the device's kernel-streaming pins and the host's double buffers.
#include <windows.h>

#include <ks.h>

#include <atomic>
#include <memory>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/unknown_base.h"
#include "KsAsioDriver/driver/win_resources.h"
#include "KsAsioDriver/ks/ks_aud_filter.h"
#include "KsAsioDriver/ks/ks_aud_pin.h"

namespace tx880::asio {

inline constexpr char kDriverName[] = "TX880 ASIO";
inline constexpr long kDriverVersion = 2;
inline constexpr long kInputChannels = 2;
inline constexpr long kOutputChannels = 2;
inline constexpr long kSupportedSampleRate = 44100;
inline constexpr long kMinBufferSize = 64;
inline constexpr long kMaxBufferSize = 2048;
inline constexpr long kDefaultLatencySetting = 3;
inline constexpr long kDefaultWordSize = 3;
inline constexpr int kPacketCount = 3;
inline constexpr DWORD kStreamWaitMs = 1000;
inline constexpr unsigned long kDefaultTimeInfoFlags =
    kSystemTimeValid | kSamplePositionValid | kSampleRateValid;

inline constexpr char kErrorOpenInput[] = "Failed to open ASIO input device";
inline constexpr char kErrorOpenOutput[] = "Failed to open ASIO output device";
inline constexpr char kErrorInputPin[] = "ASIO driver WDM input device open failed";
inline constexpr char kErrorOutputPin[] = "ASIO driver WDM output device open failed";

// Preferred buffer size of a latency setting, and the latency both directions report with it.
constexpr long BufferSizeOfSetting(long setting) { return 64L << setting; }
constexpr long LatencyOfSetting(long setting, long sampleRate) {
  return (192L << setting) + sampleRate / 800;
}

// The three stored settings, as the settings store hands them to a new driver.
struct DriverSettings {
  long sampleRate = kSupportedSampleRate;
  long wordSize = kDefaultWordSize;  // bytes per sample, 2 or 3
  long latencySetting = kDefaultLatencySetting;
};

// One entry of a packet ring: the stream header and the OVERLAPPED its requests use.
struct StreamPacket {
  KSSTREAM_HEADER header;
  OVERLAPPED overlapped;
};

class KsAsioDriver : public IASIO, public CUnknown {
 public:
  // Loads the stored settings of the host.
  explicit KsAsioDriver(IUnknown* outer);
  // Starts from the given settings instead of the stored ones (tests, tools).
  KsAsioDriver(IUnknown* outer, const DriverSettings& settings);
  ~KsAsioDriver() override;

  // The IUnknown slots of IASIO forward to the owner.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return GetOwner()->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  ASIOBool init(void* sysHandle) override;
  void getDriverName(char* name) override;
  long getDriverVersion() override;
  void getErrorMessage(char* string) override;
  ASIOError start() override;
  ASIOError stop() override;
  ASIOError getChannels(long* numInputChannels, long* numOutputChannels) override;
  ASIOError getLatencies(long* inputLatency, long* outputLatency) override;
  ASIOError getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                          long* granularity) override;
  ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
  ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
  ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
  ASIOError getClockSources(ASIOClockSource* clocks, long* numSources) override;
  ASIOError setClockSource(long reference) override;
  ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) override;
  ASIOError getChannelInfo(ASIOChannelInfo* info) override;
  ASIOError createBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                          ASIOCallbacks* callbacks) override;
  ASIOError disposeBuffers() override;
  ASIOError controlPanel() override;
  ASIOError future(long selector, void* opt) override;
  ASIOError outputReady() override;

  // For tests and diagnostics: waits until the streaming thread has ended (true), or the time
  // has passed (false). True at once without a thread.
  bool WaitForStreamThreadEnd(DWORD timeoutMs) const;

 private:
  friend struct SwitchBenchAccess;  // switch_bench times SwitchBuffers without the thread
  struct HostChannel {
    long deviceChannel = 0;
    AlignedBlock buffer;  // two halves of bufferSize_ samples; empty after an allocation failure
  };

  // Settings store (loaded at construction, saved by setSampleRate).
  void LoadSettings();
  void SaveSettings();

  void ApplySettings(const DriverSettings& settings);
  void SetErrorText(const char* text);
  void FreeHostBuffers();

  // Streaming engine.
  bool PrepareStreaming();
  bool ReleaseStreaming();
  bool OpenCapturePin();
  bool OpenRenderPin();
  bool CloseCapturePin();
  bool CloseRenderPin();
  static DWORD WINAPI StreamThread(void* driver);
  DWORD RunStream();
  void NotifyStreamFailure();
  void SwitchBuffers();
  void ReadInput();
  void WriteOutput();
  bool OnStreamThread() const;
  bool StopPins();
  ASIOError EndStreamThread();
  DWORD PacketBytes() const { return static_cast<DWORD>(bufferSize_ * wordSize_ * 2); }

  std::unique_ptr<ks::CKsAudRenFilter> renderFilter_;
  std::unique_ptr<ks::CKsAudCapFilter> captureFilter_;
  ks::CKsAudPin* renderPin_ = nullptr;   // owned by renderFilter_
  ks::CKsAudPin* capturePin_ = nullptr;  // owned by captureFilter_

  long sampleRate_ = kSupportedSampleRate;
  long wordSize_ = kDefaultWordSize;
  char settingsKey_[260] = {};
  long latencySetting_ = kDefaultLatencySetting;
  long preferredBufferSize_ = BufferSizeOfSetting(kDefaultLatencySetting);
  long bufferSize_ = 0;
  HWND ownerWindow_ = nullptr;
  char errorText_[128] = {};
  bool panelOpen_ = false;

  // Shared with the streaming thread without locks: start sets everything up before the thread
  // runs; the values the thread writes while the host may read are atomic.
  std::atomic<bool> running_{false};
  std::atomic<ASIOCallbacks*> callbacks_{nullptr};
  std::atomic<long> currentHalf_{0};
  std::atomic<double> sampleCounter_{0.0};
  std::atomic<double> lastSwitchNs_{0.0};
  std::atomic<bool> timeInfoMode_{false};
  ASIOTime timeInfo_{};  // flags are changed through std::atomic_ref

  HostChannel inputs_[kInputChannels];
  HostChannel outputs_[kOutputChannels];
  long activeInputs_ = 0;
  long activeOutputs_ = 0;

  StreamPacket capturePackets_[kPacketCount] = {};
  StreamPacket renderPackets_[kPacketCount] = {};
  UniqueHandle captureEvents_[kPacketCount];
  UniqueHandle renderEvents_[kPacketCount];
  AlignedBlock captureBlock_;
  AlignedBlock renderBlock_;
  int packetIndex_ = 0;  // streaming thread only

  UniqueHandle streamThread_;
  std::atomic<DWORD> streamThreadId_{0};
};

}  // namespace tx880::asio
