#include "setup/engine/component_table.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "setup/engine/variables.h"
#include "setup/platform/error.h"
#include "setup/platform/text_util.h"

namespace zev {
namespace {

using List = std::vector<std::string>;

List::const_iterator FindEqual(const List& list, std::string_view name) {
  return std::find_if(list.begin(), list.end(),
                      [name](const std::string& item) { return EqualsIgnoreCase(item, name); });
}

// Position of the first equal item, or the list's size.
std::size_t PositionOf(const List& list, std::string_view name) {
  return static_cast<std::size_t>(FindEqual(list, name) - list.begin());
}

bool Contains(const List& list, std::string_view name) {
  return FindEqual(list, name) != list.end();
}

void RemoveFirstEqual(List& list, std::string_view name) {
  if (auto found = FindEqual(list, name); found != list.end()) list.erase(found);
}

// Same rules as the script's 32-bit numbers: optional sign, decimal digits only.
std::optional<std::int64_t> TextToInt64(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(),
                                     [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  // from_chars takes "-" but not "+"; the digits were checked above.
  if (text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Position of the first pair whose name is equal, or the list's size. Only name positions are
// searched, so a name that happens to equal another pair's size text cannot match a size.
std::size_t FindSizePair(const List& sizes, std::string_view name) {
  for (std::size_t i = 0; i < sizes.size(); i += 2)
    if (EqualsIgnoreCase(sizes[i], name)) return i;
  return sizes.size();
}

bool IsInListWithAncestors(const List& list, std::string_view name) {
  while (true) {
    if (Contains(list, name)) return true;
    auto cut = name.rfind('\\');
    if (cut == std::string_view::npos) return false;
    name = name.substr(0, cut);
  }
}

}  // namespace

void ComponentTable::Reset(const std::vector<std::string>& scriptSizes) {
  names_.clear();
  states_.clear();
  descriptions_.clear();
  deleted_.clear();
  hidden_.clear();
  choiceLocked_.clear();
  sizes_ = scriptSizes;
  installedSize_ = 0;
}

void ComponentTable::Define(const std::string& name, bool selected,
                            const std::string& description) {
  std::size_t index = PositionOf(names_, name);
  if (index == names_.size()) {
    names_.push_back(name);
    states_.push_back(BoolText(selected));
  } else {
    RemoveFirstEqual(deleted_, name);
    if (states_[index].empty()) states_[index] = BoolText(selected);
  }
  if (descriptions_.size() <= index) descriptions_.resize(index + 1);
  descriptions_[index] = description;
  if (FindSizePair(sizes_, name) == sizes_.size()) {
    // A list ending in a name without its size would put the new name at a size position.
    if (sizes_.size() % 2 != 0) sizes_.emplace_back();
    sizes_.push_back(name);
    sizes_.emplace_back("0");
  }
}

int ComponentTable::IndexOf(std::string_view name) const {
  std::size_t index = PositionOf(names_, name);
  return index == names_.size() ? -1 : static_cast<int>(index);
}

bool ComponentTable::IsDeleted(std::string_view name) const { return Contains(deleted_, name); }
bool ComponentTable::IsHidden(std::string_view name) const { return Contains(hidden_, name); }
bool ComponentTable::IsChoiceLocked(std::string_view name) const {
  return Contains(choiceLocked_, name);
}

bool ComponentTable::IsHiddenWithAncestors(std::string_view name) const {
  return IsInListWithAncestors(hidden_, name);
}

bool ComponentTable::IsChoiceLockedWithAncestors(std::string_view name) const {
  return IsInListWithAncestors(choiceLocked_, name);
}

bool ComponentTable::IsSelected(std::string_view name) const {
  std::size_t index = PositionOf(names_, name);
  return index != names_.size() && !IsDeleted(name) && IsTrue(states_[index]);
}

void ComponentTable::SetSelection(std::string_view name, bool selected) {
  std::size_t index = PositionOf(names_, name);
  if (index != names_.size()) states_[index] = BoolText(selected);
}

const std::string& ComponentTable::Description(std::string_view name) const {
  static const std::string empty;
  std::size_t index = PositionOf(names_, name);
  if (index >= descriptions_.size()) return empty;
  return descriptions_[index];
}

std::int64_t ComponentTable::SizeOf(std::string_view name) const {
  std::size_t at = FindSizePair(sizes_, name);
  if (at == sizes_.size()) return 0;
  const std::string text = at + 1 < sizes_.size() ? sizes_[at + 1] : std::string();
  if (auto value = TextToInt64(text)) return *value;
  throw Error("'" + text + "' is not a valid integer value");
}

void ComponentTable::SetSize(const std::string& name, std::int64_t size) {
  std::size_t at = FindSizePair(sizes_, name);
  if (at == sizes_.size()) {
    sizes_.push_back(name);
    sizes_.push_back(std::to_string(size));
  } else if (at + 1 == sizes_.size()) {
    sizes_.push_back(std::to_string(size));
  } else {
    sizes_[at + 1] = std::to_string(size);
  }
}

std::int64_t ComponentTable::TotalSize() const {
  std::int64_t total = 0;
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (IsTrue(states_[i]) && !IsDeleted(names_[i]))
      total += SizeOf(names_[i]);
  return total - installedSize_;
}

void ComponentTable::SetChoiceAllowed(std::string_view name, bool allowed) {
  if (allowed)
    RemoveFirstEqual(choiceLocked_, name);
  else if (IsDefined(name) && !IsChoiceLocked(name))
    choiceLocked_.emplace_back(name);
}

void ComponentTable::SetVisible(std::string_view name, bool visible) {
  if (visible)
    RemoveFirstEqual(hidden_, name);
  else if (IsDefined(name) && !IsHidden(name))
    hidden_.emplace_back(name);
}

void ComponentTable::Delete(std::string_view name) {
  if (IsDefined(name) && !IsDeleted(name)) deleted_.emplace_back(name);
}

void ComponentTable::RecordInstalledSize() {
  installedSize_ = 0;
  installedSize_ = TotalSize();
}

void ComponentTable::Replace(const EngineState& saved, bool keepSizes) {
  names_ = saved.componentNames;
  states_ = saved.componentStates;
  // The states stay parallel to the names everywhere else; a missing state is not selected.
  states_.resize(names_.size(), BoolText(false));
  descriptions_.clear();
  deleted_ = saved.deleted;
  hidden_ = saved.hidden;
  choiceLocked_ = saved.choiceLocked;
  if (!keepSizes) sizes_ = saved.componentSizes;
}

void ComponentTable::Merge(const EngineState& saved) {
  const std::size_t withState =
      std::min(saved.componentNames.size(), saved.componentStates.size());
  for (std::size_t i = 0; i < withState; ++i)
    for (std::size_t j = 0; j < names_.size(); ++j)
      if (EqualsIgnoreCase(names_[j], saved.componentNames[i]))
        states_[j] = saved.componentStates[i];
  deleted_ = saved.deleted;
  hidden_ = saved.hidden;
  choiceLocked_ = saved.choiceLocked;
}

void ComponentTable::Store(EngineState& state) const {
  state.componentNames = names_;
  state.componentStates = states_;
  state.deleted = deleted_;
  state.hidden = hidden_;
  state.choiceLocked = choiceLocked_;
  state.componentSizes = sizes_;
}

}  // namespace zev
