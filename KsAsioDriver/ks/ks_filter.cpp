#include "KsAsioDriver/ks/ks_filter.h"

#include <cwchar>
#include <new>

#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/ks/ks_list.h"
#include "KsAsioDriver/ks/ks_pin.h"
#include "KsAsioDriver/ks/ks_trace.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

CKsFilter::CKsFilter(const wchar_t* devicePath, HRESULT& result) {
  TraceScope trace(L"CKsFilter::CKsFilter");
  if (devicePath == nullptr) {
    TraceMessage(kTraceError, L"pszName cannot be NULL");
    result = trace.Return(E_INVALIDARG);
    return;
  }
  std::wcsncpy(m_devicePath, devicePath, MAX_PATH - 1);
  m_devicePath[MAX_PATH - 1] = L'\0';
  result = trace.Return(S_OK);
}

CKsFilter::~CKsFilter() {
  // Pins go first: they belong to the filter's open handle.
  CKsFilter::DestroyLists();
  SafeCloseHandle(m_handle);
}

HRESULT CKsFilter::DestroyLists() {
  TraceScope trace(L"CKsFilter::DestroyLists");
  m_nodes.clear();
  for (auto& list : m_classified) list.clear();
  m_pins.clear();
  return trace.Return(S_OK);
}

HRESULT CKsFilter::Instantiate() {
  TraceScope trace(L"CKsFilter::Instantiate");
  m_handle = Kernel().createFile(m_devicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
  if (!IsValidHandle(m_handle)) {
    m_handle = INVALID_HANDLE_VALUE;
    TraceMessage(kTraceError,
                 L"CKsFilter::Instantiate: CreateFile failed for device %ls.  ErrorCode = 0x%08x",
                 m_devicePath, static_cast<unsigned>(GetLastError()));
    return trace.Return(E_FAIL);
  }
  return trace.Return(S_OK);
}

HRESULT CKsFilter::GetPinPropertySimple(ULONG pinId, ULONG propertyId, void* buffer, DWORD size) {
  TraceScope trace(L"CKsFilter::GetPinPropertySimple");
  KSP_PIN property{};
  property.Property.Set = kPropSetPin;
  property.Property.Id = propertyId;
  property.Property.Flags = kPropertyTypeGet;
  property.PinId = pinId;
  property.Reserved = 0;
  return trace.Return(SyncIoctl(m_handle, &property, sizeof(property), buffer, size, nullptr));
}

HRESULT CKsFilter::GetPinPropertyMulti(ULONG pinId, ULONG propertyId,
                                       std::unique_ptr<std::byte[]>& buffer, DWORD* size) {
  TraceScope trace(L"CKsFilter::GetPinPropertyMulti");
  KSP_PIN property{};
  property.Property.Set = kPropSetPin;
  property.Property.Id = propertyId;
  property.Property.Flags = kPropertyTypeGet;
  property.PinId = pinId;

  DWORD needed = 0;
  HRESULT result = SyncIoctl(m_handle, &property, sizeof(property), nullptr, 0, &needed);
  if (FAILED(result)) return trace.Return(result);
  std::unique_ptr<std::byte[]> reply(new (std::nothrow) std::byte[needed == 0 ? 1 : needed]());
  if (!reply) return trace.Return(E_OUTOFMEMORY);
  result = SyncIoctl(m_handle, &property, sizeof(property), reply.get(), needed, nullptr);
  if (SUCCEEDED(result)) {
    buffer = std::move(reply);
    if (size != nullptr) *size = needed;
  }
  return trace.Return(result);
}

HRESULT CKsFilter::EnumeratePins() {
  TraceScope trace(L"CKsFilter::EnumeratePins");
  ULONG count = 0;
  if (SUCCEEDED(GetPinPropertySimple(0, kPinCTypes, &count, sizeof(count)))) {
    for (ULONG pinId = 0; pinId < count; ++pinId) {
      HRESULT constructed = S_OK;
      std::unique_ptr<CKsPin> pin(new (std::nothrow) CKsPin(this, pinId, constructed));
      if (!pin) {
        TraceMessage(kTraceError, L"Failed to create pin");
      } else if (FAILED(constructed)) {
        TraceMessage(kTraceError, L"Failed to construct pin");
      } else if (!Append(m_pins, std::move(pin))) {
        TraceMessage(kTraceError, L"Failed to add pin to list");
      }
    }
  }
  HRESULT result = ClassifyPins();
  if (NoClassifiedPins(true)) {
    TraceMessage(kTraceError, L"Filter is not viable. It has no pins.");
    result = E_FAIL;
  }
  return trace.Return(result);
}

bool CKsFilter::NoClassifiedPins(bool countOtherPins) const {
  for (PinList list : {PinList::RenderSink, PinList::CaptureSource, PinList::CaptureSink,
                       PinList::RenderSource}) {
    if (!PinsOf(list).empty()) return false;
  }
  return !countOtherPins || PinsOf(PinList::Other).empty();
}

HRESULT CKsFilter::ClassifyPins() {
  TraceScope trace(L"CKsFilter::ClassifyPins");
  for (auto& list : m_classified) list.clear();
  for (const auto& pin : m_pins) {
    const bool in = pin->GetDataFlow() == KSPIN_DATAFLOW_IN;
    const PinList sink = in ? PinList::RenderSink : PinList::CaptureSink;
    const PinList source = in ? PinList::RenderSource : PinList::CaptureSource;
    bool stored = true;
    switch (pin->GetCommunication()) {
      case KSPIN_COMMUNICATION_NONE:
        stored = Append(ClassifiedList(PinList::Other), pin.get());
        break;
      case KSPIN_COMMUNICATION_SINK:
        stored = Append(ClassifiedList(sink), pin.get());
        break;
      case KSPIN_COMMUNICATION_SOURCE:
        stored = Append(ClassifiedList(source), pin.get());
        break;
      case KSPIN_COMMUNICATION_BOTH:
        stored = Append(ClassifiedList(sink), pin.get()) &&
                 Append(ClassifiedList(source), pin.get());
        break;
      default:
        TraceMessage(kTraceInfo, L"Pin communication type not recognized");
        break;
    }
    if (!stored) return trace.Return(E_OUTOFMEMORY);
  }
  return trace.Return(S_OK);
}

HRESULT CKsFilter::EnumerateNodes() {
  TraceScope trace(L"CKsFilter::EnumerateNodes");
  m_nodes.clear();
  std::unique_ptr<std::byte[]> reply;
  DWORD size = 0;
  HRESULT result = GetPropertyMulti(m_handle, reply, &size);
  if (FAILED(result)) {
    TraceMessage(kTraceWarning,
                 L"Failed to get property KSPROPSETID_Topology.KSPROPERTY_TOPOLOGY_NODES");
    return trace.Return(result);
  }
  if (!reply || size < sizeof(KSMULTIPLE_ITEM)) return trace.Return(result);
  const auto* item = reinterpret_cast<const KSMULTIPLE_ITEM*>(reply.get());
  const auto* types = reinterpret_cast<const GUID*>(item + 1);
  // A count beyond the reply is a short list, not a read past the buffer.
  const ULONG fits = (size - sizeof(KSMULTIPLE_ITEM)) / sizeof(GUID);
  for (ULONG index = 0; index < item->Count && index < fits; ++index) {
    if (!Append(m_nodes, CKsNode{index, kNodeTag, types[index]})) result = E_OUTOFMEMORY;
  }
  if (m_nodes.size() != item->Count) {
    m_nodes.clear();
    result = E_FAIL;
  }
  return trace.Return(result);
}

}  // namespace tx880::ks
