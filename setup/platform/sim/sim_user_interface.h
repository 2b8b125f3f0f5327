#pragma once
#include <optional>
#include <string>
#include <vector>

#include "setup/platform/sim/sim_file_system.h"
#include "setup/platform/user_interface.h"

namespace zev::sim {

// What the simulated start-up windows went through, for tests to read.
struct StartupWindowRecord {
  platform::StartupTexts texts;
  std::optional<platform::Size> splashSize;
  std::optional<platform::Point> splashAt;
  std::optional<platform::Point> preparationAt;
  int progressMin = 0;
  int progressMax = 100;
  int progressPosition = 0;
  int repaints = 0;
  bool closed = false;
};

struct MessageRecord {
  std::string caption;
  std::string text;
  platform::WindowHandle owner = 0;
};

// A screen without a display: windows are records, message boxes are answered at once.
class SimUserInterface : public platform::UserInterface {
 public:
  explicit SimUserInterface(SimFileSystem& files) : files_(files) {}

  platform::Size screen{1024, 768};
  // Outer size of the preparation window: its 369 x 89 client area with border and caption.
  platform::Size preparationSize{375, 117};
  static constexpr platform::WindowHandle kPreparationHandle = 0x1001;

  std::vector<StartupWindowRecord> startupWindows;
  std::vector<MessageRecord> messages;

  platform::Size ScreenSize() override { return screen; }
  std::unique_ptr<platform::StartupWindows> CreateStartupWindows(
      const platform::StartupTexts& texts) override;
  void ShowError(const std::string& caption, const std::string& text,
                 platform::WindowHandle owner) override;

 private:
  SimFileSystem& files_;
};

// Width and height of a Windows bitmap file, nothing for anything else.
std::optional<platform::Size> BitmapSize(const std::string& bytes);

}  // namespace zev::sim
