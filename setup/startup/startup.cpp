#include "setup/startup/startup.h"

#include <exception>

#include "setup/platform/error.h"
#include "setup/media/archive_adapter.h"
#include "setup/startup/command_line.h"
#include "setup/startup/language_file.h"
#include "setup/startup/payload.h"
#include "setup/startup/support_folder.h"
#include "setup/platform/text_util.h"
#include "setup/startup/wizard_caption.h"

namespace zev {

namespace {

// Not one of the translatable texts: only a stub without a script shows it.
constexpr const char* kForInternalUseOnly = "For internal use only";

bool IsXpOrLater(const platform::OsVersion& version) {
  return version.major > 5 || (version.major == 5 && version.minor != 0);
}

}  // namespace

platform::Point PlacePreparationWindow(platform::Size screen, platform::Point splash,
                                       platform::Size splashSize, platform::Size preparation) {
  platform::Point at{splash.left + splashSize.width / 2 + 50, splash.top + splashSize.height + 25};
  if (screen.height - 45 - preparation.height < at.top) at.top = screen.height - 45 - preparation.height;
  if (screen.width - 25 - preparation.width < at.left) at.left = screen.width - 25 - preparation.width;
  return at;
}

platform::Point CentreOnScreen(platform::Size screen, platform::Size window) {
  return {(screen.width - window.width) / 2, (screen.height - window.height) / 2};
}

Startup::Startup(platform::Platform& platform, ScriptHost& script)
    : platform_(platform), script_(script), log_(platform.files, platform.system) {}

int Startup::Run() {
  try {
    Prepare();
    log_.WriteLogLine("<Kestrix>");
    log_.WriteLogLine("  <SetupSplash>");
    ShowStartupWindows();
    Guarded();
    CleanUp();
  } catch (const EndAtOnce& end) {
    windows_.reset();
    return end.exitCode;
  } catch (const std::exception& error) {
    // A failure before the guarded steps (no temporary folder, no program path) ends the run
    // the same way as one inside them; there is nothing to clean up yet.
    ShowError(messages_.Get(Msg::RuntimeErrorInInstall) + error.what(), 0);
    windows_.reset();
    return kExitRuntimeError;
  }
  return state_.exitCode;
}

void Startup::Prepare() {
  platform_.system.PinToFirstProcessor();

  state_.supportDir.clear();
  std::string exePath = platform_.system.ExecutablePath();
  state_.exeDir = FolderOf(exePath);
  state_.exeBaseName = BaseNameOf(exePath);
  state_.tempDir = WithTrailingBackslash(platform_.system.TempFolder());
  platform_.files.CreateFolders(state_.tempDir);

  LoadLanguagePayload();

  state_.resourceArchivePath = state_.exeDir + state_.exeBaseName + ".res";
  state_.commandLine = ParseCommandLine(platform_.system.CommandLine());
  log_.SetPath(state_.commandLine.logPath);
}

void Startup::LoadLanguagePayload() {
  const std::string library = state_.exeDir + "zev.lib";
  const std::string languageFile = state_.tempDir + "lang.loc";
  auto module = platform_.libraries.LoadFromPath(library);
  if (!module) return;
  try {
    if (CopyAppendedData(platform_.files, library, *module, languageFile)) {
      LoadLanguageFile(platform_.files, platform_.system, languageFile, messages_);
      platform_.files.RemoveFile(languageFile);
    }
  } catch (const Error&) {
    // Without a readable payload the built-in English texts stay.
  }
}

void Startup::ShowStartupWindows() {
  if (state_.commandLine.suppressStartupWindows) return;
  platform::StartupTexts texts{messages_.Get(Msg::WizardCaption), messages_.Get(Msg::PreparingWizard),
                               IsXpOrLater(platform_.system.Version())};
  windows_ = platform_.ui.CreateStartupWindows(texts);
  platform::Size screen = platform_.ui.ScreenSize();
  platform::Size preparation = windows_->PreparationSize();

  std::string bitmap = state_.exeDir + "setup.bmp";
  std::optional<platform::Size> splash;
  if (platform_.files.FileExists(bitmap)) splash = windows_->LoadSplashBitmap(bitmap);
  if (splash) {
    platform::Point splashAt = CentreOnScreen(screen, *splash);
    windows_->ShowSplash(splashAt);
    windows_->ShowPreparation(PlacePreparationWindow(screen, splashAt, *splash, preparation));
  } else {
    windows_->ShowPreparation(CentreOnScreen(screen, preparation));
  }
  windows_->Repaint();
}

void Startup::Guarded() {
  try {
    CopyScript();

    log_.WriteLogLine("    <GlobalLists>");
    const std::string scriptFile = state_.tempDir + "zev.tmp";
    script_.ReadScriptLists(scriptFile);
    platform_.files.RemoveFile(scriptFile);
    log_.WriteLogLine("    </GlobalLists>");

    PrepareSupportFolder();
    PreloadDialogs();
    CloseStartupWindows();
    log_.WriteLogLine("  </SetupSplash>");

    log_.WriteLogLine("  <RunScript>");
    script_.RunScript(state_, log_, messages_);
    log_.WriteLogLine("  </RunScript>");

    log_.WriteLogLine("  <Free>");
    script_.FreeScriptLists();
    log_.WriteLogLine("  </Free>");
  } catch (const EndAtOnce&) {
    throw;
  } catch (const std::exception& error) {
    ShowError(messages_.Get(Msg::RuntimeErrorInInstall) + error.what(), 0);
    state_.exitCode = kExitRuntimeError;
  }
}

void Startup::CopyScript() {
  log_.WriteLogLine("    <StubSize>");
  auto program = platform_.libraries.ProgramModule();
  auto stubSize = program ? GetStubSize(*program) : std::nullopt;
  if (!stubSize) throw Error("The program image is damaged");
  const std::string programFile = platform_.system.ExecutablePath();
  if (platform_.files.OpenForReading(programFile)->Size() <= *stubSize) {
    ShowError(kForInternalUseOnly, Owner());
    throw EndAtOnce{kExitNoScript};
  }
  log_.WriteLogLine("    </StubSize>");
  log_.WriteLogLine("    <StubData>");
  CopyAppendedData(platform_.files, programFile, *program, state_.tempDir + "zev.tmp", *stubSize);
  log_.WriteLogLine("    </StubData>");
}

void Startup::PrepareSupportFolder() {
  log_.WriteLogLine("    <SupportDir>");
  state_.supportDir = CreateSupportFolder(platform_.files, state_.tempDir);
  log_.WriteLogLine("    </SupportDir>");

  log_.WriteLogLine("    <ExtractArchive>");
  if (!platform_.files.FileExists(state_.resourceArchivePath)) Fail(Msg::ResourceNotFound, kExitNoResource);
  ArchiveAdapter adapter(platform_.archives);
  std::string errorText;
  if (!adapter.Extract(state_.resourceArchivePath, "", state_.supportDir, nullptr, std::nullopt,
                       /*overwrite=*/true, /*keepPaths=*/true, errorText))
    Fail(Msg::ResourceDecompressionFailure, kExitResourceDamaged);
  log_.WriteLogLine("    </ExtractArchive>");

  log_.WriteLogLine("    <ExtractResource>");
  const std::string base = state_.exeDir + state_.exeBaseName;
  if (!platform_.files.FileExists(base + ".msi") && !platform_.files.FileExists(base + ".msp"))
    Fail(Msg::DatabaseNotFound, kExitNoDatabase);
  log_.WriteLogLine("    </ExtractResource>");
  log_.WriteLogLine("    <ResourcePath>");
  for (const char* extension : {".msi", ".msp"}) {
    const std::string source = base + extension;
    if (!platform_.files.FileExists(source)) continue;
    const std::string target = state_.supportDir + state_.exeBaseName + extension;
    if (!platform_.files.CopyOver(source, target)) throw Error("Cannot copy " + source + " to " + target);
    platform_.files.SetNormalAttributes(target);
  }
  log_.WriteLogLine("    </ResourcePath>");
  state_.dataDir = state_.exeDir + "data\\";
}

void Startup::PreloadDialogs() {
  log_.WriteLogLine("    <Dialogs>");
  std::vector<DialogCommand> dialogs = script_.DialogCommands();
  if (windows_) {
    windows_->SetProgress(0, static_cast<int>(dialogs.size()), 1);
    windows_->Repaint();
  }
  script_.InitDialogPool(state_.supportDir);
  for (const auto& dialog : dialogs) {
    script_.LoadDialog(state_.supportDir + dialog.name + ".dfm", std::to_string(dialog.index));
    if (windows_) {
      windows_->StepProgress();
      windows_->Repaint();
    }
  }
  log_.WriteLogLine("    </Dialogs>");
}

void Startup::CloseStartupWindows() {
  if (!windows_) return;
  windows_->Close();
  windows_.reset();
}

void Startup::CleanUp() {
  log_.WriteLogLine("  <CachedSupportDir>");
  RemoveSupportFolder(platform_.files, state_.supportDir);
  log_.WriteLogLine("  </CachedSupportDir>");
  log_.WriteLogLine("</Kestrix>");
}

void Startup::Fail(Msg message, int exitCode) {
  ShowError(messages_.Get(message), Owner());
  throw EndAtOnce{exitCode};
}

void Startup::ShowError(const std::string& text, platform::WindowHandle owner) {
  if (state_.commandLine.silent) return;
  platform_.ui.ShowError(WizardCaption("", ""), text, owner);
}

platform::WindowHandle Startup::Owner() { return windows_ ? windows_->PreparationWindow() : 0; }

}  // namespace zev
