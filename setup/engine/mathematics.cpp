#include "setup/engine/mathematics.h"

#include <optional>

#include "setup/engine/variables.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

// Shifts of 64 places or more leave nothing; the count is the low byte of B.
std::int64_t ShiftLeft(std::int64_t value, std::int64_t count) {
  auto places = static_cast<unsigned>(count & 0xFF);
  return places >= 64 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(value) << places);
}

std::int64_t ShiftRight(std::int64_t value, std::int64_t count) {
  auto places = static_cast<unsigned>(count & 0xFF);
  return places >= 64 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(value) >> places);
}

// One step of the generator: multiplier * state + increment, wrapping in 32 bits.
std::int32_t NextRandom(const RandomGenerator& random) {
  std::uint32_t v = static_cast<std::uint32_t>(random.multiplier) *
                        static_cast<std::uint32_t>(random.state) +
                    static_cast<std::uint32_t>(random.increment);
  return static_cast<std::int32_t>(v);
}

// The 64-bit result of a numeric operation; nothing on a failure.
std::optional<std::int64_t> Compute(RandomGenerator& random, MathOperation op, std::int64_t a,
                                    std::int64_t b) {
  switch (op) {
    case MathOperation::Add: return a + b;
    case MathOperation::Subtract: return a - b;
    case MathOperation::Multiply: return a * b;
    case MathOperation::Divide:
      if (b == 0) return std::nullopt;
      return a / b;
    case MathOperation::Modulo:
      if (b == 0) return std::nullopt;
      return a % b;
    case MathOperation::And: return a & b;
    case MathOperation::Or: return a | b;
    case MathOperation::Xor: return a ^ b;
    case MathOperation::ShiftLeft: return ShiftLeft(a, b);
    case MathOperation::ShiftRight: return ShiftRight(a, b);
    case MathOperation::Not: return ~a;
    case MathOperation::Seed:
      random.multiplier = static_cast<std::int32_t>(a);
      random.increment = static_cast<std::int32_t>(b);
      return a + b;
    case MathOperation::SetState:
      random.state = static_cast<std::int32_t>(a);
      return a;
    case MathOperation::Random: {
      std::int32_t v = NextRandom(random);
      // The state moves on even when the result then fails for A = 0.
      random.state = v % 32767;
      if (a == 0) return std::nullopt;
      return v % a;
    }
    case MathOperation::CharacterCode:
    case MathOperation::Character:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string Calculate(RandomGenerator& random, std::string_view operation,
                      std::string_view operandA, std::string_view operandB) {
  auto code = TextToInt32(operation);
  if (!code || *code < 0 || *code > static_cast<int>(MathOperation::Random)) return {};
  auto op = static_cast<MathOperation>(*code);

  if (op == MathOperation::CharacterCode) {
    if (operandA.empty()) return {};
    return std::to_string(static_cast<unsigned char>(operandA.front()));
  }
  auto a = TextToInt32(operandA);
  if (!a) return {};
  if (op == MathOperation::Character) return std::string(1, static_cast<char>(*a & 0xFF));

  std::int64_t b = 0;
  if (*code < 10 || op == MathOperation::Seed) {
    auto number = TextToInt32(operandB);
    if (!number) return {};
    b = *number;
  }
  auto result = Compute(random, op, *a, b);
  return result ? std::to_string(*result) : std::string();
}

std::string RunMathematics(Variables& variables, RandomGenerator& random,
                           std::string_view operandA, std::string_view operandB,
                           std::string_view operation, std::string_view resultName) {
  constexpr std::string_view origin = "Mathematics Action";
  if (!resultName.empty() && !variables.Store().Exists(resultName))
    variables.SetVariable(ToUpperAscii(resultName), "", origin);
  std::string result =
      Calculate(random, operation, variables.Expand(operandA), variables.Expand(operandB));
  if (!resultName.empty()) variables.AssignVariable(resultName, result, origin);
  return result;
}

}  // namespace zev
