#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zev::platform {

// A window handle as a number; 0 means no window.
using WindowHandle = std::uintptr_t;

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

struct Point {
  int left = 0;
  int top = 0;
  bool operator==(const Point&) const = default;
};

// The splash window (a bitmap without border) and the preparation window (caption, text, an
// image and a progress bar) shown while the setup prepares itself. Both start hidden.
class StartupWindows {
 public:
  virtual ~StartupWindows() = default;

  // Loads the bitmap into the splash window and sizes the window to it; nothing when the file
  // cannot be read as a bitmap.
  virtual std::optional<Size> LoadSplashBitmap(const std::string& path) = 0;
  // Outer size of the preparation window.
  virtual Size PreparationSize() = 0;
  virtual void ShowSplash(Point at) = 0;
  virtual void ShowPreparation(Point at) = 0;
  virtual bool SplashVisible() = 0;
  virtual void SetProgress(int minimum, int maximum, int position) = 0;
  virtual void StepProgress() = 0;
  // Paints the preparation window, and the splash window when it is visible.
  virtual void Repaint() = 0;
  virtual WindowHandle PreparationWindow() = 0;
  // Hides and frees both windows.
  virtual void Close() = 0;
};

struct StartupTexts {
  std::string caption;      // preparation window caption
  std::string message;      // preparation window text
  bool newStyleImage = true;  // the image for Windows XP and later
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Primary display in pixels.
  virtual Size ScreenSize() = 0;
  virtual std::unique_ptr<StartupWindows> CreateStartupWindows(const StartupTexts& texts) = 0;
  // A modal message box with an error icon and an OK button.
  virtual void ShowError(const std::string& caption, const std::string& text,
                         WindowHandle owner) = 0;
};

}  // namespace zev::platform
