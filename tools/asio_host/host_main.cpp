// asio_host: streams through an installed ASIO driver (or one DLL) and reports how it went.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "KsAsioDriver/driver/driver_ids.h"
#include "host_driver_loader.h"
#include "host_options.h"
#include "host_run.h"

using namespace tx880::asio_host;

int main() {
  std::string error;
  const auto options = ParseOptions(CommandLineArguments(), OptionSet::Driver, error);
  if (!options) {
    std::fprintf(stderr, "asio_host: %s\n%s", error.c_str(), Usage(OptionSet::Driver).c_str());
    return kExitBadArguments;
  }
  try {
    const ComApartment com;
    UncheckedDevice check;
    if (!options->dllPath.empty()) {
      const LoadedLibrary library(options->dllPath);
      const CLSID clsid = options->clsid.empty() ? tx880::asio::kDriverClassId
                                                 : ParseClassId(options->clsid);
      return RunAndReport(library.CreateDriver(clsid), options->session, check);
    }
    const CLSID clsid = ClassIdOfRegisteredDriver(options->driverName);
    return RunAndReport(CreateRegisteredDriver(clsid), options->session, check);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "asio_host: %s\n", failure.what());
    return kExitFailed;
  }
}
