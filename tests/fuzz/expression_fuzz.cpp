// Expansion and the expression language against direct, slow transcriptions of their rules.
// Input: up to three lines with the values of A, b and AB, then the text to expand and evaluate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/engine/expression.h"
#include "setup/engine/mathematics.h"
#include "setup/engine/variable_manager.h"
#include "support/expand_in_place.h"

namespace {

constexpr zev::ExpansionLimits kLimits{64, 2, 1 << 14};

// The scan as written, within the same bounds as the store.
std::string SlowExpand(const zev::TVariableManager& store, const std::string& text, bool quoted) {
  return zev::testing::ExpandInPlace(
      store, text, quoted, kLimits.baseReplacements + kLimits.replacementsPerInputByte * text.size(),
      kLimits.maxInsertedBytes);
}

// The grammar by recursive descent; nothing on a syntax problem. Too deep: gives up (depth).
class SlowParser {
 public:
  explicit SlowParser(std::string_view text) : text_(text) {}
  bool tooDeep = false;

  std::optional<bool> Whole() {
    auto value = Term(0);
    if (value && position_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void Blanks() {
    while (position_ < text_.size() && text_[position_] == ' ') ++position_;
  }
  std::string_view Word() {
    std::size_t start = position_;
    while (position_ < text_.size() && text_[position_] != ' ' && text_[position_] != '"')
      ++position_;
    return text_.substr(start, position_ - start);
  }
  std::optional<std::string> Literal() {
    if (position_ >= text_.size() || text_[position_] != '"') return std::nullopt;
    std::string literal;
    for (++position_; position_ < text_.size(); ++position_) {
      if (text_[position_] != '"') {
        literal += text_[position_];
      } else if (position_ + 1 < text_.size() && text_[position_ + 1] == '"') {
        literal += '"';
        ++position_;
      } else {
        ++position_;
        return literal;
      }
    }
    return std::nullopt;
  }
  std::optional<bool> Term(int depth) {
    if (depth > 200) {
      tooDeep = true;
      return std::nullopt;
    }
    Blanks();
    if (position_ < text_.size() && text_[position_] == '(') {
      ++position_;
      auto value = Expression(depth + 1);
      Blanks();
      if (!value || position_ >= text_.size() || text_[position_] != ')') return std::nullopt;
      ++position_;
      return value;
    }
    auto left = Literal();
    if (!left) return std::nullopt;
    Blanks();
    std::string_view op = Word();
    Blanks();
    auto right = Literal();
    if (!right) return std::nullopt;
    std::string_view l = *left, r = *right;
    if (op == "=") return l == r;
    if (op == "<>") return l != r;
    if (op == "<") return l < r;
    if (op == "<=") return l <= r;
    if (op == ">") return l > r;
    if (op == ">=") return l >= r;
    return std::nullopt;
  }
  std::optional<bool> Expression(int depth) {
    auto value = Term(depth);
    while (value) {
      Blanks();
      if (position_ >= text_.size() || text_[position_] == ')') return value;
      std::string_view connective = Word();
      if (connective != "and" && connective != "or") return std::nullopt;
      auto next = Term(depth);
      if (!next) return std::nullopt;
      value = connective == "and" ? (*value && *next) : (*value || *next);
    }
    return value;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

void CheckExpression(std::string_view text) {
  std::string_view result = zev::EvaluateExpressionText(text);
  std::string wrapped = "(" + std::string(text) + ")";
  SlowParser slow(wrapped);
  auto expected = slow.Whole();
  if (slow.tooDeep) return;
  std::string_view expectedText = !expected ? zev::kExpressionError
                                  : *expected ? zev::kExpressionTrue
                                              : zev::kExpressionFalse;
  if (result != expectedText) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  zev::TVariableManager store(kLimits);
  for (const char* name : {"A", "b", "AB"}) {
    auto end = input.find('\n');
    if (end == std::string_view::npos) break;
    store.Set(name, input.substr(0, end));
    input.remove_prefix(end + 1);
  }

  std::string expanded = store.Expand(input);
  if (expanded != SlowExpand(store, std::string(input), false)) std::abort();
  std::string quoted = store.ExpandQuoted(input);
  if (quoted != SlowExpand(store, std::string(input), true)) std::abort();

  CheckExpression(input);
  CheckExpression(quoted);

  // The calculator on the first two expanded words, every operation: no crash, no UB.
  zev::RandomGenerator random{static_cast<std::int32_t>(size), 12345, 7};
  auto space = expanded.find(' ');
  std::string_view a = std::string_view(expanded).substr(0, space);
  std::string_view b = space == std::string::npos ? "" : std::string_view(expanded).substr(space + 1);
  for (int op = -1; op <= 16; ++op) zev::Calculate(random, std::to_string(op), a, b);
  return 0;
}
