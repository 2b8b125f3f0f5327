#pragma once
// The driver's one way to the kernel-streaming device: every call that reaches the device goes
// through this table, which holds the real system calls unless a simulated device has been
// plugged in (tests and demos only).
#include <windows.h>

#include <setupapi.h>
#include <ks.h>

namespace tx880::ks {

struct KsKernel {
  HANDLE(WINAPI* createFile)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* deviceIoControl)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                DWORD outSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped);
  // Closes device, pin and event handles alike.
  BOOL(WINAPI* closeHandle)(HANDLE handle);

  HDEVINFO(WINAPI* getClassDevs)(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags);
  BOOL(WINAPI* enumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                     DWORD index, PSP_DEVICE_INTERFACE_DATA interfaceData);
  BOOL(WINAPI* getDeviceInterfaceDetail)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                         PDWORD requiredSize, PSP_DEVINFO_DATA device);
  BOOL(WINAPI* getDeviceInterfaceAlias)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                        const GUID* aliasClass, PSP_DEVICE_INTERFACE_DATA alias);
  BOOL(WINAPI* destroyDeviceInfoList)(HDEVINFO set);

  // Null: resolved from ksuser.dll on first use (see KsCreatePinEntry).
  DWORD(WINAPI* ksCreatePin)(HANDLE filter, PKSPIN_CONNECT connect, ACCESS_MASK access, PHANDLE pin);
};

// The process-wide table; starts with the real calls.
KsKernel& Kernel();

// The table with the real calls, for restoring it.
KsKernel RealKernel();

}  // namespace tx880::ks
