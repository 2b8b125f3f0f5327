// Pin creation: the connect request is checked against what the pin advertises, as the
// device's format intersection would, and an instance with its sample layout is recorded.
#include "KsAsioDriver/sim/sim_state.h"

#include <algorithm>
#include <cstring>

namespace tx880::sim {

namespace {

bool Matches(const GUID& offered, const GUID& requested) {
  return IsEqualGUID(offered, GUID_NULL) || IsEqualGUID(offered, requested);
}

struct WaveLimits {
  const WAVEFORMATEX* wave = nullptr;
  const WAVEFORMATEXTENSIBLE* extensible = nullptr;
};

// The wave format after the KSDATAFORMAT, when FormatSize really holds it.
WaveLimits WaveOf(const KSDATAFORMAT& format) {
  WaveLimits limits;
  if (!IsEqualGUID(format.Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX)) return limits;
  if (format.FormatSize < sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX)) return limits;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(&format + 1);
  const ULONG waveSize = wave->wFormatTag == WAVE_FORMAT_PCM ? sizeof(WAVEFORMATEX)
                                                              : sizeof(WAVEFORMATEX) + wave->cbSize;
  if (format.FormatSize < sizeof(KSDATAFORMAT) + waveSize) return limits;
  if (wave->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    if (wave->cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return limits;
    limits.extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wave);
  }
  limits.wave = wave;
  return limits;
}

bool Fits(const SimDataRange& range, const KSDATAFORMAT& format) {
  if (!Matches(range.majorFormat, format.MajorFormat) || !Matches(range.subFormat, format.SubFormat) ||
      !Matches(range.specifier, format.Specifier)) {
    return false;
  }
  if (!range.audio) return true;
  const WaveLimits limits = WaveOf(format);
  const WAVEFORMATEX* wave = limits.wave;
  if (wave == nullptr) return false;
  if (limits.extensible != nullptr && !IsEqualGUID(limits.extensible->SubFormat, format.SubFormat)) return false;
  const bool layout = wave->nChannels > 0 && wave->wBitsPerSample % 8 == 0 &&
                      wave->nBlockAlign == wave->nChannels * wave->wBitsPerSample / 8;
  return layout && wave->nChannels <= range.maximumChannels &&
         range.minimumBitsPerSample <= wave->wBitsPerSample && wave->wBitsPerSample <= range.maximumBitsPerSample &&
         range.minimumSampleFrequency <= wave->nSamplesPerSec &&
         wave->nSamplesPerSec <= range.maximumSampleFrequency;
}

SampleFormat SampleFormatOf(const KSDATAFORMAT& format) {
  const WaveLimits limits = WaveOf(format);
  if (limits.wave == nullptr) return {};
  const WAVEFORMATEX& wave = *limits.wave;
  SampleFormat sample;
  sample.channels = wave.nChannels;
  sample.blockAlign = wave.nBlockAlign;
  sample.containerBytes = wave.nBlockAlign / wave.nChannels;
  sample.validBits = wave.wBitsPerSample;
  if (limits.extensible != nullptr && limits.extensible->Samples.wValidBitsPerSample != 0) {
    sample.validBits = std::min<unsigned>(limits.extensible->Samples.wValidBitsPerSample, wave.wBitsPerSample);
  }
  sample.sampleRate = wave.nSamplesPerSec;
  return sample;
}

template <typename T>
bool Offers(const std::vector<T>& offered, const T& requested) {
  return std::ranges::any_of(offered, [&](const T& item) {
    return IsEqualGUID(item.Set, requested.Set) && item.Id == requested.Id;
  });
}

}  // namespace

