#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zev {

// The engine state file an installed product keeps in its engine cache: the component table,
// the chosen folders and the persistent variables, one item per line.
struct EngineState {
  std::vector<std::string> componentNames;
  std::vector<std::string> componentStates;  // "TRUE"/"FALSE", one per component
  std::vector<std::string> deleted;
  std::vector<std::string> hidden;
  std::vector<std::string> choiceLocked;
  std::vector<std::string> componentSizes;  // name, size, name, size ...
  std::string targetDir;
  std::string allUsers;
  std::string startMenu;
  std::string dataDir;  // with a trailing backslash, or empty
  // Persistent variables in file order, values as stored (line breaks written as "$NEWLINE$").
  std::vector<std::pair<std::string, std::string>> variables;
  // The 64-bit mode setting kept under the name "VORN64WOW".
  std::string wow64Setting;

  bool operator==(const EngineState&) const = default;
};

inline constexpr std::string_view kWow64SettingName = "VORN64WOW";

// Reads the file's text. Lists end at a line that is exactly "$"; a file that ends early leaves
// the later parts empty; a name line without its value line ends the pairs.
EngineState ParseEngineState(std::string_view text);

// The whole file, written after an installation: CR LF lines, values with CR LF written as
// "$NEWLINE$", the 64-bit setting last.
std::string FormatEngineState(const EngineState& state);

// The file rewritten with the current values of the persistent variables: the old text up to
// and including the four lines after its sixth "$" line, then the variables, then "VORN64WOW"
// with the old file's last line. Nothing when the old text does not have the six lists and four
// lines (such a file is not rewritten).
std::optional<std::string> RewritePersistentVariables(
    std::string_view oldText, const std::vector<std::pair<std::string, std::string>>& variables);

}  // namespace zev
