#include "setup/engine/script_lists.h"

#include "setup/platform/error.h"

namespace zev {

namespace {

const std::string& EntryAt(const std::vector<std::string>& list, std::size_t index) {
  if (index >= list.size())
    throw Error("List index out of bounds (" + std::to_string(index) + ")");
  return list[index];
}

}  // namespace

NameList::NameList(std::vector<std::string> names) : names_(std::move(names)) {
  for (std::size_t i = 0; i < names_.size(); ++i) index_.try_emplace(names_[i], i);
}

std::optional<std::size_t> NameList::IndexOf(std::string_view name) const {
  auto found = index_.find(name);
  if (found == index_.end()) return std::nullopt;
  return found->second;
}

const std::string& ScriptLists::CommandName(std::size_t index) const {
  return EntryAt(CommandNames, index);
}

const std::string& ScriptLists::CommandId(std::size_t index) const {
  return EntryAt(CommandIds, index);
}

const std::string& ScriptLists::CommandFlag(std::size_t index) const {
  return EntryAt(CommandFlags, index);
}

const std::string& ScriptLists::CommandMediaOf(std::size_t index) const {
  return EntryAt(CommandMedia, index);
}

const std::string& ScriptLists::GetParameter(std::size_t commandIndex, int n) const {
  return ParameterLines.Lookup(CommandId(commandIndex), n);
}

}  // namespace zev
