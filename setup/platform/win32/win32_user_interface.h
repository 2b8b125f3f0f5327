#pragma once
#include <memory>

#include "setup/platform/user_interface.h"
#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {

class Win32UserInterface final : public platform::UserInterface {
 public:
  // Loads comctl32 from the system folder for the progress bar.
  Win32UserInterface();

  platform::Size ScreenSize() override;
  std::unique_ptr<platform::StartupWindows> CreateStartupWindows(
      const platform::StartupTexts& texts) override;
  void ShowError(const std::string& caption, const std::string& text,
                 platform::WindowHandle owner) override;

 private:
  std::shared_ptr<const UniqueModule> commonControls_;
};

}  // namespace zev::win32
