#pragma once
#include <memory>
#include <string>

namespace zev::platform {

// Shell folder identifiers (CSIDL values) the engine asks for.
namespace csidl {
inline constexpr int kDesktop = 0;
inline constexpr int kPrograms = 2;
inline constexpr int kPersonal = 5;  // the user's documents
inline constexpr int kFavorites = 6;
inline constexpr int kStartup = 7;
inline constexpr int kRecent = 8;
inline constexpr int kSendTo = 9;
inline constexpr int kStartMenu = 11;
inline constexpr int kMyMusic = 13;
inline constexpr int kMyVideo = 14;
inline constexpr int kNetHood = 19;
inline constexpr int kFonts = 20;
inline constexpr int kTemplates = 21;
inline constexpr int kCommonStartMenu = 22;
inline constexpr int kCommonPrograms = 23;
inline constexpr int kCommonStartup = 24;
inline constexpr int kCommonDesktop = 25;
inline constexpr int kAppData = 26;
inline constexpr int kPrintHood = 27;
inline constexpr int kLocalAppData = 28;
inline constexpr int kCommonFavorites = 31;
inline constexpr int kInternetCache = 32;
inline constexpr int kCookies = 33;
inline constexpr int kCommonAppData = 35;
inline constexpr int kWindows = 36;
inline constexpr int kSystem = 37;
inline constexpr int kProgramFiles = 38;
inline constexpr int kMyPictures = 39;
inline constexpr int kProfile = 40;
inline constexpr int kProgramFilesCommon = 43;
inline constexpr int kCommonDocuments = 46;
inline constexpr int kCommonAdminTools = 47;
inline constexpr int kAdminTools = 48;
inline constexpr int kCommonMusic = 53;
inline constexpr int kCommonPictures = 54;
inline constexpr int kCommonVideo = 55;
inline constexpr int kCdBurnArea = 59;
inline constexpr int kProfiles = 62;
}  // namespace csidl

// While alive, file-system redirection of a 32-bit process on 64-bit Windows is off; the
// destructor puts back the state saved when it was turned off.
class FsRedirectionPause {
 public:
  virtual ~FsRedirectionPause() = default;
};

// The folders, the user and the process bitness as the engine asks for them.
class MachineInfo {
 public:
  virtual ~MachineInfo() = default;

  // The shell's path of a special folder, without a trailing backslash; empty when the
  // system has no such folder.
  virtual std::string SpecialFolder(int csidl) = 0;
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;
  // The 32-bit system folder of 64-bit Windows (SysWOW64); empty elsewhere.
  virtual std::string Wow64SystemFolder() = 0;

  // True when the user belongs to the built-in Administrators group; false on Windows 9x.
  virtual bool IsAdministrator() = 0;
  virtual std::string UserName() = 0;

  // True for a 32-bit process on 64-bit Windows.
  virtual bool IsWow64() = 0;
  // Turns file-system redirection off until the result is destroyed; nothing when the system
  // has no redirection or refuses.
  virtual std::unique_ptr<FsRedirectionPause> PauseFsRedirection() = 0;
};

}  // namespace zev::platform
