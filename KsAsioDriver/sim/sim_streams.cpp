// Stream packets: accepted as pending, completed in order as the clock grants frames to a
// running pin, cancelled when the pin stops or closes.
#include "KsAsioDriver/sim/sim_state.h"

#include <cstring>

namespace tx880::sim {

namespace {

constexpr ULONG_PTR kStatusCancelled = 0xC0000120;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

void Signal(OVERLAPPED* overlapped, ULONG_PTR status, ULONG_PTR bytes) {
  overlapped->Internal = status;
  overlapped->InternalHigh = bytes;
  const auto event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) &
                                              ~static_cast<ULONG_PTR>(1));
  if (event != nullptr) SetEvent(event);
}

// The top validBits of the left-justified value, in the top of a container of the given size,
// little-endian.
void StoreSample(std::uint8_t* target, std::int32_t value, const SampleFormat& format) {
  auto bits = static_cast<std::uint32_t>(value);
  if (format.validBits < 32) bits &= ~((std::uint32_t{1} << (32 - format.validBits)) - 1);
  const unsigned containerBits = format.containerBytes * 8;
  if (containerBits < 32) bits >>= 32 - containerBits;
  for (unsigned i = 0; i < format.containerBytes && i < 4; ++i) target[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (unsigned i = 4; i < format.containerBytes; ++i) target[i] = 0;
}

}  // namespace

BOOL SimKsSystem::State::SubmitPacket(PinRecord& pin, bool read, DWORD outSize, LPVOID out, LPOVERLAPPED overlapped) {
  const SimPin& description = filters[pin.filterIndex].pins[pin.instance.pinId];
  const KSPIN_DATAFLOW flow = read ? KSPIN_DATAFLOW_OUT : KSPIN_DATAFLOW_IN;
  if (description.dataFlow != flow || pin.format.blockAlign == 0) return Fail(ERROR_INVALID_FUNCTION);
  if (out == nullptr || outSize < sizeof(KSSTREAM_HEADER) || overlapped == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  auto* header = static_cast<KSSTREAM_HEADER*>(out);
  if (header->Size < sizeof(KSSTREAM_HEADER) || (!read && header->DataUsed > header->FrameExtent)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const ULONG bytes = read ? header->FrameExtent : header->DataUsed;
  if (bytes != 0 && header->Data == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  overlapped->Internal = STATUS_PENDING;
  overlapped->InternalHigh = 0;
  pin.pending.push_back({header, overlapped, read, bytes / pin.format.blockAlign});
  return Fail(ERROR_IO_PENDING);
}

void SimKsSystem::State::GrantFrames(PinRecord& pin, std::uint64_t frames) {
  if (!pin.instance.open || pin.instance.state != KSSTATE_RUN || stalled) return;
  pin.budget += frames;
  while (!pin.pending.empty() && pin.pending.front().frames <= pin.budget) {
    const StreamPacket packet = pin.pending.front();
    pin.pending.pop_front();
    pin.budget -= packet.frames;
    CompletePacket(pin, packet);
  }
  // Frames that passed with no packet queued are lost, as on a device that underruns.
  if (pin.pending.empty()) pin.budget = 0;
}

void SimKsSystem::State::CompletePacket(PinRecord& pin, const StreamPacket& packet) {
  KSSTREAM_HEADER& header = *packet.header;
  const SampleFormat& format = pin.format;
  const auto bytes = static_cast<ULONG>(packet.frames * format.blockAlign);
  auto* data = static_cast<std::uint8_t*>(header.Data);
  if (packet.read) {
    for (std::uint64_t frame = 0; frame < packet.frames; ++frame) {
      for (unsigned channel = 0; channel < format.channels; ++channel) {
        std::uint8_t* target = data + frame * format.blockAlign + channel * format.containerBytes;
        StoreSample(target, signal(pin.position + frame, channel), format);
      }
    }
    header.DataUsed = bytes;
  } else {
    rendered.insert(rendered.end(), data, data + header.DataUsed);
  }
  pin.position += packet.frames;
  Signal(packet.overlapped, 0, header.Size);
}

void SimKsSystem::State::CancelPackets(PinRecord& pin) {
  for (const StreamPacket& packet : pin.pending) {
    packet.header->DataUsed = 0;
    Signal(packet.overlapped, kStatusCancelled, 0);
  }
  pin.pending.clear();
  pin.budget = 0;
}

void SimKsSystem::State::RealTimeTick() {
  const auto now = std::chrono::steady_clock::now();
  for (PinRecord& pin : pins) {
    if (!pin.instance.open || pin.instance.state != KSSTATE_RUN) continue;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - pin.runSince).count();
    const auto due = static_cast<std::uint64_t>(elapsed) * pin.format.sampleRate / 1'000'000'000u;
    const std::uint64_t frames = due - pin.framesGranted;
    pin.framesGranted = due;
    GrantFrames(pin, frames);
  }
}

}  // namespace tx880::sim
