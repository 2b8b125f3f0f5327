#pragma once
#include <string>

namespace zev {

class ScriptRunner;

// What the runner asks of the rest of the engine around the commands: initialization, the
// language, the dialogs, the progress display and plug-ins. Each default does nothing, which is
// what a run needs where that part of the engine is absent (no translation, no dialog on
// screen, no cancel).
class RunServices {
 public:
  virtual ~RunServices() = default;

  // Run preparation.
  virtual void ResetCommandGlobals() {}
  virtual void ClearComponentLists() {}
  // The wizard's feature selections, cleared once the bootstrap is done.
  virtual void ClearSelectionLists() {}
  // TARGETDIR, STARTMENU and ALLUSERS before the bootstrap.
  virtual void PreInitialize() {}
  virtual void Bootstrap() {}
  // Predefined variables, engine cache values, the resume entry and the command headers.
  virtual void InitializeRun() {}
  // Chooses the setup language; false when the user cancelled the choice.
  virtual bool SelectLanguage() { return true; }

  // Around every command.
  virtual void ProcessPendingMessages() {}
  virtual void LoadTranslations(const std::string& /*language*/) {}
  virtual void RefreshEngineCache() {}
  virtual bool CancelConfirmed() { return false; }
  virtual bool ModelessDialogShown() { return false; }
  virtual void ShowProgress(const std::string& /*text*/, int /*position*/) {}
  // A script text translated by its command identifier and slot.
  virtual std::string Translate(const std::string& text, const std::string& /*key*/, int /*slot*/) {
    return text;
  }
  virtual void RunPluginCommand(ScriptRunner& /*runner*/) {}

  // Closes what commands left open and frees the dialogs.
  virtual void ExitScript() {}
};

}  // namespace zev
