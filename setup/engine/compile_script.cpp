#include "setup/engine/compile_script.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "setup/engine/variables.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

// Declared before the checks, so that scripts may read the engine's own variables anywhere.
constexpr std::string_view kPredefinedNames[] = {
    "VORN_COMPRESSCACHE", "VORN_DISABLEROLLBACK", "VORN_DISABLEVISTARESTARTMANAGER", "VORNLOGO",
    "TIME", "DATE", "NEWINSTANCE", "SELECTED", "WINDOWHANDLE", "EXEDIR", "EXEFILE",
    "UNINSTALLLINK", "ENGINECACHE", "COPYWEBLOCK", "ABORT", "SILENT", "LOGGED", "CMDLINE",
    "REBOOTNOW", "SFXPATH", "SFXFILE", "LASTERROR", "PROGRESSMODE", "PROGRESSTEXT", "PROGRESS",
    "LICENSE", "USERNAME", "USERCOMPANY", "REBOOTCOMPUTER", "RUNAPP", "WIZARD", "VERSION",
    "TARGETDIR", "STARTMENU", "ADVERTISE", "ALLUSERS", "COMPLETE", "MINIMUM", "PERSONALIZED",
    "MODIFY", "REPAIR", "REMOVE", "DATADIR", "PRODUCTCODE", "REVISIONCODE", "ROOTDIR",
    "MAINTENANCE", "NEWLINE", "NEEDSUPGRADE", "TITLE", "COMPANY", "TEMPDIR", "SUPPORTDIR",
    "MSIFILE", "LANGUAGE"};

constexpr std::string_view kInstallationChanging[] = {
    "Delete Files", "Copy/Move Local Files", "Create Folder", "Create Shortcut",
    "Advertised Shortcut", "Edit INI File", "Install Files", "Install Assembly",
    "Set Environment", "Install Service", "Install ODBC Driver", "Create ODBC DSN",
    "Control Service", "Write Registry", "Create File Type", "Advertised File Type"};

// The parameters whose text (upper-cased) each command declares as a variable. An empty text
// declares nothing, which covers the "when not empty" cases.
const std::unordered_map<std::string_view, std::vector<int>>& Declarations() {
  static const std::unordered_map<std::string_view, std::vector<int>> table = [] {
    std::unordered_map<std::string_view, std::vector<int>> t;
    for (auto name : {"Get Folder Location", "Get INI File Settings", "Check File Version",
                      "Get System Settings", "Get OS or SP Level", "Read Registry",
                      "Check Registry", "Does File/Folder Exist", "Localization Variable",
                      "Get Temporary File", "Get IIS Property", "Get IIS Site List",
                      "Check Disk Space", "Apply Patch", "IIS Anonymous User"})
      t[name] = {1};
    for (auto name : {"Run Light Mode Setup", "Get File Version", "Get Environment",
                      "Get IIS Site Index", "Is MSI Setup Installed", "Display Dialog",
                      "Check Process", "Apply Changes", "Get Component State",
                      "Get Component Space"})
      t[name] = {2};
    for (auto name : {"Extract 7Zip Archive", "Check Service", "Register Library"}) t[name] = {3};
    for (auto name : {"Mathematics", "Find All Files", "Run Program"}) t[name] = {4};
    t["MessageBox"] = {5};
    t["Run Program As"] = {8};
    t["Read from Text File"] = {2, 3};
    t["Parse String"] = {3, 4};
    return t;
  }();
  return table;
}

struct Failure {
  int index;
  std::string message;
};
using Outcome = std::optional<Failure>;

Failure At(std::size_t index, std::string message) {
  return {static_cast<int>(index), std::move(message)};
}

class CompilePass {
 public:
  CompilePass(const ScriptLists& script, CompileSymbols& symbols, const ExpressionCheck& check,
              CompileResult& result)
      : script_(script), symbols_(symbols), expressionPassesCheck_(check), result_(result) {}

  Outcome Run() {
    symbols_.Clear();
    for (auto name : kPredefinedNames) symbols_.Declare(name);
    if (auto failure = CheckNesting()) return failure;
    if (auto failure = CollectLabels()) return failure;
    DeclarePersistentVariables();
    if (auto failure = CheckCommands()) return failure;
    return CheckWizardLoops();
  }

