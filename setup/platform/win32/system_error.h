#pragma once
#include <windows.h>

#include <string>

namespace zev::win32 {

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

}  // namespace zev::win32
