#pragma once
// Process-wide settings made before the setup loads any library or touches any file.
#include <string>

#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {

enum class DllSearch {
  SystemFolderOnly,      // libraries loaded by name come from the system folder only
  CurrentFolderRemoved,  // older systems: the current folder is no longer searched
  Unchanged,
};

// Makes the file functions take ANSI names and keeps libraries loaded by name from being
// picked up from the download folder or the current folder.
DllSearch PrepareProcess();

// The system folder (System32, or SysWOW64 for 32-bit programs on 64-bit Windows) without a
// trailing backslash; empty when the system does not say.
std::string SystemFolder();

// Loads a library by its full path in the system folder, so a planted copy beside the
// program or in the current folder is never used. Empty when the library cannot be loaded.
UniqueModule LoadSystemLibrary(const char* name);

}  // namespace zev::win32
