#include "setup/engine/engine_state_store.h"

#include "setup/engine/engine_state_file.h"
#include "setup/platform/error.h"
#include "setup/platform/file_text.h"
#include "setup/platform/text_util.h"
#include "setup/startup/language_file.h"

namespace zev {

namespace {

bool IsKnownTarget(std::string_view target) {
  return target == kTargetWin32 || target == kTargetX64 || target == kTargetIa64;
}

}  // namespace

std::string EngineStateStore::FolderPath(const std::string& folderName) {
  const std::string fileName = folderName + "\\" + context_.BaseName() + ".dat";
  std::string userRoot = locations_.Root(false);
  if (!userRoot.empty() && context_.platform.files.FileExists(userRoot + fileName))
    return userRoot + folderName + "\\";
  return locations_.Root(true) + folderName + "\\";
}

std::string EngineStateStore::StateFilePath(const std::string& folderName) {
  return FolderPath(folderName) + context_.BaseName() + ".dat";
}

bool EngineStateStore::Load(const std::string& path, bool keepSizes) {
  platform::FileSystem& files = context_.platform.files;
  if (!files.FileExists(path)) return false;
  EngineState saved;
  try {
    saved = ParseEngineState(platform::ReadWholeFile(files, path));
  } catch (const Error&) {
    return false;  // present but unreadable: as if there were none
  }
  EngineSession& session = context_.session;
  session.components.Replace(saved, keepSizes);
  Variables& variables = context_.variables;
  variables.SetVariable("TARGETDIR", saved.targetDir, kOriginLoadComponents);
  variables.SetVariable("ALLUSERS", saved.allUsers, kOriginLoadComponents);
  variables.SetVariable("STARTMENU", saved.startMenu, kOriginLoadComponents);
  for (const auto& [name, value] : saved.variables) {
    if (name.empty()) continue;
    session.AddPersistentVariable(name);
    variables.SetVariable(name, value, kOriginLoadComponents);
  }
  // A damaged setting must not switch the commands to a 64-bit target.
  if (IsKnownTarget(saved.wow64Setting)) session.mode.SetTargetPlatform(saved.wow64Setting);
  return true;
}

void EngineStateStore::LoadProperties(const std::string& statePath) {
  platform::FileSystem& files = context_.platform.files;
  std::string path = statePath.substr(0, statePath.size() - 4) + ".par";
  if (!files.FileExists(path)) return;
  try {
    context_.session.runProperties = SplitLines(platform::ReadWholeFile(files, path));
  } catch (const Error&) {
  }
}

std::string EngineStateStore::CacheFolderName() {
  if (!context_.session.installedCacheFolder.empty() || context_.script.mediaMode != 3)
    return EngineCacheLocations::FolderName(context_.variables.GetVariable("REVISIONCODE"),
                                            context_.script.mediaMode,
                                            context_.session.installedCacheFolder);
  bool machine = context_.PerMachine() || !context_.NtFamily();
  std::string uninstaller = context_.RegisteredUninstaller(
      machine ? platform::RegistryRoot::LocalMachine : platform::RegistryRoot::CurrentUser);
  return ContainingFolderName(uninstaller);
}

std::vector<std::pair<std::string, std::string>> EngineStateStore::PersistentValues() {
  std::vector<std::pair<std::string, std::string>> values;
  for (const auto& name : context_.session.persistentVariables)
    values.emplace_back(name, context_.variables.GetVariable(name));
  return values;
}

void EngineStateStore::Save() {
  EngineSession& session = context_.session;
  if (session.lastApply == EngineSession::Apply::Removed) return;
  std::string folderName = CacheFolderName();
  // Without a folder name the path would be the cache root itself.
  if (folderName.empty()) return;
  platform::FileSystem& files = context_.platform.files;
  const std::string folder = FolderPath(folderName);
  const bool compress = IsTrue(context_.variables.GetVariable("VORN_COMPRESS_INSTALLER_CACHE"));
  files.SetHidden(folder);
  files.SetCompression(folder, compress);
  if (session.persistentVariables.empty()) return;

  if (!files.FolderExists(folder)) {
    if (!files.CreateFolders(folder)) return;
    files.SetHidden(folder);
    files.SetCompression(folder, compress);
  }
  const std::string path = folder + context_.BaseName() + ".dat";
  if (session.lastApply == EngineSession::Apply::Installed)
    WriteWhole(path);
  else if (files.FileExists(path))
    Rewrite(path);
}

void EngineStateStore::WriteWhole(const std::string& path) {
  EngineState state;
  context_.session.components.Store(state);
  Variables& variables = context_.variables;
  state.targetDir = variables.GetVariable("TARGETDIR");
  state.allUsers = variables.GetVariable("ALLUSERS");
  state.startMenu = variables.GetVariable("STARTMENU");
  std::string dataDir = variables.GetVariable("DATADIR");
  state.dataDir = dataDir.empty() ? dataDir : WithTrailingBackslash(dataDir);
  state.variables = PersistentValues();
  state.wow64Setting = context_.session.mode.TargetPlatform();
  platform::WriteWholeFile(context_.platform.files, path, FormatEngineState(state));
}

void EngineStateStore::Rewrite(const std::string& path) {
  platform::FileSystem& files = context_.platform.files;
  std::optional<std::string> text;
  try {
    text = RewritePersistentVariables(platform::ReadWholeFile(files, path), PersistentValues());
  } catch (const Error&) {
    return;
  }
  // A file without the six lists is not ours to rewrite.
  if (!text) return;
  const std::string fresh = path + ".dat";
  if (platform::WriteWholeFile(files, fresh, *text) && !files.MoveOver(fresh, path))
    files.RemoveFile(fresh);
}

}  // namespace zev
