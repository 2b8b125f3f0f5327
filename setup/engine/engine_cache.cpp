#include "setup/engine/engine_cache.h"

#include "setup/platform/text_util.h"

namespace zev {

namespace {

constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string FolderWithBackslash(const std::string& folder) {
  return folder.empty() ? std::string() : WithTrailingBackslash(folder);
}

}  // namespace

std::string ParentFolder(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
  return FolderOf(trimmed);
}

std::string EngineCacheLocations::WindowsValue(const char* name) {
  auto value = platform_.registry.ReadValue({platform::RegistryRoot::LocalMachine, kCurrentVersionKey}, name);
  return value ? value->text : std::string();
}

std::string EngineCacheLocations::Root(bool perMachine) {
  if (!platform_.system.Version().ntFamily) return FolderWithBackslash(WindowsValue("CommonFilesDir"));
  platform::MachineInfo& machine = platform_.machine;
  if (perMachine) return FolderWithBackslash(machine.SpecialFolder(platform::csidl::kCommonAppData));
  for (int folder : {platform::csidl::kLocalAppData, platform::csidl::kAppData}) {
    std::string path = machine.SpecialFolder(folder);
    if (!path.empty()) return FolderWithBackslash(path);
  }
  std::string desktop = machine.SpecialFolder(platform::csidl::kDesktop);
  return desktop.empty() ? std::string() : ParentFolder(desktop) + "Application Data\\";
}

std::string EngineCacheLocations::FolderName(const std::string& revisionCode, int mediaMode,
                                             const std::string& installedFolderName) {
  return mediaMode == 3 ? installedFolderName : revisionCode;
}

std::string EngineCacheLocations::ProgramFilesFolder() {
  if (!platform_.system.Version().ntFamily || platform_.machine.IsAdministrator())
    return FolderWithBackslash(WindowsValue("ProgramFilesDir"));
  return ParentFolder(platform_.machine.SpecialFolder(platform::csidl::kPersonal));
}

}  // namespace zev
