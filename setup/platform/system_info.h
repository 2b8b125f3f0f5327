#pragma once
#include <string>
#include <string_view>

namespace zev::platform {

struct OsVersion {
  int major = 0;
  int minor = 0;
  int build = 0;
  bool ntFamily = true;  // false on Windows 95, 98 and Me
};

// What the engine asks about the machine and the process it runs in.
class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // Full path of the running program.
  virtual std::string ExecutablePath() = 0;
  // The process command line as the system holds it, program path included.
  virtual std::string CommandLine() = 0;
  // The user's temporary folder as the system reports it (at most 260 characters).
  virtual std::string TempFolder() = 0;
  virtual OsVersion Version() = 0;
  // Restricts the process to the first processor; false when the system cannot.
  virtual bool PinToFirstProcessor() = 0;

  // The user default locale's language identifier, or its default language when
  // defaultLanguage is set; 0 when unknown.
  virtual int UserLanguageId(bool defaultLanguage) = 0;
  // The English name of a language identifier ("German"), empty when unknown.
  virtual std::string EnglishLanguageName(int languageId) = 0;

  // Today's date in the user's short date format, the current time in the long time format.
  virtual std::string ShortDateText() = 0;
  virtual std::string LongTimeText() = 0;

  // Ends the process at once with the exit code: no clean-up, no return.
  virtual void EndProcessNow(int exitCode) = 0;

  // Converts ANSI code page text to UTF-16LE code units.
  virtual std::u16string AnsiToUtf16(std::string_view text) = 0;
};

}  // namespace zev::platform
