#pragma once
// A simulated TX880 (and any other kernel-streaming audio device) behind the driver's kernel
// table: device interfaces with their aliases, filters with pins and their properties, pin
// instances with states, and stream packets completed on a clock. Tests and demos only.
#include <windows.h>

#include <mmsystem.h>
#include <mmreg.h>
#include <winioctl.h>

#include <ks.h>
#include <ksmedia.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tx880::sim {

// KSPROPSETID_Topology as Windows defines it: the symbol in mingw-w64's libksguid carries
// another value ({45FFAAA1-6E1B-11D0-BCF2-444553540000}), so the sim and its tests use this one.
inline constexpr GUID kTopologyPropertySet{
    0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};

// One data range a pin offers.
struct SimDataRange {
  GUID majorFormat = KSDATAFORMAT_TYPE_AUDIO;
  GUID subFormat = KSDATAFORMAT_SUBTYPE_PCM;
  GUID specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
  // true: a KSDATARANGE_AUDIO with the limits below; false: a bare KSDATARANGE.
  bool audio = true;
  ULONG maximumChannels = 2;
  ULONG minimumBitsPerSample = 16;
  ULONG maximumBitsPerSample = 24;
  ULONG minimumSampleFrequency = 44100;
  ULONG maximumSampleFrequency = 96000;
};

// How the device answers property requests.
enum class Completion {
  Synchronous,  // DeviceIoControl returns TRUE
  Pending,      // ERROR_IO_PENDING, the event set from another thread shortly after
};

struct SimPin {
  KSPIN_DATAFLOW dataFlow = KSPIN_DATAFLOW_IN;
  KSPIN_COMMUNICATION communication = KSPIN_COMMUNICATION_SINK;
  std::vector<KSPIN_INTERFACE> interfaces;  // default: one standard streaming interface
  std::vector<KSPIN_MEDIUM> mediums;        // default: one standard medium
  std::vector<SimDataRange> ranges;         // default: one PCM range
  GUID category = GUID_NULL;
  std::wstring name = L"Pin";
  KSPIN_CINSTANCES instances{1, 0};
  KSPIN_CINSTANCES globalInstances{1, 0};
  // Pin property ids (KSPROPERTY_PIN_...) whose reads fail.
  std::vector<ULONG> unreadable;
  // KsCreatePin answers this Win32 code instead of creating the pin (0: it succeeds).
  DWORD createError = 0;
};

enum class AliasState { Present, Missing, Inactive, Removed };

struct SimFilterDescription {
  // The symbolic link of the device interface ("\\?\usb#vid_...").
  std::wstring devicePath;
  // The interface is registered in KSCATEGORY_AUDIO; the aliases in the capture and render
  // categories are as stated.
  AliasState captureAlias = AliasState::Present;
  AliasState renderAlias = AliasState::Present;
  std::vector<SimPin> pins;
  std::vector<GUID> nodes;  // topology node types
  // CreateFileW of the path fails with this code (0: it opens).
  DWORD openError = 0;
};

// What a request of the driver is, for failure injection and the request log.
enum class RequestKind {
  Open,             // CreateFileW of a device path
  PinProperty,      // IOCTL_KS_PROPERTY, KSPROPSETID_Pin
  TopologyProperty, // IOCTL_KS_PROPERTY, KSPROPSETID_Topology
  ConnectionState,  // IOCTL_KS_PROPERTY, KSPROPSETID_Connection (set state)
  CreatePin,        // KsCreatePin
  ReadStream,       // IOCTL_KS_READ_STREAM
  WriteStream,      // IOCTL_KS_WRITE_STREAM
  Enumerate,        // SetupDiGetClassDevsW (a failure gives INVALID_HANDLE_VALUE)
};

// The stream clock: packets complete at the sample rate, or only when the test advances it.
enum class Clock { RealTime, Manual };

// The capture signal: sample value of a channel at a frame position, as a signed 32-bit value
// left-justified (the device delivers its top 16 or 24 bits).
using CaptureSignal = std::function<std::int32_t(std::uint64_t frame, unsigned channel)>;

// The default capture signal, a ramp that differs per channel in every delivered byte:
// top 16 bits (frame * 2 + channel), next 8 bits 0x5A on channel 0 and 0xA5 on the others.
// Frames count from 0 at each pin instance's creation and again after every STOP.
std::int32_t RampSample(std::uint64_t frame, unsigned channel);

// One pin instance as the device sees it.
struct SimPinInstance {
  std::wstring devicePath;
  ULONG pinId = 0;
  KSSTATE state = KSSTATE_STOP;
  std::vector<KSSTATE> stateHistory;
  std::vector<std::uint8_t> connect;  // the KSPIN_CONNECT and data format it was created with
  bool open = false;
};

// Plugs itself into the kernel table while it lives and puts the real calls back afterwards.
// One at a time per process (a second one throws std::logic_error).
//
// Stream packets complete, in submission order per pin, only while their pin is in
// KSSTATE_RUN. Setting a pin to KSSTATE_STOP or closing its handle cancels its pending
// packets as Windows does: DataUsed 0, Internal STATUS_CANCELLED, event set (stalled packets
// too). Request failures (injected or refused) are answered at once, never as pending.
class SimKsSystem {
 public:
  SimKsSystem();
  ~SimKsSystem();
  SimKsSystem(const SimKsSystem&) = delete;
  SimKsSystem& operator=(const SimKsSystem&) = delete;

  // Devices in SetupAPI enumeration order.
  void AddFilter(SimFilterDescription filter);
  // The TX880 as it ships: one filter with a render sink pin and a capture source pin of
  // 2 channels, 16 and 24 bits, 44100 and 48000 Hz, plus bridge pins; its path is the given one.
  static SimFilterDescription Tx880(const std::wstring& devicePath);

  void SetCompletion(Completion completion);
  // The occurrence-th request of the kind (counting from 1, 0 = every one) fails with the code.
  // Occurrences count over the sim's life, as RequestCount does: RequestCount(kind) + 1 is the
  // next request. Error 0 removes the failures set for the kind.
  void FailRequest(RequestKind kind, int occurrence, DWORD error);
  // Stream packets are accepted but never completed from now on.
  void StallStreams(bool stalled);

  void SetClock(Clock clock);
  // Manual clock: completes the pending packets that the frames cover, in order, on every
  // running pin. Frames left over carry to the next packet; with no packet pending they are lost.
  void AdvanceFrames(std::uint64_t frames);
  void SetCaptureSignal(CaptureSignal signal);

  // Observations.
  std::vector<SimPinInstance> PinInstances() const;
  // Everything written to render pins, as the bytes of the packets in completion order.
  std::vector<std::uint8_t> RenderedBytes() const;
  int OpenHandles() const;
  int RequestCount(RequestKind kind) const;

  // The device's inside (sim_state.h); public only so the kernel table entries can reach it.
  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace tx880::sim
