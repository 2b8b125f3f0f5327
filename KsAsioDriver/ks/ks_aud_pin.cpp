#include "KsAsioDriver/ks/ks_aud_pin.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "KsAsioDriver/ks/ks_list.h"
#include "KsAsioDriver/ks/ks_trace.h"

namespace tx880::ks {

namespace {

constexpr DWORD WaveFormatSize(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM ? sizeof(WAVEFORMATEX)
                                              : sizeof(WAVEFORMATEX) + format.cbSize;
}

// PCM, the wildcard, or any subformat that only carries a wave format tag.
bool IsPcmLikeSubFormat(const GUID& subFormat) {
  if (SameGuid(subFormat, kSubtypePcm) || SameGuid(subFormat, kGuidNull)) return true;
  const GUID tagged = WaveFormatTagGuid(0);
  return std::memcmp(reinterpret_cast<const std::byte*>(&subFormat) + 2,
                     reinterpret_cast<const std::byte*>(&tagged) + 2, sizeof(GUID) - 2) == 0;
}

}  // namespace

CKsAudPin::CKsAudPin(CKsFilter* filter, ULONG pinId, HRESULT& result)
    : CKsPin(filter, pinId, result) {
  TraceScope trace(L"CKsAudPin::CKsAudPin");
  if (FAILED(result)) {
    trace.Return(result);
    return;
  }
  result = BuildConnectBuffer();
  if (SUCCEEDED(result)) result = Init();
  trace.Return(result);
}

CKsAudPin::~CKsAudPin() = default;

HRESULT CKsAudPin::BuildConnectBuffer() {
  const DWORD size = kConnectWaveFormatOffset + sizeof(WAVEFORMATEX);
  m_connect.reset(new (std::nothrow) std::byte[size]());
  if (!m_connect) {
    TraceMessage(kTraceError, L"Failed to allocate m_pksPinCreate");
    return E_OUTOFMEMORY;
  }
  m_connectSize = size;
  auto* connect = reinterpret_cast<KSPIN_CONNECT*>(m_connect.get());
  connect->Interface.Set = kInterfaceSetStandard;
  connect->Interface.Id = kInterfaceStandardStreaming;
  connect->Interface.Flags = 0;
  connect->Medium.Set = kMediumSetStandard;
  connect->Medium.Id = kMediumAnyInstance;
  connect->Medium.Flags = 0;
  connect->PinId = m_pinId;
  connect->PinToHandle = nullptr;
  connect->Priority.PriorityClass = kPriorityNormal;
  connect->Priority.PrioritySubClass = 1;

  m_pksDataFormatWfx = reinterpret_cast<KSDATAFORMAT*>(m_connect.get() + kConnectDataFormatOffset);
  m_pksDataFormatWfx->FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX);
  m_pksDataFormatWfx->Flags = 0;
  m_pksDataFormatWfx->SampleSize = 0;
  m_pksDataFormatWfx->Reserved = 0;
  m_pksDataFormatWfx->MajorFormat = kFormatTypeAudio;
  m_pksDataFormatWfx->SubFormat = kSubtypePcm;
  m_pksDataFormatWfx->Specifier = kSpecifierWaveFormatEx;
  return S_OK;
}

HRESULT CKsAudPin::Init() {
  TraceScope trace(L"CKsAudPin::Init");
  const KSPIN_INTERFACE* interfacesEnd = m_interfaces == nullptr ? nullptr : m_interfaces + m_interfaceCount;
  const bool standardInterface =
      std::find_if(m_interfaces, interfacesEnd, [](const KSPIN_INTERFACE& entry) {
        return SameGuid(entry.Set, kInterfaceSetStandard) &&
               entry.Id == kInterfaceStandardStreaming;
      }) != interfacesEnd;
  if (m_interfaceCount == 0 || !standardInterface) {
    TraceMessage(kTraceError, L"No standard streaming interfaces on the pin");
    return trace.Return(E_FAIL);
  }

  const KSPIN_MEDIUM* mediumsEnd = m_mediums == nullptr ? nullptr : m_mediums + m_mediumCount;
  const bool standardMedium =
      std::find_if(m_mediums, mediumsEnd, [](const KSPIN_MEDIUM& entry) {
        return SameGuid(entry.Set, kMediumSetStandard) && entry.Id == kMediumAnyInstance;
      }) != mediumsEnd;
  if (m_mediumCount == 0 || !standardMedium) {
    TraceMessage(kTraceError, L"No standard streaming mediums on the pin");
    return trace.Return(E_FAIL);
  }

  HRESULT result = S_OK;
  m_audioDataRanges.clear();
  const std::byte* const bufferEnd = m_dataRangeBuffer.get() + m_dataRangeBufferSize;
  const auto* range = reinterpret_cast<const std::byte*>(m_dataRanges);
  for (ULONG index = 0; range != nullptr && index < m_dataRangeCount; ++index) {
    // Each range begins with its own size; one that claims to run past the reply ends the walk.
    if (bufferEnd - range < static_cast<std::ptrdiff_t>(sizeof(KSDATARANGE))) break;
    const auto* header = reinterpret_cast<const KSDATARANGE*>(range);
    if (header->FormatSize < sizeof(KSDATARANGE) ||
        static_cast<std::size_t>(bufferEnd - range) < header->FormatSize) {
      break;
    }
    if (IsPcmLikeSubFormat(header->SubFormat) && SameGuid(header->MajorFormat, kFormatTypeAudio)) {
      // A bare range has no limits: the missing fields stay zero and accept nothing.
      KSDATARANGE_AUDIO copy{};
      std::memcpy(&copy, range, std::min<std::size_t>(header->FormatSize, sizeof(copy)));
      if (!Append(m_audioDataRanges, copy)) {
        TraceMessage(kTraceError, L"Unable to allocate list entry to save datarange in");
        result = E_OUTOFMEMORY;
      }
    }
    range += header->FormatSize;
  }
  if (m_audioDataRanges.empty()) {
    TraceMessage(kTraceError, L"No audio dataranges on the pin");
    return trace.Return(E_FAIL);
  }
  return trace.Return(result);
}

