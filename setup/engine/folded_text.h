#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zev {

// The letters a to z as upper case; every other byte as it is.
constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Hash and equality for texts looked up ignoring letter case (ASCII letters folded), for
// unordered containers keyed by string_view or string.
struct FoldedHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ull;
    return static_cast<std::size_t>(hash ^ (hash >> 32));
  }
};

struct FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i] && FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
  }
};

}  // namespace zev
