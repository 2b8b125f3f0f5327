#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zev {

// The container of parameter lists: an ordered list of lists of lines (the loader puts one in).
// A command's parameter block starts at the first line, in the first list that has one, equal to
// the command's identifier with letter case ignored; blocks are not delimited, so a short block
// reads on into the next one.
//
// Every line is indexed once when its list is added, so a look-up costs one hash instead of a
// scan. The index keeps the first occurrence of each text (letter case ignored), which is what
// the scan would find, also when the text first appears as an ordinary parameter line. Lists
// never change once added.
class ParameterLists {
 public:
  struct Location {
    std::size_t list = 0;
    std::size_t line = 0;
  };

  ParameterLists() = default;
  ParameterLists(const ParameterLists& other);
  ParameterLists& operator=(const ParameterLists& other);
  ParameterLists(ParameterLists&& other) noexcept
      : lists_(std::move(other.lists_)), slots_(std::move(other.slots_)), used_(std::exchange(other.used_, 0)) {}
  ParameterLists& operator=(ParameterLists&& other) noexcept {
    lists_ = std::move(other.lists_);
    slots_ = std::move(other.slots_);
    used_ = std::exchange(other.used_, 0);
    return *this;
  }

  void Add(std::vector<std::string> lines);
  std::size_t Count() const { return lists_.size(); }
  const std::vector<std::string>& List(std::size_t index) const { return *lists_.at(index); }

  // Where the first line equal to the identifier (letter case ignored) is.
  std::optional<Location> Find(std::string_view identifier) const;
  // The line n positions after that line (n = 0: the line itself). Empty when no list holds
  // the identifier, when n is negative, and when the line would lie past the end of its list.
  const std::string& Lookup(std::string_view identifier, int n) const;

 private:
  // Open addressing with linear probing: one slot per distinct text, found by its hash and
  // compared against the line it points at. No allocation per line.
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t list = kFree;
    std::uint32_t line = 0;
  };
  static constexpr std::uint32_t kFree = 0xFFFFFFFF;

  const std::string& LineAt(const Slot& slot) const { return (*lists_[slot.list])[slot.line]; }
  const Slot* FindSlot(std::string_view text, std::uint64_t hash) const;
  void Reserve(std::size_t entries);
  void Insert(std::uint32_t list, std::uint32_t line);

  std::vector<std::unique_ptr<const std::vector<std::string>>> lists_;
  std::vector<Slot> slots_;  // a power of two in size, at most half used
  std::size_t used_ = 0;
};

}  // namespace zev
