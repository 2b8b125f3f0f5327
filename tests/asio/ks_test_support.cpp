#include "ks_test_support.h"

#include <cstring>

#include "KsAsioDriver/ks/ks_device_path.h"

namespace tx880::ks::test {

namespace {

IoctlSpy* g_spy = nullptr;

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

std::wstring Tx880Path(const std::wstring& instance) {
  return Widen(DevicePathPrefix) + instance + L"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

std::wstring OtherPath(const std::wstring& instance) {
  return L"\\\\?\\usb#vid_1234&pid_5678&mi_00" + instance +
         L"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

sim::SimPin Pin(KSPIN_DATAFLOW flow, KSPIN_COMMUNICATION communication,
                std::vector<sim::SimDataRange> ranges) {
  sim::SimPin pin;
  pin.dataFlow = flow;
  pin.communication = communication;
  pin.ranges = std::move(ranges);
  return pin;
}

sim::SimDataRange PcmRange(ULONG maxChannels, ULONG minBits, ULONG maxBits, ULONG minRate,
                           ULONG maxRate) {
  sim::SimDataRange range;
  range.maximumChannels = maxChannels;
  range.minimumBitsPerSample = minBits;
  range.maximumBitsPerSample = maxBits;
  range.minimumSampleFrequency = minRate;
  range.maximumSampleFrequency = maxRate;
  return range;
}

sim::SimFilterDescription Filter(const std::wstring& path, std::vector<sim::SimPin> pins) {
  sim::SimFilterDescription filter;
  filter.devicePath = path;
  filter.pins = std::move(pins);
  return filter;
}

IoctlSpy::IoctlSpy() : previous_(Kernel().deviceIoControl) {
  g_spy = this;
  Kernel().deviceIoControl = &Record;
}

IoctlSpy::~IoctlSpy() {
  Kernel().deviceIoControl = previous_;
  g_spy = nullptr;
}

BOOL WINAPI IoctlSpy::Record(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                             DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  IoctlCall call{device, code, {}, outSize, {}, overlapped != nullptr};
  if (in != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    call.in.assign(bytes, bytes + inSize);
  }
  if (out != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(out);
    call.outOnEntry.assign(bytes, bytes + outSize);
  }
  g_spy->calls_.push_back(std::move(call));
  return g_spy->previous_(device, code, in, inSize, out, outSize, bytesReturned, overlapped);
}

WAVEFORMATEX PcmFormat(WORD channels, WORD bits, DWORD rate) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.wBitsPerSample = bits;
  format.nSamplesPerSec = rate;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * rate;
  return format;
}

}  // namespace tx880::ks::test
