#pragma once
#include <map>
#include <string>

#include "setup/platform/system_info.h"

namespace zev::sim {

// Thrown where the simulated process ends at once; a test catches it and reads the code.
struct ProcessEnded {
  int exitCode;
};

// The Windows version and user settings a simulated machine presents.
struct OsProfile {
  platform::OsVersion version;
  std::string tempFolder = "C:\\Documents and Settings\\User\\Local Settings\\Temp";
  int userLanguage = 1033;
  int userDefaultLanguage = 1033;
  bool canPinProcessor = true;
  bool is64Bit = false;  // a 64-bit Windows running the setup under WOW64
  bool isAdministrator = true;
  std::string userName = "User";
  // The owner and organization Windows was registered to.
  std::string registeredOwner = "Ada Brandt";
  std::string registeredOrganization = "Corvane Audio";

  static OsProfile WindowsXp();
  static OsProfile Windows7();
  static OsProfile Windows98();
};

class SimSystemInfo : public platform::SystemInfo {
 public:
  explicit SimSystemInfo(OsProfile profile) : profile_(std::move(profile)) {}

  OsProfile& Profile() { return profile_; }
  // The program path and command line of the simulated process.
  std::string executablePath = "C:\\Setup\\setup.exe";
  std::string commandLine = "\"C:\\Setup\\setup.exe\"";
  bool pinnedToFirstProcessor = false;
  // English names the system knows beyond the engine's own table (identifier to name).
  std::map<int, std::string> englishLanguageNames{{3079, "German"}, {2057, "English"}};

  std::string ExecutablePath() override { return executablePath; }
  std::string CommandLine() override { return commandLine; }
  std::string TempFolder() override { return profile_.tempFolder; }
  platform::OsVersion Version() override { return profile_.version; }
  bool PinToFirstProcessor() override;
  int UserLanguageId(bool defaultLanguage) override;
  std::string EnglishLanguageName(int languageId) override;
  // The simulated clock, as the user's locale shows it.
  std::string dateText = "11.12.2026";
  std::string timeText = "11:25:49";
  std::string ShortDateText() override { return dateText; }
  std::string LongTimeText() override { return timeText; }
  [[noreturn]] void EndProcessNow(int exitCode) override { throw ProcessEnded{exitCode}; }
  // Windows-1252, the ANSI code page of a western system.
  std::u16string AnsiToUtf16(std::string_view text) override;

 private:
  OsProfile profile_;
};

}  // namespace zev::sim
