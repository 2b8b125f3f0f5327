// Any command line must parse without a crash, and the overrides always come in pairs with
// upper-case names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "setup/startup/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  zev::CommandLineSettings settings = zev::ParseCommandLine(text);
  if (settings.overrides.size() % 2 != 0) std::abort();
  for (std::size_t i = 0; i < settings.overrides.size(); i += 2)
    for (char c : settings.overrides[i])
      if (c >= 'a' && c <= 'z') std::abort();
  if (settings.silent && !settings.suppressStartupWindows) std::abort();
  if (settings.text.size() > text.size()) std::abort();
  return 0;
}
