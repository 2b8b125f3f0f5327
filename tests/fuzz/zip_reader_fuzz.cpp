// Any bytes as an archive: listed, then extracted into a scratch folder. Besides the
// sanitizers' findings, anything written beside the destination folder is a failure.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zevlib/zevlib.h"

namespace {

const std::filesystem::path& Scratch() {
  static const std::filesystem::path root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zev-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    return std::filesystem::path(pattern);
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& root = Scratch();
  auto archive = root / "input.zip";
  auto destination = root / "out";
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  std::vector<zevlib::EntryInfo> entries;
  zevlib::ListArchive(archive, entries);

  zevlib::ExtractRequest request{archive, destination, {}, size % 2 == 0, "pw"};
  zevlib::ExtractCallbacks callbacks;
  callbacks.password = []() -> std::optional<std::string> { return "fuzz"; };
  callbacks.progress = [](const std::string&, std::uint64_t done, std::uint64_t total) {
    if (done > total) abort();
    return true;
  };
  callbacks.endOnError = [](const std::string&, std::int32_t) { return false; };
  callbacks.overwrite = [](const zevlib::ExistingFile&, const zevlib::EntryInfo&) {
    return zevlib::Overwrite::Replace;
  };
  zevlib::ExtractArchive(request, callbacks);

  for (const auto& item : std::filesystem::directory_iterator(root)) {
    if (item.path() != archive && item.path() != destination) {
      std::fprintf(stderr, "written outside the destination: %s\n", item.path().c_str());
      abort();
    }
  }
  std::filesystem::remove_all(destination);
  return 0;
}
