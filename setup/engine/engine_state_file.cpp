#include "setup/engine/engine_state_file.h"

#include "setup/engine/variables.h"
#include "setup/startup/language_file.h"

namespace zev {

namespace {

constexpr std::size_t kListCount = 6;
constexpr std::size_t kFixedLines = 4;

// The six lists in file order; State is EngineState or const EngineState.
template <typename State>
auto ListOf(State& state, std::size_t index) {
  decltype(&state.componentNames) lists[kListCount] = {
      &state.componentNames, &state.componentStates, &state.deleted,
      &state.hidden,         &state.choiceLocked,    &state.componentSizes};
  return lists[index];
}

void AppendLine(std::string& text, std::string_view line) {
  text += line;
  text += "\r\n";
}

}  // namespace

EngineState ParseEngineState(std::string_view text) {
  EngineState state;
  std::vector<std::string> lines = SplitLines(text);
  std::size_t at = 0;
  for (std::size_t list = 0; list < kListCount; ++list) {
    while (at < lines.size() && lines[at] != "$") ListOf(state, list)->push_back(lines[at++]);
    if (at >= lines.size()) return state;
    ++at;  // the "$"
  }
  std::string* fixed[kFixedLines] = {&state.targetDir, &state.allUsers, &state.startMenu,
                                     &state.dataDir};
  for (std::string* line : fixed) {
    if (at >= lines.size()) return state;
    *line = lines[at++];
  }
  for (; at + 1 < lines.size(); at += 2) {
    if (lines[at] == kWow64SettingName)
      state.wow64Setting = lines[at + 1];
    else
      state.variables.emplace_back(lines[at], lines[at + 1]);
  }
  return state;
}

std::string FormatEngineState(const EngineState& state) {
  std::string text;
  for (std::size_t list = 0; list < kListCount; ++list) {
    for (const auto& line : *ListOf(state, list)) AppendLine(text, line);
    AppendLine(text, "$");
  }
  for (const std::string* line : {&state.targetDir, &state.allUsers, &state.startMenu, &state.dataDir})
    AppendLine(text, *line);
  for (const auto& [name, value] : state.variables) {
    AppendLine(text, name);
    AppendLine(text, NewlinesToText(value));
  }
  AppendLine(text, kWow64SettingName);
  AppendLine(text, state.wow64Setting);
  return text;
}

std::optional<std::string> RewritePersistentVariables(
    std::string_view oldText, const std::vector<std::pair<std::string, std::string>>& variables) {
  std::vector<std::string> lines = SplitLines(oldText);
  std::size_t dollars = 0, at = 0;
  while (at < lines.size() && dollars < kListCount)
    if (lines[at++] == "$") ++dollars;
  if (dollars < kListCount || lines.size() - at < kFixedLines) return std::nullopt;
  at += kFixedLines;

  std::string text;
  for (std::size_t i = 0; i < at; ++i) AppendLine(text, lines[i]);
  for (const auto& [name, value] : variables) {
    AppendLine(text, name);
    AppendLine(text, NewlinesToText(value));
  }
  AppendLine(text, kWow64SettingName);
  AppendLine(text, lines.back());
  return text;
}

}  // namespace zev
