#pragma once
// The text the host prints after a run, one fact per line.
#include <string>

#include "host_session.h"

namespace tx880::asio_host {

std::string FormatReport(const SessionReport& report);

}  // namespace tx880::asio_host
