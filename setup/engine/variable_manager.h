#pragma once
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/engine/folded_text.h"

namespace zev {

// Bounds of one expansion. A value that refers to itself, directly or through other variables,
// would otherwise be rescanned forever, and a chain of values that each name the next one twice
// doubles the text at every step. When a bound is reached no further reference is replaced and
// the rest of the text is left as written.
struct ExpansionLimits {
  // Replacements allowed: base + perInputByte * length of the text being expanded.
  std::size_t baseReplacements = 10000;
  std::size_t replacementsPerInputByte = 4;
  // Total bytes that replacements may insert into one expansion.
  std::size_t maxInsertedBytes = std::size_t{64} << 20;
};

// The process-wide variable store: name -> text value. Names are case-insensitive (ASCII letters
// folded) and keep the spelling of their first creation; the empty name is never stored. One lock
// guards every read and write, so worker threads may use the store while the script runs.
class TVariableManager {
 public:
  explicit TVariableManager(ExpansionLimits limits = {}) : limits_(limits) {}
  TVariableManager(const TVariableManager&) = delete;
  TVariableManager& operator=(const TVariableManager&) = delete;

  bool Exists(std::string_view name) const;
  // The value, empty when the name is not stored.
  std::string Get(std::string_view name) const;
  // The value, or nothing when the name is not stored (one atomic look-up).
  std::optional<std::string> Find(std::string_view name) const;
  // Creates or replaces; an empty name does nothing.
  void Set(std::string_view name, std::string_view value);
  void Clear();
  // Appends name, value, name, value ... (names in first-creation spelling, in creation order)
  // and returns the list's item count.
  std::size_t ExportPairs(std::vector<std::string>& list) const;

  // Replaces every $NAME$ reference to a stored variable by its value, rescanning inserted values
  // so that references inside them expand too; unknown references stay as written. The lock is
  // taken once per look-up, not for the whole expansion.
  std::string Expand(std::string_view text) const;
  // As Expand, with every inserted value enclosed in double quotes.
  std::string ExpandQuoted(std::string_view text) const;

 private:
  struct Entry {
    std::string name;
    std::string value;
  };

  std::string ExpandWith(std::string_view text, bool quoted) const;

  ExpansionLimits limits_;
  mutable std::mutex lock_;
  std::vector<Entry> entries_;  // creation order
  // No longer text can be a name: the span between two unrelated dollar signs is not hashed.
  std::size_t longestName_ = 0;
  std::unordered_map<std::string, std::size_t, FoldedHash, FoldedEqual> index_;
};

}  // namespace zev
