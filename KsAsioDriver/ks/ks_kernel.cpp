#include "KsAsioDriver/ks/ks_kernel.h"

namespace tx880::ks {

KsKernel RealKernel() {
  KsKernel kernel{};
  kernel.createFile = &CreateFileW;
  kernel.deviceIoControl = &DeviceIoControl;
  kernel.closeHandle = &CloseHandle;
  kernel.getClassDevs = &SetupDiGetClassDevsW;
  kernel.enumDeviceInterfaces = &SetupDiEnumDeviceInterfaces;
  kernel.getDeviceInterfaceDetail = &SetupDiGetDeviceInterfaceDetailW;
  kernel.getDeviceInterfaceAlias = &SetupDiGetDeviceInterfaceAlias;
  kernel.destroyDeviceInfoList = &SetupDiDestroyDeviceInfoList;
  // ksuser.dll is loaded only when a pin is first created (see the pin's Instantiate).
  kernel.ksCreatePin = nullptr;
  return kernel;
}

KsKernel& Kernel() {
  static KsKernel kernel = RealKernel();
  return kernel;
}

}  // namespace tx880::ks
