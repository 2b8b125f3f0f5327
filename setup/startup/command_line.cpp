#include "setup/startup/command_line.h"

#include "setup/platform/text_util.h"

namespace zev {

namespace {

bool IsSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

// A switch is "/" or "-" followed by exactly the name, in any letter case.
bool IsSwitch(std::string_view parameter, std::string_view name) {
  return parameter.size() == name.size() + 1 && (parameter[0] == '/' || parameter[0] == '-') &&
         EqualsIgnoreCase(parameter.substr(1), name);
}

// First parameter whose lower-cased text contains one of the switch texts; its value is the
// lower-cased parameter without its first three characters.
std::string FindValueSwitch(const std::vector<std::string>& parameters,
                            std::initializer_list<std::string_view> switches) {
  for (const auto& parameter : parameters) {
    std::string lowered = ToLowerAscii(parameter);
    for (auto text : switches) {
      if (lowered.find(text) != std::string::npos) return lowered.size() > 3 ? lowered.substr(3) : "";
    }
  }
  return {};
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> result;
  std::size_t i = 0;
  while (true) {
    while (i < commandLine.size() && IsSpace(commandLine[i])) ++i;
    if (i >= commandLine.size()) break;
    std::string parameter;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || !IsSpace(commandLine[i])); ++i) {
      if (commandLine[i] == '"')
        quoted = !quoted;
      else
        parameter += commandLine[i];
    }
    result.push_back(std::move(parameter));
  }
  return result;
}

std::string ArgumentText(std::string_view commandLine) {
  if (!commandLine.empty() && commandLine[0] == '"') {
    // Drop the quoted program path and the one character after its closing quote.
    auto closing = commandLine.find('"', 1);
    if (closing == std::string_view::npos) return {};
    auto start = closing + 2;
    return start >= commandLine.size() ? std::string() : std::string(commandLine.substr(start));
  }
  auto blank = commandLine.find(' ');
  return blank == std::string_view::npos ? std::string() : std::string(commandLine.substr(blank + 1));
}

CommandLineSettings ParseCommandLine(std::string_view commandLine) {
  CommandLineSettings settings;
  settings.text = ArgumentText(commandLine);

  std::vector<std::string> parameters = SplitCommandLine(commandLine);
  if (!parameters.empty()) parameters.erase(parameters.begin());  // the program path

  bool update = false;
  for (const auto& parameter : parameters) {
    if (IsSwitch(parameter, "s") || IsSwitch(parameter, "qn")) settings.silent = true;
    if (IsSwitch(parameter, "update") || IsSwitch(parameter, "updatesetup")) update = true;
  }
  settings.suppressStartupWindows = settings.silent || update;

  settings.groupPolicyPath = FindValueSwitch(parameters, {"/g="});
  settings.selfExtractorPath = FindValueSwitch(parameters, {"/m="});
  settings.logPath = FindValueSwitch(parameters, {"/l=", "-l="});
  settings.mediaFolderOverride = FindValueSwitch(parameters, {"/p=", "-p="});

  for (const auto& parameter : parameters) {
    if (parameter.empty() || parameter[0] == '/' || parameter[0] == '-') continue;
    auto equals = parameter.find('=');
    if (equals == std::string::npos) continue;
    settings.overrides.push_back(ToUpperAscii(parameter.substr(0, equals)));
    settings.overrides.push_back(parameter.substr(equals + 1));
  }
  return settings;
}

}  // namespace zev
