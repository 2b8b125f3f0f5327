#include "host_run.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>

#include "host_report.h"

namespace tx880::asio_host {

std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

int RunAndReport(IASIO* driver, const SessionConfig& config, DeviceCheck& check) {
  try {
    AsioSession session(driver);
    const SessionReport report = session.Run(config, check);
    std::fputs(FormatReport(report).c_str(), stdout);
    std::fflush(stdout);
    return report.Good() ? kExitGood : kExitFailed;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "asio_host: %s\n", failure.what());
    return kExitFailed;
  }
}

}  // namespace tx880::asio_host
