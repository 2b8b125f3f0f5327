#pragma once
// WOW64 functions exist only on 64-bit capable Windows versions and are looked up at run time.

namespace zev::win32 {

// True for a 32-bit process on 64-bit Windows.
bool RunningUnderWow64();

}  // namespace zev::win32
