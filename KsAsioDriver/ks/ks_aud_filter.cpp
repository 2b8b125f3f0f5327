#include "KsAsioDriver/ks/ks_aud_filter.h"

#include <new>

#include "KsAsioDriver/ks/ks_aud_pin.h"
#include "KsAsioDriver/ks/ks_list.h"
#include "KsAsioDriver/ks/ks_trace.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

namespace {

std::unique_ptr<CKsPin> NewAudioPin(CKsFilter* filter, ULONG pinId, ULONG dataFlow,
                                    ULONG communication, HRESULT& result) {
  if (communication == KSPIN_COMMUNICATION_SINK && dataFlow == KSPIN_DATAFLOW_IN) {
    return std::unique_ptr<CKsPin>(new (std::nothrow) CKsAudRenPin(filter, pinId, result));
  }
  if (communication == KSPIN_COMMUNICATION_SINK && dataFlow == KSPIN_DATAFLOW_OUT) {
    return std::unique_ptr<CKsPin>(new (std::nothrow) CKsAudCapPin(filter, pinId, result));
  }
  return std::unique_ptr<CKsPin>(new (std::nothrow) CKsAudPin(filter, pinId, result));
}

}  // namespace

HRESULT CKsAudFilter::EnumeratePins() {
  TraceScope trace(L"CKsAudFilter::EnumeratePins");
  ULONG count = 0;
  if (FAILED(GetPinPropertySimple(0, kPinCTypes, &count, sizeof(count)))) {
    TraceMessage(kTraceError, L"Failed to retrieve count of pins in audio filter");
    count = 0;
  }
  bool outOfMemory = false;
  for (ULONG pinId = 0; pinId < count && !outOfMemory; ++pinId) {
    ULONG communication = 0;
    if (FAILED(GetPinPropertySimple(pinId, kPinCommunication, &communication,
                                    sizeof(communication)))) {
      TraceMessage(kTraceError,
                   L"Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION");
      continue;
    }
    if (communication < KSPIN_COMMUNICATION_SINK || communication > KSPIN_COMMUNICATION_BOTH) {
      TraceMessage(kTraceError, L"Pin communication value doesn't make sense");
      continue;
    }
    ULONG dataFlow = 0;
    if (FAILED(GetPinPropertySimple(pinId, kPinDataFlow, &dataFlow, sizeof(dataFlow)))) {
      TraceMessage(kTraceError, L"Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW");
      continue;
    }
    HRESULT constructed = S_OK;
    std::unique_ptr<CKsPin> pin = NewAudioPin(this, pinId, dataFlow, communication, constructed);
    if (!pin) {
      TraceMessage(kTraceError, L"Failed to create audio pin");
      outOfMemory = true;
    } else if (FAILED(constructed)) {
      continue;
    } else if (!Append(m_pins, std::move(pin))) {
      TraceMessage(kTraceError, L"Unable to allocate list entry to save pin in");
      outOfMemory = true;
    }
  }
  if (outOfMemory) {
    TraceMessage(kTraceError, L"Ran out of memory enumerating pins - deleting all pins");
    DestroyLists();
    return trace.Return(E_OUTOFMEMORY);
  }

  ClassifyPins();
  if (NoClassifiedPins(false)) {
    TraceMessage(kTraceError, L"No valid pins found on the filter");
    return trace.Return(E_FAIL);
  }
  return trace.Return(S_OK);
}

CKsAudPin* CKsAudFilter::FindViablePinIn(PinList list, const WAVEFORMATEX* format) const {
  for (CKsPin* pin : PinsOf(list)) {
    auto* audioPin = dynamic_cast<CKsAudPin*>(pin);
    if (audioPin != nullptr && audioPin->IsFormatSupported(format)) return audioPin;
  }
  return nullptr;
}

CKsAudRenFilter::CKsAudRenFilter(const wchar_t* devicePath, HRESULT& result)
    : CKsAudFilter(devicePath, result) {
  m_filterType = kFilterRender;
}

CKsAudPin* CKsAudRenFilter::FindViablePin(const WAVEFORMATEX* format) const {
  return FindViablePinIn(PinList::RenderSink, format);
}

CKsAudPin* CKsAudRenFilter::CreateRenderPin(const WAVEFORMATEX* format) {
  TraceScope trace(L"CKsAudRenFilter::CreateRenderPin");
  if (CKsAudPin* pin = FindViablePin(format); pin == nullptr) {
    TraceMessage(kTraceWarning, L"Could not find a Render pin that supports the given wave format");
  } else if (FAILED(pin->SetFormat(format))) {
    TraceMessage(kTraceError,
                 L"Failed to set Render Pin format - the pin lied about its supported formats");
  } else if (FAILED(pin->Instantiate(FALSE))) {
    TraceMessage(kTraceError, L"Failed to instantiate Render Pin");
  } else {
    TraceMessage(kTraceInfo, L"Successfully instantiated Render Pin.  Handle = 0x%08x",
                 static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(pin->GetHandle())));
    return pin;
  }
  // A pin may take a format it does not advertise: try every render-sink pin.
  for (CKsPin* candidate : PinsOf(PinList::RenderSink)) {
    auto* audioPin = dynamic_cast<CKsAudPin*>(candidate);
    if (audioPin != nullptr && SUCCEEDED(audioPin->SetFormat(format)) &&
        SUCCEEDED(audioPin->Instantiate(FALSE))) {
      return audioPin;
    }
  }
  return nullptr;
}

CKsAudCapFilter::CKsAudCapFilter(const wchar_t* devicePath, HRESULT& result)
    : CKsAudFilter(devicePath, result) {
  m_filterType = kFilterCapture;
}

CKsAudPin* CKsAudCapFilter::FindViablePin(const WAVEFORMATEX* format) const {
  return FindViablePinIn(PinList::CaptureSink, format);
}

CKsAudPin* CKsAudCapFilter::CreateCapturePin(const WAVEFORMATEX* format) {
  TraceScope trace(L"CKsAudCapFilter::CreateCapturePin");
  CKsAudPin* pin = FindViablePin(format);
  if (pin == nullptr) {
    TraceMessage(kTraceError, L"Could not find a Capture pin that supports the given wave format");
    return nullptr;
  }
  if (FAILED(pin->SetFormat(format))) {
    TraceMessage(kTraceError, L"Failed to set Capture Pin format");
    return nullptr;
  }
  if (FAILED(pin->Instantiate(FALSE))) {
    TraceMessage(kTraceError, L"Failed to instantiate Capture Pin");
    return nullptr;
  }
  TraceMessage(kTraceInfo, L"Successfully instantiated Capture Pin.  Handle = 0x%08x",
               static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(pin->GetHandle())));
  return pin;
}

}  // namespace tx880::ks
