#pragma once
#include <optional>
#include <string_view>

namespace zev {

class Variables;

// Operator code of "If" and "Else If" (parameter 2, decimal text).
enum class ConditionOperator {
  Equals = 0,
  Contains = 1,
  GreaterThan = 2,
  ContainsIgnoreCase = 3,
  EqualsIgnoreCase = 4,
  Defined = 5,
};

// The operator of a code text; nothing for a code that names none (such a condition is false).
std::optional<ConditionOperator> ParseConditionOperator(std::string_view code);

// The parameters of "If" / "Else If" as the handler reads them. When a language is active the
// caller has already replaced left (slot 1) and right (slot 2) by their translations.
struct ConditionParameters {
  std::string_view left;          // 1: NAME or $NAME$ (for Defined: the bare name)
  std::string_view operatorCode;  // 2
  std::string_view right;         // 3: the value, expanded here
  std::string_view negate;        // 4: IsTrue, not expanded
};

// The condition of "If" / "Else If". Never fails: the left variable's value is taken as stored,
// the right text is expanded; both sides are compared as numbers when both are 32-bit integers,
// otherwise as texts. An unknown operator code gives false (before negation).
bool EvaluateCondition(const Variables& variables, const ConditionParameters& parameters);

// The comparison itself, on the left value and the expanded right text. Defined needs the store
// and gives false here.
bool CompareCondition(ConditionOperator op, std::string_view left, std::string_view right);

}  // namespace zev
