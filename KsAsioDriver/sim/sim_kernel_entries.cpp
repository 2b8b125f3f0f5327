// The kernel table entries while a simulated device lives: each one locks the live instance
// and lets it answer. Outside a live instance they fail as a missing device would.
#include "KsAsioDriver/sim/sim_state.h"

namespace tx880::sim {

namespace {

using State = SimKsSystem::State;

template <typename Result, typename Call>
Result WithState(Result failed, Call call) {
  State* state = LiveState();
  if (state == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return failed;
  }
  Result result;
  DWORD error;
  {
    std::lock_guard lock(state->mutex);
    result = call(*state);
    error = GetLastError();
  }
  // Unlocking may touch the thread's last error; the caller reads the answer's.
  SetLastError(error);
  return result;
}

HANDLE WINAPI SimCreateFile(LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  return WithState(INVALID_HANDLE_VALUE, [&](State& state) { return state.OpenFilter(path); });
}

BOOL WINAPI SimDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                               DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
  return WithState(FALSE, [&](State& state) {
    return state.Ioctl(device, code, in, inSize, out, outSize, bytesReturned, overlapped);
  });
}

BOOL WINAPI SimCloseHandle(HANDLE handle) {
  State* state = LiveState();
  if (state != nullptr) {
    std::unique_lock lock(state->mutex);
    if (state->FindHandle(handle) != nullptr) {
      const BOOL closed = state->Close(handle);
      lock.unlock();
      SetLastError(ERROR_SUCCESS);
      return closed;
    }
  }
  return CloseHandle(handle);
}

HDEVINFO WINAPI SimGetClassDevs(const GUID* category, PCWSTR, HWND, DWORD) {
  return WithState(static_cast<HDEVINFO>(INVALID_HANDLE_VALUE),
                   [&](State& state) { return state.GetClassDevs(category); });
}

BOOL WINAPI SimEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* category, DWORD index,
                                    PSP_DEVICE_INTERFACE_DATA data) {
  return WithState(FALSE, [&](State& state) { return state.EnumInterfaces(set, category, index, data); });
}

BOOL WINAPI SimGetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                        PDWORD requiredSize, PSP_DEVINFO_DATA) {
  return WithState(FALSE, [&](State& state) {
    return state.InterfaceDetail(set, data, detail, detailSize, requiredSize);
  });
}

BOOL WINAPI SimGetDeviceInterfaceAlias(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                                       PSP_DEVICE_INTERFACE_DATA alias) {
  return WithState(FALSE, [&](State& state) { return state.InterfaceAlias(set, data, aliasClass, alias); });
}

BOOL WINAPI SimDestroyDeviceInfoList(HDEVINFO set) {
  return WithState(FALSE, [&](State& state) { return state.DestroySet(set); });
}

DWORD WINAPI SimKsCreatePin(HANDLE filter, PKSPIN_CONNECT connect, ACCESS_MASK, PHANDLE pin) {
  State* state = LiveState();
  if (state == nullptr) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(state->mutex);
  return state->CreatePin(filter, connect, pin);
}

}  // namespace

void InstallKernelEntries(ks::KsKernel& table) {
  table.createFile = SimCreateFile;
  table.deviceIoControl = SimDeviceIoControl;
  table.closeHandle = SimCloseHandle;
  table.getClassDevs = SimGetClassDevs;
  table.enumDeviceInterfaces = SimEnumDeviceInterfaces;
  table.getDeviceInterfaceDetail = SimGetDeviceInterfaceDetail;
  table.getDeviceInterfaceAlias = SimGetDeviceInterfaceAlias;
  table.destroyDeviceInfoList = SimDestroyDeviceInfoList;
  table.ksCreatePin = SimKsCreatePin;
}

}  // namespace tx880::sim
