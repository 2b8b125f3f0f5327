#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zev {

// What the setup program takes from its command line.
struct CommandLineSettings {
  std::string text;                  // the raw argument text (CMDLINE)
  bool silent = false;               // "/s", "-qn" ...
  bool suppressStartupWindows = false;  // silent, or "update"/"updatesetup"
  std::string groupPolicyPath;       // "/g="
  std::string selfExtractorPath;     // "/m="
  std::string logPath;               // "/l=" or "-l="
  std::string mediaFolderOverride;   // "/p=" or "-p="
  // NAME, VALUE, NAME, VALUE ... in command-line order, NAME upper-cased.
  std::vector<std::string> overrides;
};

// Splits a command line into parameters the way the program's runtime does: blanks and control
// characters separate, double quotes group and are removed. Element 0 is the program path.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The argument text after the program path.
std::string ArgumentText(std::string_view commandLine);

CommandLineSettings ParseCommandLine(std::string_view commandLine);

}  // namespace zev