DWORD SimKsSystem::State::CreatePin(HANDLE filter, const KSPIN_CONNECT* connect, PHANDLE pinHandle) {
  if (const DWORD error = CountRequest(RequestKind::CreatePin)) return error;
  const HandleEntry* entry = FindHandle(filter);
  if (entry == nullptr || entry->kind != HandleKind::Filter) return ERROR_INVALID_HANDLE;
  if (connect == nullptr || pinHandle == nullptr) return ERROR_INVALID_PARAMETER;
  const std::size_t filterIndex = entry->index;
  const SimFilterDescription& description = filters[filterIndex];
  if (connect->PinId >= description.pins.size()) return ERROR_NO_MATCH;
  const SimPin& pin = description.pins[connect->PinId];
  if (pin.createError != 0) return pin.createError;
  if (!Offers(pin.interfaces, connect->Interface) || !Offers(pin.mediums, connect->Medium)) return ERROR_NO_MATCH;
  const auto& format = *reinterpret_cast<const KSDATAFORMAT*>(connect + 1);
  if (format.FormatSize < sizeof(KSDATAFORMAT)) return ERROR_NO_MATCH;
  if (!std::ranges::any_of(pin.ranges, [&](const SimDataRange& range) { return Fits(range, format); })) {
    return ERROR_NO_MATCH;
  }
  const auto open = std::ranges::count_if(pins, [&](const PinRecord& record) {
    return record.instance.open && record.filterIndex == filterIndex && record.instance.pinId == connect->PinId;
  });
  // Like a driver whose pin factory has no instance left.
  if (open >= static_cast<std::ptrdiff_t>(pin.instances.PossibleCount)) return ERROR_GEN_FAILURE;

  PinRecord record;
  record.filterIndex = filterIndex;
  record.format = SampleFormatOf(format);
  record.instance.devicePath = description.devicePath;
  record.instance.pinId = connect->PinId;
  record.instance.open = true;
  const auto* raw = reinterpret_cast<const std::uint8_t*>(connect);
  record.instance.connect.assign(raw, raw + sizeof(KSPIN_CONNECT) + format.FormatSize);
  pins.push_back(std::move(record));
  *pinHandle = AddHandle(HandleKind::Pin, pins.size() - 1);
  return ERROR_SUCCESS;
}

void SimKsSystem::State::SetPinState(PinRecord& pin, KSSTATE state) {
  pin.instance.state = state;
  pin.instance.stateHistory.push_back(state);
  if (state == KSSTATE_STOP) {
    // STOP resets the pin: queued packets are cancelled and the position starts again.
    CancelPackets(pin);
    pin.position = 0;
  }
  pin.budget = 0;
  pin.runSince = std::chrono::steady_clock::now();
  pin.framesGranted = 0;
  if (state == KSSTATE_RUN) wake.notify_all();
}

SimPin WithDefaults(SimPin pin) {
  if (pin.interfaces.empty()) {
    pin.interfaces.push_back({KSINTERFACESETID_Standard, KSINTERFACE_STANDARD_STREAMING, 0});
  }
  if (pin.mediums.empty()) pin.mediums.push_back({KSMEDIUMSETID_Standard, KSMEDIUM_TYPE_ANYINSTANCE, 0});
  if (pin.ranges.empty()) pin.ranges.push_back(SimDataRange{});
  return pin;
}

SimFilterDescription SimKsSystem::Tx880(const std::wstring& devicePath) {
  SimDataRange pcm;
  pcm.maximumChannels = 2;
  pcm.minimumBitsPerSample = 16;
  pcm.maximumBitsPerSample = 24;
  pcm.minimumSampleFrequency = 44100;
  pcm.maximumSampleFrequency = 48000;
  SimDataRange analog;
  analog.subFormat = KSDATAFORMAT_SUBTYPE_ANALOG;
  analog.specifier = KSDATAFORMAT_SPECIFIER_NONE;
  analog.audio = false;

  SimFilterDescription filter;
  filter.devicePath = devicePath;
  SimPin render;
  render.dataFlow = KSPIN_DATAFLOW_IN;
  render.communication = KSPIN_COMMUNICATION_SINK;
  render.ranges = {pcm};
  render.name = L"TX880 Playback";
  SimPin speaker;
  speaker.dataFlow = KSPIN_DATAFLOW_OUT;
  speaker.communication = KSPIN_COMMUNICATION_BRIDGE;
  speaker.ranges = {analog};
  speaker.category = KSNODETYPE_SPEAKER;
  speaker.name = L"Speakers";
  SimPin lineIn;
  lineIn.dataFlow = KSPIN_DATAFLOW_IN;
  lineIn.communication = KSPIN_COMMUNICATION_NONE;
  lineIn.ranges = {analog};
  lineIn.category = KSNODETYPE_LINE_CONNECTOR;
  lineIn.name = L"Line In";
  SimPin capture;
  capture.dataFlow = KSPIN_DATAFLOW_OUT;
  capture.communication = KSPIN_COMMUNICATION_SINK;
  capture.ranges = {pcm};
  capture.name = L"TX880 Recording";
  filter.pins = {render, speaker, lineIn, capture};
  for (auto& pin : filter.pins) pin = WithDefaults(std::move(pin));
  filter.nodes = {KSNODETYPE_DAC, KSNODETYPE_VOLUME, KSNODETYPE_ADC};
  return filter;
}

}  // namespace tx880::sim
