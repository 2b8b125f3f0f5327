#pragma once
// Writes scripts in the compiled text form for tests: commands with their parameters, the
// fixed lines filled with plain values.
#include <cstdio>
#include <string>
#include <vector>

namespace zev::testing {

struct ScriptCommand {
  std::string name;
  std::vector<std::string> parameters;
  bool disabled = false;
};

inline std::string CommandIdentifier(std::size_t index) {
  char text[48];
  std::snprintf(text, sizeof text, "{00000000-0000-4000-8000-%012zu}", index);
  return text;
}

// The fixed parts of a script beside its commands.
struct ScriptHeader {
  std::vector<std::string> plugins;
  std::string title = "TX880 Test";
  std::string productCode = "{11111111-2222-4333-8444-555555555555}";
  std::string revisionCode = "{66666666-7777-4888-8999-AAAAAAAAAAAA}";
  std::string mediaMode = "1";
  std::vector<std::string> componentSizes = {"VORN-PREDEF-COMPONENT", "0"};
  std::vector<std::string> compilerVariables;
};

inline std::string ScriptText(const std::vector<ScriptCommand>& commands, const ScriptHeader& header) {
  std::string text;
  auto line = [&text](const std::string& value) { text += value + "\r\n"; };
  auto list = [&line](const std::vector<std::string>& items) {
    for (const auto& item : items) line(item);
    line("$");
  };
  for (const auto& command : commands) line(command.disabled ? "Comment" : command.name);
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) line(CommandIdentifier(i));
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (commands[i].parameters.empty()) continue;
    line(CommandIdentifier(i));
    for (const auto& parameter : commands[i].parameters) line(parameter);
  }
  line("$");
  for (const auto& command : commands) line(command.disabled ? "C" : "");
  line("$");
  line(header.productCode);
  line(header.title);
  list(header.plugins);
  for (const char* info : {"Corvane", "", "", "", "", "1.0"}) line(info);
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) line("");
  line("$");
  line(header.mediaMode);
  list(header.componentSizes);
  line(header.revisionCode);
  line("$");
  line("FALSE");
  line("English");
  line("$");
  list(header.compilerVariables);
  return text;
}

inline std::string ScriptText(const std::vector<ScriptCommand>& commands,
                              const std::vector<std::string>& plugins = {},
                              const std::string& title = "TX880 Test") {
  ScriptHeader header;
  header.plugins = plugins;
  header.title = title;
  return ScriptText(commands, header);
}

}  // namespace zev::testing
