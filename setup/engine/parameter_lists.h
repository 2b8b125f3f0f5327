#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/engine/folded_text.h"

namespace zev {

// The container of parameter lists: an ordered list of lists of lines (the loader puts one in).
// A command's parameter block starts at the first line, in the first list that has one, equal to
// the command's identifier with letter case ignored; blocks are not delimited, so a short block
// reads on into the next one.
//
// Every line is indexed once when its list is added, so a look-up costs one hash instead of a
// scan. The index keeps the first occurrence of each text, which is what the scan would find,
// also when the text first appears as an ordinary parameter line. Lists never change once added.
class ParameterLists {
 public:
  struct Location {
    std::size_t list = 0;
    std::size_t line = 0;
  };

  ParameterLists() = default;
  ParameterLists(const ParameterLists& other);
  ParameterLists& operator=(const ParameterLists& other);
  ParameterLists(ParameterLists&&) = default;
  ParameterLists& operator=(ParameterLists&&) = default;

  void Add(std::vector<std::string> lines);
  std::size_t Count() const { return lists_.size(); }
  const std::vector<std::string>& List(std::size_t index) const { return *lists_.at(index); }

  // Where the first line equal to the identifier (letter case ignored) is.
  std::optional<Location> Find(std::string_view identifier) const;
  // The line n positions after that line (n = 0: the line itself). Empty when no list holds
  // the identifier, when n is negative, and when the line would lie past the end of its list.
  const std::string& Lookup(std::string_view identifier, int n) const;

 private:
  // Owned through pointers so that the indexed lines never move.
  std::vector<std::unique_ptr<const std::vector<std::string>>> lists_;
  std::unordered_map<std::string_view, Location, FoldedHash, FoldedEqual> index_;
};

}  // namespace zev
