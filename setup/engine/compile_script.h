#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "setup/engine/folded_text.h"
#include "setup/engine/script_lists.h"
#include "setup/engine/variable_manager.h"

namespace zev {

inline constexpr int kScriptValid = -1;
// Where an unbalanced count of "End" commands is reported.
inline constexpr int kUnbalancedEndIndex = 2147483644;
inline constexpr std::string_view kCompiledSuccessfully = "Script compiled successfully";

// CommandMarks entries.
inline constexpr std::string_view kMarkSkip = "SKIP";
inline constexpr std::string_view kMarkNotRun = "FALSE";
inline constexpr std::string_view kMarkHasRun = "TRUE";

// The symbol table of the compile pass: which variable names count as defined. Names compare
// ignoring letter case; the empty name never exists and declaring it does nothing.
class CompileSymbols {
 public:
  virtual ~CompileSymbols() = default;
  virtual void Clear() = 0;
  virtual bool Exists(std::string_view name) const = 0;
  // Creates the name with an empty value when it does not exist.
  virtual void Declare(std::string_view name) = 0;
};

// A symbol table of its own, for checking a script without touching the variable store.
class NameSet final : public CompileSymbols {
 public:
  void Clear() override { names_.clear(); }
  bool Exists(std::string_view name) const override { return names_.count(name) != 0; }
  void Declare(std::string_view name) override {
    if (!name.empty()) names_.emplace(name);
  }

 private:
  std::unordered_set<std::string, FoldedHash, FoldedEqual> names_;
};

// The variable store as the symbol table, as the engine does it: the pass clears the store and
// leaves its declarations in it (the runner clears it again after a successful pass).
class StoreSymbols final : public CompileSymbols {
 public:
  explicit StoreSymbols(TVariableManager& store) : store_(store) {}
  void Clear() override { store_.Clear(); }
  bool Exists(std::string_view name) const override { return store_.Exists(name); }
  void Declare(std::string_view name) override {
    if (!store_.Exists(name)) store_.Set(name, "");
  }

 private:
  TVariableManager& store_;
};

// Whether the raw parameter 1 of "Evaluate Expression" passes the compile check
// (ExpressionPassesCompileCheck of expression.h fits).
using ExpressionCheck = std::function<bool(std::string_view parameter)>;

struct CompileResult {
  int index = kScriptValid;  // kScriptValid, or the offending command (kUnbalancedEndIndex)
  std::string message;       // kCompiledSuccessfully, or what is wrong
  std::vector<std::string> LabelTable;    // label names, upper-cased, as far as the pass came
  std::vector<std::string> CommandMarks;  // one per command checked so far: SKIP or FALSE

  bool Valid() const { return index == kScriptValid; }
};

// The compile pass: nesting and labels, then the per-command checks and declarations in script
// order, then the wizard loops; it stops at the first error. The symbols are cleared and the
// engine's predefined names declared first. Throws Error when a per-command list (identifiers,
// flags) is shorter than CommandNames.
CompileResult CompileScript(const ScriptLists& script, CompileSymbols& symbols,
                            const ExpressionCheck& expressionPassesCheck);

// The runner's LabelTable: for every "Label" command in order, its parameter 1 upper-cased and
// its index as decimal text.
std::vector<std::string> BuildLabelTable(const ScriptLists& script);

// One of the commands that change the installation ("Install Files", "Write Registry" ...):
// marked kMarkNotRun by the compile pass when enabled.
bool ChangesInstallation(std::string_view commandName);

// Parameter 1 of "Set Variable": NAME, optionally followed by kPersistenceMarker and a flag.
inline constexpr std::string_view kPersistenceMarker = "$VORN$VORN$";
struct SetVariableTarget {
  std::string name;         // the text before the first marker (all of it without one)
  bool persistent = false;  // the text after the marker is exactly "TRUE"
};
SetVariableTarget SplitPersistenceMarker(std::string_view parameter);

}  // namespace zev