bool CKsAudPin::IsFormatSupported(const WAVEFORMATEX* format) const {
  TraceScope trace(L"CKsAudPin::IsFormatSupported");
  if (format == nullptr) return false;
  GUID subFormat = WaveFormatTagGuid(format->wFormatTag);
  if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    // An extensible tag without the extensible fields is malformed, not a wildcard.
    if (format->cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
    subFormat = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format)->SubFormat;
  }
  for (const KSDATARANGE_AUDIO& range : m_audioDataRanges) {
    const KSDATARANGE& data = range.DataRange;
    if (!SameGuid(data.MajorFormat, kGuidNull) && !SameGuid(data.MajorFormat, kFormatTypeAudio))
      continue;
    if (!SameGuid(data.SubFormat, kGuidNull) && !SameGuid(data.SubFormat, subFormat)) continue;
    if (!SameGuid(data.Specifier, kGuidNull) && !SameGuid(data.Specifier, kSpecifierWaveFormatEx))
      continue;
    if (range.MaximumChannels < format->nChannels) continue;
    if (format->wBitsPerSample < range.MinimumBitsPerSample ||
        format->wBitsPerSample > range.MaximumBitsPerSample)
      continue;
    if (format->nSamplesPerSec < range.MinimumSampleFrequency ||
        format->nSamplesPerSec > range.MaximumSampleFrequency)
      continue;
    return true;
  }
  return false;
}

HRESULT CKsAudPin::SetFormat(const WAVEFORMATEX* format) {
  TraceScope trace(L"CKsAudPin::SetFormat");
  if (format == nullptr || m_pksDataFormatWfx == nullptr) {
    TraceMessage(kTraceError, L"pwfx or m_pksDataFormatWfx are NULL");
    return trace.Return(E_FAIL);
  }
  const DWORD formatSize = WaveFormatSize(*format);
  const DWORD connectSize = kConnectWaveFormatOffset + formatSize;
  if (m_connectSize != connectSize) {
    std::unique_ptr<std::byte[]> grown(new (std::nothrow) std::byte[connectSize]());
    if (!grown) {
      TraceMessage(kTraceError, L"Unable to allocate KSPIN_CONNECT structure");
      return trace.Return(E_OUTOFMEMORY);
    }
    std::memcpy(grown.get(), m_connect.get(), std::min(m_connectSize, connectSize));
    m_connect = std::move(grown);
    m_connectSize = connectSize;
    m_pksDataFormatWfx =
        reinterpret_cast<KSDATAFORMAT*>(m_connect.get() + kConnectDataFormatOffset);
    m_pksDataFormatWfx->FormatSize = sizeof(KSDATAFORMAT) + formatSize;
  }
  std::unique_ptr<std::byte[]> copy(new (std::nothrow) std::byte[formatSize]);
  if (!copy) return trace.Return(E_OUTOFMEMORY);
  std::memcpy(copy.get(), format, formatSize);
  std::memcpy(m_connect.get() + kConnectWaveFormatOffset, format, formatSize);
  m_pksDataFormatWfx->SampleSize = (format->wBitsPerSample * format->nChannels) / 8;
  m_currentFormat = std::move(copy);
  return trace.Return(S_OK);
}

CKsAudRenPin::CKsAudRenPin(CKsFilter* filter, ULONG pinId, HRESULT& result)
    : CKsAudPin(filter, pinId, result) {
  m_pinType = kPinRender;
}

CKsAudCapPin::CKsAudCapPin(CKsFilter* filter, ULONG pinId, HRESULT& result)
    : CKsAudPin(filter, pinId, result) {
  m_pinType = kPinCapture;
}

}  // namespace tx880::ks
