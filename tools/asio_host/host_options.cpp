#include "host_options.h"

#include <cwchar>

namespace tx880::asio_host {

namespace {

// The ASIO driver list entry the TX880's driver registers.
constexpr wchar_t kDefaultDriverName[] = L"TX880 ASIO driver";

std::optional<long> ParseLong(const std::wstring& text, long minimum, long maximum) {
  if (text.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (*end != L'\0' || value < minimum || value > maximum) return std::nullopt;
  return value;
}

std::optional<double> ParseSeconds(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  wchar_t* end = nullptr;
  const double value = std::wcstod(text.c_str(), &end);
  if (*end != L'\0' || !(value > 0 && value <= 3600)) return std::nullopt;
  return value;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

}  // namespace

std::optional<std::vector<long>> ParseChannelList(const std::wstring& text) {
  std::vector<long> channels;
  if (text == L"none") return channels;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(L',', start);
    const auto channel = ParseLong(text.substr(start, comma - start), 0, 31);
    if (!channel) return std::nullopt;
    for (long seen : channels) {
      if (seen == *channel) return std::nullopt;  // two buffers on one device channel
    }
    channels.push_back(*channel);
    if (comma == std::wstring::npos) return channels;
    start = comma + 1;
  }
}

std::optional<HostOptions> ParseOptions(const std::vector<std::wstring>& args, OptionSet set,
                                        std::string& error) {
  HostOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (i + 1 >= args.size()) {
      error = "option " + Narrow(arg) + " needs a value (or is unknown)";
      return std::nullopt;
    }
    const std::wstring& value = args[++i];
    bool ok = true;
    if (arg == L"--seconds") {
      const auto seconds = ParseSeconds(value);
      ok = seconds.has_value();
      if (ok) options.session.seconds = *seconds;
    } else if (arg == L"--buffer") {
      const auto size = ParseLong(value, 1, 1 << 16);
      ok = size.has_value();
      if (ok) options.session.bufferSize = *size;
    } else if (arg == L"--inputs" || arg == L"--outputs") {
      const auto channels = ParseChannelList(value);
      ok = channels.has_value();
      if (ok) (arg == L"--inputs" ? options.session.inputs : options.session.outputs) = *channels;
    } else if (set == OptionSet::Driver && arg == L"--dll") {
      options.dllPath = value;
    } else if (set == OptionSet::Driver && arg == L"--name") {
      options.driverName = value;
    } else if (set == OptionSet::Driver && arg == L"--clsid") {
      options.clsid = value;
    } else if (set == OptionSet::Simulated && arg == L"--bits") {
      ok = value == L"16" || value == L"24";
      if (ok) options.sampleBits = value == L"16" ? 16 : 24;
    } else {
      error = "unknown option " + Narrow(arg);
      return std::nullopt;
    }
    if (!ok) {
      error = "bad value for " + Narrow(arg) + ": " + Narrow(value);
      return std::nullopt;
    }
  }
  if (!options.dllPath.empty() && !options.driverName.empty()) {
    error = "--dll and --name exclude each other";
    return std::nullopt;
  }
  if (!options.clsid.empty() && options.dllPath.empty()) {
    error = "--clsid goes with --dll";
    return std::nullopt;
  }
  if (set == OptionSet::Driver && options.dllPath.empty() && options.driverName.empty()) {
    options.driverName = kDefaultDriverName;
  }
  if (options.session.inputs.empty() && options.session.outputs.empty()) {
    error = "no channel to stream";
    return std::nullopt;
  }
  return options;
}

std::string Usage(OptionSet set) {
  std::string usage =
      set == OptionSet::Driver
          ? "usage: asio_host [--dll PATH [--clsid {GUID}] | --name DRIVERNAME]\n"
          : "usage: asio_host_sim [--bits 16|24]\n";
  usage +=
      "         [--seconds S] [--buffer FRAMES] [--inputs 0,1|none] [--outputs 0,1|none]\n"
      "exit code: 0 run went well, 1 a step failed or the run went badly, 2 bad arguments\n";
  return usage;
}

}  // namespace tx880::asio_host
