#include "setup/engine/script_runner.h"

#include <exception>

#include "setup/engine/compile_script.h"
#include "setup/engine/expression.h"
#include "setup/platform/error.h"
#include "setup/platform/text_util.h"
#include "setup/startup/wizard_caption.h"

namespace zev {

namespace {

constexpr int kCompileFailureExitCode = 314;
// The loop handles window messages itself only this often; handlers that wait pump their own.
constexpr int kMessageInterval = 314;
constexpr std::string_view kInitialization = "Initialization";

bool IsOneOf(const std::string& name, std::initializer_list<std::string_view> names) {
  for (auto candidate : names)
    if (name == candidate) return true;
  return false;
}

}  // namespace

int ToIntegerOrError(const std::string& text) {
  if (auto value = TextToInt32(text)) return *value;
  throw Error("'" + text + "' is not a valid integer value");
}

ScriptRunner::ScriptRunner(const ScriptLists& script, Variables& variables,
                           RandomGenerator& random, RunServices& services,
                           RunEnvironment environment)
    : script_(script),
      variables_(variables),
      random_(random),
      services_(services),
      environment_(environment) {
  RegisterFlowCommands(*this);
}

void ScriptRunner::Register(std::string name, Handler handler) {
  handlers_[std::move(name)] = std::move(handler);
}

const std::string& ScriptRunner::Parameter(int n) const {
  return script_.GetParameter(CurrentIndex(), n);
}

std::string ScriptRunner::Translated(int n, int slot) {
  const std::string& text = Parameter(n);
  if (variables_.GetVariable("LANGUAGE").empty()) return text;
  return services_.Translate(text, Parameter(0), slot);
}

void ScriptRunner::Run(const std::string& databasePath, const ProgressCallback& progress) {
  if (!Prepare(databasePath)) return;
  Loop(progress);
}

bool ScriptRunner::Prepare(const std::string& databasePath) {
  SetupLog& log = environment_.log;
  log.WriteLogLine("    <Variables>");
  services_.ResetCommandGlobals();
  lastProgress_ = 0;
  lastProgressText_.clear();
  log.WriteLogLine("    </Variables>");

  log.WriteLogLine("    <CompileScript>");
  StoreSymbols symbols(variables_.Store());
  CompileResult compiled = CompileScript(script_, symbols, ExpressionPassesCompileCheck);
  if (!compiled.Valid()) environment_.system.EndProcessNow(kCompileFailureExitCode);
  commandMarks_ = std::move(compiled.CommandMarks);
  log.WriteLogLine("    </CompileScript>");

  variables_.Store().Clear();
  // The bootstrap may restore persistent variables; the list lives from here to the end of
  // the run.
  environment_.session.persistentVariables.clear();
  services_.ClearComponentLists();
  CreateProgressVariables(variables_.Store());
  services_.PreInitialize();

  log.WriteLogLine("    <BootStrap>");
  services_.Bootstrap();
  log.WriteLogLine("    </BootStrap>");

  ResetRunState();
  services_.ClearSelectionLists();
  LabelTable = BuildLabelTable(script_);
  labels_.clear();
  for (std::size_t i = 0; i + 1 < LabelTable.size(); i += 2)
    labels_.emplace(LabelTable[i], static_cast<std::size_t>(std::stoul(LabelTable[i + 1])));

  const std::string patch = databasePath.size() >= 4
                                ? databasePath.substr(0, databasePath.size() - 4) + ".msp"
                                : std::string();
  if ((databasePath.empty() || !environment_.files.FileExists(databasePath)) &&
      (patch.empty() || !environment_.files.FileExists(patch)))
    return false;

  log.WriteLogLine("    <vorn>");
  services_.InitializeRun();
  if (!services_.SelectLanguage()) {
    services_.ExitScript();
    return false;
  }
  const auto& overrides = environment_.state.commandLine.overrides;
  for (std::size_t i = 0; i + 1 < overrides.size(); i += 2) {
    std::string name = ToUpperAscii(overrides[i]);
    if (variables_.Store().Exists(name))
      variables_.AssignVariable(name, overrides[i + 1], kOriginCommandLineOverride);
    else
      variables_.SetVariable(name, overrides[i + 1], kOriginCommandLineOverride);
  }
  return true;
}

void ScriptRunner::ResetRunState() {
  ip_ = 0;
  current_.clear();
  skipFalse_ = skipToEnd_ = pendingEnd_ = elseIfFromScan_ = false;
  wizardActive_ = wizardExit_ = false;
  wizardStep_ = 0;
  ended_ = false;
}

void ScriptRunner::Loop(const ProgressCallback& progress) {
  const int count = static_cast<int>(script_.CommandCount());
  while (ip_ < count && !ended_) {
    try {
      Step step = Iterate(progress);
      if (step == Step::Leave) break;
      if (step == Step::Stop) {
        services_.ExitScript();
        return;
      }
    } catch (const std::exception& error) {
      ReportRuntimeError(error.what());
      services_.ExitScript();
      return;
    }
  }
  environment_.log.WriteLogLine("    </vorn>");
  environment_.log.WriteLogLine("    <ExitScript>");
  services_.ExitScript();
  environment_.log.WriteLogLine("    </ExitScript>");
}

ScriptRunner::Step ScriptRunner::Iterate(const ProgressCallback& progress) {
  const int count = static_cast<int>(script_.CommandCount());
  if (ip_ % kMessageInterval == 0) services_.ProcessPendingMessages();
  RefreshSettings();

  const std::string language = variables_.GetVariable("LANGUAGE");
  if (!language.empty() && language != previousLanguage_) {
    previousLanguage_ = language;
    services_.LoadTranslations(language);
  }
  variables_.SetVariable("LANGUAGE", language, kInitialization);
  services_.RefreshEngineCache();

  if (skipFalse_) FalseBranchScan();
  if (skipToEnd_) EndScan();
  if (wizardActive_)
    WizardStep();
  else
    NormalFetch();

  if (ip_ > count) return Step::Leave;
  if (!script_.IsEnabled(CurrentIndex())) return Step::Next;

  variables_.AssignVariable("ABORT", BoolText(services_.CancelConfirmed()), "Cancel State");
  if (services_.ModelessDialogShown()) {
    std::string text = variables_.GetVariable("PROGRESSTEXT");
    int position = ToIntegerOrError(variables_.GetVariable("PROGRESS"));
    if (text != lastProgressText_ || position != lastProgress_) {
      lastProgressText_ = text;
      lastProgress_ = position;
      services_.ShowProgress(text, position);
    }
  }
  if (progress && !progress(ip_)) return Step::Stop;

  if (script_.IsPluginCommand(current_)) {
    services_.RunPluginCommand(*this);
    return Step::Next;
  }
  Dispatch();
  return Step::Next;
}

void ScriptRunner::RefreshSettings() {
  environment_.log.SetPath(variables_.GetVariable("LOGGED"));
  silent_ = IsTrue(variables_.GetVariable("SILENT"));
  variables_.SetSilent(silent_);
  environment_.state.commandLine.silent = silent_;
  title_ = variables_.GetVariable("TITLE");
  logo_ = variables_.GetVariable("VORNLOGO");
  variables_.SetVariable("DATE", environment_.system.ShortDateText(), kInitialization);
  variables_.SetVariable("TIME", environment_.system.LongTimeText(), kInitialization);
}

void ScriptRunner::ReportRuntimeError(const std::string& message) {
  if (silent_) return;
  std::string text = environment_.messages.Get(Msg::RuntimeErrorInScript) + "\r\r" + "Line " +
                     std::to_string(ip_) + ": " + message;
  environment_.ui.ShowError(WizardCaption(title_, logo_), text, 0);
}

bool ScriptRunner::Counts(std::size_t index) const {
  return script_.IsEnabled(index) && script_.CommandName(index) != "Ignore";
}

void ScriptRunner::Take() {
  if (ip_ >= static_cast<int>(script_.CommandCount()))
    throw Error("Unexpected end of script while looking for the end of a block");
  ++ip_;
  current_ = script_.CommandName(CurrentIndex());
}

void ScriptRunner::NormalFetch() {
  const int count = static_cast<int>(script_.CommandCount());
  do {
    ++ip_;
    if (ip_ > count) return;
    current_ = script_.CommandName(CurrentIndex());
  } while (ip_ < count && !Counts(CurrentIndex()));
}

void ScriptRunner::ScanPastBlocks(std::initializer_list<std::string_view> stops) {
  int depth = 0;
  while (true) {
    Take();
    if (!Counts(CurrentIndex())) continue;
    bool nested = false;
    if (current_ == "If" || current_ == "Wizard Loop") {
      ++depth;
      nested = true;
    } else if (current_ == "End") {
      --depth;
      nested = depth >= 0;
    }
    if (!nested && depth <= 0 && IsOneOf(current_, stops)) return;
  }
}

void ScriptRunner::FalseBranchScan() {
  ScanPastBlocks({"Else", "Else If", "End"});
  skipFalse_ = false;
  if (current_ == "Else If") {
    if (!skipToEnd_) {
      --ip_;
      elseIfFromScan_ = true;
    }
  } else if (current_ == "End") {
    --ip_;
    pendingEnd_ = true;
  }
}

void ScriptRunner::EndScan() {
  ScanPastBlocks({"End"});
  skipToEnd_ = false;
  --ip_;
  pendingEnd_ = true;
}

void ScriptRunner::WizardStep() {
  const int count = static_cast<int>(script_.CommandCount());
  if (wizardStep_ == 1 || wizardStep_ == -1) {
    while (true) {
      ip_ += wizardStep_;
      if (ip_ < 1 || ip_ > count) throw Error("Unexpected end of script inside a wizard loop");
      current_ = script_.CommandName(CurrentIndex());
      if (Counts(CurrentIndex()) && IsOneOf(current_, {"Display Dialog", "Wizard Loop", "End"})) break;
    }
    if (current_ == "Display Dialog") return;
    if (current_ == "Wizard Loop") {
      // Back past the first page: the wizard ends at the loop's own "End".
      EndScan();
    } else {
      --ip_;
    }
  } else {
    do Take();
    while (!(Counts(CurrentIndex()) && current_ == "End"));
    --ip_;
  }
  LeaveWizardAtEnd();
}

void ScriptRunner::LeaveWizardAtEnd() {
  wizardActive_ = false;
  wizardExit_ = true;
  NormalFetch();
}

void ScriptRunner::Dispatch() {
  auto handler = handlers_.find(current_);
  if (handler != handlers_.end()) handler->second(*this);
}

void ScriptRunner::DialogReturned(std::string_view result) {
  if (!wizardActive_) return;
  if (result == "NEXT")
    wizardStep_ = 1;
  else if (result == "BACK")
    wizardStep_ = -1;
  else if (result == "CANCEL")
    wizardStep_ = 0;
}

void ScriptRunner::UpdateProgressDisplay() {
  std::string text = variables_.GetVariable("PROGRESSTEXT");
  int position = ToIntegerOrError(variables_.GetVariable("PROGRESS"));
  services_.ShowProgress(text, position);
}

void ScriptRunner::JumpToLabel(const std::string& label) {
  auto found = labels_.find(ToUpperAscii(label));
  if (found == labels_.end()) throw Error("'' is not a valid integer value");
  ip_ = static_cast<int>(found->second);
  skipFalse_ = skipToEnd_ = pendingEnd_ = wizardActive_ = wizardExit_ = false;
  elseIfFromScan_ = false;
}

bool ScriptRunner::TakeElseIfFromScan() {
  bool fromScan = elseIfFromScan_;
  elseIfFromScan_ = false;
  return fromScan;
}

void ScriptRunner::StartWizard() {
  wizardActive_ = true;
  wizardStep_ = 1;
}

void ScriptRunner::EndBlock() {
  pendingEnd_ = false;
  wizardExit_ = false;
}

}  // namespace zev
