#include "setup/platform/win32/wow64.h"

#include <windows.h>

#include "setup/platform/win32/dynamic_function.h"

namespace zev::win32 {

bool RunningUnderWow64() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = FindFunction<IsWow64ProcessFunction>(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace zev::win32
