#include "KsAsioDriver/ks/ks_irp_target.h"

#include <new>

#include "KsAsioDriver/ks/ks_kernel.h"
#include "KsAsioDriver/ks/ks_trace.h"
#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

BOOL CKsIrpTarget::SafeCloseHandle(HANDLE& handle) {
  if (!IsValidHandle(handle)) return TRUE;
  const BOOL closed = Kernel().closeHandle(handle);
  handle = INVALID_HANDLE_VALUE;
  return closed;
}

namespace {

// An event that goes back through the kernel table when the request is done.
class RequestEvent {
 public:
  RequestEvent() : handle_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (handle_ == nullptr) handle_ = INVALID_HANDLE_VALUE;
  }
  ~RequestEvent() { CKsIrpTarget::SafeCloseHandle(handle_); }
  RequestEvent(const RequestEvent&) = delete;
  RequestEvent& operator=(const RequestEvent&) = delete;

  bool Valid() const { return CKsIrpTarget::IsValidHandle(handle_); }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

HRESULT CKsIrpTarget::SyncIoctl(HANDLE handle, void* in, DWORD inSize, void* out, DWORD outSize,
                                DWORD* bytesReturned) {
  TraceScope trace(L"CKsIrpTarget::SyncIoctl");
  if (!IsValidHandle(handle)) {
    TraceMessage(kTraceError, L"CKsIrpTarget::SyncIoctl Invalid Handle");
    return trace.Return(E_FAIL);
  }
  DWORD localBytes = 0;
  if (bytesReturned == nullptr) bytesReturned = &localBytes;

  RequestEvent event;
  if (!event.Valid()) {
    TraceMessage(kTraceError, L"CKsIrpTarget::SyncIoctl CreateEvent failed");
    return trace.Return(E_OUTOFMEMORY);
  }
  OVERLAPPED overlapped{};
  // The low bit keeps the completion out of any completion port the handle is bound to.
  overlapped.hEvent =
      reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event.Get()) | ULONG_PTR{1});

  if (Kernel().deviceIoControl(handle, kIoctlKsProperty, in, inSize, out, outSize, bytesReturned,
                               &overlapped)) {
    return trace.Return(S_OK);
  }
  HRESULT result = E_FAIL;
  const DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    const DWORD wait = WaitForSingleObject(event.Get(), INFINITE);
    if (wait == WAIT_OBJECT_0) {
      result = S_OK;
    } else {
      TraceMessage(kTraceError, L"CKsIrpTarget::SyncIoctl WaitForSingleObject failed dwWait:0x%08x",
                   static_cast<unsigned>(wait));
    }
    *bytesReturned = 0;
  } else if ((error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA) && outSize == 0) {
    // The size query: bytesReturned holds the size the kernel needs.
    result = S_OK;
  } else {
    *bytesReturned = 0;
  }
  return trace.Return(result);
}

HRESULT CKsIrpTarget::GetPropertyMulti(HANDLE handle, std::unique_ptr<std::byte[]>& buffer,
                                       DWORD* size) {
  TraceScope trace(L"CKsIrpTarget::GetPropertyMulti");
  KSPROPERTY property{};
  property.Set = kPropSetTopology;
  property.Id = kTopologyNodes;
  property.Flags = kPropertyTypeGet;

  DWORD needed = 0;
  HRESULT result = SyncIoctl(handle, &property, sizeof(property), nullptr, 0, &needed);
  if (FAILED(result) || needed == 0) return trace.Return(result);

  std::unique_ptr<std::byte[]> reply(new (std::nothrow) std::byte[needed]());
  if (!reply) return trace.Return(E_OUTOFMEMORY);
  result = SyncIoctl(handle, &property, sizeof(property), reply.get(), needed, nullptr);
  if (SUCCEEDED(result)) {
    buffer = std::move(reply);
    if (size != nullptr) *size = needed;
  }
  return trace.Return(result);
}

HRESULT CKsIrpTarget::SetPropertySimple(HANDLE handle, ULONG& value) {
  TraceScope trace(L"CKsIrpTarget::SetPropertySimple");
  std::unique_ptr<KSPROPERTY> property(new (std::nothrow) KSPROPERTY{});
  if (!property) return trace.Return(E_OUTOFMEMORY);
  property->Set = kPropSetConnection;
  property->Id = kConnectionState;
  property->Flags = kPropertyTypeSet;
  return trace.Return(
      SyncIoctl(handle, property.get(), sizeof(KSPROPERTY), &value, sizeof(value), nullptr));
}

}  // namespace tx880::ks
