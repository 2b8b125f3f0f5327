#include <gtest/gtest.h>

#include "child_modes.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (auto exitCode = zev::win32::test::RunChildMode(arguments)) return *exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
