#include "KsAsioDriver/ks/ks_pin.h"

#include <cstddef>
#include <new>

#include "KsAsioDriver/ks/ks_filter.h"
#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/ks/ks_trace.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

namespace {

using KsCreatePinFunction = DWORD(WINAPI*)(HANDLE, PKSPIN_CONNECT, ACCESS_MASK, PHANDLE);

// ksuser.dll is loaded on the first pin creation and stays loaded for the life of the process.
KsCreatePinFunction KsCreatePinEntry() {
  static const KsCreatePinFunction entry = []() -> KsCreatePinFunction {
    HMODULE module = LoadLibraryW(L"ksuser.dll");
    if (module == nullptr) return nullptr;
    FARPROC proc = GetProcAddress(module, "KsCreatePin");
    return reinterpret_cast<KsCreatePinFunction>(reinterpret_cast<void (*)()>(proc));
  }();
  return entry;
}

DWORD CreatePinInstance(HANDLE filter, KSPIN_CONNECT* connect, HANDLE* pin) {
  KsCreatePinFunction create = Kernel().ksCreatePin;
  if (create == nullptr) create = KsCreatePinEntry();
  if (create == nullptr) return ERROR_FILE_NOT_FOUND;
  return create(filter, connect, kPinAccess, pin);
}

HRESULT HResultFromCreatePin(DWORD code) {
  const auto value = static_cast<LONG>(code);
  if (value == 0) return S_OK;
  if (value < 0) return static_cast<HRESULT>(value);
  return static_cast<HRESULT>(0x80070000u | (code & 0xFFFFu));
}

// The array of a KSMULTIPLE_ITEM reply, its count limited to what the reply holds.
template <typename T>
ULONG ItemsIn(const std::byte* reply, DWORD size, const T*& items) {
  items = nullptr;
  if (reply == nullptr || size < sizeof(KSMULTIPLE_ITEM)) return 0;
  const auto* header = reinterpret_cast<const KSMULTIPLE_ITEM*>(reply);
  items = reinterpret_cast<const T*>(header + 1);
  const ULONG fits = (size - sizeof(KSMULTIPLE_ITEM)) / sizeof(T);
  return header->Count < fits ? header->Count : fits;
}

}  // namespace

CKsPin::CKsPin(CKsFilter* filter, ULONG pinId, HRESULT& result)
    : m_pinId(pinId), m_filter(filter) {
  TraceScope trace(L"CKsPin::CKsPin");
  result = trace.Return(Init());
}

CKsPin::~CKsPin() { ClosePin(); }

HRESULT CKsPin::Init() {
  TraceScope trace(L"CKsPin::Init");
  bool anyFailed = false;
  const auto readSimple = [&](ULONG id, void* into, DWORD size, const wchar_t* message) {
    if (FAILED(m_filter->GetPinPropertySimple(m_pinId, id, into, size))) {
      TraceMessage(kTracePinProperty, message, static_cast<int>(m_pinId));
      anyFailed = true;
    }
  };
  const auto readMulti = [&](ULONG id, std::unique_ptr<std::byte[]>& buffer, DWORD& size,
                             const wchar_t* message) {
    buffer.reset();
    size = 0;
    if (FAILED(m_filter->GetPinPropertyMulti(m_pinId, id, buffer, &size))) {
      TraceMessage(kTracePinProperty, message, static_cast<int>(m_pinId));
      anyFailed = true;
    }
  };

  readSimple(kPinCommunication, &m_communication, sizeof(m_communication),
             L"Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION on PinID: %d");

  DWORD size = 0;
  readMulti(kPinInterfaces, m_interfaceBuffer, size,
            L"Failed to retrieve pin property KSPROPETY_PIN_INTERFACES on PinID: %d");
  m_interfaceCount = ItemsIn(m_interfaceBuffer.get(), size, m_interfaces);

  readMulti(kPinMediums, m_mediumBuffer, size,
            L"Failed to retrieve pin property KSPROPERTY_PIN_MEDIUMS on PinID: %d");
  m_mediumCount = ItemsIn(m_mediumBuffer.get(), size, m_mediums);

  readMulti(kPinDataRanges, m_dataRangeBuffer, m_dataRangeBufferSize,
            L"Failed to retrieve pin property KSPROPERTY_PIN_DATARANGES on PinID: %d");
  // Ranges vary in size: the count is the header's, the walk checks each range's bounds.
  const std::byte* first = nullptr;
  ItemsIn(m_dataRangeBuffer.get(), m_dataRangeBufferSize, first);
  m_dataRanges = reinterpret_cast<const KSDATARANGE*>(first);
  m_dataRangeCount =
      m_dataRanges == nullptr
          ? 0
          : reinterpret_cast<const KSMULTIPLE_ITEM*>(m_dataRangeBuffer.get())->Count;

  readSimple(kPinDataFlow, &m_dataFlow, sizeof(m_dataFlow),
             L"Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW on PinID: %d");
  readSimple(kPinCInstances, &m_instances, sizeof(m_instances),
             L"Failed to retrieve pin property KSPROPERTY_PIN_CINSTANCES on PinID: %d");
  readSimple(kPinGlobalCInstances, &m_globalInstances, sizeof(m_globalInstances),
             L"Failed to retrieve pin property KSPROPERTY_PIN_GLOBALCINSTANCES on PinID: %d");
  readSimple(kPinCategory, &m_category, sizeof(m_category),
             L"Failed to retrieve pin property KSPROPERTY_PIN_CATEGORY on PinID: %d");
  // One byte short of the buffer, so the name always stays terminated.
  readSimple(kPinName, m_name, sizeof(m_name) - 1,
             L"Failed to retrieve pin property KSPROPERTY_PIN_NAME on PinID: %d");
  m_name[MAX_PATH - 1] = L'\0';

  return trace.Return(anyFailed ? 1 : 0);
}

