#include "setup/platform/win32/win32_user_interface.h"

#include <windows.h>

#include <commctrl.h>

#include "setup/platform/win32/dynamic_function.h"
#include "setup/platform/win32/process_setup.h"
#include "setup/platform/win32/win32_startup_windows.h"

namespace zev::win32 {

Win32UserInterface::Win32UserInterface()
    // comctl32 is not a known DLL: imported at load time it could be taken from the download
    // folder, so it is loaded from the system folder instead.
    : commonControls_(std::make_shared<const UniqueModule>(LoadSystemLibrary("comctl32.dll"))) {
  using InitControls = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto initControls = FindFunction<InitControls>(commonControls_->Get(), "InitCommonControlsEx");
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  if (initControls) initControls(&classes);
}

platform::Size Win32UserInterface::ScreenSize() {
  return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::unique_ptr<platform::StartupWindows> Win32UserInterface::CreateStartupWindows(
    const platform::StartupTexts& texts) {
  return std::make_unique<Win32StartupWindows>(texts, commonControls_);
}

void Win32UserInterface::ShowError(const std::string& caption, const std::string& text,
                                   platform::WindowHandle owner) {
  MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(),
              MB_OK | MB_ICONERROR);
}

}  // namespace zev::win32
