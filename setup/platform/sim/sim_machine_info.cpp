#include "setup/platform/sim/sim_machine_info.h"

namespace zev::sim {

namespace csidl = platform::csidl;

namespace {

class SimRedirectionPause : public platform::FsRedirectionPause {
 public:
  explicit SimRedirectionPause(bool& off) : off_(off), wasOff_(off) { off_ = true; }
  ~SimRedirectionPause() override { off_ = wasOff_; }

 private:
  bool& off_;
  bool wasOff_;
};

// Start menu, desktop and friends below a user's (or all users') profile folder.
void AddProfileFolders(std::map<int, std::string>& folders, const std::string& startMenu) {
  folders[csidl::kStartMenu] = startMenu;
  folders[csidl::kPrograms] = startMenu + "\\Programs";
  folders[csidl::kStartup] = startMenu + "\\Programs\\Startup";
  folders[csidl::kAdminTools] = startMenu + "\\Programs\\Administrative Tools";
}

}  // namespace

std::map<int, std::string> DefaultFolders(const OsProfile& profile) {
  std::map<int, std::string> folders;
  const std::string& user = profile.userName;
  if (!profile.version.ntFamily) {
    const std::string windows = "C:\\WINDOWS";
    folders[csidl::kWindows] = windows;
    folders[csidl::kSystem] = windows + "\\SYSTEM";
    folders[csidl::kFonts] = windows + "\\FONTS";
    folders[csidl::kDesktop] = windows + "\\Desktop";
    folders[csidl::kAppData] = windows + "\\Application Data";
    folders[csidl::kFavorites] = windows + "\\Favorites";
    folders[csidl::kSendTo] = windows + "\\SendTo";
    folders[csidl::kRecent] = windows + "\\Recent";
    folders[csidl::kTemplates] = windows + "\\ShellNew";
    folders[csidl::kPersonal] = "C:\\My Documents";
    folders[csidl::kProgramFiles] = "C:\\Program Files";
    folders[csidl::kProgramFilesCommon] = "C:\\Program Files\\Common Files";
    AddProfileFolders(folders, windows + "\\Start Menu");
    folders.erase(csidl::kAdminTools);
    // Windows 98 has one set of folders for everybody.
    folders[csidl::kCommonStartMenu] = folders[csidl::kStartMenu];
    folders[csidl::kCommonPrograms] = folders[csidl::kPrograms];
    folders[csidl::kCommonStartup] = folders[csidl::kStartup];
    folders[csidl::kCommonDesktop] = folders[csidl::kDesktop];
    return folders;
  }

  const bool vistaLayout = profile.version.major >= 6;
  const std::string windows = vistaLayout ? "C:\\Windows" : "C:\\WINDOWS";
  const std::string programFiles = profile.is64Bit ? "C:\\Program Files (x86)" : "C:\\Program Files";
  folders[csidl::kWindows] = windows;
  folders[csidl::kSystem] = windows + "\\system32";
  folders[csidl::kFonts] = windows + "\\Fonts";
  folders[csidl::kProgramFiles] = programFiles;
  folders[csidl::kProgramFilesCommon] = programFiles + "\\Common Files";

  std::map<int, std::string> common;
  if (vistaLayout) {
    const std::string home = "C:\\Users\\" + user;
    const std::string roaming = home + "\\AppData\\Roaming";
    folders[csidl::kProfile] = home;
    folders[csidl::kProfiles] = "C:\\Users";
    folders[csidl::kDesktop] = home + "\\Desktop";
    folders[csidl::kPersonal] = home + "\\Documents";
    folders[csidl::kFavorites] = home + "\\Favorites";
    folders[csidl::kAppData] = roaming;
    folders[csidl::kLocalAppData] = home + "\\AppData\\Local";
    folders[csidl::kSendTo] = roaming + "\\Microsoft\\Windows\\SendTo";
    folders[csidl::kRecent] = roaming + "\\Microsoft\\Windows\\Recent";
    folders[csidl::kTemplates] = roaming + "\\Microsoft\\Windows\\Templates";
    AddProfileFolders(folders, roaming + "\\Microsoft\\Windows\\Start Menu");
    AddProfileFolders(common, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
    folders[csidl::kCommonAppData] = "C:\\ProgramData";
    folders[csidl::kCommonDesktop] = "C:\\Users\\Public\\Desktop";
    folders[csidl::kCommonDocuments] = "C:\\Users\\Public\\Documents";
  } else {
    const std::string home = "C:\\Documents and Settings\\" + user;
    const std::string allUsers = "C:\\Documents and Settings\\All Users";
    folders[csidl::kProfile] = home;
    folders[csidl::kProfiles] = "C:\\Documents and Settings";
    folders[csidl::kDesktop] = home + "\\Desktop";
    folders[csidl::kPersonal] = home + "\\My Documents";
    folders[csidl::kFavorites] = home + "\\Favorites";
    folders[csidl::kAppData] = home + "\\Application Data";
    folders[csidl::kLocalAppData] = home + "\\Local Settings\\Application Data";
    folders[csidl::kSendTo] = home + "\\SendTo";
    folders[csidl::kRecent] = home + "\\Recent";
    folders[csidl::kTemplates] = home + "\\Templates";
    AddProfileFolders(folders, home + "\\Start Menu");
    AddProfileFolders(common, allUsers + "\\Start Menu");
    folders[csidl::kCommonAppData] = allUsers + "\\Application Data";
    folders[csidl::kCommonDesktop] = allUsers + "\\Desktop";
    folders[csidl::kCommonDocuments] = allUsers + "\\Documents";
  }
  folders[csidl::kCommonStartMenu] = common[csidl::kStartMenu];
  folders[csidl::kCommonPrograms] = common[csidl::kPrograms];
  folders[csidl::kCommonStartup] = common[csidl::kStartup];
  folders[csidl::kCommonAdminTools] = common[csidl::kAdminTools];
  return folders;
}

SimMachineInfo::SimMachineInfo(SimSystemInfo& system) : folders(DefaultFolders(system.Profile())), system_(system) {}

std::string SimMachineInfo::SpecialFolder(int csidl) {
  auto found = folders.find(csidl);
  return found == folders.end() ? std::string() : found->second;
}

std::string SimMachineInfo::WindowsFolder() { return SpecialFolder(csidl::kWindows); }
std::string SimMachineInfo::SystemFolder() { return SpecialFolder(csidl::kSystem); }

std::string SimMachineInfo::Wow64SystemFolder() {
  return system_.Profile().is64Bit ? WindowsFolder() + "\\SysWOW64" : std::string();
}

bool SimMachineInfo::IsAdministrator() {
  const OsProfile& profile = system_.Profile();
  return profile.version.ntFamily && profile.isAdministrator;
}

std::unique_ptr<platform::FsRedirectionPause> SimMachineInfo::PauseFsRedirection() {
  if (!system_.Profile().is64Bit) return nullptr;
  ++fsRedirectionPauses;
  return std::make_unique<SimRedirectionPause>(fsRedirectionOff);
}

}  // namespace zev::sim
