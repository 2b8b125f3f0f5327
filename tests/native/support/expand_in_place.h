#pragma once
// Expansion exactly as the rules state it, for checking the store's faster scan: replace in
// place and rescan from the same position; stop once the bounds are used up.
#include <cstddef>
#include <optional>
#include <string>

#include "setup/engine/variable_manager.h"

namespace zev::testing {

inline std::string ExpandInPlace(const TVariableManager& store, std::string text, bool quoted,
                                 std::size_t replacements,
                                 std::size_t insertBytes = std::string::npos) {
  std::size_t position = 0;
  while (true) {
    std::size_t open = text.find('$', position);
    if (open == std::string::npos) return text;
    std::size_t close = text.find('$', open + 1);
    std::string name = close == std::string::npos ? "" : text.substr(open + 1, close - open - 1);
    auto value = name.empty() ? std::nullopt : store.Find(name);
    if (!value) {
      position = open + name.size() + 1;
      continue;
    }
    std::string inserted = quoted ? '"' + *value + '"' : *value;
    if (replacements == 0 || inserted.size() > insertBytes) return text;
    --replacements;
    if (insertBytes != std::string::npos) insertBytes -= inserted.size();
    text.replace(open, close - open + 1, inserted);
  }
}

}  // namespace zev::testing
