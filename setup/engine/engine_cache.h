#pragma once
#include <string>

#include "setup/platform/platform.h"

namespace zev {

// Where installed products keep their engine cache, and the folders the bootstrap starts from.
class EngineCacheLocations {
 public:
  explicit EngineCacheLocations(platform::Platform& platform) : platform_(platform) {}

  // The cache root with a trailing backslash: the common application data folder for a
  // per-machine installation; for a per-user one the local application data folder, else the
  // roaming one, else "Application Data\" beside the desktop folder; on Windows 9x the common
  // files folder. Empty when the system names none.
  std::string Root(bool perMachine);

  // The folder of one product: the revision code, or in media mode 3 the name of the folder
  // that holds the installed product's uninstaller.
  static std::string FolderName(const std::string& revisionCode, int mediaMode,
                                const std::string& installedFolderName);

  // The program files folder the default target lies in, with a trailing backslash: the
  // system's for an administrator and on Windows 9x, otherwise the parent of the user's
  // documents folder.
  std::string ProgramFilesFolder();

 private:
  std::string WindowsValue(const char* name);

  platform::Platform& platform_;
};

// The folder part of a path, with its trailing backslash; the parent of a folder given with or
// without one.
std::string ParentFolder(const std::string& path);

}  // namespace zev
