// The driver tests' entry point: faults on the streaming thread fail the run.
#include <gtest/gtest.h>

#include "fail_on_crash.h"

int main(int argc, char** argv) {
  tx880::asio::test::FailOnUnhandledExceptions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
