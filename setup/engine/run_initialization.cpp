#include "setup/engine/run_initialization.h"

#include "setup/engine/engine_state_store.h"
#include "setup/platform/error.h"
#include "setup/platform/file_text.h"
#include "setup/platform/installer.h"
#include "setup/platform/text_util.h"
#include "setup/startup/language_file.h"

namespace zev {

namespace {

constexpr const char* kIdentCacheKey = "SOFTWARE\\Tavrel\\Kestrix\\Ident.Cache\\";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
constexpr const char* kInstanceFile = "instance.dat";

using platform::RegistryRoot;

std::optional<std::string> ReadText(platform::Registry& registry, RegistryRoot root,
                                    const std::string& key, const std::string& name) {
  auto value = registry.ReadValue({root, key}, name);
  if (!value) return std::nullopt;
  if (value->type != platform::RegistryType::String &&
      value->type != platform::RegistryType::ExpandString)
    return std::nullopt;
  return value->text;
}

}  // namespace

RunInitialization::RunInitialization(RunContext context)
    : context_(context), locations_(context.platform) {}

void RunInitialization::Set(std::string_view name, std::string_view value, std::string_view origin) {
  context_.variables.SetVariable(name, value, origin);
}

std::string RunInitialization::DefaultAllUsers() {
  return BoolText(context_.NtFamily() && context_.platform.machine.IsAdministrator());
}

std::string RunInitialization::DefaultTarget() {
  return locations_.ProgramFilesFolder() + title_ + "\\";
}

void RunInitialization::PreInitialize() {
  Set("TARGETDIR", "", kOriginPreInitialization);
  Set("STARTMENU", context_.script.productTitle, kOriginPreInitialization);
  Set("ALLUSERS", DefaultAllUsers(), kOriginPreInitialization);
}

void RunInitialization::ReadInstanceFile() {
  productCode_ = context_.script.productCode;
  revisionCode_ = context_.script.revisionCode;
  title_ = context_.script.productTitle;
  const std::string path = context_.state.exeDir + kInstanceFile;
  hasInstanceFile_ = context_.platform.files.FileExists(path);
  if (!hasInstanceFile_) return;
  std::vector<std::string> lines;
  try {
    lines = SplitLines(platform::ReadWholeFile(context_.platform.files, path));
  } catch (const Error&) {
    return;
  }
  // A short file replaces only what it has.
  std::string* targets[] = {&productCode_, &revisionCode_, &title_};
  for (std::size_t i = 0; i < lines.size() && i < 3; ++i) *targets[i] = lines[i];
}

void RunInitialization::DetectInstalledProduct(bool& needsUpgrade, bool& maintenance) {
  platform::Installer& installer = context_.platform.installer;
  const bool installed = installer.QueryProductState(productCode_) == platform::install_state::kDefault;
  needsUpgrade = false;
  if (installed) {
    auto packageCode = installer.GetProductInfo(productCode_, "PackageCode");
    needsUpgrade = packageCode && !EqualsIgnoreCase(*packageCode, revisionCode_);
  }
  maintenance = !needsUpgrade && installed;
}

void RunInitialization::Bootstrap() {
  ReadInstanceFile();
  Set("PRODUCTCODE", productCode_, kOriginBootstrap);
  Set("REVISIONCODE", revisionCode_, kOriginBootstrap);
  const std::string defaultTarget = DefaultTarget();
  RefreshEngineCache();

  if (context_.script.mediaMode == 2)
    Set("DATADIR", locations_.Root(context_.PerMachine()) + revisionCode_ + "\\", kOriginBootstrap);
  else
    Set("DATADIR", context_.state.exeDir + "data\\", kOriginBootstrap);

  bool needsUpgrade = false, maintenance = false;
  DetectInstalledProduct(needsUpgrade, maintenance);
  Set("NEEDSUPGRADE", BoolText(needsUpgrade), kOriginBootstrap);
  Set("MAINTENANCE", BoolText(maintenance), kOriginBootstrap);
  const bool loadOldData =
      needsUpgrade && ExpandCompilerVariables(context_.script.CompilerVariables, "#LOADOLDDATA#") == "TRUE";

  EngineSession& session = context_.session;
  EngineStateStore store(context_);
  const std::string statePath = store.StateFilePath(revisionCode_);
  if (maintenance) {
    if (store.Load(statePath, false)) {
      session.components.RecordInstalledSize();
    } else {
      // Installed, but its cache is gone: an empty target would send every path to the root.
      Set("TARGETDIR", defaultTarget, kOriginBootstrap);
    }
    store.LoadProperties(statePath);
  } else {
    session.components.Reset(context_.script.ComponentSizes);
    session.components.Define(std::string(kPredefinedComponent), true, "");
    session.runProperties.clear();
    Set("TARGETDIR", defaultTarget, kOriginBootstrap);
    Set("STARTMENU", title_, kOriginBootstrap);
    Set("ALLUSERS", DefaultAllUsers(), kOriginBootstrap);
    store.Load(statePath, false);
  }
  if (loadOldData) LoadOldData();

  Set("NEWINSTANCE", "FALSE", kOriginInitialization);
  if (!hasInstanceFile_ && (maintenance || needsUpgrade)) Set("NEWINSTANCE", "TRUE", kOriginInitialization);
  bootstrapDone_ = true;
}

void RunInitialization::LoadOldData() {
  platform::Registry& registry = context_.platform.registry;
  const std::string key = kIdentCacheKey + productCode_;
  std::optional<std::string> folder = ReadText(registry, RegistryRoot::LocalMachine, key, "");
  if (!folder) folder = ReadText(registry, RegistryRoot::CurrentUser, key, "");
  if (!folder || folder->empty()) return;
  const std::string dir = WithTrailingBackslash(*folder);

  platform::FileSystem& files = context_.platform.files;
  std::vector<std::string> candidates;
  for (const auto& entry : files.ListFolder(dir)) {
    const std::string& name = entry.name;
    if (entry.isFolder || name.size() < 4 || !EqualsIgnoreCase(name.substr(name.size() - 4), ".dat") ||
        EqualsIgnoreCase(name, kInstanceFile))
      continue;
    candidates.push_back(name);
  }
  std::string chosen;
  if (candidates.size() == 1) {
    chosen = candidates.front();
  } else {
    for (const auto& name : candidates) {
      const std::string base = dir + name.substr(0, name.size() - 4);
      if (files.FileExists(base + ".exe") && files.FileExists(base + ".res") &&
          files.FileExists(base + ".msi") && files.FileExists(base + ".par")) {
        chosen = name;
        break;
      }
    }
  }
  if (!chosen.empty()) EngineStateStore(context_).Load(dir + chosen, true);
}

void RunInitialization::InitializeRun(const std::string& databasePath) {
  context_.session.components.Define(std::string(kPredefinedComponent), true, "");
  SetInitializationVariables(databasePath);
  PreparePatch(databasePath);
  RefreshEngineCache();
  RemoveResumeEntry();
  Set("LANGUAGE", "", kOriginInitialization);
}

void RunInitialization::SetInitializationVariables(const std::string& databasePath) {
  const StartupState& state = context_.state;
  const CommandLineSettings& commandLine = state.commandLine;
  const ProductInformation& product = context_.script.productInformation;
  platform::SystemInfo& system = context_.platform.system;
  const std::string exePath = system.ExecutablePath();

  const char* ownerKey = context_.NtFamily() ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                             : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  platform::Registry& registry = context_.platform.registry;
  const std::string owner =
      ReadText(registry, RegistryRoot::LocalMachine, ownerKey, "RegisteredOwner").value_or("");
  const std::string company =
      ReadText(registry, RegistryRoot::LocalMachine, ownerKey, "RegisteredOrganization").value_or("");

  const std::pair<std::string_view, std::string> values[] = {
      {"VORN_COMPRESS_INSTALLER_CACHE", "TRUE"},
      {"VORN_DISABLE_ROLLBACK", "FALSE"},
      {"VORN_DISABLE_VISTA_RESTART_MANAGER", "FALSE"},
      {"VORNLOGO", ""},
      {"SELECTED", "0"},
      {"WINDOWHANDLE", "0"},
      {"EXEFILE", exePath},
      {"EXEDIR", state.exeDir},
      {"PROGRESSTEXT", ""},
      {"PROGRESSMODE", ""},
      {"ABORT", "FALSE"},
      {"PROGRESS", "0"},
      {"LASTERROR", ""},
      {"LICENSE", "FALSE"},
      {"USERNAME", owner},
      {"USERCOMPANY", company},
      {"COPYWEBLOCK", ""},
      {"REBOOTCOMPUTER", "FALSE"},
      {"RUNAPP", "TRUE"},
      {"WIZARD", "NEXT"},
      {"VERSION", product.version},
      {"SILENT", BoolText(commandLine.silent)},
      {"LOGGED", commandLine.logPath},
      {"CMDLINE", commandLine.text},
      {"REBOOTNOW", "OK"},
      {"SFXPATH", FolderOf(commandLine.selfExtractorPath)},
      {"SFXFILE", FileNameOf(commandLine.selfExtractorPath)},
      {"GPOPATH", FolderOf(commandLine.groupPolicyPath)},
      {"COMPLETE", "TRUE"},
      {"NEWLINE", "\r\n"},
      {"MINIMUM", "FALSE"},
      {"PERSONALIZED", "FALSE"},
      {"MODIFY", "TRUE"},
      {"REPAIR", "FALSE"},
      {"REMOVE", "FALSE"},
      {"ADVERTISE", "FALSE"},
      {"ROOTDIR", state.exeDir},
      {"TITLE", title_},
      {"COMPANY", product.company},
      {"DATE", system.ShortDateText()},
      {"TIME", system.LongTimeText()},
      {"TEMPDIR", state.tempDir},
      {"SUPPORTDIR", state.supportDir},
      {"MSIFILE", databasePath},
  };
  for (const auto& [name, value] : values) Set(name, value, kOriginInitialization);
}

void RunInitialization::PreparePatch(const std::string& databasePath) {
  platform::FileSystem& files = context_.platform.files;
  if (databasePath.size() < 4 || !files.FileExists(databasePath.substr(0, databasePath.size() - 4) + ".msp"))
    return;
  std::string uninstaller = context_.RegisteredUninstaller(RegistryRoot::CurrentUser);
  if (uninstaller.empty()) uninstaller = context_.RegisteredUninstaller(RegistryRoot::LocalMachine);
  const std::string folderName = ContainingFolderName(uninstaller);
  if (folderName.empty()) return;
  EngineSession& session = context_.session;
  session.installedCacheFolder = folderName;
  EngineStateStore store(context_);
  const std::string statePath = store.StateFilePath(folderName);
  if (store.Load(statePath, false)) session.components.RecordInstalledSize();
  store.LoadProperties(statePath);
}

void RunInitialization::RemoveResumeEntry() {
  const std::string& code = context_.variables.GetVariable("PRODUCTCODE");
  std::size_t brace = code.find('{');
  if (brace == std::string::npos || code.size() < brace + 9) return;
  const std::string name = code.substr(brace + 1, 8);
  for (RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine})
    context_.platform.registry.DeleteValue({root, kRunKey}, name);
}

void RunInitialization::RefreshEngineCache() {
  Variables& variables = context_.variables;
  if (context_.script.mediaMode == 3) {
    const bool machine = context_.PerMachine() || !context_.NtFamily();
    std::string link = context_.RegisteredUninstaller(machine ? RegistryRoot::LocalMachine
                                                              : RegistryRoot::CurrentUser);
    variables.SetVariable("UNINSTALLLINK", link, kOriginBootstrap);
    variables.SetVariable("ENGINECACHE", FolderOf(link), kOriginBootstrap);
    return;
  }
  std::string cache = locations_.Root(context_.PerMachine()) + variables.GetVariable("REVISIONCODE") + "\\";
  variables.SetVariable("ENGINECACHE", cache, kOriginBootstrap);
  variables.SetVariable("UNINSTALLLINK", cache + context_.ProgramFileName(), kOriginBootstrap);
}

}  // namespace zev