 private:
  const std::string& Name(std::size_t i) const { return script_.CommandNames[i]; }
  const std::string& Parameter(std::size_t i, int n) const { return script_.GetParameter(i, n); }

  Outcome CheckNesting() {
    long depth = 0, openers = 0, closers = 0;
    for (std::size_t i = 0; i < script_.CommandCount(); ++i) {
      if (!script_.IsEnabled(i)) continue;
      const std::string& name = Name(i);
      if (name == "If" || name == "Wizard Loop") {
        ++depth;
        ++openers;
      } else if (name == "End") {
        --depth;
        ++closers;
      } else if (name == "Label" && depth != 0) {
        return At(i, "LABEL statements cannot be nested inside loops/conditionals");
      }
    }
    if (closers < openers) return Failure{kUnbalancedEndIndex, "Insufficient END statements"};
    if (closers > openers) return Failure{kUnbalancedEndIndex, "Too many END statements"};
    return std::nullopt;
  }

  // Every command named "Label", enabled or not: a disabled one is stored as "Comment" anyway.
  Outcome CollectLabels() {
    for (std::size_t i = 0; i < script_.CommandCount(); ++i) {
      if (Name(i) != "Label") continue;
      const std::string& written = Parameter(i, 1);
      std::string label = ToUpperAscii(written);
      if (!labels_.insert(label).second) return At(i, "LABEL re-defined: " + written);
      result_.LabelTable.push_back(std::move(label));
    }
    return std::nullopt;
  }

  // Persistent variables are restored from earlier runs, so they count as defined everywhere.
  void DeclarePersistentVariables() {
    for (std::size_t i = 0; i < script_.CommandCount(); ++i) {
      if (Name(i) != "Set Variable") continue;
      SetVariableTarget target = SplitPersistenceMarker(Parameter(i, 1));
      if (target.persistent) symbols_.Declare(ToUpperAscii(target.name));
    }
  }

  Outcome CheckCommands() {
    auto& marks = result_.CommandMarks;
    for (std::size_t i = 0; i < script_.CommandCount(); ++i) {
      marks.emplace_back(kMarkSkip);
      if (!script_.IsEnabled(i)) continue;
      const std::string& name = Name(i);
      if (name == "Evaluate Expression") Declare(i, 2);
      if (auto failure = CheckCommand(i, name)) return failure;
      Declare(i, name);
      if (ChangesInstallation(name)) marks.back() = kMarkNotRun;
    }
    return std::nullopt;
  }

  Outcome CheckCommand(std::size_t i, const std::string& name) {
    if (name == "Web Media Block") {
      const std::string& blockName = Parameter(i, 1);
      // Only the file-name part is checked.
      auto nameStart = blockName.find_last_of("\\:");
      auto fileName = std::string_view(blockName).substr(nameStart == std::string::npos ? 0 : nameStart + 1);
      if (fileName.find_first_of("\\/:*?\"<>|") != std::string_view::npos)
        return At(i, "Web Media Block name must be a legal file name");
      if (!blockName.empty() && Parameter(i, 2).empty())
        return At(i, "Web Media Block must have at least one download URL");
    } else if (name == "Is MSI Setup Installed") {
      if (Parameter(i, 2).empty()) return At(i, "Variable required");
    } else if (name == "Delete Files") {
      if (!IsTrue(Parameter(i, 3)) && !IsTrue(Parameter(i, 4)))
        return At(i, "At least one delete mode must be selected");
    } else if (name == "Install Files") {
      if (Parameter(i, 3).empty())
        return At(i,
                  "A target folder must be specified for files that are being installed.\r"
                  "The value $TARGETDIR$ represents the destination folder chosen by the user.");
    } else if (name == "Convert Path" || name == "Convert Case" || name == "Extract Path" ||
               name == "Replace String") {
      const std::string& variable = Parameter(i, 1);
      if (!symbols_.Exists(variable)) return At(i, "Variable not defined: " + variable);
    } else if (name == "Evaluate Expression") {
      if (!expressionPassesCheck_(Parameter(i, 1)))
        return At(i,
                  "Syntax error in expression. Please review the help topic \"Evaluate "
                  "Expression\" for the correct syntax.");
    } else if (name == "Check Disk Space") {
      if (Parameter(i, 1).empty()) return At(i, "Variable required");
    } else if (name == "Find All Files") {
      if (Parameter(i, 4).empty()) return At(i, "Variable required");
    } else if (name == "GoTo Label") {
      const std::string& label = Parameter(i, 1);
      if (labels_.count(ToUpperAscii(label)) == 0) return At(i, "LABEL undefined: " + label);
    } else if (name == "If" || name == "Else If") {
      const std::string& variable = Parameter(i, 1);
      if (variable.empty()) return At(i, "Variable required");
      const std::string& value = Parameter(i, 3);
      if (!MayBeLiteral(value)) return At(i, "Variable not defined: " + value);
      if (!NamesDefinedVariable(variable)) return At(i, "Variable not defined: " + variable);
    } else if (name == "Display Dialog") {
      if (Parameter(i, 1).empty()) return At(i, "Dialog name not specified");
      const std::string& variable = Parameter(i, 4);
      if (!variable.empty() && !NamesDefinedVariable(variable))
        return At(i, "Variable not defined: " + variable);
    }
    return std::nullopt;
  }

