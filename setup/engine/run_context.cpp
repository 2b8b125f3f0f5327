#include "setup/engine/run_context.h"

#include "setup/platform/text_util.h"

namespace zev {

std::string RunContext::ProgramFileName() const {
  return FileNameOf(platform.system.ExecutablePath());
}

std::string RunContext::RegisteredUninstaller(platform::RegistryRoot root) {
  auto value = platform.registry.ReadValue({root, kUninstallKey + variables.GetVariable("TITLE")},
                                           "UninstallString");
  if (!value || (value->type != platform::RegistryType::String &&
                 value->type != platform::RegistryType::ExpandString))
    return {};
  return UninstallerPath(value->text);
}

std::string UninstallerPath(std::string_view uninstallString) {
  std::string path(uninstallString);
  std::size_t quote = path.find('"');
  if (quote == std::string::npos) return path;
  path.erase(quote, 1);
  std::size_t next = path.find('"', quote);
  if (next != std::string::npos) path.erase(next);
  return path;
}

std::string ContainingFolderName(std::string_view programPath) {
  std::string folder = FolderOf(programPath);
  if (folder.empty()) return {};
  folder.pop_back();
  return FileNameOf(folder);
}

}  // namespace zev
