#pragma once
// Functions that older Windows versions lack are looked up at run time.
#include <windows.h>

namespace zev::win32 {

// The exported function as the given pointer type, or null when the module lacks it.
template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  FARPROC address = GetProcAddress(module, name);
  // Through the generic function pointer type, which GCC accepts without a cast warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace zev::win32
