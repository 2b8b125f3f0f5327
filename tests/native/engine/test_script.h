#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "setup/engine/script_lists.h"

namespace zev::testing {

// A command as the compile pass sees it. A disabled one keeps its name here, so that the flag
// alone decides (the authoring tool also renames it to "Comment").
struct TestCommand {
  std::string name;
  std::vector<std::string> parameters;  // no block at all when empty
  bool disabled = false;
};

// The identifier TestScriptText gives command i.
inline std::string TestCommandId(std::size_t index) {
  char id[64];
  std::snprintf(id, sizeof id, "{5B8F0D1E-3C2A-4E6B-9A71-%012zu}", index);
  return id;
}

// A script file text holding the commands and otherwise empty list parts; lines end in CR LF.
inline std::string TestScriptText(const std::vector<TestCommand>& commands) {
  std::string names, ids, parameters, flags, media;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    names += commands[i].name + "\r\n";
    ids += TestCommandId(i) + "\r\n";
    if (!commands[i].parameters.empty()) {
      parameters += TestCommandId(i) + "\r\n";
      for (const auto& line : commands[i].parameters) parameters += line + "\r\n";
    }
    flags += std::string(commands[i].disabled ? "C" : "") + "\r\n";
    media += "\r\n";
  }
  return names + "$\r\n" + ids + "$\r\n" + parameters + "$\r\n" + flags + "$\r\n" +
         "{PRODUCT}\r\nTitle\r\n$\r\n" + "Company\r\n\r\n\r\n\r\n\r\n1.0\r\n" + "$\r\n" + media +
         "$\r\n1\r\n$\r\n{REVISION}\r\n$\r\nFALSE\r\nEnglish\r\n$\r\n$\r\n";
}

inline ScriptLists TestScript(const std::vector<TestCommand>& commands) {
  return ParseScript(TestScriptText(commands));
}

}  // namespace zev::testing
