#include "setup/platform/win32/process_setup.h"

#include <windows.h>

#include <array>

#include "setup/platform/win32/dynamic_function.h"

namespace zev::win32 {

DllSearch PrepareProcess() {
  SetFileApisToANSI();
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  // Windows 8, and Windows 7 and Vista with KB2533623.
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  auto setDefaultDirectories =
      FindFunction<SetDefaultDirectories>(kernel, "SetDefaultDllDirectories");
  if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    return DllSearch::SystemFolderOnly;
  // Windows XP SP1 and later: an empty string takes the current folder out of the search.
  using SetDirectory = BOOL(WINAPI*)(LPCSTR);
  auto setDirectory = FindFunction<SetDirectory>(kernel, "SetDllDirectoryA");
  if (setDirectory && setDirectory("")) return DllSearch::CurrentFolderRemoved;
  return DllSearch::Unchanged;
}

std::string SystemFolder() {
  std::array<char, MAX_PATH + 1> buffer{};
  UINT length = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  std::string folder(buffer.data(), length);
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

UniqueModule LoadSystemLibrary(const char* name) {
  std::string folder = SystemFolder();
  if (folder.empty()) return UniqueModule();
  std::string path = folder + "\\" + name;
  // The altered search path makes the library's own dependencies come from its folder too,
  // not from the program's folder.
  return UniqueModule(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace zev::win32