HRESULT CKsPin::Instantiate(BOOL looped) {
  TraceScope trace(L"CKsPin::Instantiate");
  if (!m_connect) return trace.Return(S_OK);
  // A second instance would leak the first one's handle.
  ClosePin();

  auto* connect = reinterpret_cast<KSPIN_CONNECT*>(m_connect.get());
  if (m_connectTo != nullptr) connect->PinToHandle = m_connectTo->GetHandle();
  m_looped = looped;
  connect->Interface.Id = looped ? kInterfaceStandardLooped : kInterfaceStandardStreaming;

  HANDLE pin = INVALID_HANDLE_VALUE;
  const HRESULT result =
      HResultFromCreatePin(CreatePinInstance(m_filter->GetHandle(), connect, &pin));
  if (FAILED(result)) {
    TraceMessage(kTraceError, L"Failed to instantiate pin. hr=0x%08x",
                 static_cast<unsigned>(result));
    return trace.Return(result);
  }
  m_handle = pin;
  return trace.Return(result);
}

HRESULT CKsPin::SetState(KSSTATE state) {
  TraceScope trace(L"CKsPin::SetState");
  ULONG value = static_cast<ULONG>(state);
  const HRESULT result = SetPropertySimple(m_handle, value);
  if (SUCCEEDED(result)) {
    m_state = state;
  } else {
    TraceMessage(kTraceError, L"Failed to Set Pin State");
  }
  return trace.Return(result);
}

void CKsPin::ClosePin() {
  TraceScope trace(L"CKsPin::ClosePin");
  if (!IsValidHandle(m_handle)) return;
  SetState(KSSTATE_STOP);
  SafeCloseHandle(m_handle);
}

HRESULT CKsPin::ReadData(KSSTREAM_HEADER* header, OVERLAPPED* overlapped) {
  DWORD bytes = 0;
  if (Kernel().deviceIoControl(m_handle, kIoctlKsReadStream, nullptr, 0, header, header->Size,
                               &bytes, overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    return S_OK;
  }
  TraceMessage(kTraceError, L"DeviceIoControl Failed!  Error=0x%08x",
               static_cast<unsigned>(GetLastError()));
  return E_FAIL;
}

HRESULT CKsPin::WriteData(KSSTREAM_HEADER* header, OVERLAPPED* overlapped) {
  DWORD bytes = 0;
  if (Kernel().deviceIoControl(m_handle, kIoctlKsWriteStream, nullptr, 0, header, header->Size,
                               &bytes, overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    return S_OK;
  }
  TraceMessage(kTraceError, L"CKsPin::WriteData's DeviceIoControl Failed!  Error=0x%#08x",
               static_cast<unsigned>(GetLastError()));
  return E_FAIL;
}

namespace {

// The connection-state request with room for the value behind it.
struct RunRequest {
  KSPROPERTY property;
  ULONG state;
};
static_assert(offsetof(RunRequest, state) == 24);

class PairEvents {
 public:
  PairEvents() = default;
  ~PairEvents() {
    for (HANDLE& event : handles) CKsIrpTarget::SafeCloseHandle(event);
  }
  PairEvents(const PairEvents&) = delete;
  PairEvents& operator=(const PairEvents&) = delete;

  HANDLE handles[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
};

}  // namespace

HRESULT RunPinPair(CKsPin* pins[2]) {
  TraceScope trace(L"RunPinPair");
  std::unique_ptr<OVERLAPPED[]> overlapped(new (std::nothrow) OVERLAPPED[2]());
  std::unique_ptr<PairEvents> events(new (std::nothrow) PairEvents);
  std::unique_ptr<RunRequest> request(new (std::nothrow) RunRequest{});
  if (!overlapped || !events || !request) return trace.Return(E_OUTOFMEMORY);
  request->property.Set = kPropSetConnection;
  request->property.Id = kConnectionState;
  request->property.Flags = kPropertyTypeSet;
  request->state = KSSTATE_RUN;

  for (int i = 0; i < 2; ++i) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) return trace.Return(E_OUTOFMEMORY);
    events->handles[i] = event;
    overlapped[i].hEvent = event;
  }

  ULONG states[2] = {KSSTATE_RUN, KSSTATE_RUN};
  DWORD bytes[2] = {0, 0};
  HANDLE pending[2];
  DWORD pendingCount = 0;
  bool refused = false;
  for (int i = 0; i < 2; ++i) {
    if (Kernel().deviceIoControl(pins[i]->GetHandle(), kIoctlKsProperty, request.get(), 28,
                                 &states[i], sizeof(states[i]), &bytes[i], &overlapped[i])) {
      continue;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      pending[pendingCount++] = events->handles[i];
    } else {
      refused = true;
    }
  }
  // Only requests in flight signal their events: a request refused at once never will, and one
  // that completed at once is done. A refusal makes the result E_FAIL, but only after the other
  // request has finished, since both still point into the records freed on return.
  if (pendingCount > 0) {
    const DWORD wait = WaitForMultipleObjects(pendingCount, pending, TRUE, INFINITE);
    if (wait != WAIT_OBJECT_0) {
      TraceMessage(kTraceError, L"CKsPin::SetState WaitForSingleObject failed dwWait:0x%08x",
                   static_cast<unsigned>(wait));
      return trace.Return(E_FAIL);
    }
  }
  if (refused) return trace.Return(E_FAIL);
  pins[0]->m_state = KSSTATE_RUN;
  pins[1]->m_state = KSSTATE_RUN;
  return trace.Return(S_OK);
}

}  // namespace tx880::ks
