#include "setup/engine/parameter_lists.h"

#include "setup/engine/folded_text.h"
#include "setup/platform/error.h"

namespace zev {

namespace {
const std::string kEmpty;
}  // namespace

ParameterLists::ParameterLists(const ParameterLists& other) {
  for (const auto& list : other.lists_) Add(*list);
}

ParameterLists& ParameterLists::operator=(const ParameterLists& other) {
  if (this != &other) *this = ParameterLists(other);
  return *this;
}

void ParameterLists::Add(std::vector<std::string> lines) {
  if (lists_.size() >= kFree || lines.size() >= kFree) throw Error("Too many parameter lines");
  const auto listIndex = static_cast<std::uint32_t>(lists_.size());
  lists_.push_back(std::make_unique<const std::vector<std::string>>(std::move(lines)));
  const auto& list = *lists_.back();
  Reserve(used_ + list.size());
  for (std::size_t line = 0; line < list.size(); ++line) Insert(listIndex, static_cast<std::uint32_t>(line));
}

void ParameterLists::Reserve(std::size_t entries) {
  std::size_t size = slots_.empty() ? 16 : slots_.size();
  while (size < 2 * entries) size *= 2;
  if (size == slots_.size()) return;
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(size, Slot{});
  const std::size_t mask = size - 1;
  for (const Slot& slot : old) {
    if (slot.list == kFree) continue;
    std::size_t at = static_cast<std::size_t>(slot.hash) & mask;
    while (slots_[at].list != kFree) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

// A text already indexed keeps its place: earlier lists, and earlier lines, win as in a scan.
void ParameterLists::Insert(std::uint32_t list, std::uint32_t line) {
  const std::string& text = (*lists_[list])[line];
  const std::uint64_t hash = FoldedHash::Hash64(text);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
    Slot& slot = slots_[at];
    if (slot.list == kFree) {
      slot = Slot{hash, list, line};
      ++used_;
      return;
    }
    if (slot.hash == hash && FoldedEqual()(LineAt(slot), text)) return;
  }
}

const ParameterLists::Slot* ParameterLists::FindSlot(std::string_view text, std::uint64_t hash) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.list == kFree) return nullptr;
    if (slot.hash == hash && FoldedEqual()(LineAt(slot), text)) return &slot;
  }
}

std::optional<ParameterLists::Location> ParameterLists::Find(std::string_view identifier) const {
  const Slot* slot = FindSlot(identifier, FoldedHash::Hash64(identifier));
  if (!slot) return std::nullopt;
  return Location{slot->list, slot->line};
}

const std::string& ParameterLists::Lookup(std::string_view identifier, int n) const {
  if (n < 0) return kEmpty;
  const Slot* slot = FindSlot(identifier, FoldedHash::Hash64(identifier));
  if (!slot) return kEmpty;
  const auto& list = *lists_[slot->list];
  if (static_cast<std::size_t>(n) >= list.size() - slot->line) return kEmpty;
  return list[slot->line + static_cast<std::size_t>(n)];
}

}  // namespace zev
