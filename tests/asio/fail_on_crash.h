#pragma once
// A fault on another thread must fail a test program with a non-zero exit code; without a
// filter Wine's debugger can end the process with code 0.
#include <windows.h>

#include <cstdio>

namespace tx880::asio::test {

inline LONG WINAPI FailOnUnhandledException(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "unhandled exception 0x%08lx on thread %lu\n",
               exception->ExceptionRecord->ExceptionCode, GetCurrentThreadId());
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

inline void FailOnUnhandledExceptions() { SetUnhandledExceptionFilter(FailOnUnhandledException); }

}  // namespace tx880::asio::test
