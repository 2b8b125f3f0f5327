#pragma once
#include <string>
#include <string_view>

namespace zev {

class Variables;

inline constexpr std::string_view kExpressionTrue = "TRUE";
inline constexpr std::string_view kExpressionFalse = "FALSE";
inline constexpr std::string_view kExpressionError = "ERROR";

// Evaluates the expression language of "Evaluate Expression" on an already expanded text:
//   expression := term { ("and" | "or") term }   left to right, no precedence
//   term       := "(" expression ")" | literal op literal
//   op         := "=" | "<>" | "<" | "<=" | ">" | ">="   (bytes compared as unsigned)
//   literal    := '"' ... '"' with "" standing for one double quote
// Only blanks separate items. Gives kExpressionTrue, kExpressionFalse or kExpressionError (any
// syntax problem, or text after the end of the expression). Never recurses on nesting depth.
std::string_view EvaluateExpressionText(std::string_view text);

// The compile check of "Evaluate Expression": parameter 1 with every "$" replaced by a double
// quote must not evaluate to kExpressionError.
bool ExpressionPassesCompileCheck(std::string_view parameter);

// "Evaluate Expression": creates the result variable (upper-cased, empty) when missing,
// evaluates ExpandQuoted(expression) and assigns the result with origin
// "Evaluate Expression Action". Returns the result text.
std::string RunEvaluateExpression(Variables& variables, std::string_view expression,
                                  std::string_view resultName);

}  // namespace zev
