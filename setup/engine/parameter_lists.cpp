#include "setup/engine/parameter_lists.h"

namespace zev {

namespace {
const std::string kEmpty;
}  // namespace

ParameterLists::ParameterLists(const ParameterLists& other) {
  for (const auto& list : other.lists_) Add(*list);
}

ParameterLists& ParameterLists::operator=(const ParameterLists& other) {
  if (this != &other) {
    ParameterLists copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void ParameterLists::Add(std::vector<std::string> lines) {
  const std::size_t listIndex = lists_.size();
  auto& list = *lists_.emplace_back(std::make_unique<const std::vector<std::string>>(std::move(lines)));
  index_.reserve(index_.size() + list.size());
  // try_emplace keeps an existing key: earlier lists, and earlier lines, win as in a scan.
  for (std::size_t line = 0; line < list.size(); ++line)
    index_.try_emplace(std::string_view(list[line]), Location{listIndex, line});
}

std::optional<ParameterLists::Location> ParameterLists::Find(std::string_view identifier) const {
  auto found = index_.find(identifier);
  if (found == index_.end()) return std::nullopt;
  return found->second;
}

const std::string& ParameterLists::Lookup(std::string_view identifier, int n) const {
  if (n < 0) return kEmpty;
  auto found = index_.find(identifier);
  if (found == index_.end()) return kEmpty;
  const auto& list = *lists_[found->second.list];
  const std::size_t line = found->second.line;
  if (static_cast<std::size_t>(n) >= list.size() - line) return kEmpty;
  return list[line + static_cast<std::size_t>(n)];
}

}  // namespace zev
