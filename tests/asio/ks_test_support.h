#pragma once
// Shared pieces of the kernel-streaming layer tests: device paths, pin descriptions and a spy
// on the kernel table's DeviceIoControl.
#include <windows.h>

#include <ks.h>
#include <ksmedia.h>
#include <mmreg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/sim/sim_ks_device.h"

namespace tx880::ks::test {

// A device path of the TX880 (the build's prefix) with the given instance suffix.
std::wstring Tx880Path(const std::wstring& instance = L"#7&1a2b3c4d&0&0000");
// A device path of some other USB audio device.
std::wstring OtherPath(const std::wstring& instance = L"#7&99&0&0000");

sim::SimPin Pin(KSPIN_DATAFLOW flow, KSPIN_COMMUNICATION communication,
                std::vector<sim::SimDataRange> ranges = {});
sim::SimDataRange PcmRange(ULONG maxChannels, ULONG minBits, ULONG maxBits, ULONG minRate,
                           ULONG maxRate);
sim::SimFilterDescription Filter(const std::wstring& path, std::vector<sim::SimPin> pins);

// What one DeviceIoControl call carried.
struct IoctlCall {
  HANDLE device;
  DWORD code;
  std::vector<std::uint8_t> in;
  DWORD outSize;
  std::vector<std::uint8_t> outOnEntry;
  bool overlapped;
};

// Records every DeviceIoControl that reaches the kernel table and passes it on. Install it
// after the simulated device and remove it before.
class IoctlSpy {
 public:
  IoctlSpy();
  ~IoctlSpy();
  IoctlSpy(const IoctlSpy&) = delete;
  IoctlSpy& operator=(const IoctlSpy&) = delete;

  const std::vector<IoctlCall>& Calls() const { return calls_; }

 private:
  static BOOL WINAPI Record(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);

  decltype(KsKernel::deviceIoControl) previous_;
  std::vector<IoctlCall> calls_;
};

WAVEFORMATEX PcmFormat(WORD channels, WORD bits, DWORD rate);

}  // namespace tx880::ks::test
