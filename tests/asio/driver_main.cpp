// The driver tests' entry point. A fault on the streaming thread must fail the run with a
// non-zero exit code; without a filter Wine's debugger can end the process with code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI FailOnUnhandledException(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "unhandled exception 0x%08lx on thread %lu\n",
               exception->ExceptionRecord->ExceptionCode, GetCurrentThreadId());
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(FailOnUnhandledException);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
