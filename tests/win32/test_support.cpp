#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "setup/platform/win32/unique_handles.h"

namespace zev::win32::test {
namespace {

std::string DirectoryFrom(UINT(WINAPI* query)(LPSTR, UINT)) {
  char buffer[MAX_PATH + 1] = {};
  UINT length = query(buffer, sizeof(buffer));
  return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

bool SameFolder(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1,
                                                    b.c_str(), -1) == CSTR_EQUAL;
}

std::string QuotedCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  return commandLine;
}

}  // namespace

std::string OwnExecutablePath() {
  char buffer[MAX_PATH * 4] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  return std::string(buffer, length);
}

std::string FolderOf(const std::string& path) {
  std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool InSystemFolder(const std::string& path) {
  std::string folder = FolderOf(path);
  return SameFolder(folder, DirectoryFrom(GetSystemDirectoryA)) ||
         SameFolder(folder, DirectoryFrom(GetSystemWow64DirectoryA));
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void SetWineAppDefault(const std::string& program, const std::string& key,
                       const std::string& name, const std::string& value) {
  std::string path = "Software\\Wine\\AppDefaults\\" + program + (key.empty() ? "" : "\\" + key);
  HKEY created = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &created, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create " << path;
    return;
  }
  UniqueRegistryKey settings(created);
  if (RegSetValueExA(settings.Get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
    ADD_FAILURE() << "cannot set " << path << "\\" << name;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string BitmapFileBytes(int width, int height, COLORREF color, bool topDown) {
  const int rowSize = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER fileHeader{};
  BITMAPINFOHEADER infoHeader{};
  const DWORD pixelOffset = sizeof(fileHeader) + sizeof(infoHeader);
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfOffBits = pixelOffset;
  fileHeader.bfSize = pixelOffset + static_cast<DWORD>(rowSize * height);
  infoHeader.biSize = sizeof(infoHeader);
  infoHeader.biWidth = width;
  infoHeader.biHeight = topDown ? -height : height;
  infoHeader.biPlanes = 1;
  infoHeader.biBitCount = 24;
  infoHeader.biCompression = BI_RGB;
  std::string bytes(reinterpret_cast<const char*>(&fileHeader), sizeof(fileHeader));
  bytes.append(reinterpret_cast<const char*>(&infoHeader), sizeof(infoHeader));
  std::string row(static_cast<std::size_t>(rowSize), '\0');
  for (int x = 0; x < width; ++x) {  // pixels are stored blue, green, red
    row[x * 3] = static_cast<char>(GetBValue(color));
    row[x * 3 + 1] = static_cast<char>(GetGValue(color));
    row[x * 3 + 2] = static_cast<char>(GetRValue(color));
  }
  for (int y = 0; y < height; ++y) bytes += row;
  return bytes;
}

ScreenMetrics::ScreenMetrics() : dc_(GetDC(nullptr)) {}
ScreenMetrics::~ScreenMetrics() { ReleaseDC(nullptr, dc_); }

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(temp), temp);
  path_ = std::string(temp) + "zevtest-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++counter);
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Read-only files would stop remove_all.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
    SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  std::filesystem::remove_all(path_, ignored);
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingFolder) {
  ProgramResult result;
  ScratchFolder outputFolder;
  std::string outputPath = outputFolder / "output.txt";
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueHandle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) {
    ADD_FAILURE() << "cannot create " << outputPath;
    return result;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  PROCESS_INFORMATION process{};
  std::string commandLine = QuotedCommandLine(program, arguments);
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      workingFolder.c_str(), &startup, &process)) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
    return result;
  }
  UniqueHandle processHandle(process.hProcess);
  UniqueHandle threadHandle(process.hThread);
  if (WaitForSingleObject(processHandle.Get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(processHandle.Get(), 99);
    WaitForSingleObject(processHandle.Get(), 10000);
    ADD_FAILURE() << commandLine << " did not finish";
  }
  GetExitCodeProcess(processHandle.Get(), &result.exitCode);
  output.Reset();
  result.output = ReadBytes(outputPath);
  return result;
}

}  // namespace zev::win32::test
