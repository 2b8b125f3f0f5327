#include "setup/engine/condition.h"

#include <algorithm>

#include "setup/engine/folded_text.h"
#include "setup/engine/variables.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

// Byte order as unsigned numbers, so that characters above 127 sort after ASCII.
bool SortsAfter(std::string_view left, std::string_view right) {
  return std::lexicographical_compare(
      right.begin(), right.end(), left.begin(), left.end(),
      [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
}

// An empty needle is never contained.
bool Contains(std::string_view text, std::string_view needle, bool ignoreCase) {
  if (needle.empty()) return false;
  if (!ignoreCase) return text.find(needle) != std::string_view::npos;
  auto equal = [](char a, char b) { return FoldAscii(a) == FoldAscii(b); };
  return std::search(text.begin(), text.end(), needle.begin(), needle.end(), equal) != text.end();
}

bool CompareNumbers(ConditionOperator op, std::int32_t left, std::int32_t right) {
  switch (op) {
    case ConditionOperator::Equals:
    case ConditionOperator::Contains:
    case ConditionOperator::ContainsIgnoreCase:
    case ConditionOperator::EqualsIgnoreCase:
      return left == right;
    case ConditionOperator::GreaterThan:
      return left > right;
    case ConditionOperator::Defined:
      break;
  }
  return false;
}

bool CompareTexts(ConditionOperator op, std::string_view left, std::string_view right) {
  switch (op) {
    case ConditionOperator::Equals:
      return left == right;
    case ConditionOperator::Contains:
      return Contains(left, right, false);
    case ConditionOperator::GreaterThan:
      return SortsAfter(left, right);
    case ConditionOperator::ContainsIgnoreCase:
      return Contains(left, right, true);
    case ConditionOperator::EqualsIgnoreCase:
      return EqualsIgnoreCase(left, right);
    case ConditionOperator::Defined:
      break;
  }
  return false;
}

}  // namespace

std::optional<ConditionOperator> ParseConditionOperator(std::string_view code) {
  auto number = TextToInt32(code);
  if (!number || *number < 0 || *number > static_cast<int>(ConditionOperator::Defined))
    return std::nullopt;
  return static_cast<ConditionOperator>(*number);
}

bool CompareCondition(ConditionOperator op, std::string_view left, std::string_view right) {
  auto leftNumber = TextToInt32(left);
  auto rightNumber = TextToInt32(right);
  if (leftNumber && rightNumber) return CompareNumbers(op, *leftNumber, *rightNumber);
  return CompareTexts(op, left, right);
}

bool EvaluateCondition(const Variables& variables, const ConditionParameters& parameters) {
  bool result = false;
  if (auto op = ParseConditionOperator(parameters.operatorCode)) {
    if (*op == ConditionOperator::Defined) {
      // The text is the name as written: a $NAME$ form names a variable with dollar signs.
      result = variables.Store().Exists(parameters.left);
    } else {
      std::string left = variables.GetVariable(VariableNameOf(parameters.left));
      std::string right = variables.Expand(parameters.right);
      result = CompareCondition(*op, left, right);
    }
  }
  return IsTrue(parameters.negate) ? !result : result;
}

}  // namespace zev
