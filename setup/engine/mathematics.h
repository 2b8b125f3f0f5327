#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zev {

class Variables;

// The random generator of "Mathematics" (process-wide; kept in the engine context). Operation 13
// seeds multiplier and increment, 14 sets the state, 15 steps it.
struct RandomGenerator {
  std::int32_t multiplier = 0;
  std::int32_t increment = 0;
  std::int32_t state = 0;
};

// Operation codes 0 to 15 of "Mathematics".
enum class MathOperation {
  Add = 0,
  Subtract = 1,
  Multiply = 2,
  Divide = 3,
  Modulo = 4,
  And = 5,
  Or = 6,
  Xor = 7,
  ShiftLeft = 8,
  ShiftRight = 9,
  Not = 10,
  CharacterCode = 11,
  Character = 12,
  Seed = 13,
  SetState = 14,
  Random = 15,
};

// The computation on operand texts that are already expanded. Operands are 32-bit signed
// decimal integers, computed on in 64 bits; operation 11 takes the first character of
// operandA instead, 12 returns a one-character text. Any failure (a text that is not an
// integer, division by zero, an empty text for 11, an unknown operation code) gives an empty
// text. Only the operands an operation uses are converted.
std::string Calculate(RandomGenerator& random, std::string_view operation,
                      std::string_view operandA, std::string_view operandB);

// "Mathematics": creates a non-empty, missing result variable (upper-cased, empty), computes
// on Expand(operandA) and Expand(operandB) and, when resultName is not empty, assigns the result
// with origin "Mathematics Action". The operation code is not expanded. Returns the result text.
std::string RunMathematics(Variables& variables, RandomGenerator& random,
                           std::string_view operandA, std::string_view operandB,
                           std::string_view operation, std::string_view resultName);

}  // namespace zev
