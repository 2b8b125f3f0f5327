#pragma once
// Inside of the simulated device: everything behind one mutex. The entry points in
// sim_kernel_entries.cpp find the live State and call the member that answers the request.
#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

#include <setupapi.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace tx880::sim {

// A real event that the sim owns stands for every handle it gives out, so the values never
// collide with handles of the process and unknown ones can go to the real CloseHandle.
class IdentityHandle {
 public:
  IdentityHandle();
  ~IdentityHandle();
  IdentityHandle(IdentityHandle&& other) noexcept;
  IdentityHandle& operator=(IdentityHandle&&) = delete;
  IdentityHandle(const IdentityHandle&) = delete;
  IdentityHandle& operator=(const IdentityHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// What an accepted, not yet completed stream request points at.
struct StreamPacket {
  KSSTREAM_HEADER* header = nullptr;
  OVERLAPPED* overlapped = nullptr;
  bool read = false;
  std::uint64_t frames = 0;
};

// The sample layout a pin instance was created with.
struct SampleFormat {
  unsigned channels = 0;
  unsigned blockAlign = 0;
  unsigned containerBytes = 0;
  unsigned validBits = 0;
  ULONG sampleRate = 0;
};

struct PinRecord {
  SimPinInstance instance;
  std::size_t filterIndex = 0;
  SampleFormat format;
  std::deque<StreamPacket> pending;
  std::uint64_t position = 0;       // frames delivered since creation or the last STOP
  std::uint64_t budget = 0;         // frames the clock has granted to the head packet
  std::chrono::steady_clock::time_point runSince;  // real-time clock: when RUN began
  std::uint64_t framesGranted = 0;                  // real-time clock: granted since runSince
};

struct DeviceSet {
  std::vector<std::size_t> filters;  // indexes into State::filters, in enumeration order
};

enum class HandleKind { Set, Filter, Pin };

struct HandleEntry {
  HandleKind kind;
  std::size_t index;  // filter index, pin record index, or set id
  IdentityHandle identity;
};

struct FailureRule {
  RequestKind kind;
  int occurrence;
  DWORD error;
};

// A property request answered as pending: its event is set by the worker thread.
struct DeferredCompletion {
  HANDLE event;
  OVERLAPPED* overlapped;
  ULONG_PTR bytes;
};

constexpr std::size_t kRequestKinds = static_cast<std::size_t>(RequestKind::Enumerate) + 1;

struct SimKsSystem::State {
  mutable std::mutex mutex;
  ks::KsKernel savedTable{};
  std::vector<SimFilterDescription> filters;
  Completion completion = Completion::Synchronous;
  Clock clock = Clock::RealTime;
  bool stalled = false;
  CaptureSignal signal = RampSample;
  std::vector<FailureRule> failures;
  std::array<int, kRequestKinds> requestCounts{};
  std::map<HANDLE, HandleEntry> handles;
  std::map<std::size_t, DeviceSet> sets;
  std::size_t nextSetId = 0;
  std::vector<PinRecord> pins;
  std::vector<std::uint8_t> rendered;

  std::condition_variable wake;
  bool stopping = false;
  std::deque<DeferredCompletion> deferred;
  std::thread worker;

  // Counts the request and answers the injected failure for it, if any (0: none).
  DWORD CountRequest(RequestKind kind);
  HANDLE AddHandle(HandleKind kind, std::size_t index);
  HandleEntry* FindHandle(HANDLE handle);
  // Answers a successful property request synchronously or as pending, per Completion.
  BOOL CompleteProperty(DWORD bytes, LPDWORD bytesReturned, LPOVERLAPPED overlapped);

  // SetupAPI (sim_setupapi.cpp).
  HDEVINFO GetClassDevs(const GUID* category);
  BOOL EnumInterfaces(HDEVINFO set, const GUID* category, DWORD index, PSP_DEVICE_INTERFACE_DATA data);
  BOOL InterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                       PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize, PDWORD requiredSize);
  BOOL InterfaceAlias(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                      PSP_DEVICE_INTERFACE_DATA alias);
  BOOL DestroySet(HDEVINFO set);
  const SimFilterDescription* InterfaceFilter(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data);

  // Files and properties (sim_properties.cpp).
  HANDLE OpenFilter(LPCWSTR path);
  BOOL Ioctl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
             LPDWORD bytesReturned, LPOVERLAPPED overlapped);
  BOOL FilterProperty(std::size_t filterIndex, const KSPROPERTY& property, DWORD inSize, LPVOID in,
                      LPVOID out, DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);
  BOOL PinHandleProperty(PinRecord& pin, const KSPROPERTY& property, LPVOID out, DWORD outSize,
                         LPDWORD bytesReturned, LPOVERLAPPED overlapped);
  BOOL Close(HANDLE handle);

  // Pins and streams (sim_pins.cpp, sim_streams.cpp).
  DWORD CreatePin(HANDLE filter, const KSPIN_CONNECT* connect, PHANDLE pin);
  void SetPinState(PinRecord& pin, KSSTATE state);
  BOOL SubmitPacket(PinRecord& pin, bool read, DWORD outSize, LPVOID out, LPOVERLAPPED overlapped);
  // Grants frames to a running pin and completes the packets they cover.
  void GrantFrames(PinRecord& pin, std::uint64_t frames);
  void CompletePacket(PinRecord& pin, const StreamPacket& packet);
  void CancelPackets(PinRecord& pin);
  void RealTimeTick();

  void WorkerLoop();
};

// The live instance the kernel table entries reach; null when none lives.
SimKsSystem::State* LiveState();

// Points every entry of the table at the simulated device.
void InstallKernelEntries(ks::KsKernel& table);

// Copies of the default interface, medium and range when a description leaves them empty.
SimPin WithDefaults(SimPin pin);

}  // namespace tx880::sim