  // $NAME$ with NAME defined, or, written otherwise, itself a defined name.
  bool NamesDefinedVariable(std::string_view text) const {
    return symbols_.Exists(VariableNameOf(text));
  }

  // Anything but a $NAME$ whose NAME is undefined.
  bool MayBeLiteral(std::string_view text) const {
    std::string name = StripReference(text);
    return name.empty() || symbols_.Exists(name);
  }

  void Declare(std::size_t i, int parameter) { symbols_.Declare(ToUpperAscii(Parameter(i, parameter))); }

  void Declare(std::size_t i, const std::string& name) {
    if (name == "Set Variable") {
      symbols_.Declare(ToUpperAscii(SplitPersistenceMarker(Parameter(i, 1)).name));
      return;
    }
    if (name == "Evaluate Expression") return;  // declared before its check
    const auto& table = Declarations();
    auto found = table.find(name);
    if (found == table.end()) return;
    for (int parameter : found->second) Declare(i, parameter);
  }

  // A "Wizard Loop" holds only dialogs up to its "End"; comments may stay in between.
  Outcome CheckWizardLoops() const {
    bool inside = false;
    for (std::size_t i = 0; i < script_.CommandCount(); ++i) {
      if (!script_.IsEnabled(i)) continue;
      const std::string& name = Name(i);
      if (!inside) {
        inside = name == "Wizard Loop";
      } else if (name == "End") {
        inside = false;
      } else if (name != "Display Dialog" && name != "Comment" && name != "Ignore") {
        return At(i, "Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP");
      }
    }
    return std::nullopt;
  }

  const ScriptLists& script_;
  CompileSymbols& symbols_;
  const ExpressionCheck& expressionPassesCheck_;
  CompileResult& result_;
  std::unordered_set<std::string> labels_;
};

}  // namespace

CompileResult CompileScript(const ScriptLists& script, CompileSymbols& symbols,
                            const ExpressionCheck& expressionPassesCheck) {
  CompileResult result;
  result.CommandMarks.reserve(script.CommandCount());
  if (auto failure = CompilePass(script, symbols, expressionPassesCheck, result).Run()) {
    result.index = failure->index;
    result.message = std::move(failure->message);
  } else {
    result.message = kCompiledSuccessfully;
  }
  return result;
}

std::vector<std::string> BuildLabelTable(const ScriptLists& script) {
  std::vector<std::string> table;
  for (std::size_t i = 0; i < script.CommandCount(); ++i) {
    if (script.CommandNames[i] != "Label") continue;
    table.push_back(ToUpperAscii(script.GetParameter(i, 1)));
    table.push_back(std::to_string(i));
  }
  return table;
}

bool ChangesInstallation(std::string_view commandName) {
  return std::find(std::begin(kInstallationChanging), std::end(kInstallationChanging),
                   commandName) != std::end(kInstallationChanging);
}

SetVariableTarget SplitPersistenceMarker(std::string_view parameter) {
  auto marker = parameter.find(kPersistenceMarker);
  if (marker == std::string_view::npos) return {std::string(parameter), false};
  return {std::string(parameter.substr(0, marker)),
          parameter.substr(marker + kPersistenceMarker.size()) == "TRUE"};
}

}  // namespace zev
