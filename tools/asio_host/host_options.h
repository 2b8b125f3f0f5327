#pragma once
// The host's command line.
#include <optional>
#include <string>
#include <vector>

#include "host_session.h"

namespace tx880::asio_host {

struct HostOptions {
  std::wstring dllPath;     // --dll: load this DLL and ask its class factory
  std::wstring driverName;  // --name: a driver of HKLM\SOFTWARE\ASIO
  std::wstring clsid;       // --clsid: the class id asked from --dll; empty: the TX880's
  int sampleBits = 24;      // --bits: sample width of the simulated device's driver
  SessionConfig session;
};

enum class OptionSet { Driver, Simulated };

// nullopt with `error` set when an argument is unknown or malformed.
std::optional<HostOptions> ParseOptions(const std::vector<std::wstring>& args, OptionSet set,
                                        std::string& error);

std::string Usage(OptionSet set);

// "0,1" → {0, 1}; "none" → {}; nullopt when malformed.
std::optional<std::vector<long>> ParseChannelList(const std::wstring& text);

}  // namespace tx880::asio_host
