#include "setup/platform/win32/win32_system_info.h"

#include <windows.h>

#include <array>
#include <cstdlib>

#include "setup/platform/win32/dynamic_function.h"

namespace zev::win32 {
namespace {

std::string LocaleText(LCID locale, LCTYPE type) {
  std::array<char, 128> buffer{};
  int length = GetLocaleInfoA(locale, type, buffer.data(), static_cast<int>(buffer.size()));
  return length > 0 ? std::string(buffer.data()) : std::string();
}

}  // namespace

std::string Win32SystemInfo::ExecutablePath() {
  // Paths can exceed MAX_PATH; grow until the name fits.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string Win32SystemInfo::CommandLine() {
  const char* commandLine = GetCommandLineA();
  return commandLine ? commandLine : "";
}

std::string Win32SystemInfo::TempFolder() {
  std::array<char, MAX_PATH + 1> buffer{};
  DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return {};
  return std::string(buffer.data(), length);
}

platform::OsVersion Win32SystemInfo::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return {};
  platform::OsVersion version;
  version.major = static_cast<int>(info.dwMajorVersion);
  version.minor = static_cast<int>(info.dwMinorVersion);
  // Windows 9x keeps the version in the high word of the build number.
  version.build = static_cast<int>(info.dwBuildNumber & 0xFFFF);
  version.ntFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return version;
}

bool Win32SystemInfo::PinToFirstProcessor() {
  // Windows 9x has no SetProcessAffinityMask; binding it statically would stop the program
  // from loading there.
  using SetAffinity = BOOL(WINAPI*)(HANDLE, DWORD_PTR);
  auto setAffinity =
      FindFunction<SetAffinity>(GetModuleHandleA("kernel32.dll"), "SetProcessAffinityMask");
  return setAffinity && setAffinity(GetCurrentProcess(), 1);
}

int Win32SystemInfo::UserLanguageId(bool defaultLanguage) {
  std::string text = LocaleText(LOCALE_USER_DEFAULT,
                                defaultLanguage ? LOCALE_IDEFAULTLANGUAGE : LOCALE_ILANGUAGE);
  char* end = nullptr;
  long id = std::strtol(text.c_str(), &end, 16);
  if (end == text.c_str() || id < 0 || id > 0xFFFF) return 0;
  return static_cast<int>(id);
}

std::string Win32SystemInfo::EnglishLanguageName(int languageId) {
  // 0 would ask for the neutral locale, which the system answers with the user's language.
  if (languageId <= 0 || languageId > 0xFFFF) return {};
  return LocaleText(MAKELCID(static_cast<WORD>(languageId), SORT_DEFAULT), LOCALE_SENGLANGUAGE);
}

std::string Win32SystemInfo::ShortDateText() {
  char buffer[128] = {};
  int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer,
                              static_cast<int>(sizeof buffer));
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length - 1)) : std::string();
}

std::string Win32SystemInfo::LongTimeText() {
  char buffer[128] = {};
  int length = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer,
                              static_cast<int>(sizeof buffer));
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length - 1)) : std::string();
}

void Win32SystemInfo::EndProcessNow(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

std::u16string Win32SystemInfo::AnsiToUtf16(std::string_view text) {
  if (text.empty()) return {};
  int inputLength = static_cast<int>(text.size());
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, wide.data(), length);
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace zev::win32
