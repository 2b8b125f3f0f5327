#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/engine/folded_text.h"
#include "setup/engine/parameter_lists.h"
#include "setup/platform/file_system.h"

namespace zev {

// The six product information lines of the script, in file order.
struct ProductInformation {
  std::string company;  // COMPANY
  std::string supportContact;
  std::string helpLink;
  std::string updateInfoLink;
  std::string comments;
  std::string version;  // VERSION
};

// A list of names searched ignoring letter case (the plug-in command names).
class NameList {
 public:
  NameList() = default;
  explicit NameList(std::vector<std::string> names);

  const std::vector<std::string>& Items() const { return names_; }
  std::size_t size() const { return names_.size(); }
  bool empty() const { return names_.empty(); }
  const std::string& operator[](std::size_t index) const { return names_[index]; }

  bool Contains(std::string_view name) const { return index_.count(name) != 0; }
  // Position of the first item equal to the name, letter case ignored.
  std::optional<std::size_t> IndexOf(std::string_view name) const;

 private:
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::size_t, FoldedHash, FoldedEqual> index_;
};

// The loaded script: the list parts and fixed lines of the script file, in file order. Lives
// from start-up until the process ends. CommandNames, CommandIds, CommandFlags and CommandMedia
// hold one line per command each (the n-th line belongs to command n - 1); a file that ended
// early can leave them shorter, which the per-command look-ups below report as an error.
class ScriptLists {
 public:
  std::vector<std::string> CommandNames;   // part 1; a disabled command is named "Comment"
  std::vector<std::string> CommandIds;     // part 2
  ParameterLists ParameterLines;           // part 3, the one list the loader puts in
  std::vector<std::string> CommandFlags;   // part 4: "C" for a disabled command
  std::string productCode;                 // part 5
  std::string productTitle;                // part 6
  NameList PluginCommands;                 // part 7
  ProductInformation productInformation;   // part 8
  std::vector<std::string> WebMediaKeys;   // part 9: block name, scrambled password, ...
  std::vector<std::string> CommandMedia;   // part 10
  int mediaMode = 0;                       // part 11: 1, 2 or 3; 0 when missing or no number
  std::vector<std::string> ComponentSizes; // part 12: name, size in bytes, ...
  std::string revisionCode;                // part 13
  std::vector<std::string> MediaFiles;     // part 14: block, path in media, target sub-folder, ...
  std::string languageDialogFlag;          // part 15
  std::string defaultLanguage;             // part 16
  std::vector<std::string> CommandHeaders; // part 17: header identifier, command index, ...
  std::vector<std::string> CompilerVariables;  // part 18: name, value, ...

  std::size_t CommandCount() const { return CommandNames.size(); }

  // Per-command entries. An index past the end of the list throws Error.
  const std::string& CommandName(std::size_t index) const;
  const std::string& CommandId(std::size_t index) const;
  const std::string& CommandFlag(std::size_t index) const;
  const std::string& CommandMediaOf(std::size_t index) const;
  // The command's flag is not "C".
  bool IsEnabled(std::size_t index) const { return CommandFlag(index) != "C"; }

  // Parameter n of the command (n = 0: its identifier, also its translation key), raw and
  // unexpanded. Empty when the command has no block or the line lies past the end of the list
  // holding it. Throws Error when the command has no identifier line.
  const std::string& GetParameter(std::size_t commandIndex, int n) const;

  // The name is one of PluginCommands, letter case ignored.
  bool IsPluginCommand(std::string_view name) const { return PluginCommands.Contains(name); }
  // The language selection dialog may appear (the flag is exactly "TRUE").
  bool LanguageDialogWanted() const { return languageDialogFlag == "TRUE"; }
};

// Reads the script text into the lists. Lines end with CR LF or a bare LF. A list part ends at
// a line that is exactly "$"; a text that ends first ends that list and leaves every later part
// empty. Part 3 lines that are exactly "$WILD_DOLLAR$" or "$DOLLAR$" become "$".
ScriptLists ParseScript(std::string_view text);
// ParseScript of a whole file. Throws Error when the file cannot be read.
ScriptLists ReadScript(platform::FileSystem& files, const std::string& path);

// Replaces every #NAME# in the text (NAME matched ignoring letter case) by NAME's value from
// the name, value pairs of CompilerVariables, one pair after the other in file order. When the
// result contains "$" and differs from the text, it goes through the same replacement once more.
std::string ExpandCompilerVariables(const std::vector<std::string>& compilerVariables,
                                    std::string_view text);

}  // namespace zev
