#include "setup/platform/win32/win32_machine_info.h"

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <vector>

#include "setup/platform/win32/dynamic_function.h"
#include "setup/platform/win32/process_setup.h"
#include "setup/platform/win32/wow64.h"

namespace zev::win32 {

namespace {

struct ItemListDeleter {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

struct SidDeleter {
  void operator()(void* sid) const { FreeSid(sid); }
};

using RevertRedirection = BOOL(WINAPI*)(PVOID);

class Win32RedirectionPause final : public platform::FsRedirectionPause {
 public:
  Win32RedirectionPause(RevertRedirection revert, PVOID saved) : revert_(revert), saved_(saved) {}
  ~Win32RedirectionPause() override { revert_(saved_); }
  Win32RedirectionPause(const Win32RedirectionPause&) = delete;
  Win32RedirectionPause& operator=(const Win32RedirectionPause&) = delete;

 private:
  RevertRedirection revert_;
  PVOID saved_;
};

HMODULE Kernel32() { return GetModuleHandleA("kernel32.dll"); }

std::string WithoutTrailingBackslash(std::string folder) {
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

}  // namespace

std::string Win32MachineInfo::SpecialFolder(int csidl) {
  ITEMIDLIST* raw = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)) || !raw) return {};
  std::unique_ptr<ITEMIDLIST, ItemListDeleter> list(raw);
  std::array<char, MAX_PATH> path{};
  if (!SHGetPathFromIDListA(list.get(), path.data())) return {};
  return WithoutTrailingBackslash(path.data());
}

std::string Win32MachineInfo::WindowsFolder() {
  std::array<char, MAX_PATH> path{};
  UINT length = GetWindowsDirectoryA(path.data(), path.size());
  if (length == 0 || length >= path.size()) return {};
  return WithoutTrailingBackslash(std::string(path.data(), length));
}

std::string Win32MachineInfo::SystemFolder() { return win32::SystemFolder(); }

std::string Win32MachineInfo::Wow64SystemFolder() {
  using GetFolder = UINT(WINAPI*)(LPSTR, UINT);
  auto getFolder = FindFunction<GetFolder>(Kernel32(), "GetSystemWow64DirectoryA");
  if (!getFolder) return {};
  std::array<char, MAX_PATH> path{};
  UINT length = getFolder(path.data(), path.size());
  // 32-bit Windows answers 0 (ERROR_CALL_NOT_IMPLEMENTED).
  if (length == 0 || length >= path.size()) return {};
  return WithoutTrailingBackslash(std::string(path.data(), length));
}

bool Win32MachineInfo::IsAdministrator() {
  // Windows 9x has no groups; its advapi32 lacks the functions below.
  if (GetVersion() & 0x80000000u) return false;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID raw = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &raw)) {
    return false;
  }
  std::unique_ptr<void, SidDeleter> administrators(raw);
  using CheckMembership = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
  auto check = FindFunction<CheckMembership>(GetModuleHandleA("advapi32.dll"), "CheckTokenMembership");
  BOOL member = FALSE;
  return check && check(nullptr, administrators.get(), &member) && member;
}

std::string Win32MachineInfo::UserName() {
  std::vector<char> name(257);  // UNLEN + 1
  DWORD length = static_cast<DWORD>(name.size());
  if (!GetUserNameA(name.data(), &length)) return {};
  return name.data();
}

bool Win32MachineInfo::IsWow64() { return RunningUnderWow64(); }

std::unique_ptr<platform::FsRedirectionPause> Win32MachineInfo::PauseFsRedirection() {
  using DisableRedirection = BOOL(WINAPI*)(PVOID*);
  auto disable = FindFunction<DisableRedirection>(Kernel32(), "Wow64DisableWow64FsRedirection");
  auto revert = FindFunction<RevertRedirection>(Kernel32(), "Wow64RevertWow64FsRedirection");
  PVOID saved = nullptr;
  if (!disable || !revert || !disable(&saved)) return nullptr;
  return std::make_unique<Win32RedirectionPause>(revert, saved);
}

}  // namespace zev::win32
