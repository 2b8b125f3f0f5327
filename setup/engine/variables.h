#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/engine/variable_manager.h"

namespace zev {

// Origin of the assignments that apply the command line's NAME=VALUE pairs; the only origin that
// may overwrite such a variable in silent mode.
inline constexpr std::string_view kOriginCommandLineOverride = "Inject Override Command Line";
// What VariableValueOrMarker gives for an absent variable; dialog binding leaves the control as is.
inline constexpr std::string_view kAbsentVariableMarker = "$VORNNX$";
inline constexpr std::string_view kNewlineMarker = "$NEWLINE$";

// The variables through which worker threads report progress and see a cancel.
inline constexpr std::string_view kProgressVariable = "VORN_thProgress";
inline constexpr std::string_view kProgressMaxVariable = "VORN_thMax";
inline constexpr std::string_view kProgressMinVariable = "VORN_thMin";
inline constexpr std::string_view kProgressTextVariable = "VORN_thProgressText";
inline constexpr std::string_view kFinishedVariable = "VORN_thFinished";
inline constexpr std::string_view kCancelledVariable = "VORN_thCancelled";

// Creates (or resets) the six thread-shared progress variables with their initial values:
// "0", "100", "0", empty, "FALSE", "FALSE".
void CreateProgressVariables(TVariableManager& store);

// Engine-level access to the store: assignments that respect the command-line overrides while
// the setup runs silently, and the expansion forms that commands use for their parameters.
// Safe to share with worker threads (the silent flag is atomic, the overrides never change).
class Variables {
 public:
  // overrides: NAME, VALUE, NAME, VALUE ... as parsed from the command line.
  Variables(TVariableManager& store, std::vector<std::string> overrides, bool silent = false);

  TVariableManager& Store() const { return store_; }
  // The runner refreshes this from SILENT before every command.
  void SetSilent(bool silent) { silent_.store(silent, std::memory_order_relaxed); }
  bool Silent() const { return silent_.load(std::memory_order_relaxed); }

  // The value, empty when the name is not stored.
  std::string GetVariable(std::string_view name) const;
  // Nothing for an empty name; an existing name goes through AssignVariable; a new name is
  // created with the value.
  void SetVariable(std::string_view name, std::string_view value, std::string_view origin);
  // Stores the value (creating the variable), except that while silent a name given on the
  // command line keeps its command-line value unless origin is kOriginCommandLineOverride.
  void AssignVariable(std::string_view name, std::string_view value, std::string_view origin);
  // Whether a silent assignment to the name would be dropped (it is a NAME on the command line).
  bool IsCommandLineName(std::string_view name) const;

  std::string Expand(std::string_view text) const { return store_.Expand(text); }
  std::string ExpandQuoted(std::string_view text) const { return store_.ExpandQuoted(text); }
  // Expand, then every "\\" collapsed to "\"; a leading UNC "\\" is kept.
  std::string ExpandPath(std::string_view text) const;
  // text is NAME or $NAME$: the variable's value expanded, empty when it does not exist.
  std::string VariableValue(std::string_view text) const;
  // As VariableValue, but kAbsentVariableMarker when the variable does not exist.
  std::string VariableValueOrMarker(std::string_view text) const;

 private:
  std::optional<std::string> ExpandedValue(std::string_view text) const;

  TVariableManager& store_;
  const std::vector<std::string> overrides_;
  std::atomic<bool> silent_;
};

// "$NAME$" -> "NAME": only when the text starts with "$" and its next "$" is its last character;
// otherwise empty.
std::string StripReference(std::string_view text);
// StripReference(text), or the text itself when that is empty.
std::string VariableNameOf(std::string_view text);
// "TRUE" in any letter case, or exactly "-1".
bool IsTrue(std::string_view text);
std::string BoolText(bool value);
// Every CR LF -> "$NEWLINE$".
std::string NewlinesToText(std::string_view text);
// Every "$NEWLINE$" (any letter case) -> CR LF.
std::string TextToNewlines(std::string_view text);
// A script number: optional "+" or "-", then decimal digits only (no blanks), within the 32-bit
// signed range. Nothing otherwise.
std::optional<std::int32_t> TextToInt32(std::string_view text);

}  // namespace zev
