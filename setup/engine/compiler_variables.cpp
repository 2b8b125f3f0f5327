#include <algorithm>

#include "setup/engine/folded_text.h"
#include "setup/engine/script_lists.h"
#include "setup/platform/error.h"

namespace zev {

namespace {

// Values may hold further #NAME# patterns, so a few pairs can multiply the text; past this size
// the script is broken rather than big.
constexpr std::size_t kMaxExpandedSize = std::size_t{16} << 20;

bool SameLetter(char a, char b) { return FoldAscii(a) == FoldAscii(b); }

// Every occurrence of the pattern, left to right, letter case ignored; inserted values are not
// searched again within this call.
std::string ReplaceAll(const std::string& text, std::string_view pattern, std::string_view value) {
  std::string result;
  auto from = text.begin();
  while (true) {
    auto match = std::search(from, text.end(), pattern.begin(), pattern.end(), SameLetter);
    if (match == text.end()) break;
    if (result.empty()) result.reserve(text.size());
    result.append(from, match);
    result.append(value);
    if (result.size() > kMaxExpandedSize) throw Error("Compiler variables expand beyond 16 MB");
    from = match + static_cast<std::ptrdiff_t>(pattern.size());
  }
  if (from == text.begin()) return text;
  result.append(from, text.end());
  return result;
}

std::string ReplacePairs(const std::vector<std::string>& pairs, std::string text) {
  std::string pattern;
  // A name without its value line (a list cut short) is not a pair.
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    if (text.find('#') == std::string::npos) break;
    pattern = "#" + pairs[i] + "#";
    text = ReplaceAll(text, pattern, pairs[i + 1]);
  }
  return text;
}

}  // namespace

std::string ExpandCompilerVariables(const std::vector<std::string>& compilerVariables,
                                    std::string_view text) {
  std::string result = ReplacePairs(compilerVariables, std::string(text));
  if (result.find('$') != std::string::npos && result != text)
    result = ReplacePairs(compilerVariables, std::move(result));
  return result;
}

}  // namespace zev
