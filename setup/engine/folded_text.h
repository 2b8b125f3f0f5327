#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zev {

// The letters a to z as upper case; every other byte as it is.
constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

namespace folded_detail {

// FoldAscii on eight bytes at once: a byte gets its 0x20 bit cleared when it is 'a' to 'z'.
inline std::uint64_t FoldWord(std::uint64_t x) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  const std::uint64_t low = x & ~kHigh;
  const std::uint64_t fromA = low + kOnes * (0x80 - 'a');      // high bit: byte >= 'a'
  const std::uint64_t pastZ = low + kOnes * (0x80 - 'z' - 1);  // high bit: byte > 'z'
  return x ^ ((fromA & ~pastZ & ~x & kHigh) >> 2);
}

inline std::uint64_t Word(const char* bytes, std::size_t count) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, count);
  return word;
}

}  // namespace folded_detail

// Hash and equality for texts looked up ignoring letter case (ASCII letters folded), for
// unordered containers keyed by string_view or string. Eight bytes per step: identifiers are
// some forty characters and every parameter line is hashed once at load.
struct FoldedHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return static_cast<std::size_t>(Hash64(text)); }

  static std::uint64_t Hash64(std::string_view text) noexcept {
    using folded_detail::FoldWord;
    using folded_detail::Word;
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      hash = (hash ^ FoldWord(Word(text.data() + i, 8))) * 0xBF58476D1CE4E5B9ull;
      hash ^= hash >> 31;
    }
    if (i < text.size()) hash = (hash ^ FoldWord(Word(text.data() + i, text.size() - i))) * 0x94D049BB133111EBull;
    return hash ^ (hash >> 29);
  }
};

struct FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    using folded_detail::FoldWord;
    using folded_detail::Word;
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 8 <= a.size(); i += 8)
      if (FoldWord(Word(a.data() + i, 8)) != FoldWord(Word(b.data() + i, 8))) return false;
    return i == a.size() || FoldWord(Word(a.data() + i, a.size() - i)) == FoldWord(Word(b.data() + i, a.size() - i));
  }
};

}  // namespace zev
