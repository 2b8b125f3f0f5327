#pragma once
// Anything that owns a kernel-streaming handle: synchronous property requests and the handle's
// bookkeeping.
#include <windows.h>

#include <cstddef>
#include <memory>

namespace tx880::ks {

class CKsIrpTarget {
 public:
  explicit CKsIrpTarget(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
  CKsIrpTarget(const CKsIrpTarget&) = delete;
  CKsIrpTarget& operator=(const CKsIrpTarget&) = delete;

  static bool IsValidHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
  }
  HANDLE GetHandle() const { return m_handle; }

  // Closes a valid handle through the kernel table and marks it closed; TRUE when there was
  // nothing to close.
  static BOOL SafeCloseHandle(HANDLE& handle);

  // One IOCTL_KS_PROPERTY request, waited for. bytesReturned may be null.
  static HRESULT SyncIoctl(HANDLE handle, void* in, DWORD inSize, void* out, DWORD outSize,
                           DWORD* bytesReturned);

  // Reads the topology node list into a new buffer (null when the kernel reports 0 bytes);
  // size receives the buffer's length when not null.
  static HRESULT GetPropertyMulti(HANDLE handle, std::unique_ptr<std::byte[]>& buffer,
                                  DWORD* size = nullptr);

  // Sets the connection state (4 bytes).
  static HRESULT SetPropertySimple(HANDLE handle, ULONG& value);

 protected:
  ~CKsIrpTarget() = default;

  HANDLE m_handle;
};

}  // namespace tx880::ks
