#include "setup/engine/expression.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "setup/engine/variables.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

enum class Connective { And, Or };

// One open parenthesis: the value so far and the connective that joins the next term to it.
struct Group {
  std::optional<bool> value;
  Connective pending = Connective::And;

  void Take(bool term) {
    if (!value)
      value = term;
    else
      value = pending == Connective::And ? (*value && term) : (*value || term);
  }
};

// Parses and evaluates in one left-to-right pass. Open parentheses are kept on an explicit stack,
// so deep nesting costs memory, never the call stack.
class ExpressionParser {
 public:
  explicit ExpressionParser(std::string_view text) : text_(text) {}

  // The value of the one parenthesised term that must make up the whole text; nothing on any
  // syntax problem or when text follows it.
  std::optional<bool> Parse() {
    std::vector<Group> groups;
    bool expectTerm = true;
    while (true) {
      SkipBlanks();
      if (AtEnd()) return std::nullopt;  // a term is missing or a parenthesis is not closed
      if (expectTerm) {
        if (text_[position_] == '(') {
          groups.emplace_back();
          ++position_;
          continue;
        }
        auto comparison = ReadComparison();
        if (!comparison || groups.empty()) return std::nullopt;
        groups.back().Take(*comparison);
        expectTerm = false;
        continue;
      }
      if (text_[position_] == ')') {
        ++position_;
        bool value = *groups.back().value;
        groups.pop_back();
        if (groups.empty()) return AtEnd() ? std::optional<bool>(value) : std::nullopt;
        groups.back().Take(value);
        continue;
      }
      std::string_view word = ReadWord();
      if (word == "and")
        groups.back().pending = Connective::And;
      else if (word == "or")
        groups.back().pending = Connective::Or;
      else
        return std::nullopt;
      expectTerm = true;
    }
  }

 private:
  bool AtEnd() const { return position_ >= text_.size(); }

  void SkipBlanks() {
    while (!AtEnd() && text_[position_] == ' ') ++position_;
  }

  // Operators and connectives run up to the next blank or double quote.
  std::string_view ReadWord() {
    std::size_t start = position_;
    while (!AtEnd() && text_[position_] != ' ' && text_[position_] != '"') ++position_;
    return text_.substr(start, position_ - start);
  }

  std::optional<std::string> ReadLiteral() {
    if (AtEnd() || text_[position_] != '"') return std::nullopt;
    ++position_;
    std::string literal;
    while (!AtEnd()) {
      char c = text_[position_++];
      if (c != '"') {
        literal += c;
      } else if (!AtEnd() && text_[position_] == '"') {
        literal += '"';
        ++position_;
      } else {
        return literal;
      }
    }
    return std::nullopt;
  }

  std::optional<bool> ReadComparison() {
    auto left = ReadLiteral();
    if (!left) return std::nullopt;
    SkipBlanks();
    std::string_view op = ReadWord();
    SkipBlanks();
    auto right = ReadLiteral();
    if (!right) return std::nullopt;
    // Byte order as unsigned numbers (the standard character traits compare that way).
    int order = std::string_view(*left).compare(*right);
    if (op == "=") return order == 0;
    if (op == "<>") return order != 0;
    if (op == "<") return order < 0;
    if (op == "<=") return order <= 0;
    if (op == ">") return order > 0;
    if (op == ">=") return order >= 0;
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

std::string_view EvaluateExpressionText(std::string_view text) {
  std::string wrapped;
  wrapped.reserve(text.size() + 2);
  wrapped += '(';
  wrapped += text;
  wrapped += ')';
  auto value = ExpressionParser(wrapped).Parse();
  if (!value) return kExpressionError;
  return *value ? kExpressionTrue : kExpressionFalse;
}

bool ExpressionPassesCompileCheck(std::string_view parameter) {
  std::string text(parameter);
  std::replace(text.begin(), text.end(), '$', '"');
  return EvaluateExpressionText(text) != kExpressionError;
}

std::string RunEvaluateExpression(Variables& variables, std::string_view expression,
                                  std::string_view resultName) {
  constexpr std::string_view origin = "Evaluate Expression Action";
  if (!variables.Store().Exists(resultName))
    variables.SetVariable(ToUpperAscii(resultName), "", origin);
  std::string result(EvaluateExpressionText(variables.ExpandQuoted(expression)));
  variables.AssignVariable(resultName, result, origin);
  return result;
}

}  // namespace zev
