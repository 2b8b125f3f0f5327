#include "child_modes.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

#include "setup/platform/win32/process_setup.h"
#include "setup/platform/win32/win32_startup_windows.h"
#include "setup/platform/win32/win32_system_info.h"
#include "setup/platform/win32/win32_user_interface.h"

namespace zev::win32::test {
namespace {

int ReportModule(HMODULE module) {
  if (!module) {
    std::printf("error=%lu\n", GetLastError());
    return 2;
  }
  char path[MAX_PATH * 2] = {};
  GetModuleFileNameA(module, path, sizeof(path));
  std::printf("path=%s\nplanted=%d\n", path, GetProcAddress(module, kPlantedExport) ? 1 : 0);
  return 0;
}

const char* SearchName(DllSearch search) {
  switch (search) {
    case DllSearch::SystemFolderOnly: return "system-folder-only";
    case DllSearch::CurrentFolderRemoved: return "current-folder-removed";
    case DllSearch::Unchanged: return "unchanged";
  }
  return "?";
}

void PrintClientPoint(const char* name, HWND window, POINT point) {
  ClientToScreen(window, &point);
  std::printf("%s %ld %ld\n", name, point.x, point.y);
}

// Splash at (10,10), preparation window at (200,200) with the bar half full.
int ShowStartupWindows(const std::string& bitmap, const std::string& stopFile, bool newStyle) {
  Win32UserInterface userInterface;
  auto windows = userInterface.CreateStartupWindows(
      {"Zev start-up windows", "Please wait while the setup prepares the installation.",
       newStyle});
  if (!windows->LoadSplashBitmap(bitmap)) {
    std::printf("error=bitmap\n");
    return 2;
  }
  windows->ShowSplash({10, 10});
  windows->ShowPreparation({200, 200});
  windows->SetProgress(0, 100, 50);
  windows->Repaint();
  auto preparation = reinterpret_cast<HWND>(windows->PreparationWindow());
  std::printf("splash-inside %d %d\n", 10 + 10, 10 + 10);
  PrintClientPoint("image", preparation, {16, 16});
  PrintClientPoint("progress-filled", preparation, {16 + 40, 56 + 8});
  PrintClientPoint("progress-empty", preparation, {16 + 300, 56 + 8});
  std::printf("ready\n");
  std::fflush(stdout);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (GetFileAttributesA(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES &&
         std::chrono::steady_clock::now() < deadline) {
    windows->Repaint();
    Sleep(50);
  }
  windows->Close();
  return 0;
}

}  // namespace

std::optional<int> RunChildMode(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return std::nullopt;
  const std::string& mode = arguments[0];
  if (mode == kPrintVersion) {
    platform::OsVersion version = Win32SystemInfo().Version();
    std::printf("version=%d.%d.%d nt=%d\n", version.major, version.minor, version.build,
                version.ntFamily ? 1 : 0);
    return 0;
  }
  if (mode == kShowStartupWindows && (arguments.size() == 3 || arguments.size() == 4))
    return ShowStartupWindows(arguments[1], arguments[2],
                              arguments.size() == 3 || arguments[3] != "classic");
  if (arguments.size() != 2) return std::nullopt;
  const char* library = arguments[1].c_str();
  if (mode == kLoadByName) return ReportModule(LoadLibraryA(library));
  if (mode == kLoadSystemLibrary) return ReportModule(LoadSystemLibrary(library).Release());
  if (mode == kPrepareAndLoadByName) {
    std::printf("search=%s\n", SearchName(PrepareProcess()));
    return ReportModule(LoadLibraryA(library));
  }
  return std::nullopt;
}

}  // namespace zev::win32::test
