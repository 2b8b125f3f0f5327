#pragma once
// What both host programs share: the command line as UTF-16 arguments, and running one session
// to a printed report and an exit code.
#include <string>
#include <vector>

#include "KsAsioDriver/driver/asio_abi.h"
#include "host_check.h"
#include "host_session.h"

namespace tx880::asio_host {

inline constexpr int kExitGood = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

// The process's arguments without the program name.
std::vector<std::wstring> CommandLineArguments();

// Runs the session over the driver (taking over its reference), prints the report to stdout and
// failures to stderr; kExitGood only when the report is good.
int RunAndReport(IASIO* driver, const SessionConfig& config, DeviceCheck& check);

}  // namespace tx880::asio_host
