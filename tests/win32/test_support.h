#pragma once
// Helpers shared by the Windows test programs. They use Win32 directly, never the code under
// test.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace zev::win32::test {

std::string OwnExecutablePath();
std::string FolderOf(const std::string& path);
// True for a path in the system folder (or, for 32-bit programs on 64-bit Windows, SysWOW64).
bool InSystemFolder(const std::string& path);
bool RunningUnderWine();
// Writes a per-program Wine setting (HKCU\Software\Wine\AppDefaults\<program>[\<key>]).
void SetWineAppDefault(const std::string& program, const std::string& key,
                       const std::string& name, const std::string& value);

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
// A 24-bit uncompressed BMP file filled with one colour.
std::string BitmapFileBytes(int width, int height, COLORREF color, bool topDown = false);

// Figures of the primary display, from its device context.
class ScreenMetrics {
 public:
  ScreenMetrics();
  ~ScreenMetrics();
  ScreenMetrics(const ScreenMetrics&) = delete;
  ScreenMetrics& operator=(const ScreenMetrics&) = delete;

  int Width() const { return GetDeviceCaps(dc_, HORZRES); }
  int Height() const { return GetDeviceCaps(dc_, VERTRES); }
  int VerticalDpi() const { return GetDeviceCaps(dc_, LOGPIXELSY); }

 private:
  HDC dc_;
};

// A fresh folder under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
};

struct ProgramResult {
  DWORD exitCode = 0;
  std::string output;  // standard output and standard error
};

// Runs a program in the given folder and waits for it (at most a minute).
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingFolder);

}  // namespace zev::win32::test
