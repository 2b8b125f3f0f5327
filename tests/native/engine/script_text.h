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

inline std::string ScriptText(const std::vector<ScriptCommand>& commands,
                              const std::vector<std::string>& plugins = {},
                              const std::string& title = "TX880 Test") {
  std::string text;
  auto line = [&text](const std::string& value) { text += value + "\r\n"; };
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
  line("{11111111-2222-4333-8444-555555555555}");
  line(title);
  for (const auto& plugin : plugins) line(plugin);
  line("$");
  for (const char* info : {"Corvane", "", "", "", "", "1.0"}) line(info);
  line("$");
  for (std::size_t i = 0; i < commands.size(); ++i) line("");
  line("$");
  line("1");
  line("VORN-PREDEF-COMPONENT");
  line("0");
  line("$");
  line("{66666666-7777-4888-8999-AAAAAAAAAAAA}");
  line("$");
  line("FALSE");
  line("English");
  line("$");
  line("$");
  return text;
}

}  // namespace zev::testing
