#pragma once
#include "setup/platform/platform.h"
#include "setup/startup/engine_messages.h"
#include "setup/startup/script_host.h"
#include "setup/startup/setup_log.h"
#include "setup/startup/startup_state.h"

namespace zev {

// Exit codes of the setup program that start-up decides.
enum ExitCodes : int {
  kExitNormal = 0,
  kExitRuntimeError = 11,
  kExitNoScript = 13,
  kExitNoResource = 14,
  kExitResourceDamaged = 15,
  kExitNoDatabase = 16,
};

// Where the preparation window goes when a splash bitmap is shown: below and right of the
// splash's centre, kept clear of the screen's bottom and right edges.
platform::Point PlacePreparationWindow(platform::Size screen, platform::Point splash,
                                       platform::Size splashSize, platform::Size preparation);
platform::Point CentreOnScreen(platform::Size screen, platform::Size window);

// The setup program from its first step to its exit code: command line, log, start-up windows,
// payload, support folder, dialogs, the script run and the clean-up.
class Startup {
 public:
  Startup(platform::Platform& platform, ScriptHost& script);

  // Returns the process exit code.
  int Run();

  const StartupState& State() const { return state_; }
  SetupLog& Log() { return log_; }
  EngineMessages& Messages() { return messages_; }

 private:
  struct EndAtOnce {
    int exitCode;
  };

  void Prepare();
  void LoadLanguagePayload();
  void ShowStartupWindows();
  void Guarded();
  void CopyScript();
  void PrepareSupportFolder();
  void PreloadDialogs();
  void CloseStartupWindows();
  void CleanUp();
  // Reports a start-up failure with its message and ends the run at once with the code.
  [[noreturn]] void Fail(Msg message, int exitCode);
  void ShowError(const std::string& text, platform::WindowHandle owner);
  platform::WindowHandle Owner();

  platform::Platform& platform_;
  ScriptHost& script_;
  EngineMessages messages_;
  SetupLog log_;
  StartupState state_;
  std::unique_ptr<platform::StartupWindows> windows_;
};

}  // namespace zev
