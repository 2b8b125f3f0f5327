#pragma once
#include <windows.h>

#include <memory>

#include "setup/platform/user_interface.h"
#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {

inline constexpr char kSplashWindowClass[] = "TSetupSplash";
inline constexpr char kPreparationWindowClass[] = "TSetupInit";

// Child window identifiers (GetDlgItem).
enum StartupControlId : int {
  kSplashPictureId = 100,
  kLabel1Id = 101,
  kImage1Id = 102,  // the picture for Windows XP and later
  kImage2Id = 103,  // the picture for older systems
  kProgressBarId = 104,
};

inline constexpr SIZE kPreparationClientSize{369, 89};

// The splash and preparation windows as plain Win32 windows. Nothing runs a message loop
// while they are up, so Repaint paints them on demand.
class Win32StartupWindows final : public platform::StartupWindows {
 public:
  // commonControls keeps comctl32 loaded for as long as the progress bar exists.
  Win32StartupWindows(const platform::StartupTexts& texts,
                      std::shared_ptr<const UniqueModule> commonControls);
  ~Win32StartupWindows() override;

  std::optional<platform::Size> LoadSplashBitmap(const std::string& path) override;
  platform::Size PreparationSize() override;
  void ShowSplash(platform::Point at) override;
  void ShowPreparation(platform::Point at) override;
  bool SplashVisible() override;
  void SetProgress(int minimum, int maximum, int position) override;
  void StepProgress() override;
  void Repaint() override;
  platform::WindowHandle PreparationWindow() override;
  void Close() override;

 private:
  void CreateSplash();
  void CreatePreparation(const platform::StartupTexts& texts);

  std::shared_ptr<const UniqueModule> commonControls_;
  // Pictures and font outlive the windows that show them (members go in reverse order).
  UniqueFont font_;
  UniqueBitmap modernImage_;
  UniqueBitmap classicImage_;
  UniqueBitmap splashImage_;
  UniqueWindow splash_;
  UniqueWindow preparation_;
  HWND splashPicture_ = nullptr;
  HWND progressBar_ = nullptr;
};

}  // namespace zev::win32
