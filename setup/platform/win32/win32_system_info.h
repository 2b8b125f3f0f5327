#pragma once
#include "setup/platform/system_info.h"

namespace zev::win32 {

class Win32SystemInfo final : public platform::SystemInfo {
 public:
  std::string ExecutablePath() override;
  std::string CommandLine() override;
  std::string TempFolder() override;
  // GetVersionExA: Windows 8.1 and later report 6.2 to programs without a manifest saying
  // otherwise, which is what the scripts have always been tested against.
  platform::OsVersion Version() override;
  bool PinToFirstProcessor() override;
  int UserLanguageId(bool defaultLanguage) override;
  std::string EnglishLanguageName(int languageId) override;
  std::string ShortDateText() override;
  std::string LongTimeText() override;
  [[noreturn]] void EndProcessNow(int exitCode) override;
  std::u16string AnsiToUtf16(std::string_view text) override;
};

}  // namespace zev::win32
